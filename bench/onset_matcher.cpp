#include "bench/onset_matcher.h"

#include <algorithm>
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

OnsetMatch MatchOnsets(const std::vector<double>& calls, const std::vector<double>& onsets,
                       double maxTolerance) {
  OnsetMatch match;
  match.onsetOfCall.resize(calls.size());
  double shortestGap = std::numeric_limits<double>::infinity();
  for (std::size_t i = 1; i < calls.size(); ++i) {
    shortestGap = std::min(shortestGap, calls[i] - calls[i - 1]);
  }
  match.tolerance = std::min(maxTolerance, 0.45 * shortestGap);
  match.typicalDelay = TypicalDelay(calls, onsets).value_or(0);
  std::size_t next = 0;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const double expected = calls[i] + match.typicalDelay;
    while (next < onsets.size() && onsets[next] < expected - match.tolerance) {
      ++match.extra;
      ++next;
    }
    if (next < onsets.size() && onsets[next] <= expected + match.tolerance) {
      match.onsetOfCall[i] = onsets[next++];
    } else {
      ++match.missing;
    }
  }
  match.extra += onsets.size() - next;
  return match;
}

}  // namespace bench
