// Plays one clean percussive note at the start of every step of a mode, at
// the score's own times, through the program's FluidSynth sink and its real
// audio stream; records the sound server's monitor meanwhile, finds each
// note's onset in the recording, and measures onset minus call.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/analysis.h"
#include "bench/monitor_recorder.h"
#include "bench/onset_files.h"
#include "bench/onset_finder.h"
#include "bench/onset_matcher.h"
#include "bench/options.h"
#include "bench/sample_clock.h"
#include "bench/score_steps.h"
#include "framework/core/clock.h"
#include "framework/sound/fluid_sink.h"
#include "framework/sound/soundfont.h"

namespace {

const char* const kUsage =
    "usage: onset_timing --mode one-shot|looped|original|one-shot-with-ending\n"
    "                    [--minutes M | --stop-after SECONDS] [--seed N] [--out FILE]\n"
    "                    [--source NAME] [--edge-minutes M] [--reads FILE] [--wav FILE]\n"
    "                    [--help]\n"
    "Plays a woodblock at the start of every step of the mode (its waits from a virtual-clock\n"
    "run) through the FluidSynth sink, records the sound server's source NAME (default\n"
    "bench.monitor) and prints one line of key=value figures of onset - call on stdout;\n"
    "--out writes call_us,onset_us,delay_us per note (µs from the first call), --reads\n"
    "frames,at_us,latency_us,usable per read of the recording, --wav the recording.\n"
    "looped needs --minutes or --stop-after.\n";

// General MIDI woodblock: a hard attack, short decay, one fixed note and velocity so that
// every onset has the same shape.
constexpr int kWoodblock = 115;
constexpr int kNote = 76;
constexpr int kVelocity = 100;
constexpr double kSpinUs = 2000;  // sleep to this close to a call, then spin
// A step this large between two reads breaks the recording's timeline;
// reads with a fresh latency agree to a tenth of a millisecond.
constexpr double kTimelineBreakUs = 2000;

// Silence right after sound this loud, relative to the note peak, is a
// dropout: the woodblock's reverb is still well over it 0.7 s on.
constexpr double kDropoutLevel = 0.01;

struct Options {
  std::string mode;
  std::optional<double> stopAfter;  // µs of score time
  std::optional<unsigned> seed;
  std::string out, reads, wav;
  std::string source = "bench.monitor";
  double edgeMinutes = 1;
  bool help = false;
};

std::optional<Options> Parse(int argc, char** argv, std::string* error) {
  Options options;
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
    if (arg == "--mode" && bench::ModeButton(value) != nullptr) {
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
    } else {
      *error = "bad option or value: " + arg + " " + value;
      return std::nullopt;
    }
  }
  if (options.mode.empty()) *error = "give --mode";
  if (options.mode == "looped" && !options.stopAfter) *error = "looped needs --minutes";
  if (!error->empty()) return std::nullopt;
  return options;
}

double Dbfs(double magnitude) { return 20.0 * std::log10(magnitude / 32768.0); }

// Two channels to one 16-bit one, as the server remixes the monitor for us.
std::vector<std::int16_t> MonoInt16(const std::vector<float>& left,
                                    const std::vector<float>& right) {
  std::vector<std::int16_t> mono(left.size());
  for (std::size_t i = 0; i < left.size(); ++i) {
    const double value = std::clamp((left[i] + right[i]) / 2.0 * 32768.0, -32768.0, 32767.0);
    mono[i] = static_cast<std::int16_t>(std::lround(value));
  }
  return mono;
}

struct Attack {
  double frames = 0;  // from the note's start to the sample the finder takes as its onset
  double peak = 0;
};

// The note alone, rendered offline with the program's synthesiser settings:
// where the finder puts its onset, counted from the note's first frame.
std::optional<Attack> MeasureAttack(const std::string& font) {
  fw::sound::FluidSynthSink synth(font, fw::sound::FluidSynthSink::Output::None);
  if (!synth.WaitUntilLoaded()) return std::nullopt;
  synth.ProgramChange(kWoodblock);
  synth.NoteOn(kNote, kVelocity);
  const auto frames = static_cast<std::size_t>(synth.SampleRate() / 5);
  std::vector<float> left(frames), right(frames);
  synth.Render(left.data(), right.data(), static_cast<int>(frames));
  const std::vector<std::int16_t> mono = MonoInt16(left, right);
  const double reference = bench::ReferencePeak(mono, synth.SampleRate());
  const auto onsets = bench::FindOnsets(mono, synth.SampleRate(), reference);
  if (onsets.size() != 1) return std::nullopt;
  return Attack{static_cast<double>(onsets[0].frame), reference};
}

