#include "framework/sound/device_clock.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace fw::sound {
namespace {
// The loop starts wide, to settle within a second or two, and narrows so
// that one late callback barely moves it.
constexpr double kStartBandwidthHz = 1.0;
constexpr double kSteadyBandwidthHz = 0.1;
// A callback this close to a period after the last shows the device's pace.
constexpr double kPaceTolerance = 0.25;
constexpr double kSettleSeconds = 1.0;
}  // namespace

DeviceClock::DeviceClock(double sampleRate)
    : nominalUsPerFrame_(1e6 / sampleRate), usPerFrame_(nominalUsPerFrame_) {}

void DeviceClock::Restart() {
  started_ = false;
  afterFirst_ = false;
  paced_ = false;
  usPerFrame_ = nominalUsPerFrame_;
}

void DeviceClock::Restart(double sampleRate) {
  nominalUsPerFrame_ = 1e6 / sampleRate;
  Restart();
}

void DeviceClock::Observe(std::int64_t frame, double now) {
  if (!started_) {
    started_ = true;
    frame_ = frame;
    time_ = now;
    return;
  }
  const auto frames = static_cast<double>(frame - frame_);
  if (frames <= 0) return;
  const double period = frames * usPerFrame_;
  if (!paced_) {
    // Each callback re-anchors until one comes at the pace of playing. The
    // second callback's distance from the first only says how long the
    // device took to take its first data, even where it looks like a period.
    paced_ = afterFirst_ && std::abs(now - time_ - period) <= kPaceTolerance * period;
    afterFirst_ = true;
    frame_ = frame;
    time_ = now;
    startTime_ = now;
    return;
  }
  const double predicted = time_ + period;
  const double error = now - predicted;
  frame_ = frame;
  // Far earlier than possible, or later than a whole period: the device ran
  // dry and took up again later. Its timeline moved; the rate still holds.
  if (error < -period / 2 || error > period) {
    time_ = now;
    return;
  }
  const double seconds = (now - startTime_) / 1e6;
  // A callback can be held up but never comes before the device asks: while
  // the first notes of a stream play, one earlier than the estimate shows the
  // estimate itself late (its anchor was held up), so it moves there at once.
  if (seconds < kSettleSeconds && error < 0) {
    time_ = now;
    return;
  }
  const double bandwidth = std::max(kSteadyBandwidthHz, kStartBandwidthHz / (1.0 + seconds));
  const double omega = 2 * std::numbers::pi * bandwidth * period / 1e6;
  time_ = predicted + std::numbers::sqrt2 * omega * error;
  usPerFrame_ += omega * omega * error / frames;
}

double DeviceClock::TimeOf(std::int64_t frame) const {
  return time_ + static_cast<double>(frame - frame_) * usPerFrame_;
}

}  // namespace fw::sound
