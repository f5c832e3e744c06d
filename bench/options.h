#pragma once
// The command line of `perform`.
#include <optional>
#include <string>
#include <vector>

namespace bench {

struct Options {
  std::string mode;               // one-shot, looped, original, one-shot-with-ending; or empty
  std::vector<std::string> bars;  // bar operations, when no mode is given
  int repeat = 1;
  std::optional<double> stopAfter;  // seconds of clock time after the start click
  bool virtualClock = false;
  bool fluidSynth = false;
  std::optional<unsigned> seed;
  bool realtime = false;
  std::string midiPath;   // write the mode thread's calls there with ideal timing
  std::string waitsPath;  // write every measured wait there
  std::string levelPath;  // render the mode thread's calls offline, write each bar's level there
  bool csv = true;
  std::optional<double> idleSeconds;  // measure CPU this long before the start and after the end
  std::optional<int> serverPid;       // the sound server, whose CPU is measured beside ours
  bool help = false;                  // print the usage and do nothing else
};

// The radio button that selects a mode; null for an unknown mode.
const char* ModeButton(const std::string& mode);

// Parses argv; on a mistake returns nullopt and puts the reason in *error.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string* error);

extern const char* const kUsage;

}  // namespace bench