// Play only once two seconds of reads hold no break in the timeline, keeping
// the silent audio stream open meanwhile: with the library's extrapolated
// latency, the reported latency stood still for half a second about a second
// after a stream started, then caught up by 30-570 ms.
bool WaitForSteadyTimeline(const bench::MonitorRecorder& recorder, fw::sound::FluidSynthSink& sink,
                           double rate) {
  constexpr std::size_t kReads = 200;  // two seconds
  for (int tries = 0; tries < 150; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    sink.Prepare();
    const auto recent = recorder.RecentStamps(kReads);
    const auto clock = bench::SampleClock::FromStamps(recent, rate, kTimelineBreakUs);
    if (recent.size() < kReads || !clock || clock->Used() < kReads * 9 / 10) continue;
    const auto& steps = clock->Steps();
    if (std::all_of(steps.begin(), steps.end(),
                    [](double step) { return std::abs(step) < kTimelineBreakUs; })) {
      return true;
    }
  }
  return false;
}

void SleepUntil(double realUs) {
  const double left = realUs - fw::clock::RealNow();
  if (left > 0)
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(left)));
}

struct Played {
  std::vector<double> calls;  // real µs, taken just before each note-on
  std::vector<double> late;   // µs after the planned moment
};

Played PlayAt(fw::sound::FluidSynthSink& sink, const std::vector<double>& starts, double origin) {
  Played played;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const double due = origin + starts[i];
    SleepUntil(due - kSpinUs);
    while (fw::clock::RealNow() < due) {
    }
    if (i > 0) sink.NoteOff(kNote);
    const double at = fw::clock::RealNow();
    sink.NoteOn(kNote, kVelocity);
    played.calls.push_back(at);
    played.late.push_back(at - due);
  }
  return played;
}

void AddDelays(bench::SummaryLine& line, const std::string& prefix,
               const std::vector<double>& delaysUs) {
  auto ms = [&](double percent) {
    const auto value = bench::Percentile(delaysUs, percent);
    return value ? std::optional<double>(*value / 1e3) : std::nullopt;
  };
  const auto p1 = ms(1), p99 = ms(99);
  line.Add(prefix + "delay_ms_median", ms(50), 3);
  line.Add(prefix + "delay_ms_p1", p1, 3);
  line.Add(prefix + "delay_ms_p99", p99, 3);
  line.Add(prefix + "spread_ms", p1 && p99 ? std::optional<double>(*p99 - *p1) : std::nullopt, 3);
  line.Add(prefix + "delay_ms_min", ms(0), 3);
  line.Add(prefix + "delay_ms_max", ms(100), 3);
}

