#include "bench/onset_finder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace bench {
namespace {

std::int64_t Frames(double ms, double rate) { return std::llround(ms * rate / 1000.0); }

double Magnitude(std::int16_t sample) { return std::abs(static_cast<double>(sample)); }

}  // namespace

std::vector<Onset> FindOnsets(std::span<const std::int16_t> samples, double rate, double reference,
                              const OnsetParams& params) {
  const double trigger = params.triggerFraction * reference;
  const double quiet = params.quietFraction * reference;
  const double confirm = params.confirmFraction * reference;
  const std::int64_t gap = Frames(params.gapMs, rate);
  const std::int64_t rise = Frames(params.riseMs, rate);
  const std::int64_t confirmFrames = std::max<std::int64_t>(1, Frames(params.confirmMs, rate));
  const std::int64_t refractory = Frames(params.refractoryMs, rate);
  const std::int64_t sustain = Frames(params.sustainMs, rate);
  const auto count = static_cast<std::int64_t>(samples.size());

  std::vector<Onset> onsets;
  // The last sample at or over the quiet level, trailing the scan by `rise`.
  std::int64_t lastLoud = -gap - 1;
  std::int64_t blockedUntil = 0;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::int64_t trailing = i - rise;
    if (trailing >= 0 && Magnitude(samples[static_cast<std::size_t>(trailing)]) >= quiet) {
      lastLoud = trailing;
    }
    if (i < blockedUntil || Magnitude(samples[static_cast<std::size_t>(i)]) < trigger) continue;
    if (lastLoud >= trailing - gap) continue;  // still sounding: a tail, not an attack
    double peak = 0;
    std::int64_t loud = 0;
    for (std::int64_t j = i; j < std::min(count, i + confirmFrames); ++j) {
      const double magnitude = Magnitude(samples[static_cast<std::size_t>(j)]);
      peak = std::max(peak, magnitude);
      if (magnitude >= trigger) ++loud;
    }
    if (peak < confirm || loud < sustain) continue;
    onsets.push_back({i, peak});
    blockedUntil = i + refractory;
  }
  return onsets;
}

double ReferencePeak(std::span<const std::int16_t> samples, double rate,
                     const OnsetParams& params) {
  double loudest = 0;
  for (std::int16_t sample : samples) loudest = std::max(loudest, Magnitude(sample));
  // Low levels against the loudest sample, so that notes still get through
  // when a stray click is several times louder than they are.
  OnsetParams lenient = params;
  lenient.triggerFraction /= 3;
  lenient.quietFraction /= 4;
  lenient.confirmFraction = 0;
  const std::vector<Onset> rough = FindOnsets(samples, rate, loudest, lenient);
  if (rough.empty()) return loudest;
  std::vector<double> peaks;
  for (const Onset& onset : rough) peaks.push_back(onset.peak);
  std::nth_element(peaks.begin(), peaks.begin() + static_cast<std::ptrdiff_t>(peaks.size() / 2),
                   peaks.end());
  return peaks[peaks.size() / 2];
}

std::vector<Dropout> FindDropouts(std::span<const std::int16_t> samples, double rate, double level,
                                  std::int64_t minFrames) {
  const std::int64_t before = Frames(1, rate);
  const auto count = static_cast<std::int64_t>(samples.size());
  std::vector<Dropout> dropouts;
  std::int64_t lastLoud = -before - 1;
  for (std::int64_t i = 0; i < count;) {
    if (samples[static_cast<std::size_t>(i)] != 0) {
      if (Magnitude(samples[static_cast<std::size_t>(i)]) >= level) lastLoud = i;
      ++i;
      continue;
    }
    std::int64_t end = i;
    while (end < count && samples[static_cast<std::size_t>(end)] == 0) ++end;
    if (end - i >= minFrames && lastLoud >= i - before) dropouts.push_back({i, end - i});
    i = end;
  }
  return dropouts;
}

}  // namespace bench
