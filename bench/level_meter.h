#pragma once
// How loud the music comes out: the mode thread's calls, with ideal timing,
// rendered offline through a synthesiser with the program's settings.
#include <cstdint>
#include <string>
#include <vector>

#include "bench/analysis.h"
#include "bench/midi_file.h"
#include "framework/sound/fluid_sink.h"

namespace bench {

struct Level {
  float peak = 0;  // largest magnitude of a sample, either channel; 1 is full scale
  double sumSquares = 0;
  std::int64_t samples = 0;  // both channels counted
  std::int64_t clipped = 0;  // samples at or beyond full scale
  void Add(float sample);
  void Add(const Level& other);
  double Rms() const;
};

double Dbfs(double amplitude);

// Plays the events through the synthesiser, each at its own sample, and
// measures the output of each span [starts[i], starts[i + 1]); the last span
// runs to `until`. Times in µs; starts must not be empty.
std::vector<Level> RenderLevels(fw::sound::FluidSynthSink& synth,
                                const std::vector<MidiEvent>& events,
                                const std::vector<double>& starts, double until);

// One span a bar, from its first call to the next bar's (the first from 0,
// the last to 3 s after the end, so that its last note rings out). Writes
// "bar,start_s,peak_dbfs,rms_dbfs,clipped" lines to `path` and adds the whole
// run's figures to `line`; false when the SoundFont or the file fails.
bool MeasureLevels(const std::vector<Token>& tokens, const Analysis& analysis,
                   const std::string& path, SummaryLine& line);

}  // namespace bench
