#pragma once
// A note sink in front of the real one that notes when each call reached it.
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "framework/core/note_player.h"

namespace bench {

struct SinkCall {
  enum Kind { On, Off, Program } kind;
  int note = 0;
  double t = 0;         // real µs, when the call reached the sink
  double duration = 0;  // µs spent in the synthesiser's call
};

class TimingSink : public fw::NoteSink {
 public:
  explicit TimingSink(std::shared_ptr<fw::NoteSink> inner) : inner_(std::move(inner)) {
    calls_.resize(1 << 14);  // touched now rather than on the mode thread
    calls_.clear();
  }
  void NoteOn(int note, int velocity) override;
  void NoteOff(int note) override;
  void ProgramChange(int program) override;
  void Prepare() override {
    if (inner_) inner_->Prepare();
  }
  bool AwaitOutput(std::chrono::milliseconds limit,
                   const std::function<bool()>& cancelled) override {
    return !inner_ || inner_->AwaitOutput(limit, cancelled);
  }
  std::vector<SinkCall> Calls() const;

 private:
  template <typename Call>
  void Timed(SinkCall::Kind kind, int note, Call call);
  std::shared_ptr<fw::NoteSink> inner_;
  mutable std::mutex mutex_;
  std::vector<SinkCall> calls_;
};

// Milliseconds from `from` to the first note-on at or after it.
std::optional<double> FirstNoteOnAfter(const std::vector<SinkCall>& calls, double from);
// Milliseconds from `from` to the last release in [from, until].
std::optional<double> LastReleaseAfter(const std::vector<SinkCall>& calls, double from,
                                       double until);
long long NoteOnsAfter(const std::vector<SinkCall>& calls, double from);
std::vector<double> Durations(const std::vector<SinkCall>& calls);

}  // namespace bench
