#pragma once
// Dropouts as a listener hears them, found in a recording of the sound
// server's output: runs of exact digital silence inside the music. The music,
// reverb included, never sits at exactly zero in every channel, so a run of
// zeros between its first and its last audible sample is time the server had
// nothing to play.
#include <cstddef>
#include <vector>

namespace bench {

struct ZeroRun {
  long long start = 0;  // frame
  long long frames = 0;
};

struct SilenceGaps {
  // Frames of the first and last sample above the audible level; -1 if none.
  long long firstAudible = -1, lastAudible = -1;
  // Every run of all-zero frames between them, however short, in order.
  std::vector<ZeroRun> runs;
};

// Fed a recording in pieces of interleaved float frames.
class SilenceGapFinder {
 public:
  // audible: the level (full scale 1.0) a sample must exceed to count as music.
  SilenceGapFinder(int channels, float audible);
  void Add(const float* interleaved, std::size_t frames);
  SilenceGaps Result() const;

 private:
  const int channels_;
  const float audible_;
  long long frame_ = 0;
  long long zeroRunStart_ = -1;  // the open run of zeros, if any
  SilenceGaps found_;
};

}  // namespace bench
