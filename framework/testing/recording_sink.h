#pragma once
// A note sink that remembers what reached the synthesiser.
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "framework/core/note_player.h"

namespace fw::testing {

class RecordingSink : public NoteSink {
 public:
  struct Message {
    enum Kind { On, Off, Program } kind;
    int value;
    int velocity;
  };

  void NoteOn(int note, int velocity) override;
  void NoteOff(int note) override;
  void ProgramChange(int program) override;
  void Anticipate() override;

  // How often the output was asked to get ready ahead of a possible start.
  int Anticipations() const;

  std::set<int> Sounding() const;
  std::vector<Message> Messages() const;

 private:
  mutable std::mutex mutex_;
  std::set<int> sounding_;
  std::vector<Message> messages_;
  int anticipations_ = 0;
};

// Installs a fresh recording sink as the runtime's and returns it.
std::shared_ptr<RecordingSink> InstallRecordingSink();

}  // namespace fw::testing
