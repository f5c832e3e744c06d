#include "bench/options.h"

#include <cstdlib>

#include "bench/score_signatures.h"

namespace bench {

const char* const kUsage =
    "usage: perform (--mode one-shot|looped|original|one-shot-with-ending | --bars "
    "NAME[,NAME...])\n"
    "               [--repeat N] [--stop-after SECONDS] [--clock real|virtual]\n"
    "               [--sound record|fluidsynth] [--seed N] [--realtime] [--midi FILE]\n"
    "               [--waits FILE] [--level FILE] [--no-csv]\n"
    "               [--idle SECONDS] [--server-pid PID] [--help]\n"
    "Prints one line per note call on stdout (t_us,note,velocity; t from the first call)\n"
    "and one line of key=value figures on stderr.\n";

const char* ModeButton(const std::string& mode) {
  if (mode == "one-shot") return "OneShotButton";
  if (mode == "looped") return "LoopedButton";
  if (mode == "original") return "OriginalButton";
  if (mode == "one-shot-with-ending") return "OneShotEndButton";
  return nullptr;
}

namespace {

std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  while (from <= text.size()) {
    const std::size_t comma = text.find(',', from);
    const std::size_t to = comma == std::string::npos ? text.size() : comma;
    if (to > from) parts.push_back(text.substr(from, to - from));
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  return parts;
}

bool ParseNumber(const std::string& text, double* value) {
  char* end = nullptr;
  *value = std::strtod(text.c_str(), &end);
  return !text.empty() && end != nullptr && *end == '\0';
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string* error) {
  Options options;
  auto fail = [&](const std::string& why) -> std::optional<Options> {
    *error = why;
    return std::nullopt;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return options;
    }
    if (arg == "--realtime") {
      options.realtime = true;
      continue;
    }
    if (arg == "--no-csv") {
      options.csv = false;
      continue;
    }
    const std::string* v = value();
    if (v == nullptr) return fail("missing value after " + arg);
    double number = 0;
    if (arg == "--mode") {
      if (ModeButton(*v) == nullptr) return fail("unknown mode " + *v);
      options.mode = *v;
    } else if (arg == "--bars") {
      for (const std::string& name : SplitCommas(*v)) {
        if (BarNamed(name) == nullptr) return fail("unknown bar operation " + name);
        options.bars.push_back(name);
      }
      if (options.bars.empty()) return fail("--bars needs at least one name");
    } else if (arg == "--repeat") {
      if (!ParseNumber(*v, &number) || number < 1)
        return fail("--repeat needs a count of 1 or more");
      options.repeat = static_cast<int>(number);
    } else if (arg == "--stop-after") {
      if (!ParseNumber(*v, &number) || number < 0) return fail("--stop-after needs seconds");
      options.stopAfter = number;
    } else if (arg == "--clock") {
      if (*v != "real" && *v != "virtual") return fail("--clock is real or virtual");
      options.virtualClock = *v == "virtual";
    } else if (arg == "--sound") {
      if (*v != "record" && *v != "fluidsynth") return fail("--sound is record or fluidsynth");
      options.fluidSynth = *v == "fluidsynth";
    } else if (arg == "--seed") {
      if (!ParseNumber(*v, &number) || number < 0) return fail("--seed needs a number");
      options.seed = static_cast<unsigned>(number);
    } else if (arg == "--midi") {
      options.midiPath = *v;
    } else if (arg == "--waits") {
      options.waitsPath = *v;
    } else if (arg == "--idle") {
      if (!ParseNumber(*v, &number) || number <= 0) return fail("--idle needs seconds");
      options.idleSeconds = number;
    } else if (arg == "--server-pid") {
      if (!ParseNumber(*v, &number) || number < 1) return fail("--server-pid needs a process id");
      options.serverPid = static_cast<int>(number);
    } else if (arg == "--level") {
      options.levelPath = *v;
    } else {
      return fail("unknown option " + arg);
    }
  }
  if (options.mode.empty() == options.bars.empty()) return fail("give either --mode or --bars");
  if (options.mode == "looped" && !options.stopAfter) {
    return fail("looped plays until stopped: give --stop-after");
  }
  return options;
}

}  // namespace bench
