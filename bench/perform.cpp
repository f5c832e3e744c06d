// Plays the program through its real code (Window1 on our runtime, a
// recording platform instead of a screen) and measures how it keeps time.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/startup.h"
#include "bench/analysis.h"
#include "bench/cpu_time.h"
#include "bench/level_meter.h"
#include "bench/midi_file.h"
#include "bench/options.h"
#include "bench/timing_sink.h"
#include "bench/trace_recorder.h"
#include "framework/core/application.h"
#include "framework/core/clock.h"
#include "framework/core/controls.h"
#include "framework/core/misc.h"
#include "framework/core/note_player.h"
#include "framework/core/scheduler.h"
#include "framework/sound/fluid_sink.h"
#include "framework/sound/soundfont.h"
#include "framework/testing/recording_platform.h"
#include "framework/testing/recording_sink.h"
#include "window/control_lookup.h"
#include "window/window1.h"

namespace {

constexpr double kVirtualQuantum = 3125.0;  // divides every wait of the score

// The recording platform, noting when the window is shown.
class BenchPlatform : public fw::testing::RecordingPlatform {
 public:
  void ShowWindow(fw::Window& window) override {
    if (shownAt < 0) shownAt = fw::clock::RealNow();
    RecordingPlatform::ShowWindow(window);
  }
  std::atomic<double> shownAt{-1};
};

struct Usage {
  double cpu = 0;  // µs of user and system time
  double maxRssMb = 0;
};

Usage ProcessUsage() { return {bench::OwnCpuMicros(), bench::OwnPeakRssMb()}; }

// What happened when, seen from outside the program's code.
struct Moments {
  std::mutex mutex;
  std::condition_variable changed;
  bool started = false;
  bool over = false;
  double startClick = -1;  // real µs
  double startClock = 0;   // the runtime clock at the start click
  double stopClick = -1;
  Usage atStart;
  std::optional<double> serverAtStart;
};

void Click(const std::function<void(Window1&)>& action) {
  fw::scheduler::EventScope holdBaton;
  action(*accessors::Window1());
}

// The mode thread of --bars: the bar operations, in order, under the baton.
void StartBarsRun(const bench::Options& options, fw::testing::RecordingPlatform& platform,
                  const std::shared_ptr<fw::scheduler::RunState>& run) {
  fw::scheduler::Start(run, [&options, &platform, run] {
    try {
      auto window = accessors::Window1();
      for (int pass = 0; pass < options.repeat; ++pass) {
        for (const std::string& name : options.bars) {
          ((*window).*Window1::BarOperationNamed(name))();
        }
      }
    } catch (const fw::ThreadKilled&) {
    } catch (...) {
      fw::ReportThreadException(std::current_exception());
    }
    fw::sound::ReleaseNotesOf(run->id);
    platform.Quit();
  });
}

// CPU of this process and of the sound server over a span of wall time, in % of a core.
struct CpuShare {
  std::optional<double> own, server;
};

CpuShare MeasureCpu(double seconds, std::optional<int> serverPid) {
  const double ownBefore = bench::OwnCpuMicros();
  const auto serverBefore = serverPid ? bench::ProcessCpuMicros(*serverPid) : std::nullopt;
  const double wallBefore = fw::clock::RealNow();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const double wall = fw::clock::RealNow() - wallBefore;
  CpuShare share;
  share.own = (bench::OwnCpuMicros() - ownBefore) / wall * 100;
  const auto serverAfter = serverPid ? bench::ProcessCpuMicros(*serverPid) : std::nullopt;
  if (serverBefore && serverAfter) share.server = (*serverAfter - *serverBefore) / wall * 100;
  return share;
}

// After the music: the stream closes once its output has died away.
std::optional<double> WaitForStreamClosed(const fw::sound::FluidSynthSink* synth) {
  const double from = fw::clock::RealNow();
  while (synth != nullptr && synth->StreamOpen()) {
    if (fw::clock::RealNow() - from > 10e6) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return (fw::clock::RealNow() - from) / 1e3;
}

void PrintCsv(const std::vector<bench::Token>& notes) {
  if (notes.empty()) return;
  std::string out;
  out.reserve(notes.size() * 20);
  char line[64];
  for (const bench::Token& note : notes) {
    std::snprintf(line, sizeof line, "%.1f,%d,%d\n", note.t - notes.front().t, note.note,
                  note.velocity);
    out += line;
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto parsed = bench::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!parsed) {
    std::fprintf(stderr, "perform: %s\n%s", error.c_str(), bench::kUsage);
    return 2;
  }
  const bench::Options& options = *parsed;
  if (options.help) {
    std::fputs(bench::kUsage, stdout);
    return 0;
  }

  auto platformOwner = std::make_unique<BenchPlatform>();
  BenchPlatform& platform = *platformOwner;
  fw::InstallPlatform(std::move(platformOwner));

  std::shared_ptr<fw::NoteSink> inner;
  std::shared_ptr<fw::sound::FluidSynthSink> synth;
  double fontLoadMs = 0;
  if (options.fluidSynth) {
    const auto font = fw::sound::FindSoundFont();
    if (!font) {
      std::fprintf(stderr, "perform: no SoundFont in %s\n", fw::sound::kSoundFontFolder);
      return 1;
    }
    const double before = fw::clock::RealNow();
    synth = std::make_shared<fw::sound::FluidSynthSink>(*font);
    // Measure playing, not loading: start once the SoundFont is in.
    if (!synth->WaitUntilLoaded()) return 1;
    fontLoadMs = (fw::clock::RealNow() - before) / 1e3;
    inner = synth;
  } else {
    inner = std::make_shared<fw::testing::RecordingSink>();
  }
  auto sink = std::make_shared<bench::TimingSink>(inner);
  fw::sound::InstallSink(sink);

  if (options.virtualClock) {
    fw::clock::UseVirtualClock(kVirtualQuantum);
  } else {
    fw::clock::UseRealClock();
  }
  if (options.seed) fw::random::SetSeed(*options.seed);
  fw::scheduler::SetRealtimeThreads(options.realtime);

  bench::Recorder recorder;
  recorder.Install();

  Moments moments;
  auto barsRun = std::make_shared<fw::scheduler::RunState>();
  auto markStarted = [&] {
    std::lock_guard lock(moments.mutex);
    moments.startClick = fw::clock::RealNow();
    moments.startClock = fw::clock::Now();
    moments.atStart = ProcessUsage();
    if (options.serverPid) moments.serverAtStart = bench::ProcessCpuMicros(*options.serverPid);
    moments.started = true;
    moments.changed.notify_all();
  };

  platform.OnMessage([&platform](const std::string&) { platform.Quit(); });
  if (!options.mode.empty()) {
    const char* button = bench::ModeButton(options.mode);
    platform.Post([button] {
      Click([button](Window1& w) { LookUpControl<fw::RadioButton>(&w, button).Click(); });
    });
    platform.Post([&] {
      markStarted();
      Click([](Window1& w) { LookUpControl<fw::PushButton>(&w, "play").Press(); });
    });
  } else {
    platform.Post([&] {
      markStarted();
      fw::scheduler::EventScope holdBaton;
      StartBarsRun(options, platform, barsRun);
    });
  }

  // Presses stop after the given clock time, unless the run ends first.
  std::thread stopper;
  if (options.stopAfter) {
    stopper = std::thread([&] {
      std::unique_lock lock(moments.mutex);
      moments.changed.wait(lock, [&] { return moments.started || moments.over; });
      const double due = moments.startClock + *options.stopAfter * 1e6;
      if (options.virtualClock) {
        while (!moments.over && fw::clock::Now() < due) {
          lock.unlock();
          std::this_thread::sleep_for(std::chrono::microseconds(20));
          lock.lock();
        }
      } else {
        const auto wake = std::chrono::steady_clock::now() +
                          std::chrono::microseconds(static_cast<long long>(due - fw::clock::Now()));
        moments.changed.wait_until(lock, wake, [&] { return moments.over; });
      }
      if (moments.over) return;
      moments.stopClick = fw::clock::RealNow();
      lock.unlock();
      platform.Post([&] {
        if (options.bars.empty()) {
          Click([](Window1& w) { LookUpControl<fw::PushButton>(&w, "stop").Press(); });
          return;
        }
        // No mode was started, so the stop button is disabled: run its action directly.
        Click([](Window1& w) { w.stop_Action(); });
        fw::scheduler::MarkKilled(*barsRun);
        fw::sound::ReleaseNotesOf(barsRun->id);
      });
    });
  }

  // Idle with the SoundFont loaded and nothing played yet.
  CpuShare idleBefore;
  if (options.idleSeconds) idleBefore = MeasureCpu(*options.idleSeconds, options.serverPid);

  const double mainCalledAt = fw::clock::RealNow();
  Main();  // start-up and the event loop, until the farewell message (or the bars' end)

  const double endAt = fw::clock::RealNow();
  const Usage atEnd = ProcessUsage();
  {
    std::lock_guard lock(moments.mutex);
    moments.over = true;
  }
  moments.changed.notify_all();
  if (stopper.joinable()) stopper.join();
  const auto serverAtEnd =
      options.serverPid ? bench::ProcessCpuMicros(*options.serverPid) : std::nullopt;
  std::optional<double> streamClosedMs;
  CpuShare idleAfter;
  if (options.idleSeconds) {
    streamClosedMs = WaitForStreamClosed(synth.get());
    idleAfter = MeasureCpu(*options.idleSeconds, options.serverPid);
  }
  const int soundingAtEnd = fw::sound::SoundingCount();
  const int status = fw::RuntimeExit();
  recorder.Finish();
  bench::Recorder::Uninstall();

  const std::vector<bench::Token> modeTokens = recorder.ModeTokens();
  std::vector<std::string> expected;
  if (!options.bars.empty()) {
    for (int pass = 0; pass < options.repeat; ++pass) {
      expected.insert(expected.end(), options.bars.begin(), options.bars.end());
    }
  } else if (options.mode == "original") {
    expected = bench::WrittenOrder();
  }
  const bench::Analysis analysis =
      bench::Analyse(modeTokens, expected.empty() ? nullptr : &expected);

  const std::vector<bench::Token> notes = recorder.NoteCalls();
  if (options.csv) PrintCsv(notes);

  if (!options.midiPath.empty()) {
    double end = 0;
    const auto timeline = bench::IdealTimeline(modeTokens, analysis, &end);
    if (!bench::WriteMidiFile(options.midiPath, timeline, end)) {
      std::fprintf(stderr, "perform: cannot write %s\n", options.midiPath.c_str());
      return 1;
    }
  }

  if (!options.waitsPath.empty() && !bench::WriteWaits(options.waitsPath, analysis.waits)) {
    std::fprintf(stderr, "perform: cannot write %s\n", options.waitsPath.c_str());
    return 1;
  }

  double modeCpu = 0, modeWall = 0;
  bool realtimeGranted = false;
  for (const auto& [thread, cpu] : recorder.Cpu()) {
    modeCpu += cpu.lastCpu - cpu.firstCpu;
    modeWall += cpu.lastWall - cpu.firstWall;
    realtimeGranted = realtimeGranted || cpu.policy == SCHED_FIFO || cpu.policy == SCHED_RR;
  }
  const double wall = endAt - moments.startClick;
  const auto sinkCalls = sink->Calls();
  // The stream opens on demand, so whether a device answered is known only now.
  const bool audio = synth && synth->HasAudio();
  const double streamOpenedAt = synth ? synth->StreamOpenedAt() : -1;
  fw::sound::InstallSink(
      nullptr);  // so the synthesiser ends with main, not among static destructors

  bench::SummaryLine line;
  line.Add("run", options.mode.empty() ? std::string("bars") : options.mode);
  line.Add("clock", std::string(options.virtualClock ? "virtual" : "real"));
  line.Add("sound", std::string(options.fluidSynth ? (audio ? "fluidsynth" : "fluidsynth-silent")
                                                   : "record"));
  line.Add("realtime",
           std::string(options.realtime ? (realtimeGranted ? "granted" : "refused") : "off"));
  line.Add("notes", static_cast<long long>(notes.size()));
  bench::AddTimingFigures(line, analysis);
  line.Add("cpu_pct",
           wall > 0 ? std::optional<double>((atEnd.cpu - moments.atStart.cpu) / wall * 100)
                    : std::nullopt,
           2);
  if (options.serverPid) {
    line.Add("server_cpu_pct",
             wall > 0 && moments.serverAtStart && serverAtEnd
                 ? std::optional<double>((*serverAtEnd - *moments.serverAtStart) / wall * 100)
                 : std::nullopt,
             2);
  }
  if (options.idleSeconds) {
    line.Add("idle_before_cpu_pct", idleBefore.own, 2);
    line.Add("idle_after_cpu_pct", idleAfter.own, 2);
    if (options.serverPid) {
      line.Add("idle_before_server_cpu_pct", idleBefore.server, 2);
      line.Add("idle_after_server_cpu_pct", idleAfter.server, 2);
    }
    line.Add("stream_closed_ms", streamClosedMs, 1);
  }
  line.Add("mode_cpu_pct",
           modeWall > 0 ? std::optional<double>(modeCpu / modeWall * 100) : std::nullopt, 2);
  line.Add("rss_mb", atEnd.maxRssMb);
  line.Add("wall_s", wall / 1e6, 3);
  line.Add("cpu_total_s", atEnd.cpu / 1e6, 3);
  line.Add("window_ms",
           platform.shownAt >= 0 ? std::optional<double>((platform.shownAt - mainCalledAt) / 1e3)
                                 : std::nullopt,
           2);
  if (options.fluidSynth) line.Add("font_load_ms", fontLoadMs, 1);
  line.Add("first_note_ms", bench::FirstNoteOnAfter(sinkCalls, moments.startClick), 3);
  if (options.fluidSynth) {
    line.Add("stream_open_ms",
             streamOpenedAt >= moments.startClick
                 ? std::optional<double>((streamOpenedAt - moments.startClick) / 1e3)
                 : std::nullopt,
             3);
    line.Add("delay_ms", synth->Delay() / 1e3, 2);
    line.Add("late_notes", static_cast<long long>(synth->LateNotes()));
    line.Add("dropped_notes", static_cast<long long>(synth->DroppedNotes()));
  }
  if (moments.stopClick >= 0) {
    line.Add("stop_ms", bench::LastReleaseAfter(sinkCalls, moments.stopClick, endAt), 3);
    line.Add("note_ons_after_stop",
             static_cast<long long>(bench::NoteOnsAfter(sinkCalls, moments.stopClick)));
  }
  const bench::Distribution synthCalls = bench::Summarise(bench::Durations(sinkCalls));
  line.Add("synth_call_us_median", synthCalls.median);
  line.Add("synth_call_us_p99", synthCalls.p99);
  line.Add("synth_call_us_max", synthCalls.max);
  line.Add("sounding_at_end", static_cast<long long>(soundingAtEnd));
  line.Add("unmatched_tokens", static_cast<long long>(analysis.unmatchedTokens));
  line.Add("seed", options.seed ? std::to_string(*options.seed) : std::string("-"));
  if (!options.levelPath.empty() &&
      !bench::MeasureLevels(modeTokens, analysis, options.levelPath, line)) {
    std::fprintf(stderr, "perform: cannot measure the level into %s\n", options.levelPath.c_str());
    return 1;
  }
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", line.Text().c_str());
  return status;
}
