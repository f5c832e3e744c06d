// Records a sound server's source in a process of its own, so that stopping
// the program that plays does not stop the recording: the samples (16-bit
// mono, raw) and, per read, the frames read so far, the monotonic time and
// the stream's latency. Says "ready" on stdout once two seconds of reads
// hold an unbroken timeline; records until SIGINT or SIGTERM.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "bench/monitor_recorder.h"
#include "bench/monotonic.h"
#include "bench/onset_files.h"
#include "bench/onset_playing.h"
#include "bench/sample_clock.h"

namespace {

constexpr const char* kUsage =
    "usage: record_monitor --source NAME --rate HZ --samples FILE --reads FILE\n"
    "Writes FILE of raw s16le mono samples and frames,at_us,latency_us,usable a read\n"
    "(at_us on the monotonic clock) once stopped by SIGINT or SIGTERM.\n";

// Two seconds of recent reads with a latency each and no break between them.
bool Steady(const bench::Recording& recorder, double rate) {
  const auto reads =
      static_cast<std::size_t>(std::max(4.0, std::round(2.0 / recorder.FragmentSeconds())));
  const auto recent = recorder.RecentStamps(reads);
  const auto clock = bench::SampleClock::FromStamps(recent, rate, bench::kTimelineBreakUs);
  if (recent.size() < reads || !clock || clock->Used() < reads * 9 / 10) return false;
  const auto& steps = clock->Steps();
  return std::all_of(steps.begin(), steps.end(),
                     [](double step) { return std::abs(step) < bench::kTimelineBreakUs; });
}

bool WriteSamples(const std::string& path, const std::vector<std::int16_t>& samples) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written =
      std::fwrite(samples.data(), sizeof(std::int16_t), samples.size(), file) == samples.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  std::string source, samplesPath, readsPath;
  int rate = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i], value = argv[i + 1];
    if (arg == "--source") source = value;
    if (arg == "--rate") rate = std::atoi(value.c_str());
    if (arg == "--samples") samplesPath = value;
    if (arg == "--reads") readsPath = value;
  }
  if (source.empty() || rate <= 0 || samplesPath.empty() || readsPath.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  // Blocked before the server library starts its threads: only sigwait below takes them.
  sigset_t ending;
  sigemptyset(&ending);
  sigaddset(&ending, SIGINT);
  sigaddset(&ending, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &ending, nullptr);

  bench::MonitorRecorder recorder(source, rate, 120);
  std::string error;
  if (!recorder.Start(&error)) {
    std::fprintf(stderr, "record_monitor: cannot record %s\n", error.c_str());
    return 1;
  }
  for (int tries = 0; tries < 300 && !Steady(recorder, rate); ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::printf(Steady(recorder, rate) ? "ready\n" : "unsteady\n");
  std::fflush(stdout);
  int signal = 0;
  sigwait(&ending, &signal);
  recorder.Stop();
  if (!recorder.ReadError().empty()) {
    std::fprintf(stderr, "record_monitor: %s\n", recorder.ReadError().c_str());
    return 1;
  }
  std::vector<bench::ReadStamp> stamps = recorder.Stamps();
  const double toMonotonic = bench::RealToMonotonicUs();
  for (bench::ReadStamp& stamp : stamps) stamp.at += toMonotonic;
  if (!WriteSamples(samplesPath, recorder.Samples()) || !bench::WriteReads(readsPath, stamps)) {
    std::fprintf(stderr, "record_monitor: cannot write the recording\n");
    return 1;
  }
  std::fprintf(stderr, "record_monitor: %zu frames, %zu reads, %lld frames of holes\n",
               recorder.Samples().size(), stamps.size(),
               static_cast<long long>(recorder.HoleFrames()));
  return 0;
}
