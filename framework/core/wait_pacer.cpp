#include "framework/core/wait_pacer.h"

#include <algorithm>
#include <cmath>

namespace fw {

void WaitBook::Learn(double low, double high) {
  if (!(low < high)) return;
  std::lock_guard lock(mutex_);
  for (Interval& known : intervals_) {
    if (low < known.high && known.low < high) {
      known.low = std::max(known.low, low);
      known.high = std::min(known.high, high);
      return;
    }
  }
  if (intervals_.size() == kMaxIntervals) intervals_.erase(intervals_.begin());
  intervals_.push_back({low, high});
}

std::optional<WaitBook::Interval> WaitBook::NextAfter(double elapsed) const {
  std::lock_guard lock(mutex_);
  std::optional<Interval> best;
  for (const Interval& known : intervals_) {
    if (known.high > elapsed && (!best || known.high < best->high)) best = known;
  }
  return best;
}

std::size_t WaitBook::size() const {
  std::lock_guard lock(mutex_);
  return intervals_.size();
}

void WaitTracker::EndWait(WaitBook& book) {
  // The last test ended the wait; the one before it still found time left.
  if (lastTestWithTimeLeft_) book.Learn(*lastTestWithTimeLeft_ - origin_, lastTest_ - origin_);
  state_ = State::Idle;
}

void WaitTracker::OnClockRead(double reading, WaitBook& book) {
  switch (state_) {
    case State::Idle:
      state_ = State::Candidate;
      candidate_ = reading;
      break;
    case State::Candidate:
      // Two reads in a row: the first was a wait's origin, this is its first test.
      state_ = State::InWait;
      origin_ = candidate_;
      lastTest_ = reading;
      lastTestWithTimeLeft_.reset();
      break;
    case State::InWait:
      if (yieldedSinceRead_) {
        lastTestWithTimeLeft_ = lastTest_;
        lastTest_ = reading;
      } else {
        EndWait(book);
        state_ = State::Candidate;
        candidate_ = reading;
      }
      break;
  }
  yieldedSinceRead_ = false;
}

void WaitTracker::OnYield() {
  if (state_ == State::Candidate) state_ = State::Idle;
  yieldedSinceRead_ = true;
}

void WaitTracker::OnOtherCall(WaitBook& book) {
  if (state_ == State::InWait) EndWait(book);
  state_ = State::Idle;
}

std::optional<WaitTracker::Wake> WaitTracker::WakeTarget(const WaitBook& book) const {
  if (state_ != State::InWait || yieldedSinceRead_) return std::nullopt;
  const double elapsed = lastTest_ - origin_;
  auto known = book.NextAfter(elapsed);
  if (!known) return Wake{origin_ + (std::floor(elapsed / kGrid) + 1) * kGrid, false};
  const double low = std::max(known->low, elapsed);
  const bool precise = known->high - low <= kPrecision;
  // Not known closely yet: probe halfway, and learn from where the wait ends.
  const double aim = precise ? known->high : low + (known->high - low) / 2;
  // Steps of the grid that ends at the aim, so the aim itself is reached by a spin.
  const double stepsBefore = std::max(0.0, std::ceil((aim - elapsed) / kGrid) - 1);
  return Wake{origin_ + aim - stepsBefore * kGrid, stepsBefore == 0};
}

}  // namespace fw
