#include "bench/onset_alignment.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace bench {
namespace {

struct Pair {
  std::size_t call = 0, onset = 0;
  double delay = 0;
  double cost = 0;  // of the best pairing up to and including this pair
  std::ptrdiff_t previous = -1;
};

}  // namespace

std::vector<std::optional<std::size_t>> AlignOnsets(const std::vector<double>& calls,
                                                    const std::vector<double>& onsets,
                                                    const AlignParams& params) {
  const double skip = params.skipCost;
  std::vector<Pair> pairs;
  std::vector<std::size_t> firstPairOf(calls.size() + 1, 0);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    firstPairOf[i] = pairs.size();
    auto onset = std::lower_bound(onsets.begin(), onsets.end(), calls[i] + params.minDelay);
    for (; onset != onsets.end() && *onset <= calls[i] + params.maxDelay; ++onset) {
      const auto j = static_cast<std::size_t>(onset - onsets.begin());
      pairs.push_back({i, j, *onset - calls[i], 0, -1});
    }
  }
  firstPairOf[calls.size()] = pairs.size();

  const auto alone = [&](std::size_t skippedCalls, std::size_t skippedOnsets) {
    return skip * static_cast<double>(skippedCalls + skippedOnsets);
  };
  double best = alone(calls.size(), onsets.size());
  std::ptrdiff_t last = -1;
  for (std::size_t p = 0; p < pairs.size(); ++p) {
    Pair& pair = pairs[p];
    pair.cost = alone(pair.call, pair.onset);  // everything before left alone
    const std::size_t fromCall = pair.call > params.maxSkip ? pair.call - params.maxSkip - 1 : 0;
    for (std::size_t q = firstPairOf[fromCall]; q < firstPairOf[pair.call]; ++q) {
      const Pair& before = pairs[q];
      if (before.onset >= pair.onset) continue;
      const double change = std::max(0.0, std::abs(pair.delay - before.delay) - params.slack);
      const double cost =
          before.cost + alone(pair.call - before.call - 1, pair.onset - before.onset - 1) + change;
      if (cost < pair.cost) {
        pair.cost = cost;
        pair.previous = static_cast<std::ptrdiff_t>(q);
      }
    }
    const double total =
        pair.cost + alone(calls.size() - 1 - pair.call, onsets.size() - 1 - pair.onset);
    if (total < best) {
      best = total;
      last = static_cast<std::ptrdiff_t>(p);
    }
  }

  std::vector<std::optional<std::size_t>> onsetOfCall(calls.size());
  for (std::ptrdiff_t p = last; p >= 0; p = pairs[static_cast<std::size_t>(p)].previous) {
    onsetOfCall[pairs[static_cast<std::size_t>(p)].call] = pairs[static_cast<std::size_t>(p)].onset;
  }
  return onsetOfCall;
}

}  // namespace bench
