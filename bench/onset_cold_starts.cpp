#include "bench/onset_cold_starts.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "bench/analysis.h"

namespace bench {
namespace {

// As the matcher: leaving a call or an onset alone costs 1 each, a pair
// (offset / reach)².
constexpr double kAloneCost = 1;
// Delays this close are one candidate, as for the matcher's typical delay.
constexpr double kDelayWindowUs = 4e3;
// Two pairings whose pairs differ by no more than this each are equally good:
// the synthesiser's block alone moves a note by up to 1.45 ms.
constexpr double kEqualFitUs = 2e3;

struct Pairing {
  std::vector<std::optional<std::size_t>> onsetOfCall;
  std::size_t pairs = 0;
  double worth = 0;           // 2 × kAloneCost − (offset / reach)² a pair
  std::size_t lateCalls = 0;  // the sum of the paired calls' indices
};

// The best in-order, one-to-one pairing of calls and onsets around one delay.
Pairing PairAround(const std::vector<double>& calls, const std::vector<double>& onsets,
                   double delay, double reach) {
  enum class Step : unsigned char { kCallAlone, kOnsetAlone, kPair };
  const std::size_t width = onsets.size() + 1;
  // Over the first i calls and the first j onsets, at [i * width + j].
  std::vector<double> worth((calls.size() + 1) * width, 0);
  std::vector<Step> last(worth.size(), Step::kCallAlone);
  for (std::size_t i = 0; i <= calls.size(); ++i) {
    for (std::size_t j = 0; j < width; ++j) {
      if (i == 0 && j == 0) continue;
      double best = -std::numeric_limits<double>::infinity();
      Step how = Step::kCallAlone;
      if (i > 0) best = worth[(i - 1) * width + j];
      if (j > 0 && worth[i * width + j - 1] > best) {
        best = worth[i * width + j - 1];
        how = Step::kOnsetAlone;
      }
      if (i > 0 && j > 0) {
        const double off = (onsets[j - 1] - calls[i - 1] - delay) / reach;
        const double paired = worth[(i - 1) * width + j - 1] + 2 * kAloneCost - off * off;
        if (std::abs(off) <= 1 && paired > best) {
          best = paired;
          how = Step::kPair;
        }
      }
      worth[i * width + j] = best;
      last[i * width + j] = how;
    }
  }
  Pairing pairing;
  pairing.onsetOfCall.resize(calls.size());
  pairing.worth = worth.back();
  for (std::size_t i = calls.size(), j = onsets.size(); i > 0 || j > 0;) {
    switch (last[i * width + j]) {
      case Step::kCallAlone:
        --i;
        break;
      case Step::kOnsetAlone:
        --j;
        break;
      case Step::kPair:
        pairing.onsetOfCall[--i] = --j;
        ++pairing.pairs;
        pairing.lateCalls += i;
        break;
    }
  }
  return pairing;
}

// The delays worth trying: the middle of each window of onset − call
// differences holding at least half as many as the densest.
std::vector<double> CandidateDelays(const std::vector<double>& calls,
                                    const std::vector<double>& onsets) {
  std::vector<double> differences;
  for (double onset : onsets) {
    for (double call : calls) differences.push_back(onset - call);
  }
  std::sort(differences.begin(), differences.end());
  std::vector<std::size_t> counts(differences.size());
  std::size_t densest = 0;
  for (std::size_t from = 0, to = 0; from < differences.size(); ++from) {
    while (to < differences.size() && differences[to] - differences[from] <= kDelayWindowUs) ++to;
    counts[from] = to - from;
    densest = std::max(densest, counts[from]);
  }
  std::vector<double> candidates;
  for (std::size_t from = 0; from < differences.size(); ++from) {
    if (2 * counts[from] < densest) continue;
    const double middle = differences[from + counts[from] / 2];
    if (candidates.empty() || middle - candidates.back() > kDelayWindowUs / 8) {
      candidates.push_back(middle);
    }
  }
  return candidates;
}

// Where two pairings fit equally well, the one that leaves earlier calls
// alone: with equal steps, a start that lost its first note and one that lost
// its last look the same on the frames, and the first is the fault looked for.
bool Better(const Pairing& a, const Pairing& b, double reach) {
  const double equal =
      static_cast<double>(std::max(a.pairs, b.pairs)) * std::pow(kEqualFitUs / reach, 2);
  if (std::abs(a.worth - b.worth) > equal) return a.worth > b.worth;
  return a.lateCalls > b.lateCalls;
}

}  // namespace

void KeepFurthest(std::optional<double>& furthest, std::optional<double> offset) {
  if (offset && (!furthest || std::abs(*offset) > std::abs(*furthest))) furthest = offset;
}

StartSpacing MeasureSpacing(const std::vector<double>& calls, const std::vector<double>& ownOnsets,
                            double reach) {
  Pairing best;
  best.onsetOfCall.resize(calls.size());
  double shared = 0;
  bool tried = false;
  for (double delay : CandidateDelays(calls, ownOnsets)) {
    Pairing pairing = PairAround(calls, ownOnsets, delay, reach);
    if (!tried || Better(pairing, best, reach)) {
      best = std::move(pairing);
      shared = delay;
      tried = true;
    }
  }
  auto delay = [&](std::size_t i) -> std::optional<double> {
    if (!best.onsetOfCall[i]) return std::nullopt;
    return ownOnsets[*best.onsetOfCall[i]] - calls[i];
  };
  StartSpacing spacing;
  spacing.heard = best.pairs;
  spacing.extra = ownOnsets.size() - best.pairs;
  std::vector<double> later;
  for (std::size_t i = kLeadNotes; i < calls.size(); ++i) {
    if (delay(i)) later.push_back(*delay(i));
  }
  spacing.fromLaterNotes = later.size() >= 2;
  const double reference = spacing.fromLaterNotes ? *Percentile(later, 50) : shared;
  auto offset = [&](std::size_t i) {
    const auto d = delay(i);
    return d ? std::optional<double>(*d - reference) : std::nullopt;
  };
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (i < kLeadNotes) {
      spacing.leadOffsets.push_back(offset(i));
    } else {
      KeepFurthest(spacing.worstLaterOffset, offset(i));
    }
  }
  std::optional<std::size_t> previous;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (!delay(i)) continue;
    if (previous) {
      const double closer = *delay(*previous) - *delay(i);
      if (closer > kBurstUs) ++spacing.bursts;
      if (!spacing.mostCloser || closer > *spacing.mostCloser) spacing.mostCloser = closer;
    }
    previous = i;
  }
  return spacing;
}

