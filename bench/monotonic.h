#pragma once
// The system's monotonic clock in µs from its own origin: the one clock that
// the player, the recorder and the process sending the stalls share. The
// program's real clock counts from each process's start instead.
#include <chrono>

#include "framework/core/clock.h"

namespace bench {

inline double MonotonicUs() {
  return std::chrono::duration<double, std::micro>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// What to add to this process's real clock to get the monotonic clock.
inline double RealToMonotonicUs() { return MonotonicUs() - fw::clock::RealNow(); }

}  // namespace bench
