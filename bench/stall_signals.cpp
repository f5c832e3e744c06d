// Stops processes (the sound server's, or the program playing the notes)
// for planned stalls: SIGSTOP at each stall's moment after an origin on the
// monotonic clock, SIGCONT its length later. Logs when each was really sent.
// Whatever happens, every process is continued before this one ends.
#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/monotonic.h"
#include "bench/stall_schedule.h"

namespace {

constexpr const char* kUsage =
    "usage: stall_signals --pids PID[,PID...] --origin-us MONOTONIC_US --stalls S:MS[,S:MS...]\n"
    "                     --log FILE\n"
    "Stops the processes at origin + S seconds for MS ms each (SIGSTOP, then SIGCONT) and\n"
    "writes stall,planned_at_s,planned_ms,stop_sent_us,stop_done_us,continue_sent_us,\n"
    "continue_done_us a stall (monotonic µs; the stall lasts from stop_done to continue_sent).\n";

// Sleeps to within 2 ms, then spins: a stall of 30 ms must be 30 ms.
void WaitUntil(double monotonicUs) {
  const double left = monotonicUs - bench::MonotonicUs() - 2000;
  if (left > 0) std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(left)));
  while (bench::MonotonicUs() < monotonicUs) {
  }
}

std::vector<pid_t> ParsePids(const std::string& text) {
  std::vector<pid_t> pids;
  std::stringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    char* end = nullptr;
    const long pid = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || pid <= 1) return {};
    pids.push_back(static_cast<pid_t>(pid));
  }
  return pids;
}

std::vector<pid_t> gStopped;

void ContinueAll() {
  for (auto it = gStopped.rbegin(); it != gStopped.rend(); ++it) kill(*it, SIGCONT);
}

}  // namespace

int main(int argc, char** argv) {
  std::string pidsText, stallsText, logPath;
  double origin = -1;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i], value = argv[i + 1];
    if (arg == "--pids") {
      pidsText = value;
    } else if (arg == "--origin-us") {
      origin = std::strtod(value.c_str(), nullptr);
    } else if (arg == "--stalls") {
      stallsText = value;
    } else if (arg == "--log") {
      logPath = value;
    }
  }
  std::string error;
  const auto stalls = bench::ParseStalls(stallsText, &error);
  gStopped = ParsePids(pidsText);
  if (argc % 2 == 0 || !stalls || gStopped.empty() || origin < 0 || logPath.empty()) {
    std::fprintf(stderr, "stall_signals: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  // A signal to end this process must still leave nothing stopped.
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    std::signal(signal, [](int) {
      ContinueAll();
      std::_Exit(1);
    });
  }
  std::FILE* log = std::fopen(logPath.c_str(), "w");
  if (log == nullptr) {
    std::fprintf(stderr, "stall_signals: cannot write %s\n", logPath.c_str());
    return 1;
  }
  std::fprintf(log,
               "stall,planned_at_s,planned_ms,stop_sent_us,stop_done_us,"
               "continue_sent_us,continue_done_us\n");
  int failures = 0;
  for (std::size_t k = 0; k < stalls->size(); ++k) {
    const bench::PlannedStall& stall = (*stalls)[k];
    WaitUntil(origin + stall.atUs);
    const double stopSent = bench::MonotonicUs();
    for (pid_t pid : gStopped) failures += kill(pid, SIGSTOP) != 0 ? 1 : 0;
    const double stopDone = bench::MonotonicUs();
    WaitUntil(stopDone + stall.lengthUs);
    const double continueSent = bench::MonotonicUs();
    ContinueAll();
    const double continueDone = bench::MonotonicUs();
    std::fprintf(log, "%zu,%.3f,%.3f,%.1f,%.1f,%.1f,%.1f\n", k + 1, stall.atUs / 1e6,
                 stall.lengthUs / 1e3, stopSent, stopDone, continueSent, continueDone);
    std::fflush(log);
  }
  std::fclose(log);
  if (failures > 0) {
    std::fprintf(stderr, "stall_signals: %d signals could not be sent\n", failures);
    return 1;
  }
  return 0;
}
