#pragma once
// The recording's frames on one straight line to the monotonic clock, fitted
// to the reads outside the stalls: where a sink catches up after a stall by
// rendering the time it missed, its frames stay one run of its own time, so
// the line times every frame, those played during a stall too. Where frames
// were lost or repeated, the reads after the stall lie off the line.
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "bench/sample_clock.h"

namespace bench {

class FrameLine {
 public:
  // Usable stamps outside every [from, to) of leaveOut (monotonic µs);
  // nullopt with fewer than two.
  static std::optional<FrameLine> Fit(const std::vector<ReadStamp>& stamps, double rate,
                                      const std::vector<std::pair<double, double>>& leaveOut);

  double Time(double frame) const { return at_ + usPerFrame_ * (frame - frame_); }
  // The largest distance (µs) of a read it was fitted to from the line.
  double WorstResidual() const { return worstResidual_; }
  // How much faster than the monotonic clock the frames ran.
  double Ppm() const { return (nominalUsPerFrame_ / usPerFrame_ - 1) * 1e6; }
  std::size_t Used() const { return used_; }

 private:
  double frame_ = 0, at_ = 0, usPerFrame_ = 0, nominalUsPerFrame_ = 0, worstResidual_ = 0;
  std::size_t used_ = 0;
};

}  // namespace bench
