#include "bench/onset_matcher.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace bench {

std::optional<double> TypicalDelay(const std::vector<double>& calls,
                                   const std::vector<double>& onsets, double minDelay,
                                   double maxDelay, double window) {
  std::vector<double> differences;
  for (double onset : onsets) {
    auto call = std::lower_bound(calls.begin(), calls.end(), onset - maxDelay);
    for (; call != calls.end() && onset - *call >= minDelay; ++call) {
      differences.push_back(onset - *call);
    }
  }
  if (differences.empty()) return std::nullopt;
  std::sort(differences.begin(), differences.end());
  std::size_t bestFrom = 0, bestCount = 0, to = 0;
  for (std::size_t from = 0; from < differences.size(); ++from) {
    to = std::max(to, from);
    while (to < differences.size() && differences[to] - differences[from] <= window) ++to;
    if (to - from > bestCount) {
      bestCount = to - from;
      bestFrom = from;
    }
  }
  return differences[bestFrom + bestCount / 2];
}

namespace {

// Leaving a call or an onset alone costs 1 each; a pair costs (offset /
// maxOffset)²: any pair within reach is worth more than leaving its call and
// its onset alone, and a nearer pair more than a further one.
constexpr double kAloneCost = 1;

struct Pair {
  std::size_t call = 0, onset = 0;
  double total = 0;  // the pairs' worth up to and including this one
  std::ptrdiff_t previous = -1;
};

// The best pair so far among onsets before a given one: a Fenwick tree of
// maxima over onset indices.
class BestBefore {
 public:
  explicit BestBefore(std::size_t onsets) : tree_(onsets + 1, -1) {}
  // The best pair whose onset comes before `onset`; -1 for none.
  std::ptrdiff_t Before(std::size_t onset, const std::vector<Pair>& pairs) const {
    std::ptrdiff_t best = -1;
    for (std::size_t k = onset; k > 0; k &= k - 1) best = Better(best, tree_[k], pairs);
    return best;
  }
  void Add(std::size_t onset, std::ptrdiff_t pair, const std::vector<Pair>& pairs) {
    for (std::size_t k = onset + 1; k < tree_.size(); k += k & (~k + 1)) {
      tree_[k] = Better(tree_[k], pair, pairs);
    }
  }

 private:
  static std::ptrdiff_t Better(std::ptrdiff_t a, std::ptrdiff_t b, const std::vector<Pair>& pairs) {
    if (a < 0) return b;
    if (b < 0) return a;
    return pairs[static_cast<std::size_t>(b)].total > pairs[static_cast<std::size_t>(a)].total ? b
                                                                                               : a;
  }
  std::vector<std::ptrdiff_t> tree_;
};

}  // namespace

OnsetMatch MatchOnsets(const std::vector<double>& calls, const std::vector<double>& onsets,
                       double maxTolerance, double maxOffset) {
  OnsetMatch match;
  match.onsetOfCall.resize(calls.size());
  double shortestGap = std::numeric_limits<double>::infinity();
  for (std::size_t i = 1; i < calls.size(); ++i) {
    shortestGap = std::min(shortestGap, calls[i] - calls[i - 1]);
  }
  match.tolerance = std::min(maxTolerance, 0.45 * shortestGap);
  match.maxOffset = maxOffset;
  match.typicalDelay = TypicalDelay(calls, onsets).value_or(0);

  // The best in-order pairing: each pair may follow only pairs of earlier
  // calls and earlier onsets. A call's own pairs join the tree after it, so
  // that no call takes two onsets.
  std::vector<Pair> pairs;
  BestBefore best(onsets.size());
  std::ptrdiff_t last = -1;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const double expected = calls[i] + match.typicalDelay;
    const std::size_t first = pairs.size();
    auto onset = std::lower_bound(onsets.begin(), onsets.end(), expected - maxOffset);
    for (; onset != onsets.end() && *onset <= expected + maxOffset; ++onset) {
      const auto j = static_cast<std::size_t>(onset - onsets.begin());
      const double off = (*onset - expected) / maxOffset;
      const std::ptrdiff_t previous = best.Before(j, pairs);
      const double before = previous < 0 ? 0 : pairs[static_cast<std::size_t>(previous)].total;
      pairs.push_back({i, j, before + 2 * kAloneCost - off * off, previous});
    }
    for (std::size_t k = first; k < pairs.size(); ++k) {
      const auto index = static_cast<std::ptrdiff_t>(k);
      best.Add(pairs[k].onset, index, pairs);
      if (last < 0 || pairs[k].total > pairs[static_cast<std::size_t>(last)].total) last = index;
    }
  }

  std::size_t matched = 0;
  for (std::ptrdiff_t k = last; k >= 0; k = pairs[static_cast<std::size_t>(k)].previous) {
    const Pair& pair = pairs[static_cast<std::size_t>(k)];
    const double onset = onsets[pair.onset];
    match.onsetOfCall[pair.call] = onset;
    ++matched;
    const double off = onset - calls[pair.call] - match.typicalDelay;
    if (std::abs(off) > match.tolerance) ++match.offNotes;
    if (!match.worstOffset || std::abs(off) > std::abs(*match.worstOffset)) {
      match.worstOffset = off;
    }
  }
  match.missing = calls.size() - matched;
  match.extra = onsets.size() - matched;
  return match;
}

}  // namespace bench
