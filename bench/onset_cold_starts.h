#pragma once
// How the first notes of a start on a closed stream came out against the
// notes after them: early, late, or lost while the stream got going.
#include <cstddef>
#include <optional>
#include <vector>

#include "bench/onset_matcher.h"

namespace bench {

// The notes of a start that are set against its later ones.
inline constexpr std::size_t kLeadNotes = 4;

struct ColdStart {
  std::size_t notes = 0;
  std::size_t heard = 0;  // matched to an onset
  // Onsets closer to this start than to any other, matched or not: whether
  // its notes sounded, even where the recording's timeline broke too badly
  // for matching (with a recorder that leaves the sink its own latency).
  std::size_t sounded = 0;
  // µs: the median delay of the start's later notes when at least two were
  // heard, else the typical delay of the whole run.
  double reference = 0;
  bool fromLaterNotes = false;
  // µs, delay − reference of each of the first kLeadNotes; nullopt when unheard.
  std::vector<std::optional<double>> leadOffsets;
};

// Calls are played in starts of notesPerStart (the last may be shorter),
// seconds apart, and matched to the onsets all together.
std::vector<ColdStart> ColdStartFigures(const std::vector<double>& calls,
                                        const std::vector<double>& onsets, const OnsetMatch& match,
                                        std::size_t notesPerStart);

// The first-notes offset furthest from zero over all starts, signed.
std::optional<double> WorstLeadOffset(const std::vector<ColdStart>& starts);

}  // namespace bench
