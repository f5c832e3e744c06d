// Plays onset_timing's woodblock at the start of every step of a mode, at the
// score's own times, through the program's FluidSynth sink, in a process that
// can be stopped while a recorder in another goes on. Says on stdout when the
// first note is due (monotonic µs) before it plays; writes each call's
// monotonic time, and at the end one key=value line of the sink's figures.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "bench/monotonic.h"
#include "bench/onset_playing.h"
#include "bench/options.h"
#include "bench/score_steps.h"
#include "framework/core/clock.h"
#include "framework/sound/fluid_sink.h"
#include "framework/sound/soundfont.h"

namespace {

constexpr const char* kUsage =
    "usage: stall_player --mode MODE|irregular --seconds S --calls FILE [--seed N]\n"
    "Plays the first S seconds of MODE's steps, or of notes 110 to 330 ms apart at random\n"
    "(irregular, from SEED); prints origin_us=MONOTONIC_US (when the\n"
    "first note is due) before playing, writes call_us,due_us a note (monotonic) to FILE,\n"
    "then prints late_notes=, dropped_notes=, delay_ms= of the sink.\n";

// Time for whoever stalls the run to read the origin before the first note.
constexpr double kLeadUs = 1e6;

// Notes at uneven gaps: no shift of the notes by a few gaps lines up with
// the notes, so a late stretch cannot be taken for notes lost and found.
std::vector<double> IrregularStarts(double seconds, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<double> starts{0};
  for (;;) {
    const double next = starts.back() + (110 + static_cast<double>(random() % 221)) * 1e3;
    if (next > seconds * 1e6) return starts;
    starts.push_back(next);
  }
}

int Fail(const char* why) {
  std::fprintf(stderr, "stall_player: %s\n", why);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode, callsPath;
  double seconds = 0;
  unsigned seed = 1;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i], value = argv[i + 1];
    if (arg == "--mode") mode = value;
    if (arg == "--seconds") seconds = std::atof(value.c_str());
    if (arg == "--calls") callsPath = value;
    if (arg == "--seed") seed = static_cast<unsigned>(std::atoi(value.c_str()));
  }
  const bool irregular = mode == "irregular";
  if ((!irregular && bench::ModeButton(mode) == nullptr) || seconds <= 0 || callsPath.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::vector<double> starts;
  if (irregular) {
    starts = IrregularStarts(seconds, seed);
  } else {
    const bench::ScoreSteps steps = bench::PlayScoreVirtually(mode, seed, seconds * 1e6 + 1e6);
    for (double start : steps.starts) {
      if (start <= seconds * 1e6) starts.push_back(start);
    }
  }
  if (starts.empty()) return Fail("the mode played no step");

  const auto font = fw::sound::FindSoundFont();
  if (!font) return Fail("no SoundFont");
  fw::sound::FluidSynthSink sink(*font);
  if (!sink.WaitUntilLoaded()) return Fail("the SoundFont did not load");
  sink.ProgramChange(bench::kWoodblock);
  sink.Prepare();
  if (!sink.AwaitOutput(bench::kOutputWait)) return Fail("the audio output did not start");
  // Two seconds of silence first, as onset_timing gives its stream, so the
  // clock has long settled when the first stall comes.
  for (int i = 0; i < 20; ++i) {
    sink.Prepare();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  const double toMonotonic = bench::RealToMonotonicUs();
  const double origin = fw::clock::RealNow() + kLeadUs;
  std::printf("origin_us=%.1f\n", origin + toMonotonic);
  std::fflush(stdout);

  bench::Played played;
  bench::PlayAt(sink, starts, origin, played);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the last note reaches the server
  sink.NoteOff(bench::kWoodblockNote);

  std::FILE* calls = std::fopen(callsPath.c_str(), "w");
  if (calls == nullptr) return Fail("cannot write the calls");
  std::fprintf(calls, "call_us,due_us\n");
  for (std::size_t i = 0; i < played.calls.size(); ++i) {
    std::fprintf(calls, "%.1f,%.1f\n", played.calls[i] + toMonotonic,
                 origin + starts[i] + toMonotonic);
  }
  if (std::fclose(calls) != 0) return Fail("cannot write the calls");
  std::printf("notes=%zu late_notes=%lld dropped_notes=%lld delay_ms=%.3f\n", played.calls.size(),
              static_cast<long long>(sink.LateNotes()), static_cast<long long>(sink.DroppedNotes()),
              sink.Delay() / 1e3);
  return 0;
}
