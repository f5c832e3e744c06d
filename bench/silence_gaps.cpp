#include "bench/silence_gaps.h"

#include <cmath>

namespace bench {

SilenceGapFinder::SilenceGapFinder(int channels, float audible)
    : channels_(channels), audible_(audible) {}

void SilenceGapFinder::Add(const float* interleaved, std::size_t frames) {
  for (std::size_t i = 0; i < frames; ++i, ++frame_) {
    const float* frame = interleaved + i * static_cast<std::size_t>(channels_);
    bool zero = true, audible = false;
    for (int channel = 0; channel < channels_; ++channel) {
      zero = zero && frame[channel] == 0.0f;
      audible = audible || std::abs(frame[channel]) > audible_;
    }
    if (zero) {
      if (zeroRunStart_ < 0) zeroRunStart_ = frame_;
      continue;
    }
    // Runs before the music are the silence it starts from, not gaps.
    if (zeroRunStart_ >= 0 && found_.firstAudible >= 0) {
      found_.runs.push_back({zeroRunStart_, frame_ - zeroRunStart_});
    }
    zeroRunStart_ = -1;
    if (audible) {
      if (found_.firstAudible < 0) found_.firstAudible = frame_;
      found_.lastAudible = frame_;
    }
  }
}

SilenceGaps SilenceGapFinder::Result() const {
  // Runs in the inaudible tail after the music are not gaps either.
  SilenceGaps result = found_;
  std::erase_if(result.runs,
                [&](const ZeroRun& run) { return run.start + run.frames > result.lastAudible; });
  return result;
}

}  // namespace bench
