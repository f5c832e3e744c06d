#pragma once
// Finds note onsets in a recorded signal in which every note has the same
// sharp attack: the first sample over a fixed fraction of the typical note
// peak, after a quiet gap, confirmed by the note's own peak just after it
// and by its staying loud (a lone click does not). Also finds dropouts.
#include <cstdint>
#include <span>
#include <vector>

namespace bench {

struct OnsetParams {
  double triggerFraction = 0.3;  // of the reference peak: the onset sample
  double quietFraction = 0.2;    // nothing in the gap before the attack reaches this
  double confirmFraction = 0.6;  // the note's peak, within confirmMs of the onset
  double gapMs = 5;              // quiet this long before the attack...
  double riseMs = 1;             // ...not counting this much just before the onset
  double confirmMs = 3;
  double sustainMs = 0.25;   // samples over the trigger level within confirmMs: no lone click
  double refractoryMs = 25;  // a note's own decay and early reverb, never a new onset
};

struct Onset {
  std::int64_t frame = 0;
  double peak = 0;  // largest magnitude within confirmMs of the onset
};

// Onsets against a given reference peak (the typical note's peak magnitude).
std::vector<Onset> FindOnsets(std::span<const std::int16_t> samples, double rate, double reference,
                              const OnsetParams& params = {});

// The typical note's peak: the median peak of the onsets found against the
// loudest sample, so that one stray click cannot set the scale.
double ReferencePeak(std::span<const std::int16_t> samples, double rate,
                     const OnsetParams& params = {});

struct Dropout {
  std::int64_t frame = 0;
  std::int64_t frames = 0;
};

// Runs of at least `minFrames` exact zeros right after sound that reached
// `level` within the millisecond before: stretches the server played as
// silence because the stream had nothing ready. A sound that dies away falls
// under `level` long before its samples reach zero.
std::vector<Dropout> FindDropouts(std::span<const std::int16_t> samples, double rate, double level,
                                  std::int64_t minFrames = 16);

}  // namespace bench
