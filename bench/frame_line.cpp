#include "bench/frame_line.h"

#include <algorithm>
#include <cmath>

namespace bench {

std::optional<FrameLine> FrameLine::Fit(const std::vector<ReadStamp>& stamps, double rate,
                                        const std::vector<std::pair<double, double>>& leaveOut) {
  std::vector<const ReadStamp*> kept;
  for (const ReadStamp& stamp : stamps) {
    const bool inStall = std::any_of(leaveOut.begin(), leaveOut.end(), [&](const auto& window) {
      return stamp.at >= window.first && stamp.at < window.second;
    });
    if (stamp.usable && !inStall) kept.push_back(&stamp);
  }
  if (kept.size() < 2) return std::nullopt;
  FrameLine line;
  line.nominalUsPerFrame_ = 1e6 / rate;
  line.used_ = kept.size();
  // Centred on the means, so that large clock values keep their precision.
  double meanX = 0, meanY = 0;
  for (const ReadStamp* stamp : kept) {
    meanX += static_cast<double>(stamp->frames);
    meanY += stamp->at - stamp->latency;
  }
  meanX /= static_cast<double>(kept.size());
  meanY /= static_cast<double>(kept.size());
  double xx = 0, xy = 0;
  for (const ReadStamp* stamp : kept) {
    const double x = static_cast<double>(stamp->frames) - meanX;
    xx += x * x;
    xy += x * (stamp->at - stamp->latency - meanY);
  }
  line.frame_ = meanX;
  line.at_ = meanY;
  line.usPerFrame_ = xx > 0 ? xy / xx : line.nominalUsPerFrame_;
  for (const ReadStamp* stamp : kept) {
    const double residual =
        stamp->at - stamp->latency - line.Time(static_cast<double>(stamp->frames));
    line.worstResidual_ = std::max(line.worstResidual_, std::abs(residual));
  }
  return line;
}

}  // namespace bench
