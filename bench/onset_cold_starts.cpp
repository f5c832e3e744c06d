#include "bench/onset_cold_starts.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "bench/analysis.h"

namespace bench {

std::vector<ColdStart> ColdStartFigures(const std::vector<double>& calls,
                                        const std::vector<double>& onsets, const OnsetMatch& match,
                                        std::size_t notesPerStart) {
  std::vector<ColdStart> starts;
  if (notesPerStart == 0) return starts;
  auto onset = onsets.begin();
  for (std::size_t first = 0; first < calls.size(); first += notesPerStart) {
    const std::size_t end = std::min(calls.size(), first + notesPerStart);
    // Halfway between this start's last note and the next start's first.
    const double border = end < calls.size()
                              ? (calls[end - 1] + calls[end]) / 2 + match.typicalDelay
                              : std::numeric_limits<double>::infinity();
    const auto after = std::lower_bound(onset, onsets.end(), border);
    auto delay = [&](std::size_t i) -> std::optional<double> {
      if (!match.onsetOfCall[i]) return std::nullopt;
      return *match.onsetOfCall[i] - calls[i];
    };
    ColdStart start;
    start.notes = end - first;
    start.sounded = static_cast<std::size_t>(after - onset);
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
    for (const auto& offset : start.leadOffsets) {
      if (offset && (!worst || std::abs(*offset) > std::abs(*worst))) worst = offset;
    }
  }
  return worst;
}

}  // namespace bench
