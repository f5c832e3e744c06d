#include "bench/sample_clock.h"

#include <algorithm>
#include <cmath>

namespace bench {
namespace {

double Played(const ReadStamp& stamp) { return stamp.at - stamp.latency; }

}  // namespace

std::optional<SampleClock> SampleClock::FromStamps(std::vector<ReadStamp> stamps, double rate,
                                                   double jump, std::size_t halfWindow) {
  SampleClock clock;
  clock.microsPerFrame_ = 1e6 / rate;
  clock.jump_ = jump;
  clock.halfWindow_ = halfWindow;
  const auto cut = std::remove_if(stamps.begin(), stamps.end(),
                                  [](const ReadStamp& stamp) { return !stamp.usable; });
  clock.leftOut_ = static_cast<std::size_t>(stamps.end() - cut);
  stamps.erase(cut, stamps.end());
  if (stamps.empty()) return std::nullopt;
  clock.stamps_ = std::move(stamps);
  clock.segments_.push_back(0);
  for (std::size_t i = 1; i < clock.stamps_.size(); ++i) {
    const ReadStamp& before = clock.stamps_[i - 1];
    const ReadStamp& after = clock.stamps_[i];
    const double frames = static_cast<double>(after.frames - before.frames);
    const double step = Played(after) - frames * clock.microsPerFrame_ - Played(before);
    clock.steps_.push_back(step);
    if (std::abs(step) >= jump) clock.segments_.push_back(i);
  }
  return clock;
}

double SampleClock::Time(double frame) const {
  const auto next = std::lower_bound(
      stamps_.begin(), stamps_.end(), frame,
      [](const ReadStamp& s, double f) { return static_cast<double>(s.frames) < f; });
  const std::size_t k =
      std::min(static_cast<std::size_t>(next - stamps_.begin()), stamps_.size() - 1);
  const auto segment = std::upper_bound(segments_.begin(), segments_.end(), k) - 1;
  const std::size_t from = std::max(*segment, k > halfWindow_ ? k - halfWindow_ : 0);
  const std::size_t segmentEnd = segment + 1 == segments_.end() ? stamps_.size() : *(segment + 1);
  const std::size_t to = std::min(segmentEnd, k + halfWindow_ + 1);
  // Least squares around the read's own frame, for precision.
  const double origin = static_cast<double>(stamps_[k].frames);
  double meanX = 0, meanY = 0;
  for (std::size_t i = from; i < to; ++i) {
    meanX += static_cast<double>(stamps_[i].frames) - origin;
    meanY += Played(stamps_[i]);
  }
  const auto count = static_cast<double>(to - from);
  meanX /= count;
  meanY /= count;
  double xx = 0, xy = 0;
  for (std::size_t i = from; i < to; ++i) {
    const double x = static_cast<double>(stamps_[i].frames) - origin - meanX;
    xx += x * x;
    xy += x * (Played(stamps_[i]) - meanY);
  }
  const double slope = xx > 0 ? xy / xx : microsPerFrame_;
  return meanY + slope * (frame - origin - meanX);
}

std::vector<double> SampleClock::Residuals() const {
  std::vector<double> residuals;
  for (const ReadStamp& stamp : stamps_) {
    residuals.push_back(Played(stamp) - Time(static_cast<double>(stamp.frames)));
  }
  return residuals;
}

double SampleClock::SinkClockPpm() const {
  double span = 0, drift = 0;
  for (std::size_t i = 1; i < stamps_.size(); ++i) {
    if (std::abs(steps_[i - 1]) >= jump_) continue;
    span += Played(stamps_[i]) - Played(stamps_[i - 1]);
    drift += steps_[i - 1];
  }
  return span > 0 ? -drift / span * 1e6 : 0.0;
}

}  // namespace bench
