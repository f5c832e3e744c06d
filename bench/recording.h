#pragma once
// What onset_timing needs of a recorder of the sound server's output, be it a
// pulse monitor source or JACK ports: the samples, and stamps that put every
// frame on the real clock (see sample_clock.h).
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/sample_clock.h"

namespace bench {

// A stamp's readings of the clocks are for one moment inside the calls that
// took them; calls that took longer than this (the thread was preempted)
// cannot be pinned to the real clock.
inline constexpr double kLongestReadingUs = 200;

// Two channels to one 16-bit sample, their mean, as a pulse server remixes a
// monitor for a mono recording.
inline std::int16_t MonoSample(double left, double right) {
  return static_cast<std::int16_t>(
      std::lround(std::clamp((left + right) / 2.0 * 32768.0, -32768.0, 32767.0)));
}

class Recording {
 public:
  virtual ~Recording() = default;

  // Starts reading; false (and *error) when the server refused.
  virtual bool Start(std::string* error) = 0;
  // Stops reading; whatever the server still holds is dropped.
  virtual void Stop() = 0;

  // Frames a second of the recording.
  virtual int Rate() const = 0;
  // How much is read at a time (after Start): a stamp follows each read.
  virtual double FragmentSeconds() const = 0;
  // The last `count` stamps so far (fewer at first); safe while reading.
  virtual std::vector<ReadStamp> RecentStamps(std::size_t count) const = 0;
  // After Stop: mono, 16 bits.
  const std::vector<std::int16_t>& Samples() const { return samples_; }
  const std::vector<ReadStamp>& Stamps() const { return stamps_; }
  // Frames the server had no data for (left silent in Samples).
  std::int64_t HoleFrames() const { return holeFrames_; }
  // What went wrong while reading; empty when nothing did.
  const std::string& ReadError() const { return readError_; }

 protected:
  std::vector<std::int16_t> samples_;
  std::vector<ReadStamp> stamps_;
  std::int64_t holeFrames_ = 0;
  std::string readError_;
};

}  // namespace bench
