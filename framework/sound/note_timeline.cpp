#include "framework/sound/note_timeline.h"

#include <algorithm>

namespace fw::sound {

void NoteTimeline::Add(const TimedNote& note, double now) {
  std::lock_guard lock(mutex_);
  // Without a stream nothing takes the notes; this keeps them from piling up.
  DropBefore(now - takeGap_.load(std::memory_order_relaxed) - kStaleAfterUs);
  waiting_.push_back(note);
}

void NoteTimeline::DropBefore(double limit) {
  while (!waiting_.empty() && waiting_.front().due < limit) {
    // A release is kept: its note may have started before the stream went.
    if (waiting_.front().kind == TimedNote::Kind::Off) {
      releases_.set(waiting_.front().note);
    } else {
      dropped_.fetch_add(1, std::memory_order_relaxed);
    }
    waiting_.pop_front();
  }
}

bool NoteTimeline::TakeDue(double until, double dropBefore, std::vector<TimedNote>& due) {
  std::unique_lock lock(mutex_, std::try_to_lock);
  if (!lock) return false;
  DropBefore(dropBefore);
  if (releases_.any()) {
    for (int note = 0; note < 128; ++note) {
      if (releases_.test(note)) due.push_back({dropBefore, TimedNote::Kind::Off, note, 0});
    }
    releases_.reset();
  }
  while (!waiting_.empty() && waiting_.front().due < until) {
    due.push_back(waiting_.front());
    waiting_.pop_front();
  }
  return true;
}

void NoteTimeline::DropNoteOns() {
  std::lock_guard lock(mutex_);
  waiting_.erase(std::remove_if(waiting_.begin(), waiting_.end(),
                                [](const TimedNote& n) { return n.kind == TimedNote::Kind::On; }),
                 waiting_.end());
}

std::size_t NoteTimeline::Waiting() const {
  std::lock_guard lock(mutex_);
  return waiting_.size();
}

}  // namespace fw::sound
