#pragma once
// Puts a JACK client's process cycles on the real clock: each cycle's first
// frame gets a stamp (see sample_clock.h) from the server's own cycle times,
// and cycles the client was not run for become silence in the recording, so
// that its frames stay the device's frames.
#include <cstdint>
#include <optional>

#include "bench/sample_clock.h"

namespace bench {

// One process cycle as the callback saw it.
struct JackCycle {
  std::uint32_t deviceFrame = 0;  // the server's frame counter at the cycle's start (wraps)
  double cycleStart = 0;          // µs on the server's clock: when deviceFrame was due
  double serverNow = 0;           // µs on the server's clock, read in the callback...
  double realBefore = 0;          // ...between these two readings of the real clock
  double realAfter = 0;
  bool timesKnown = true;  // the server gave its cycle times
};

class JackCycleClock {
 public:
  // outputLatencyUs: how long after its cycle starts a frame written in it
  // is played (the device's playback latency).
  explicit JackCycleClock(double outputLatencyUs) : outputLatencyUs_(outputLatencyUs) {}

  struct Placed {
    std::int64_t hole = 0;  // silent frames to put before the cycle's own
    ReadStamp stamp;        // of the cycle's first frame, after the hole
  };
  // recorded: frames in the recording before this cycle.
  Placed Place(const JackCycle& cycle, std::int64_t recorded);

 private:
  double outputLatencyUs_;
  // The device frame of the recording's frame 0.
  std::optional<std::uint32_t> origin_;
};

}  // namespace bench