std::vector<ColdStart> ColdStartFigures(const std::vector<double>& calls,
                                        const std::vector<double>& onsets,
                                        const std::vector<double>& ownOnsets,
                                        const OnsetMatch& match, std::size_t notesPerStart) {
  std::vector<ColdStart> starts;
  if (notesPerStart == 0) return starts;
  // Halfway between a start's last note and the next start's first.
  std::vector<double> borders;
  for (std::size_t end = notesPerStart; end < calls.size(); end += notesPerStart) {
    borders.push_back((calls[end - 1] + calls[end]) / 2 + match.typicalDelay);
  }
  // Each onset goes to the start nearest on the clock, but never to one
  // before its predecessor's: the recording's order holds where the clock may not.
  std::vector<std::size_t> startOfOnset(onsets.size());
  for (std::size_t j = 0; j < onsets.size(); ++j) {
    const auto nearest = static_cast<std::size_t>(
        std::upper_bound(borders.begin(), borders.end(), onsets[j]) - borders.begin());
    startOfOnset[j] = j > 0 ? std::max(startOfOnset[j - 1], nearest) : nearest;
  }
  auto onset = startOfOnset.begin();
  for (std::size_t first = 0; first < calls.size(); first += notesPerStart) {
    const std::size_t end = std::min(calls.size(), first + notesPerStart);
    const auto after = std::upper_bound(onset, startOfOnset.end(), starts.size());
    auto delay = [&](std::size_t i) -> std::optional<double> {
      if (!match.onsetOfCall[i]) return std::nullopt;
      return *match.onsetOfCall[i] - calls[i];
    };
    ColdStart start;
    start.notes = end - first;
    start.sounded = static_cast<std::size_t>(after - onset);
    const auto own = ownOnsets.begin() + (onset - startOfOnset.begin());
    const std::vector<double> startCalls(calls.begin() + static_cast<std::ptrdiff_t>(first),
                                         calls.begin() + static_cast<std::ptrdiff_t>(end));
    const std::vector<double> startOnsets(own, own + (after - onset));
    start.spacing = MeasureSpacing(startCalls, startOnsets, match.maxOffset);
    onset = after;
    std::vector<double> later;
    for (std::size_t i = first; i < end; ++i) {
      if (!delay(i)) continue;
      ++start.heard;
      if (i - first >= kLeadNotes) later.push_back(*delay(i));
    }
    // One later note alone may itself be off.
    start.fromLaterNotes = later.size() >= 2;
    start.reference = start.fromLaterNotes ? *Percentile(later, 50) : match.typicalDelay;
    for (std::size_t i = first; i < std::min(end, first + kLeadNotes); ++i) {
      const auto d = delay(i);
      start.leadOffsets.push_back(d ? std::optional<double>(*d - start.reference) : std::nullopt);
    }
    starts.push_back(std::move(start));
  }
  return starts;
}

std::optional<double> WorstLeadOffset(const std::vector<ColdStart>& starts) {
  std::optional<double> worst;
  for (const ColdStart& start : starts) {
    for (const auto& offset : start.leadOffsets) KeepFurthest(worst, offset);
  }
  return worst;
}

std::optional<double> WorstSpacingLeadOffset(const std::vector<ColdStart>& starts) {
  std::optional<double> worst;
  for (const ColdStart& start : starts) {
    for (const auto& offset : start.spacing.leadOffsets) KeepFurthest(worst, offset);
  }
  return worst;
}

}  // namespace bench
