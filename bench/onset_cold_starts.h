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
// Two heard notes closer than their calls by more than this are a burst:
// more than the 1.45 ms of the synthesiser's block can make.
inline constexpr double kBurstUs = 5e3;

// A start's notes against each other on the recording's own frames, with no
// clock: the monitor's frames are one run of the sink's time, whatever the
// reads' timestamps say, and a sink's clock is within a few hundred ppm of
// its rate, a fraction of a millisecond over a start.
struct StartSpacing {
  std::size_t heard = 0;  // calls paired with one onset each, in order
  std::size_t extra = 0;  // onsets of the start left without a call
  // Whether the reference is the later notes' median onset − call (at least
  // two heard), else the delay the start's notes share best.
  bool fromLaterNotes = false;
  // µs, (onset − call) − reference of each of the first kLeadNotes; nullopt when unheard.
  std::vector<std::optional<double>> leadOffsets;
  std::optional<double> worstLaterOffset;  // the later notes' own, signed
  // Successive heard notes closer than their calls by over kBurstUs, and the
  // most (µs) any two were closer (negative: all further apart).
  std::size_t bursts = 0;
  std::optional<double> mostCloser;
};

// calls: real µs; ownOnsets: µs on the recording's frames (frame / rate, any
// origin), sorted. Pairs them one to one and in order as the matcher does,
// each pair within `reach` of call + the delay that pairs them best.
StartSpacing MeasureSpacing(const std::vector<double>& calls, const std::vector<double>& ownOnsets,
                            double reach);

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
  // The sounded onsets against the start's calls on the recording's frames.
  StartSpacing spacing;
};

// Calls are played in starts of notesPerStart (the last may be shorter),
// seconds apart, and matched to the onsets all together. onsets: on the real
// clock through the reads; ownOnsets: the same onsets on the recording's
// frames (see StartSpacing).
std::vector<ColdStart> ColdStartFigures(const std::vector<double>& calls,
                                        const std::vector<double>& onsets,
                                        const std::vector<double>& ownOnsets,
                                        const OnsetMatch& match, std::size_t notesPerStart);

// Keeps in `furthest` whichever of the two is further from zero, signed.
void KeepFurthest(std::optional<double>& furthest, std::optional<double> offset);

// The first-notes offset furthest from zero over all starts, signed: by the
// clock, or by the recording's frames.
std::optional<double> WorstLeadOffset(const std::vector<ColdStart>& starts);
std::optional<double> WorstSpacingLeadOffset(const std::vector<ColdStart>& starts);

}  // namespace bench
