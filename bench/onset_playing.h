#pragma once
// onset_timing's playing: one woodblock note at each given moment through the
// FluidSynth sink, either in one performance on a stream kept open or in
// starts on a stream that has closed as idle, as a mode start finds it.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bench/recording.h"
#include "framework/core/note_player.h"
#include "framework/sound/fluid_sink.h"

namespace bench {

// General MIDI woodblock: a hard attack, short decay, one fixed note and velocity so that
// every onset has the same shape.
inline constexpr int kWoodblock = 115;
inline constexpr int kWoodblockNote = 76;
inline constexpr int kWoodblockVelocity = 100;
// A step this large between two reads breaks the recording's timeline;
// reads with a fresh latency agree to a tenth of a millisecond.
inline constexpr double kTimelineBreakUs = 2000;

// Returns once two seconds of reads hold no break in the timeline; false if
// that never came. keepStreamOpen: meanwhile keep the silent stream open.
bool WaitForSteadyTimeline(const Recording& recorder, fw::sound::FluidSynthSink& sink, double rate,
                           bool keepStreamOpen);

struct Played {
  std::vector<double> calls;  // real µs, taken just before each note-on
  std::vector<double> late;   // µs after the planned moment
};

// A note at origin + each of `starts` (real µs), each releasing the one before.
void PlayAt(fw::sound::FluidSynthSink& sink, const std::vector<double>& starts, double origin,
            Played& played);

struct StartRecord {
  bool awaited = false;  // the output was ready within the limit
  double awaitMs = 0;    // Prepare to the end of the wait
  std::int64_t lateNotes = 0, droppedNotes = 0;
};

// `count` times: waits until the stream has closed as idle, then Prepare,
// waits for the output and plays the first `notes` of `starts`. Empty when
// the stream did not close.
std::vector<StartRecord> PlayColdStarts(fw::sound::FluidSynthSink& sink,
                                        const std::vector<double>& starts, int count,
                                        std::size_t notes, Played& played);

// A start waits this long for the output, as a mode thread does.
inline constexpr std::chrono::milliseconds kOutputWait = fw::sound::kOutputWaitLimit;

}  // namespace bench
