#pragma once
// The command line of `onset_timing`.
#include <cstddef>
#include <optional>
#include <string>

namespace bench {

struct OnsetOptions {
  std::string mode;
  std::optional<double> stopAfter;  // µs of score time
  std::optional<unsigned> seed;
  std::string out, reads, wav;
  std::string source = "bench.monitor";
  double edgeMinutes = 1;
  // Instead of one whole performance: this many starts on a closed stream,
  // each playing the first coldNotes steps.
  std::optional<int> coldStarts;
  std::size_t coldNotes = 8;
  // The recorder's fragment; nullopt leaves it to the server.
  std::optional<double> recordLatencyMs = 10;
  bool help = false;
};

// Parses argv; on a mistake returns nullopt and puts the reason in *error.
std::optional<OnsetOptions> ParseOnsetOptions(int argc, char** argv, std::string* error);

extern const char* const kOnsetUsage;

}  // namespace bench
