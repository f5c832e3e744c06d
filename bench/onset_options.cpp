#include "bench/onset_options.h"

#include <cstdlib>

#include "bench/options.h"

namespace bench {

const char* const kOnsetUsage =
    "usage: onset_timing --mode one-shot|looped|original|one-shot-with-ending\n"
    "                    [--minutes M | --stop-after SECONDS] [--seed N] [--out FILE]\n"
    "                    [--source NAME] [--edge-minutes M] [--reads FILE] [--wav FILE]\n"
    "                    [--cold-starts N] [--cold-notes K]\n"
    "                    [--record-latency-ms MS|default] [--help]\n"
    "Plays a woodblock at the start of every step of the mode (its waits from a virtual-clock\n"
    "run) through the FluidSynth sink, records the sound server's source NAME (default\n"
    "bench.monitor; 'jack': what the JACK server's other clients play, through ports of our\n"
    "own) and prints one line of key=value figures of onset - call on stdout;\n"
    "--out writes call_us,onset_us,delay_us per note (µs from the first call), --reads\n"
    "frames,at_us,latency_us,usable per read of the recording, --wav the recording.\n"
    "looped needs --minutes or --stop-after.\n"
    "--cold-starts N: N times, once the stream has closed as idle, Prepare, wait for the\n"
    "output (at most 2.5 s) and play the first K (default 8) steps; one line per start, then\n"
    "the summary; --out writes one CSV line per start.\n"
    "--record-latency-ms: the recorder's fragment (default 10); 'default' leaves it to the\n"
    "server. JACK is read every cycle.\n";

std::optional<OnsetOptions> ParseOnsetOptions(int argc, char** argv, std::string* error) {
  OnsetOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return options;
    }
    if (i + 1 >= argc) {
      *error = "missing value after " + arg;
      return std::nullopt;
    }
    const std::string value = argv[++i];
    char* end = nullptr;
    const double number = std::strtod(value.c_str(), &end);
    const bool numeric = !value.empty() && *end == '\0' && number >= 0;
    const bool whole = numeric && number == static_cast<double>(static_cast<long long>(number));
    if (arg == "--mode" && ModeButton(value) != nullptr) {
      options.mode = value;
    } else if (arg == "--minutes" && numeric && number > 0) {
      options.stopAfter = number * 60e6;
    } else if (arg == "--stop-after" && numeric && number > 0) {
      options.stopAfter = number * 1e6;
    } else if (arg == "--seed" && numeric) {
      options.seed = static_cast<unsigned>(number);
    } else if (arg == "--out") {
      options.out = value;
    } else if (arg == "--reads") {
      options.reads = value;
    } else if (arg == "--wav") {
      options.wav = value;
    } else if (arg == "--source") {
      options.source = value;
    } else if (arg == "--edge-minutes" && numeric && number > 0) {
      options.edgeMinutes = number;
    } else if (arg == "--cold-starts" && whole && number >= 1) {
      options.coldStarts = static_cast<int>(number);
    } else if (arg == "--cold-notes" && whole && number >= 1) {
      options.coldNotes = static_cast<std::size_t>(number);
    } else if (arg == "--record-latency-ms" && value == "default") {
      options.recordLatencyMs = std::nullopt;
    } else if (arg == "--record-latency-ms" && numeric && number >= 1) {
      options.recordLatencyMs = number;
    } else {
      *error = "bad option or value: " + arg + " " + value;
      return std::nullopt;
    }
  }
  if (options.mode.empty()) *error = "give --mode";
  if (options.mode == "looped" && !options.stopAfter && !options.coldStarts) {
    *error = "looped needs --minutes";
  }
  if (!error->empty()) return std::nullopt;
  return options;
}

}  // namespace bench
