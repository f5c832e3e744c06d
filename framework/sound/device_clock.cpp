#include "framework/sound/device_clock.h"

#include <algorithm>
#include <cmath>

namespace fw::sound {
namespace {
// A callback that starts this soon after the last one ended (as a share of
// the last one's frames) belongs to the same take: the device had room for both.
constexpr double kSameTakeShare = 1.0 / 16;
// Two takes show the pace when the time between them matches the frames
// between them within half a callback (a take is cut into whole callbacks)
// and a wake-up's delay.
constexpr double kPaceJitterUs = 2'000;
// A callback this close to a callback's length after the one before shows a
// device that takes a callback at a time.
constexpr double kPaceTolerance = 0.25;
// Takes above the line by no more than this are on it (a block is the grid),
// and by no more than this beyond the latest of the last second's.
constexpr double kLeastJitterUs = 1'500;
// The takes that say how far above the line an on-time take may come: those
// of the last second, and at least this many.
constexpr double kRecentUs = 1e6;
constexpr int kRecentTakes = 8;
// The line follows the lower edge of this long a stretch of takes upward:
// long enough that the earliest of them is on time.
constexpr double kLatelyUs = 1e6;
// Late takes this close in lateness are as late as one another.
constexpr double kFlatUs = 250;
// A take this much later than the frames before it last is a stall: a
// shorter delay may be a busy machine, or a server that catches up at once.
constexpr double kStallUs = 25'000;
// A move of the line larger than this is the device's timeline moving, not
// a sign of its rate.
constexpr double kShiftUs = 5'000;
// A rise up to this long (a smaller server quantum) is caught up on by
// playing the notes passed over faster than called, so none is lost or
// started together; past it they are gone.
constexpr double kCatchUpLimitUs = 250'000;
// The rate is read over at least this long a stretch of the line, from a
// moment this long after the pace, and never strays further than this from
// the nominal one.
constexpr double kRateOriginUs = 500'000;
constexpr double kRateBaselineUs = 2e6;
constexpr double kRateEveryUs = 1e6;
constexpr double kMaxRateError = 0.005;
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
  takeGap_ = 0;
  completed_ = 0;
  lateRun_ = 0;
  haveOrigin_ = false;
  lag_ = 0;
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

void DeviceClock::Shift(double by) {
  lineTime_ += by;
  if (haveOrigin_ && std::abs(by) > kShiftUs) originTime_ += by;
}

void DeviceClock::Observe(std::int64_t frame, int frames, double now) {
  longest_ = std::max(longest_, frames);
  const std::int64_t end = frame + frames;
  const double lastLength = lastFrames_ * usPerFrame_;
  // The first callback fills the buffer or waits for a device slow to begin.
  const bool newTake = callbacks_ == 0 || now - lastFinished_ >= kSameTakeShare * lastLength;
  // A callback a callback's length after one that was not the first: the
  // device played those frames as they came, as a device that takes a
  // period at a time shows at its first take.
  const bool afterOne = callbacks_ >= (firstKeepsPace_ ? 1 : 2) &&
                        std::abs(now - lastStart_ - lastLength) <= kPaceTolerance * lastLength;
  ++callbacks_;
  lastStart_ = now;
  lastFinished_ = now;
  lastFrames_ = frames;
  if (newTake) {
    refilling_ = false;
    if (paced_) Complete(take_);
    take_ = {now, frame, end};
    if (paced_) TakeUpAgain();
  } else {
    take_.end = end;
  }
  if (paced_ && refilling_) {
    // The callbacks that refill a device that took up again come as fast as
    // they render, like the first ones of a stream: each frame is wanted as
    // the device plays it, not all at once.
    Anchor(end, now);
    return;
  }
  if (paced_) {
    // The device wanted these frames earlier than the line said.
    if (const double lateness = Lateness(take_); lateness < 0) Shift(lateness);
    return;
  }
  if (newTake && callbacks_ > 1) JudgePace(frame, now, afterOne);
  // Until paced the line only follows the callbacks, for a fade's sake.
  if (!paced_) Anchor(frame + longest_, now);
}

void DeviceClock::Rise(double by) {
  // Frames rendered from here on are placed by the risen line only once the
  // lag has run out: the notes of the stretch passed over come closer
  // together instead of all at once.
  const std::int64_t from = take_.end;
  const double lag = by + LagAt(from);
  lag_ = lag <= kCatchUpLimitUs ? lag : 0;
  lagFrame_ = from;
  Shift(by);
}

double DeviceClock::LagAt(std::int64_t frame) const {
  const double caught = static_cast<double>(frame - lagFrame_) * usPerFrame_ * kCatchUpSpeed;
  return std::max(0.0, lag_ - std::max(0.0, caught));
}

void DeviceClock::JudgePace(std::int64_t frame, double now, bool afterOne) {
  bool spanned = false;
  if (haveCandidate_) {
    const double span = now - candidate_.time;
    const double played = static_cast<double>(frame - candidate_.first) * usPerFrame_;
    spanned = std::abs(span - played) <= 0.5 * longest_ * usPerFrame_ + kPaceJitterUs;
  }
  paced_ = afterOne || spanned;
  if (paced_) {
    Anchor(take_.end, now);
    // The last take ended where this one begins: where a server's takes are
    // uneven shares of a callback, it may be the earlier of the two.
    if (spanned && LineAt(frame) > candidate_.time) Anchor(frame, candidate_.time);
    StartFollowing();
    steadyTakeFrames_ = take_.end - take_.first;
    if (haveCandidate_) {
      // The take before the pace only marks where it began: the buffer
      // filled then, and says nothing of the jitter.
      kept_[0] = candidate_;
      kept_[0].counts = false;
      completed_ = 1;
      takeGap_ = now - candidate_.time;
    }
  }
  // Still filling its buffer, or paused since: judge from this take on.
  haveCandidate_ = true;
  candidate_ = take_;
}

void DeviceClock::AssumePaced() {
  if (paced_ || callbacks_ == 0) return;
  paced_ = true;
  Anchor(take_.end, take_.time);
  StartFollowing();
  takeGap_ = longest_ * usPerFrame_;
}

void DeviceClock::StartFollowing() {
  completed_ = 0;
  lateRun_ = 0;
  haveOrigin_ = false;
  pacedAt_ = take_.time;
}

double DeviceClock::TakeSpan(const Take& before, const Take& after) const {
  return after.time - before.time - static_cast<double>(after.first - before.first) * usPerFrame_;
}

double DeviceClock::PaceTolerance() const { return 0.5 * longest_ * usPerFrame_ + kPaceJitterUs; }

bool DeviceClock::AtPace(const Take& before, const Take& after) const {
  return std::abs(TakeSpan(before, after)) <= PaceTolerance();
}

double DeviceClock::SteadyJitter() const {
  // The takes before the current late run, back to a second before it.
  double most = kLeastJitterUs;
  const std::int64_t last = completed_ - 1 - lateRun_;
  if (last < 0) return most;
  const double since = kept_[last % kKept].time - kRecentUs;
  for (std::int64_t k = last; k >= 0 && k > completed_ - kKept; --k) {
    const Take& take = kept_[k % kKept];
    if (take.time < since && last - k >= kRecentTakes) break;
    if (take.counts) most = std::max(most, Lateness(take) + kLeastJitterUs);
  }
  return most;
}

double DeviceClock::LeastLatenessOfLately() const {
  if (completed_ < kRecentTakes) return 0;
  const std::int64_t last = completed_ - 1;
  const double since = kept_[last % kKept].time - kLatelyUs;
  double least = Lateness(kept_[last % kKept]);
  for (std::int64_t k = last - 1; k >= 0 && k > completed_ - kKept; --k) {
    const Take& take = kept_[k % kKept];
    if (take.time < since && last - k >= kRecentTakes) return least;
    least = std::min(least, Lateness(take));
  }
  // A second holds more takes than are kept: those kept judge.
  return least;
}

void DeviceClock::Complete(Take take) {
  const bool haveBefore = completed_ > 0;
  const Take before = haveBefore ? kept_[(completed_ - 1) % kKept] : take;
  const double lateness = Lateness(take);
  const double jitter = SteadyJitter();
  const bool late = lateness > jitter;
  take.counts = !late || (haveBefore && AtPace(before, take));
  kept_[completed_ % kKept] = take;
  ++completed_;
  lateRun_ = late ? lateRun_ + 1 : 0;
  if (!late) steadyTakeFrames_ = take.end - take.first;
  if (lateRun_ >= 3) {
    // Three late takes in a row, as late as each other: the device wants
    // its frames later than before (a smaller quantum, a timeline moved on).
    // A late take alone may be a busy machine, and a server whose requests
    // drift against our callbacks comes back a little earlier each take.
    const Take& first = kept_[(completed_ - 3) % kKept];
    if (std::abs(lateness - Lateness(before)) <= kFlatUs &&
        std::abs(Lateness(before) - Lateness(first)) <= kFlatUs) {
      Rise(lateness);
      lateRun_ = 0;
    }
  }
  // Every take of the last second came above the line: the device is a
  // little slower than the line, and the line follows its lower edge up.
  if (const double least = LeastLatenessOfLately(); least > 0) Rise(least);
  if (!late && haveBefore) takeGap_ = take.time - before.time;
  ReadRate(take.end);
}

void DeviceClock::TakeUpAgain() {
  // A take that came longer after the last than the frames between them
  // last, and late: the device stalled and took up again on a later
  // timeline, or caught up late. Either way the line moves up to it at once,
  // before its notes are placed; a device that catches up brings it down
  // again with its next takes.
  // After late takes the device is changing its pattern, not stalling.
  if (completed_ == 0 || lateRun_ > 0) return;
  if (TakeSpan(kept_[(completed_ - 1) % kKept], take_) <= std::max(PaceTolerance(), kStallUs)) {
    return;
  }
  // The take has only begun: it will likely hold as many frames as a steady one.
  const double lateness = take_.time - LineAt(take_.first + steadyTakeFrames_);
  if (lateness <= SteadyJitter()) return;
  lateRun_ = 0;
  lag_ = 0;
  Shift(lateness);
  refilling_ = true;
  // The rate is read anew from the line the device takes up: across a
  // stall and its refill the line says nothing of it.
  haveOrigin_ = false;
  pacedAt_ = take_.time;
}

void DeviceClock::ReadRate(std::int64_t end) {
  const double line = LineAt(end);
  if (!haveOrigin_) {
    // Once the first takes have drawn the line.
    if (line - pacedAt_ < kRateOriginUs) return;
    haveOrigin_ = true;
    originFrame_ = end;
    originTime_ = line;
    rateReadFrame_ = end;
    return;
  }
  // Read now and then: the line follows the lower edge of the takes by
  // small rises, and a rate read after each would feed on them.
  const double frames = static_cast<double>(end - originFrame_);
  if (frames * usPerFrame_ < kRateBaselineUs ||
      static_cast<double>(end - rateReadFrame_) * usPerFrame_ < kRateEveryUs) {
    return;
  }
  rateReadFrame_ = end;
  usPerFrame_ = std::clamp((line - originTime_) / frames, nominalUsPerFrame_ * (1 - kMaxRateError),
                           nominalUsPerFrame_ * (1 + kMaxRateError));
  Anchor(end, line);
}

double DeviceClock::TimeOf(std::int64_t frame) const {
  // A callback may end as late as the longest one: its first frame's moment
  // is that many frames before the end of the take it belongs to.
  return LineAt(frame + longest_) - LagAt(frame);
}

}  // namespace fw::sound
