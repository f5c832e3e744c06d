#pragma once
// Pairs the times of note calls with the onsets found in the recording, in
// order, around the delay that most of them share.
#include <cstddef>
#include <optional>
#include <vector>

namespace bench {

// The delay most onset-call pairs agree on: the median of the densest
// `window` µs of all differences onset − call within [minDelay, maxDelay].
// Both lists sorted; nullopt when no pair is in range.
std::optional<double> TypicalDelay(const std::vector<double>& calls,
                                   const std::vector<double>& onsets, double minDelay = -20e3,
                                   double maxDelay = 1e6, double window = 4e3);

struct OnsetMatch {
  std::vector<std::optional<double>> onsetOfCall;  // one entry a call
  std::size_t missing = 0;                         // calls without an onset
  std::size_t extra = 0;                           // onsets without a call
  double typicalDelay = 0;
  double tolerance = 0;  // how far from the typical delay an onset may be
};

// Each call takes the first onset not yet taken that lies within the
// tolerance of call + typical delay; the tolerance is the smaller of
// maxTolerance and 45 % of the shortest gap between calls, so that no onset
// fits two calls. Both lists sorted.
OnsetMatch MatchOnsets(const std::vector<double>& calls, const std::vector<double>& onsets,
                       double maxTolerance = 20e3);

}  // namespace bench
