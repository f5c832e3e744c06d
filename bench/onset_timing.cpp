// Plays one clean percussive note at the start of every step of a mode, at
// the score's own times, through the program's FluidSynth sink and its real
// audio stream; records the sound server's monitor meanwhile, finds each
// note's onset in the recording, and measures onset minus call. Or plays
// only a mode's first steps, on streams that start cold, many times.
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
#include "bench/jack_recorder.h"
#include "bench/monitor_recorder.h"
#include "bench/onset_cold_starts.h"
#include "bench/onset_files.h"
#include "bench/onset_finder.h"
#include "bench/onset_matcher.h"
#include "bench/onset_options.h"
#include "bench/onset_playing.h"
#include "bench/sample_clock.h"
#include "bench/score_steps.h"
#include "framework/core/clock.h"
#include "framework/sound/fluid_sink.h"
#include "framework/sound/soundfont.h"

namespace {

// Silence right after sound this loud, relative to the note peak, is a
// dropout: the woodblock's reverb is still well over it 0.7 s on.
constexpr double kDropoutLevel = 0.01;

double Dbfs(double magnitude) { return 20.0 * std::log10(magnitude / 32768.0); }

// Two channels to one 16-bit one, as the server remixes the monitor for us.
std::vector<std::int16_t> MonoInt16(const std::vector<float>& left,
                                    const std::vector<float>& right) {
  std::vector<std::int16_t> mono(left.size());
  for (std::size_t i = 0; i < left.size(); ++i) mono[i] = bench::MonoSample(left[i], right[i]);
  return mono;
}

struct Attack {
  double seconds = 0;  // from the note's start to the sample the finder takes as its onset
  double peak = 0;
};

// The note alone, rendered offline with the program's synthesiser settings:
// where the finder puts its onset, counted from the note's first frame.
std::optional<Attack> MeasureAttack(const std::string& font) {
  fw::sound::FluidSynthSink synth(font, fw::sound::FluidSynthSink::Output::None);
  if (!synth.WaitUntilLoaded()) return std::nullopt;
  synth.ProgramChange(bench::kWoodblock);
  synth.NoteOn(bench::kWoodblockNote, bench::kWoodblockVelocity);
  const auto frames = static_cast<std::size_t>(synth.SampleRate() / 5);
  std::vector<float> left(frames), right(frames);
  synth.Render(left.data(), right.data(), static_cast<int>(frames));
  const std::vector<std::int16_t> mono = MonoInt16(left, right);
  const double reference = bench::ReferencePeak(mono, synth.SampleRate());
  const auto onsets = bench::FindOnsets(mono, synth.SampleRate(), reference);
  if (onsets.size() != 1) return std::nullopt;
  return Attack{static_cast<double>(onsets[0].frame) / synth.SampleRate(), reference};
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
  const auto clock = bench::SampleClock::FromStamps(whilePlaying, rate, bench::kTimelineBreakUs);
  if (!clock) return;
  long long breaks = 0;
  double largest = 0;
  for (double step : clock->Steps()) {
    if (std::abs(step) >= bench::kTimelineBreakUs) ++breaks;
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

void AddCallFigures(bench::SummaryLine& line, const bench::Played& played,
                    const fw::sound::FluidSynthSink& sink) {
  line.Add("call_late_us_median", bench::Percentile(played.late, 50));
  line.Add("call_late_us_p99", bench::Percentile(played.late, 99));
  line.Add("call_late_us_max", bench::Percentile(played.late, 100));
  line.Add("late_notes", static_cast<long long>(sink.LateNotes()));
  line.Add("dropped_notes", static_cast<long long>(sink.DroppedNotes()));
}

std::optional<double> Ms(std::optional<double> us) {
  return us ? std::optional<double>(*us / 1e3) : std::nullopt;
}

// A start's notes against each other on the recording's frames.
void AddStartSpacing(bench::SummaryLine& line, const bench::StartSpacing& spacing) {
  line.Add("frame_heard", static_cast<long long>(spacing.heard));
  line.Add("frame_extra", static_cast<long long>(spacing.extra));
  line.Add("frame_reference", std::string(spacing.fromLaterNotes ? "later" : "start"));
  for (std::size_t k = 0; k < spacing.leadOffsets.size(); ++k) {
    line.Add("frame_lead" + std::to_string(k + 1) + "_off_ms", Ms(spacing.leadOffsets[k]), 2);
  }
  line.Add("frame_later_off_ms_worst", Ms(spacing.worstLaterOffset), 2);
  line.Add("frame_bursts", static_cast<long long>(spacing.bursts));
  line.Add("frame_closer_ms_max", Ms(spacing.mostCloser), 2);
}

// The same over all starts.
struct SpacingTotals {
  long long allHeard = 0, missing = 0, leadMissing = 0, bursts = 0, startsWithBursts = 0;
  std::vector<double> leads;
  std::optional<double> worstLater, mostCloser;

  void Count(const bench::ColdStart& start) {
    const bench::StartSpacing& spacing = start.spacing;
    if (spacing.heard == start.notes) ++allHeard;
    missing += static_cast<long long>(start.notes - spacing.heard);
    for (const auto& offset : spacing.leadOffsets) {
      if (offset) {
        leads.push_back(*offset);
      } else {
        ++leadMissing;
      }
    }
    bench::KeepFurthest(worstLater, spacing.worstLaterOffset);
    bursts += static_cast<long long>(spacing.bursts);
    if (spacing.bursts > 0) ++startsWithBursts;
    if (spacing.mostCloser && (!mostCloser || *spacing.mostCloser > *mostCloser)) {
      mostCloser = spacing.mostCloser;
    }
  }
  void Add(bench::SummaryLine& line, const std::vector<bench::ColdStart>& starts) const {
    line.Add("frame_starts_all_heard", allHeard);
    line.Add("frame_missing", missing);
    line.Add("frame_lead_missing", leadMissing);
    line.Add("frame_lead_off_ms_min", Ms(bench::Percentile(leads, 0)), 2);
    line.Add("frame_lead_off_ms_median", Ms(bench::Percentile(leads, 50)), 2);
    line.Add("frame_lead_off_ms_max", Ms(bench::Percentile(leads, 100)), 2);
    line.Add("frame_lead_off_ms_worst", Ms(bench::WorstSpacingLeadOffset(starts)), 2);
    line.Add("frame_later_off_ms_worst", Ms(worstLater), 2);
    line.Add("frame_bursts", bursts);
    line.Add("frame_starts_with_bursts", startsWithBursts);
    line.Add("frame_closer_ms_max", Ms(mostCloser), 2);
  }
};

// One line a start on stdout, then the figures over all starts.
void AddColdStarts(bench::SummaryLine& line, const std::vector<bench::ColdStart>& starts,
                   const std::vector<bench::StartRecord>& records) {
  std::vector<double> leads, awaits;
  long long allHeard = 0, allSounded = 0, awaited = 0, leadMissing = 0;
  SpacingTotals spacing;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const bench::ColdStart& start = starts[i];
    const bench::StartRecord& record = records[i];
    bench::SummaryLine each;
    each.Add("start", static_cast<long long>(i + 1));
    each.Add("await_ms", record.awaitMs, 1);
    each.Add("awaited", std::string(record.awaited ? "yes" : "no"));
    each.Add("notes", static_cast<long long>(start.notes));
    each.Add("heard", static_cast<long long>(start.heard));
    each.Add("sounded", static_cast<long long>(start.sounded));
    each.Add("reference", std::string(start.fromLaterNotes ? "later" : "typical"));
    each.Add("reference_ms", start.reference / 1e3, 3);
    for (std::size_t k = 0; k < start.leadOffsets.size(); ++k) {
      each.Add("lead" + std::to_string(k + 1) + "_off_ms", Ms(start.leadOffsets[k]), 2);
      if (start.leadOffsets[k]) {
        leads.push_back(*start.leadOffsets[k]);
      } else {
        ++leadMissing;
      }
    }
    each.Add("late_notes", static_cast<long long>(record.lateNotes));
    each.Add("dropped_notes", static_cast<long long>(record.droppedNotes));
    AddStartSpacing(each, start.spacing);
    std::printf("%s\n", each.Text().c_str());
    spacing.Count(start);
    if (start.heard == start.notes) ++allHeard;
    if (start.sounded == start.notes) ++allSounded;
    if (record.awaited) ++awaited;
    awaits.push_back(record.awaitMs);
  }
  line.Add("starts", static_cast<long long>(starts.size()));
  line.Add("starts_all_heard", allHeard);
  line.Add("starts_all_sounded", allSounded);
  line.Add("starts_awaited", awaited);
  line.Add("await_ms_median", bench::Percentile(awaits, 50), 1);
  line.Add("await_ms_max", bench::Percentile(awaits, 100), 1);
  line.Add("lead_missing", leadMissing);
  line.Add("lead_off_ms_min", Ms(bench::Percentile(leads, 0)), 2);
  line.Add("lead_off_ms_median", Ms(bench::Percentile(leads, 50)), 2);
  line.Add("lead_off_ms_max", Ms(bench::Percentile(leads, 100)), 2);
  line.Add("lead_off_ms_worst", Ms(bench::WorstLeadOffset(starts)), 2);
  spacing.Add(line, starts);
}

// A pulse source at the synthesiser's rate, or JACK's ports at the server's.
std::unique_ptr<bench::Recording> MakeRecorder(const bench::OnsetOptions& options, double rate,
                                               double seconds) {
  if (options.source == "jack") return std::make_unique<bench::JackRecorder>(seconds);
  const auto fragment = options.recordLatencyMs
                            ? std::optional<double>(*options.recordLatencyMs / 1e3)
                            : std::nullopt;
  return std::make_unique<bench::MonitorRecorder>(options.source, static_cast<int>(rate), seconds,
                                                  fragment);
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "onset_timing: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto parsed = bench::ParseOnsetOptions(argc, argv, &error);
  if (!parsed) {
    std::fprintf(stderr, "onset_timing: %s\n%s", error.c_str(), bench::kOnsetUsage);
    return 2;
  }
  const bench::OnsetOptions& options = *parsed;
  if (options.help) {
    std::fputs(bench::kOnsetUsage, stdout);
    return 0;
  }
  const unsigned seed = options.seed.value_or(std::random_device{}());
  const bool cold = options.coldStarts.has_value();

  // Cold starts play only the first steps: a minute of looped is plenty.
  const auto stopAfter = cold && !options.stopAfter && options.mode == "looped"
                             ? std::optional<double>(60e6)
                             : options.stopAfter;
  const bench::ScoreSteps steps = bench::PlayScoreVirtually(options.mode, seed, stopAfter);
  if (steps.starts.empty()) return Fail("the mode played no step");

  const auto font = fw::sound::FindSoundFont();
  if (!font) return Fail(std::string("no SoundFont in ") + fw::sound::kSoundFontFolder);
  const auto attack = MeasureAttack(*font);
  if (!attack) return Fail("the note's attack could not be measured offline");
  fw::sound::FluidSynthSink sink(*font);
  if (!sink.WaitUntilLoaded()) return Fail("the SoundFont did not load");
  sink.ProgramChange(bench::kWoodblock);
  // The recorder first: one that joins while the sink sounds gets a burst never played.
  const std::size_t coldNotes = std::min(options.coldNotes, steps.starts.size());
  const double seconds =
      cold ? options.coldStarts.value_or(0) * (steps.starts[coldNotes - 1] / 1e6 + 6)
           : steps.starts.back() / 1e6;
  const auto recording = MakeRecorder(options, sink.SampleRate(), seconds + 10);
  bench::Recording& recorder = *recording;
  if (!recorder.Start(&error)) return Fail("cannot record " + error);
  const double rate = recorder.Rate();

  bench::Played played;
  std::vector<bench::StartRecord> records;
  if (cold) {
    // The frame figures need no steady latency; only the clock's figures do.
    if (!bench::WaitForSteadyTimeline(recorder, sink, rate, false)) {
      std::fprintf(stderr,
                   "onset_timing: the recording's latency did not settle; "
                   "the clock's figures will not hold, the frames' will\n");
    }
    records = bench::PlayColdStarts(sink, steps.starts, *options.coldStarts, coldNotes, played);
    if (records.empty()) return Fail("the audio stream did not close as idle");
  } else {
    sink.Prepare();
    for (int i = 0; i < 500 && !sink.StreamOpen(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!sink.StreamOpen()) return Fail("the audio stream did not open");
    if (!bench::WaitForSteadyTimeline(recorder, sink, rate, true)) {
      return Fail("the recording's latency did not settle");
    }
    bench::PlayAt(sink, steps.starts, fw::clock::RealNow() + 100e3, played);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the last onset reaches us
    sink.NoteOff(bench::kWoodblockNote);
  }
  recorder.Stop();
  if (!recorder.ReadError().empty()) return Fail(recorder.ReadError());

  const auto clock =
      bench::SampleClock::FromStamps(recorder.Stamps(), rate, bench::kTimelineBreakUs);
  if (!clock) return Fail("no read of the recording had a latency");
  const std::vector<std::int16_t>& samples = recorder.Samples();
  const double reference = bench::ReferencePeak(samples, rate);
  // Each onset on the real clock through the reads, and on the recording's
  // own frames, which hold where the reads' timestamps do not.
  std::vector<double> onsets, ownOnsets;
  for (const bench::Onset& onset : bench::FindOnsets(samples, rate, reference)) {
    const double frame = static_cast<double>(onset.frame) - attack->seconds * rate;
    onsets.push_back(clock->Time(frame));
    ownOnsets.push_back(frame / rate * 1e6);
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
  line.Add("run", options.mode + (cold ? "-cold" : ""));
  line.Add("source", options.source);
  line.Add("record_rate", static_cast<long long>(rate));
  line.Add("seed", static_cast<long long>(seed));
  line.Add("bars", static_cast<long long>(steps.bars));
  line.Add("notes", static_cast<long long>(played.calls.size()));
  if (!cold) line.Add("played_s", (played.calls.back() - played.calls.front()) / 1e6, 1);
  line.Add("onsets", static_cast<long long>(onsets.size()));
  line.Add("matched", static_cast<long long>(delays.size()));
  line.Add("missing", static_cast<long long>(match.missing));
  line.Add("extra", static_cast<long long>(match.extra));
  line.Add("tolerance_ms", match.tolerance / 1e3, 2);
  line.Add("reach_ms", match.maxOffset / 1e3, 1);
  line.Add("off_notes", static_cast<long long>(match.offNotes));
  line.Add("off_ms_worst", Ms(match.worstOffset), 2);
  AddDelays(line, "", delays);
  const auto starts =
      cold ? bench::ColdStartFigures(played.calls, onsets, ownOnsets, match, coldNotes)
           : std::vector<bench::ColdStart>{};
  if (cold) {
    AddColdStarts(line, starts, records);
  } else {
    line.Add("edge_minutes", options.edgeMinutes, 1);
    AddDelays(line, "first_", first);
    AddDelays(line, "last_", last);
  }
  AddCallFigures(line, played, sink);
  const auto dropouts = bench::FindDropouts(samples, rate, kDropoutLevel * reference);
  long long dropoutFrames = 0;
  for (const bench::Dropout& dropout : dropouts) dropoutFrames += dropout.frames;
  line.Add("dropouts", static_cast<long long>(dropouts.size()));
  line.Add("dropout_ms", static_cast<double>(dropoutFrames) / rate * 1e3, 1);
  line.Add("record_hole_ms", static_cast<double>(recorder.HoleFrames()) / rate * 1e3, 1);
  line.Add("record_fragment_ms", recorder.FragmentSeconds() * 1e3, 1);
  line.Add("attack_offset_ms", attack->seconds * 1e3, 3);
  line.Add("note_peak_dbfs", Dbfs(reference), 2);
  line.Add("offline_peak_dbfs", Dbfs(attack->peak), 2);
  AddTimeline(line, recorder.Stamps(), played.calls.front(), rate);
  std::printf("%s\n", line.Text().c_str());
  const bool written =
      options.out.empty() || (cold ? bench::WriteColdStartCsv(options.out, starts, records)
                                   : bench::WriteOnsetCsv(options.out, played.calls, match));
  if (!written) return Fail("cannot write " + options.out);
  if (!options.reads.empty() && !bench::WriteReads(options.reads, recorder.Stamps())) {
    return Fail("cannot write " + options.reads);
  }
  if (!options.wav.empty() && !bench::WriteWav(options.wav, samples, static_cast<int>(rate))) {
    return Fail("cannot write " + options.wav);
  }
  return 0;
}
