#pragma once
// A small Standard MIDI File writer (format 0, one track) for the score with
// ideal timing, for the command-line player to play the same music.
#include <cstdint>
#include <string>
#include <vector>

#include "bench/analysis.h"
#include "bench/trace_recorder.h"

namespace bench {

struct MidiEvent {
  enum Kind { NoteOn, NoteOff, Program } kind;
  double t = 0;  // µs from the start
  int data = 0;  // note or program
  int velocity = 0;
};

// Every wait of the score is a whole number of these, so ticks are exact.
constexpr double kMicrosPerTick = 3125.0;

// When each token starts with ideal timing: the sum of the score waits before
// it; one more entry at the end, the time after the last wait.
std::vector<double> IdealTokenTimes(const std::vector<Token>& tokens, const Analysis& analysis);

// The mode thread's calls placed at the sum of the score waits before them;
// `end` receives the time after the last wait.
std::vector<MidiEvent> IdealTimeline(const std::vector<Token>& tokens, const Analysis& analysis,
                                     double* end);

std::vector<std::uint8_t> EncodeMidiFile(const std::vector<MidiEvent>& events, double end);
bool WriteMidiFile(const std::string& path, const std::vector<MidiEvent>& events, double end);

}  // namespace bench
