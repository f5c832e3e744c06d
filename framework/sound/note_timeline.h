#pragma once
// Notes waiting for the moment they must sound. Any thread adds; the render
// thread takes what falls due in the block it is about to render. Stamps are
// real-clock microseconds, so a note called while no stream runs needs no
// anchor yet.
#include <atomic>
#include <bitset>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace fw::sound {

struct TimedNote {
  enum class Kind { On, Off };
  double due = 0;  // real clock, µs
  Kind kind = Kind::On;
  int note = 0;
  int velocity = 0;
};

class NoteTimeline {
 public:
  // A note-on this far past its moment is dropped rather than played late:
  // after a stall, or when nothing rendered while the music went on.
  static constexpr double kStaleAfterUs = 100'000;

  // Stamps come in call order, so dues never decrease.
  void Add(const TimedNote& note, double now);
  // A device whose takes come this far apart (µs) renders a note's block up
  // to that long after its moment: notes waiting for it are not stale yet.
  void AllowForTakeGap(double us) { takeGap_.store(us, std::memory_order_relaxed); }
  // Appends to `due` what falls due before `until`, releases of dropped
  // notes included; note-ons due before `dropBefore` are dropped.
  // Never waits: while another thread adds, it takes nothing (false), so the
  // render thread cannot be held up by a thread the machine has put aside.
  bool TakeDue(double until, double dropBefore, std::vector<TimedNote>& due);
  // After a stop nothing may sound but the releases: the note-ons still
  // waiting go, the releases stay (their notes may already sound).
  void DropNoteOns();
  std::size_t Waiting() const;
  // Note-ons dropped as stale since the start.
  std::int64_t Dropped() const { return dropped_.load(); }

 private:
  void DropBefore(double limit);

  mutable std::mutex mutex_;
  std::deque<TimedNote> waiting_;
  // Releases taken out of the queue while nothing rendered, sent first.
  std::bitset<128> releases_;
  std::atomic<std::int64_t> dropped_{0};
  std::atomic<double> takeGap_{0};
};

}  // namespace fw::sound