// How the recording's timeline kept to the real clock from the first call
// on: its rate, how far single reads lay off the lines that time the frames,
// the breaks, and how many reads had no usable latency.
void AddTimeline(bench::SummaryLine& line, const std::vector<bench::ReadStamp>& stamps,
                 double firstCall, double rate) {
  std::vector<bench::ReadStamp> whilePlaying;
  for (const bench::ReadStamp& stamp : stamps) {
    if (stamp.at >= firstCall) whilePlaying.push_back(stamp);
  }
  const auto clock = bench::SampleClock::FromStamps(whilePlaying, rate, kTimelineBreakUs);
  if (!clock) return;
  long long breaks = 0;
  double largest = 0;
  for (double step : clock->Steps()) {
    if (std::abs(step) >= kTimelineBreakUs) ++breaks;
    largest = std::max(largest, std::abs(step));
  }
  std::vector<double> residuals = clock->Residuals();
  for (double& residual : residuals) residual = std::abs(residual);
  line.Add("reads", static_cast<long long>(clock->Used()));
  line.Add("reads_left_out", static_cast<long long>(clock->LeftOut()));
  line.Add("sink_clock_ppm", clock->SinkClockPpm(), 0);
  line.Add("read_resid_us_p99", bench::Percentile(residuals, 99));
  line.Add("timeline_breaks", breaks);
  line.Add("read_step_ms_max", largest / 1e3, 3);
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "onset_timing: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto parsed = Parse(argc, argv, &error);
  if (!parsed) {
    std::fprintf(stderr, "onset_timing: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  const Options& options = *parsed;
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const unsigned seed = options.seed.value_or(std::random_device{}());

  const bench::ScoreSteps steps = bench::PlayScoreVirtually(options.mode, seed, options.stopAfter);
  if (steps.starts.empty()) return Fail("the mode played no step");

  const auto font = fw::sound::FindSoundFont();
  if (!font) return Fail(std::string("no SoundFont in ") + fw::sound::kSoundFontFolder);
  const auto attack = MeasureAttack(*font);
  if (!attack) return Fail("the note's attack could not be measured offline");
  fw::sound::FluidSynthSink sink(*font);
  if (!sink.WaitUntilLoaded()) return Fail("the SoundFont did not load");
  sink.ProgramChange(kWoodblock);
  const double rate = sink.SampleRate();

  // The recorder first: one that joins while the sink sounds gets a burst never played.
  bench::MonitorRecorder recorder(options.source, static_cast<int>(rate),
                                  steps.starts.back() / 1e6 + 10);
  if (!recorder.Start(&error)) return Fail("cannot record " + error);
  sink.Prepare();
  for (int i = 0; i < 500 && !sink.StreamOpen(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!sink.StreamOpen()) return Fail("the audio stream did not open");
  if (!WaitForSteadyTimeline(recorder, sink, rate)) {
    return Fail("the recording's latency did not settle");
  }

  const Played played = PlayAt(sink, steps.starts, fw::clock::RealNow() + 100e3);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the last onset reaches us
  sink.NoteOff(kNote);
  recorder.Stop();
  if (!recorder.ReadError().empty()) return Fail(recorder.ReadError());

  const auto clock = bench::SampleClock::FromStamps(recorder.Stamps(), rate, kTimelineBreakUs);
  if (!clock) return Fail("no read of the recording had a latency");
  const std::vector<std::int16_t>& samples = recorder.Samples();
  const double reference = bench::ReferencePeak(samples, rate);
  std::vector<double> onsets;
  for (const bench::Onset& onset : bench::FindOnsets(samples, rate, reference)) {
    onsets.push_back(clock->Time(static_cast<double>(onset.frame) - attack->frames));
  }
  const bench::OnsetMatch match = bench::MatchOnsets(played.calls, onsets);

  std::vector<double> delays, first, last;
  const double edge = options.edgeMinutes * 60e6;
  for (std::size_t i = 0; i < played.calls.size(); ++i) {
    if (!match.onsetOfCall[i]) continue;
    const double delay = *match.onsetOfCall[i] - played.calls[i];
    delays.push_back(delay);
    if (played.calls[i] - played.calls.front() < edge) first.push_back(delay);
    if (played.calls.back() - played.calls[i] < edge) last.push_back(delay);
  }

  bench::SummaryLine line;
  line.Add("run", options.mode);
  line.Add("seed", static_cast<long long>(seed));
  line.Add("bars", static_cast<long long>(steps.bars));
  line.Add("notes", static_cast<long long>(played.calls.size()));
  line.Add("played_s", (played.calls.back() - played.calls.front()) / 1e6, 1);
  line.Add("onsets", static_cast<long long>(onsets.size()));
  line.Add("matched", static_cast<long long>(delays.size()));
  line.Add("missing", static_cast<long long>(match.missing));
  line.Add("extra", static_cast<long long>(match.extra));
  line.Add("tolerance_ms", match.tolerance / 1e3, 2);
  line.Add("reach_ms", match.maxOffset / 1e3, 1);
  line.Add("off_notes", static_cast<long long>(match.offNotes));
  line.Add("off_ms_worst",
           match.worstOffset ? std::optional<double>(*match.worstOffset / 1e3) : std::nullopt, 2);
  AddDelays(line, "", delays);
  line.Add("edge_minutes", options.edgeMinutes, 1);
  AddDelays(line, "first_", first);
  AddDelays(line, "last_", last);
  line.Add("call_late_us_median", bench::Percentile(played.late, 50));
  line.Add("call_late_us_p99", bench::Percentile(played.late, 99));
  line.Add("call_late_us_max", bench::Percentile(played.late, 100));
  const auto dropouts = bench::FindDropouts(samples, rate, kDropoutLevel * reference);
  long long dropoutFrames = 0;
  for (const bench::Dropout& dropout : dropouts) dropoutFrames += dropout.frames;
  line.Add("dropouts", static_cast<long long>(dropouts.size()));
  line.Add("dropout_ms", static_cast<double>(dropoutFrames) / rate * 1e3, 1);
  line.Add("record_hole_ms", static_cast<double>(recorder.HoleFrames()) / rate * 1e3, 1);
  line.Add("attack_offset_ms", attack->frames / rate * 1e3, 3);
  line.Add("note_peak_dbfs", Dbfs(reference), 2);
  line.Add("offline_peak_dbfs", Dbfs(attack->peak), 2);
  AddTimeline(line, recorder.Stamps(), played.calls.front(), rate);
  std::printf("%s\n", line.Text().c_str());
  if (!options.out.empty() && !bench::WriteOnsetCsv(options.out, played.calls, match)) {
    return Fail("cannot write " + options.out);
  }
  if (!options.reads.empty() && !bench::WriteReads(options.reads, recorder.Stamps())) {
    return Fail("cannot write " + options.reads);
  }
  if (!options.wav.empty() && !bench::WriteWav(options.wav, samples, static_cast<int>(rate))) {
    return Fail("cannot write " + options.wav);
  }
  return 0;
}
