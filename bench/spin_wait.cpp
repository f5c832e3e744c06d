// An experiment beside `perform`: the score's waits carried out by the same
// loop as the program's (read the clock, test, yield), but with a yield that
// only passes a free baton and never sleeps. It shows what the wait pacer
// saves in CPU and what it costs in precision.

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/analysis.h"
#include "bench/cpu_time.h"
#include "bench/options.h"
#include "bench/score_signatures.h"
#include "bench/trace_recorder.h"
#include "framework/core/clock.h"
#include "framework/sound/fluid_sink.h"
#include "framework/sound/soundfont.h"
#include "framework/testing/recording_sink.h"

namespace {

constexpr std::uint64_t kThread = 1;

// The baton as a yield finds it when nobody waits: a lock taken and given back.
class SpinningYield {
 public:
  void operator()() {
    std::lock_guard lock(mutex_);
    if (waiting_ != 0) std::this_thread::yield();
  }

 private:
  std::mutex mutex_;
  int waiting_ = 0;
};

class Player {
 public:
  Player(bench::Recorder& recorder, fw::NoteSink& sink) : recorder_(recorder), sink_(sink) {}

  void Play(const bench::BarSignature& bar) {
    for (const bench::Step& step : bar.steps) {
      switch (step.kind) {
        case bench::Step::Note:
          Note(step.note, step.velocity);
          break;
        case bench::Step::Wait:
          TimedWait(step.length);
          break;
        case bench::Step::Yield:
          Yield();
          break;
      }
    }
  }

 private:
  double Read() {
    const double now = fw::clock::RealNow();
    recorder_.OnEvent({fw::trace::Kind::ClockRead, 0, 0, now}, kThread);
    return now;
  }

  void Yield() {
    recorder_.OnEvent({fw::trace::Kind::Yield, 0, 0, fw::clock::RealNow()}, kThread);
    yield_();
  }

  void Note(int note, int velocity) {
    recorder_.OnEvent({fw::trace::Kind::Note, note, velocity, fw::clock::RealNow()}, kThread);
    if (velocity == 0) {
      sink_.NoteOff(note);
    } else {
      sink_.NoteOn(note, velocity);
    }
  }

  // The program's wait loop, word for word.
  void TimedWait(double d) {
    const double origin = Read();
    while (Read() - origin < d) Yield();
  }

  bench::Recorder& recorder_;
  fw::NoteSink& sink_;
  SpinningYield yield_;
};

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  auto options = bench::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (options && !options->mode.empty() && options->mode != "original") {
    error = "only --mode original has a fixed order of bars";
    options.reset();
  }
  const char* const spinUsage =
      "usage: spin_wait (--mode original | --bars NAME[,NAME...]) "
      "[--repeat N] [--sound record|fluidsynth] [--waits FILE] [--no-csv] [--help]\n";
  if (options && options->help) {
    std::fputs(spinUsage, stdout);
    return 0;
  }
  if (!options) {
    std::fprintf(stderr, "spin_wait: %s\n%s", error.c_str(), spinUsage);
    return 2;
  }
  std::vector<std::string> order;
  for (int pass = 0; pass < options->repeat; ++pass) {
    const auto names = options->mode.empty() ? options->bars : bench::WrittenOrder();
    order.insert(order.end(), names.begin(), names.end());
  }

  std::shared_ptr<fw::NoteSink> sink;
  if (options->fluidSynth) {
    const auto font = fw::sound::FindSoundFont();
    if (!font) return 1;
    auto synth = std::make_shared<fw::sound::FluidSynthSink>(*font);
    if (!synth->WaitUntilLoaded()) return 1;
    sink = synth;
  } else {
    sink = std::make_shared<fw::testing::RecordingSink>();
  }

  bench::Recorder recorder;
  const double start = fw::clock::RealNow();
  const double cpuAtStart = bench::OwnCpuMicros();
  std::thread mode([&] {
    Player player(recorder, *sink);
    for (const std::string& name : order) player.Play(*bench::BarNamed(name));
  });
  mode.join();
  const double wall = fw::clock::RealNow() - start;
  const double cpu = bench::OwnCpuMicros() - cpuAtStart;
  recorder.Finish();

  const auto tokens = recorder.ModeTokens();
  const bench::Analysis analysis = bench::Analyse(tokens, &order);
  double modeCpu = 0, modeWall = 0;
  for (const auto& [thread, sample] : recorder.Cpu()) {
    modeCpu += sample.lastCpu - sample.firstCpu;
    modeWall += sample.lastWall - sample.firstWall;
  }
  if (!options->waitsPath.empty()) bench::WriteWaits(options->waitsPath, analysis.waits);
  if (options->csv) {
    const auto notes = recorder.NoteCalls();
    for (const bench::Token& note : notes) {
      std::printf("%.1f,%d,%d\n", note.t - notes.front().t, note.note, note.velocity);
    }
    std::fflush(stdout);
  }

  bench::SummaryLine line;
  line.Add("run", std::string("spin-yield"));
  line.Add("sound", std::string(options->fluidSynth ? "fluidsynth" : "record"));
  bench::AddTimingFigures(line, analysis);
  line.Add("cpu_pct", cpu / wall * 100, 2);
  line.Add("mode_cpu_pct",
           modeWall > 0 ? std::optional<double>(modeCpu / modeWall * 100) : std::nullopt, 2);
  line.Add("rss_mb", bench::OwnPeakRssMb());
  line.Add("wall_s", wall / 1e6, 3);
  std::fprintf(stderr, "%s\n", line.Text().c_str());
  return 0;
}
