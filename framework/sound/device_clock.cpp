#include "framework/sound/device_clock.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace fw::sound {
namespace {
// A callback that starts this soon after the last (as a share of the last
// one's frames) belongs to the same take: the device had room for both.
constexpr double kSameTakeShare = 1.0 / 16;
// Two takes show the pace when the time between them matches the frames
// between them within half a callback (a take is cut into whole callbacks)
// and a wake-up's delay.
constexpr double kPaceJitterUs = 2'000;
// A callback this close to a callback's length after the one before shows a
// device that takes a callback at a time.
constexpr double kPaceTolerance = 0.25;
// Once paced, the line rises to the least lateness of a window of takes, so
// that a device that slowed or paused is followed; below this, it is noise.
constexpr double kMinWindowUs = 1e6;
constexpr double kTakesAWindow = 8;
constexpr double kRiseAboveUs = 300;
// The rate is read over at least this long a stretch of the line, and never
// strays further than this from the nominal one.
constexpr double kRateBaselineUs = 4e6;
constexpr double kMaxRateError = 0.005;
constexpr double kNever = std::numeric_limits<double>::infinity();
}  // namespace

DeviceClock::DeviceClock(double sampleRate)
    : nominalUsPerFrame_(1e6 / sampleRate), usPerFrame_(nominalUsPerFrame_) {}

void DeviceClock::Restart() {
  callbacks_ = 0;
  firstKeepsPace_ = false;
  paced_ = false;
  refilling_ = false;
  haveCandidate_ = false;
  longest_ = 0;
  longestTakeGap_ = 0;
  usPerFrame_ = nominalUsPerFrame_;
}

void DeviceClock::Restart(double sampleRate) {
  nominalUsPerFrame_ = 1e6 / sampleRate;
  Restart();
}

double DeviceClock::LineAt(std::int64_t end) const {
  return lineTime_ + static_cast<double>(end - lineFrame_) * usPerFrame_;
}

void DeviceClock::Anchor(std::int64_t end, double time) {
  lineFrame_ = end;
  lineTime_ = time;
}

void DeviceClock::Observe(std::int64_t frame, int frames, double now) {
  longest_ = std::max(longest_, frames);
  const std::int64_t end = frame + frames;
  const double gap = now - lastCallback_;
  // The first callback fills the buffer or waits for a device slow to begin.
  const double lastLength = lastFrames_ * usPerFrame_;
  const bool newTake = callbacks_ > 0 && gap >= kSameTakeShare * lastLength;
  if (callbacks_ == 0 || newTake) takeTime_ = now;
  // A callback a callback's length after one that was not the first: the
  // device played those frames as they came, as a device that takes a
  // period at a time shows at its first take.
  const bool afterOne = callbacks_ >= (firstKeepsPace_ ? 1 : 2) &&
                        std::abs(gap - lastLength) <= kPaceTolerance * lastLength;
  ++callbacks_;
  lastCallback_ = now;
  lastFrames_ = frames;
  lastEnd_ = end;
  if (paced_) {
    Follow(end, newTake, gap, now);
    return;
  }
  if (newTake) JudgePace(frame, now, afterOne);
  // Until paced the line only follows the callbacks, for a fade's sake.
  if (!paced_) Anchor(frame + longest_, now);
}

void DeviceClock::JudgePace(std::int64_t frame, double now, bool afterOne) {
  bool spanned = false;
  if (haveCandidate_) {
    const double span = now - candidateTime_;
    const double played = static_cast<double>(frame - candidateFrame_) * usPerFrame_;
    spanned = std::abs(span - played) <= 0.5 * longest_ * usPerFrame_ + kPaceJitterUs;
  }
  paced_ = afterOne || spanned;
  if (paced_) {
    Anchor(lastEnd_, now);
    StartWindows(now);
  }
  if (spanned) {
    longestTakeGap_ = now - candidateTime_;
    // The last take ended where this one begins: where a server's takes are
    // uneven shares of a callback, it may be the earlier of the two.
    if (LineAt(frame) > candidateTime_) Anchor(frame, candidateTime_);
  }
  // Still filling its buffer, or paused since: judge from this take on.
  haveCandidate_ = true;
  candidateTime_ = now;
  candidateFrame_ = frame;
}

void DeviceClock::AssumePaced() {
  if (paced_ || callbacks_ == 0) return;
  paced_ = true;
  Anchor(lastEnd_, takeTime_);
  StartWindows(takeTime_);
}

void DeviceClock::StartWindows(double now) {
  haveOrigin_ = false;
  windowLongestGap_ = longestTakeGap_;
  windowStart_ = now;
  windowLeast_ = kNever;
}

void DeviceClock::Follow(std::int64_t end, bool newTake, double gap, double now) {
  if (newTake) refilling_ = false;
  // The callbacks that refill a device that ran dry come as fast as they
  // render, like the first ones of a stream: its frames are wanted as it
  // plays them, not all at once.
  if (refilling_) {
    Anchor(end, now);
    return;
  }
  const double lateness = takeTime_ - LineAt(end);
  const double latest = longestTakeGap_ + longest_ * usPerFrame_;
  if (newTake) {
    // A stretch is remembered for a window: a pause is not a pattern.
    windowLongestGap_ = std::max(windowLongestGap_, gap);
    longestTakeGap_ = std::max(longestTakeGap_, gap);
  }
  if (lateness < 0) {
    // The device wanted these frames earlier than the line said.
    Anchor(end, takeTime_);
  } else if (lateness > latest) {
    // Later than any take could be (the first callback of a take is as late
    // as the take is long): the device ran dry and took up again later. Its
    // timeline moved; the callbacks that refill it bring the line down.
    Anchor(end, takeTime_);
    StartWindows(now);
    refilling_ = true;
    return;
  } else {
    windowLeast_ = std::min(windowLeast_, lateness);
  }
  if (now - windowStart_ >= std::max(kMinWindowUs, kTakesAWindow * longestTakeGap_)) {
    CloseWindow(end, now);
  }
}

void DeviceClock::CloseWindow(std::int64_t end, double now) {
  if (windowLeast_ > kRiseAboveUs && windowLeast_ != kNever) lineTime_ += windowLeast_;
  windowStart_ = now;
  windowLeast_ = kNever;
  longestTakeGap_ = windowLongestGap_;
  windowLongestGap_ = 0;
  // The device's rate against ours, from where the line stands now against
  // where it stood after its first window, once its first takes had drawn it.
  if (!haveOrigin_) {
    haveOrigin_ = true;
    originFrame_ = end;
    originTime_ = LineAt(end);
    return;
  }
  const double frames = static_cast<double>(end - originFrame_);
  if (frames * usPerFrame_ < kRateBaselineUs) return;
  const double line = LineAt(end);
  const double rate = (line - originTime_) / frames;
  usPerFrame_ = std::clamp(rate, nominalUsPerFrame_ * (1 - kMaxRateError),
                           nominalUsPerFrame_ * (1 + kMaxRateError));
  Anchor(end, line);
}

double DeviceClock::TimeOf(std::int64_t frame) const {
  // A callback may end as late as the longest one: its first frame's moment
  // is that many frames before the end of the take it belongs to.
  return LineAt(frame + longest_);
}

}  // namespace fw::sound
