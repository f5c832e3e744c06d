#pragma once
// Pairs note calls with the onsets heard, in order, when the delay between
// them does not stay put: a stall leaves notes late for a while, then they
// catch up. The pairing that costs least wins, where a call or an onset left
// alone costs skipCost and each change of delay from one pair to the next
// costs what it exceeds the block's jitter by. With a skip cost above the
// usual gap between notes, pairing every late note with the onset of a later
// call is dearer than the true, late pairing.
#include <cstddef>
#include <optional>
#include <vector>

namespace bench {

struct AlignParams {
  double minDelay = -5e3;  // µs, onset − call
  double maxDelay = 3e6;
  double skipCost = 300e3;   // µs of delay change that leaving one call or onset alone is worth
  double slack = 2e3;        // a change of delay this small is the block's, free
  std::size_t maxSkip = 64;  // calls left alone in a row between two pairs
};

// Index into onsets of each call's onset; nullopt for a call left alone.
// Both lists sorted (µs).
std::vector<std::optional<std::size_t>> AlignOnsets(const std::vector<double>& calls,
                                                    const std::vector<double>& onsets,
                                                    const AlignParams& params = {});

}  // namespace bench
