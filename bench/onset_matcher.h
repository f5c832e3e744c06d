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
  // How far from the typical delay a note in steady playing may lie: the
  // smaller of maxTolerance and 45 % of the shortest gap between calls.
  double tolerance = 0;
  // How far a late or early note may lie and still be matched.
  double maxOffset = 0;
  std::size_t offNotes = 0;           // matched further than the tolerance off
  std::optional<double> worstOffset;  // signed, of the matched note furthest off
};

// Pairs calls and onsets one to one and in order (a later call never takes
// an earlier onset), each pair within maxOffset of call + typical delay. Of
// all such pairings it takes the one that leaves the fewest calls and onsets
// alone, a pair costing more the further it lies off: a note a period or two
// late is a late note, not a missing one plus an extra onset, and an onset
// between two close calls goes to the one it fits better. Both lists sorted.
OnsetMatch MatchOnsets(const std::vector<double>& calls, const std::vector<double>& onsets,
                       double maxTolerance = 20e3, double maxOffset = 60e3);

}  // namespace bench
