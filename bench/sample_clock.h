#pragma once
// Puts the frames of a recording on the real clock, from what was known at
// each read: how many frames had been read, when, and the stream's latency
// (how long before the read the next frame to read was played; negative if
// it is still to be played).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace bench {

struct ReadStamp {
  std::int64_t frames = 0;  // frames read so far
  double at = 0;            // real clock, µs
  double latency = 0;       // µs, the stream's: negative for a monitor whose sink plays later
  bool usable = true;       // false when the latency was unknown or cannot be pinned to `at`
};

// Each read says when one frame is played: at - latency. A frame is timed by
// a straight line through the reads within `halfWindow` reads of it, which
// follows a sink clock that runs off the real one (the null sink's runs
// ~0.09 % fast, and wanders while a stream starts) and smooths the reads' own
// scatter, but does not reach across
// a step of `jump` µs or more between two reads, where the stream's timeline
// broke (part of it dropped or repeated, or a latency that lagged caught up).
class SampleClock {
 public:
  // Unusable stamps are left out. Nullopt when no stamp is left.
  static std::optional<SampleClock> FromStamps(std::vector<ReadStamp> stamps, double rate,
                                               double jump = 2000, std::size_t halfWindow = 25);

  double Time(double frame) const;

  std::size_t Used() const { return stamps_.size(); }
  std::size_t LeftOut() const { return leftOut_; }
  // Disagreement (µs) of each read with the read before it about where the
  // timeline is, taking each frame as 1/rate s.
  const std::vector<double>& Steps() const { return steps_; }
  // How far each read lies from the line that times its frame (µs).
  std::vector<double> Residuals() const;
  // How much faster than the real clock the frames ran, in parts per
  // million, over all reads, not counting the steps where the timeline broke.
  double SinkClockPpm() const;

 private:
  std::vector<ReadStamp> stamps_;
  double microsPerFrame_ = 0;
  double jump_ = 0;
  std::size_t halfWindow_ = 0;
  std::size_t leftOut_ = 0;
  std::vector<double> steps_;          // steps_[i - 1]: from read i - 1 to read i
  std::vector<std::size_t> segments_;  // the first read of each unbroken stretch
};

}  // namespace bench
