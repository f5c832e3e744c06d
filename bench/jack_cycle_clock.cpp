#include "bench/jack_cycle_clock.h"

#include "bench/recording.h"

namespace bench {

JackCycleClock::Placed JackCycleClock::Place(const JackCycle& cycle, std::int64_t recorded) {
  Placed placed;
  if (cycle.timesKnown) {
    if (!origin_) origin_ = cycle.deviceFrame - static_cast<std::uint32_t>(recorded);
    // Unsigned difference, then signed: right across the counter's wrap.
    const auto due = static_cast<std::int32_t>(cycle.deviceFrame - *origin_);
    if (due >= recorded) {
      placed.hole = due - recorded;
    } else {
      // The counter went back (the server restarted): the recording starts
      // over from here, and its clock shows the break.
      origin_ = cycle.deviceFrame - static_cast<std::uint32_t>(recorded);
    }
  }
  // The real clock read around the server's clock gives their offset;
  // the cycle's start, moved by it, is when its first frame was due.
  const double at = (cycle.realBefore + cycle.realAfter) / 2;
  placed.stamp.frames = recorded + placed.hole;
  placed.stamp.at = at;
  placed.stamp.latency = cycle.serverNow - cycle.cycleStart - outputLatencyUs_;
  placed.stamp.usable = cycle.timesKnown && cycle.realAfter - cycle.realBefore <= kLongestReadingUs;
  return placed;
}

}  // namespace bench
