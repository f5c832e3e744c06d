#include <unistd.h>

// The measuring code of the benchmarks, checked on made-up traces and on the
// real bar operations under the virtual clock. Nothing here depends on timing.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>

#include "bench/analysis.h"
#include "bench/cpu_time.h"
#include "bench/delay_course.h"
#include "bench/frame_line.h"
#include "bench/level_meter.h"
#include "bench/midi_file.h"
#include "bench/onset_alignment.h"
#include "bench/options.h"
#include "bench/score_signatures.h"
#include "bench/silence_gaps.h"
#include "bench/stall_files.h"
#include "bench/stall_schedule.h"
#include "bench/timing_sink.h"
#include "bench/trace_recorder.h"
#include "bench/underrun_log.h"
#include "framework/core/application.h"
#include "framework/core/clock.h"
#include "framework/core/scheduler.h"
#include "framework/sound/soundfont.h"
#include "framework/testing/recording_platform.h"
#include "framework/testing/recording_sink.h"
#include "window/window1.h"

namespace {

using fw::trace::Kind;

// Feeds a made-up trace of one thread to a recorder.
class FakeThread {
 public:
  explicit FakeThread(bench::Recorder& recorder, std::uint64_t id = 1)
      : recorder_(recorder), id_(id) {}
  void Read(double t) { recorder_.OnEvent({Kind::ClockRead, 0, 0, t}, id_); }
  void Yield(double t) { recorder_.OnEvent({Kind::Yield, 0, 0, t}, id_); }
  void Note(int note, int velocity, double t) {
    recorder_.OnEvent({Kind::Note, note, velocity, t}, id_);
  }
  // A wait as the program's loop makes it: origin, then tests until length.
  void Wait(double origin, double length, std::initializer_list<double> tests) {
    Read(origin);
    bool first = true;
    for (double test : tests) {
      if (!first) Yield(test);
      first = false;
      Read(origin + test);
    }
    (void)length;
  }

 private:
  bench::Recorder& recorder_;
  std::uint64_t id_;
};

TEST(Tokenizer, WaitsNotesAndYieldsOutsideWaits) {
  bench::Recorder recorder;
  FakeThread thread(recorder);
  thread.Note(60, 100, 0);
  thread.Wait(1, 175000, {0.5, 174000, 175003});
  thread.Note(60, 0, 175005);
  thread.Yield(175006);
  recorder.Finish();
  const auto& tokens = recorder.Tokens(1);
  ASSERT_EQ(tokens.size(), 4u);
  EXPECT_EQ(tokens[0].kind, bench::Token::Note);
  ASSERT_EQ(tokens[1].kind, bench::Token::Wait);
  EXPECT_EQ(tokens[1].wait.yields, 2);
  EXPECT_DOUBLE_EQ(tokens[1].wait.Length(), 175003);
  EXPECT_DOUBLE_EQ(tokens[1].wait.PreviousLength(), 174000);
  EXPECT_TRUE(tokens[1].wait.complete);
  EXPECT_EQ(tokens[2].kind, bench::Token::Note);
  EXPECT_EQ(tokens[3].kind, bench::Token::PassYield);
}

TEST(Tokenizer, BackToBackWaitsSplitAtAReadWithoutYield) {
  bench::Recorder recorder;
  FakeThread thread(recorder);
  thread.Wait(0, 100, {1, 100});
  thread.Wait(101, 200, {1, 200});
  recorder.Finish();
  const auto& tokens = recorder.Tokens(1);
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_DOUBLE_EQ(tokens[0].wait.Length(), 100);
  EXPECT_DOUBLE_EQ(tokens[1].wait.origin, 101);
  EXPECT_DOUBLE_EQ(tokens[1].wait.Length(), 200);
}

TEST(Tokenizer, AYieldAfterAWaitsEndIsAPassYield) {
  bench::Recorder recorder;
  FakeThread thread(recorder);
  thread.Wait(0, 100, {1, 100});
  thread.Yield(101);
  thread.Note(50, 90, 102);
  recorder.Finish();
  const auto& tokens = recorder.Tokens(1);
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[0].kind, bench::Token::Wait);
  EXPECT_EQ(tokens[1].kind, bench::Token::PassYield);
  EXPECT_DOUBLE_EQ(tokens[1].t, 101);
  EXPECT_EQ(tokens[2].kind, bench::Token::Note);
}

TEST(Tokenizer, AStreamEndingInAYieldLeavesTheWaitIncomplete) {
  bench::Recorder recorder;
  FakeThread thread(recorder);
  thread.Wait(0, 700000, {1, 200000});
  thread.Yield(200001);  // killed here
  recorder.Finish();
  const auto& tokens = recorder.Tokens(1);
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_FALSE(tokens[0].wait.complete);
  EXPECT_FALSE(bench::GuessLength(tokens[0].wait));
}

TEST(Tokenizer, ThreadsAreKeptApart) {
  bench::Recorder recorder;
  FakeThread mode(recorder, 7), gui(recorder, 0);
  mode.Read(0);
  mode.Read(1);
  mode.Yield(2);
  gui.Note(60, 0, 3);
  gui.Yield(4);
  mode.Read(175000);
  mode.Note(60, 0, 175001);
  recorder.Finish();
  ASSERT_EQ(recorder.Tokens(7).size(), 2u);
  EXPECT_DOUBLE_EQ(recorder.Tokens(7)[0].wait.Length(), 175000);
  EXPECT_EQ(recorder.Tokens(0).size(), 2u);
  EXPECT_EQ(recorder.NoteCalls().size(), 2u);
  EXPECT_EQ(recorder.ModeTokens().size(), 2u);
}

TEST(Lengths, BracketsAndGuesses) {
  bench::WaitReadings wait{0, 174999, 175010, 3, true};
  EXPECT_TRUE(bench::Brackets(wait, 175000));
  EXPECT_FALSE(bench::Brackets(wait, 131250));  // ended later than it needed
  EXPECT_EQ(bench::GuessLength(wait), 175000);
  // Learnt by halves: the test before the end was early, but the largest fit wins.
  bench::WaitReadings early{0, 100, 175500, 2, true};
  EXPECT_EQ(bench::GuessLength(early), 175000);
  bench::WaitReadings tooShort{0, 0.5, 40000, 1, true};
  EXPECT_FALSE(bench::GuessLength(tooShort));
}

TEST(Signatures, EveryBarOperationOfTheWindowIsKnown) {
  EXPECT_EQ(bench::AllBars().size(), Window1::BarOperationTable().size());
  for (const auto& row : Window1::BarOperationTable()) {
    EXPECT_NE(bench::BarNamed(row.name), nullptr) << row.name;
  }
  EXPECT_EQ(bench::BarNamed("barFortyTwo"), nullptr);
}

TEST(Signatures, TheWrittenPieceWaits103Seconds) {
  double total = 0;
  for (const auto& name : bench::WrittenOrder()) total += bench::BarNamed(name)->waitSum;
  EXPECT_DOUBLE_EQ(total, 103.0e6);
  EXPECT_EQ(bench::WrittenOrder().front(), "barOne");
  EXPECT_EQ(bench::WrittenOrder().back(), "barThirtyEight");
}

TEST(Signatures, KnownLengthsAreTheScoresElevenValues) {
  const std::vector<double> expected{3000000, 700000, 656250, 437500, 262500, 175000,
                                     131250,  125000, 87500,  65625,  43750};
  EXPECT_EQ(bench::KnownWaitLengths(), expected);
}

// The real bar operations, played on a mode thread under the virtual clock.
class RealBars : public ::testing::Test {
 protected:
  void SetUp() override {
    fw::ResetRuntime();
    fw::testing::InstallRecordingPlatform();
    fw::testing::InstallRecordingSink();
    fw::clock::UseVirtualClock(3125.0);
    recorder.Install();
    MakeDefaultView();
    window = accessors::Window1();
  }
  void TearDown() override {
    fw::ResetRuntime();
    bench::Recorder::Uninstall();
    window.reset();
    fw::clock::UseRealClock();
  }

  void Play(const std::vector<std::string>& names) {
    auto run = std::make_shared<fw::scheduler::RunState>();
    fw::scheduler::Start(run, [this, names] {
      for (const auto& name : names) ((*window).*Window1::BarOperationNamed(name))();
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (fw::scheduler::AnyRunning() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(fw::scheduler::AnyRunning());
    recorder.Finish();
  }

  bench::Recorder recorder;
  std::shared_ptr<Window1> window;
};

TEST_F(RealBars, EachOperationMatchesItsSignatureExactly) {
  std::vector<std::string> names;
  for (const auto& row : Window1::BarOperationTable()) names.emplace_back(row.name);
  Play(names);
  const auto analysis = bench::Analyse(recorder.ModeTokens(), &names);
  ASSERT_EQ(analysis.bars.size(), names.size());
  EXPECT_EQ(analysis.unmatchedTokens, 0u);
  for (const auto& wait : analysis.waits) EXPECT_DOUBLE_EQ(wait.overshoot, 0);
}

TEST_F(RealBars, BarsAreFoundWithoutBeingToldTheOrder) {
  const std::vector<std::string> names{"barThirtyFourOneShot", "barThirtyFour", "barEighteen",
                                       "barOne"};
  Play(names);
  const auto analysis = bench::Analyse(recorder.ModeTokens());
  ASSERT_EQ(analysis.bars.size(), 4u);
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(analysis.bars[i].bar->name, names[i]);
  // Each bar lasts exactly its waits plus the virtual quanta of its passes' yields.
  EXPECT_DOUBLE_EQ(analysis.bars[0].Excess(), 0);
  EXPECT_DOUBLE_EQ(analysis.bars[2].Excess(), 0);
}

TEST_F(RealBars, IdealTimelineMakesAMidiFileOfTheScore) {
  Play({"barThirtyEight"});
  const auto tokens = recorder.ModeTokens();
  const auto analysis = bench::Analyse(tokens);
  double end = 0;
  const auto events = bench::IdealTimeline(tokens, analysis, &end);
  const double waits = bench::BarNamed("barThirtyEight")->waitSum;
  EXPECT_DOUBLE_EQ(end, waits);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front().kind, bench::MidiEvent::NoteOn);
  EXPECT_EQ(events.front().data, 36);
  EXPECT_EQ(events.front().velocity, 50);
  EXPECT_DOUBLE_EQ(events[3].t, 175000);  // after the first step's wait
  EXPECT_DOUBLE_EQ(events.back().t, waits);
  EXPECT_EQ(events.back().kind, bench::MidiEvent::NoteOff);
}

// The synthesiser's gain, with the program's settings: the loudest passages
// peak a few dB below full scale, and nothing clips.
TEST_F(RealBars, TheLoudestBarsPeakAFewDecibelsBelowFullScale) {
  Play({"barSeven", "barThirtyFour", "barThirtyFourOneShot"});
  const auto tokens = recorder.ModeTokens();
  const auto analysis = bench::Analyse(tokens);
  ASSERT_EQ(analysis.bars.size(), 3u);
  const auto times = bench::IdealTokenTimes(tokens, analysis);
  double end = 0;
  const auto events = bench::IdealTimeline(tokens, analysis, &end);
  const auto font = fw::sound::FindSoundFont();
  ASSERT_TRUE(font) << "the test command installs the SoundFont";
  fw::sound::FluidSynthSink synth(*font, fw::sound::FluidSynthSink::Output::None);
  ASSERT_TRUE(synth.WaitUntilLoaded());
  const auto levels = bench::RenderLevels(
      synth, events, {0, times[analysis.bars[1].first], times[analysis.bars[2].first]}, end + 2e6);
  ASSERT_EQ(levels.size(), 3u);
  bench::Level whole;
  for (const auto& level : levels) {
    EXPECT_GT(bench::Dbfs(level.peak), -9.0) << "every bar is near the top";
    whole.Add(level);
  }
  EXPECT_GT(bench::Dbfs(whole.peak), -6.0);
  EXPECT_LT(bench::Dbfs(whole.peak), -1.0);
  EXPECT_EQ(whole.clipped, 0);
}

TEST(Statistics, NearestRankPercentiles) {
  std::vector<double> values;
  for (int i = 1; i <= 100; ++i) values.push_back(i);
  EXPECT_EQ(bench::Percentile(values, 50), 50);
  EXPECT_EQ(bench::Percentile(values, 99), 99);
  EXPECT_EQ(bench::Percentile(values, 100), 100);
  EXPECT_EQ(bench::Percentile({7}, 99), 7);
  EXPECT_FALSE(bench::Percentile({}, 50));
}

TEST(Statistics, SummaryLineOfKeysAndValues) {
  bench::SummaryLine line;
  line.Add("bars", 38LL);
  line.Add("median", std::optional<double>(1.25), 2);
  line.Add("none", std::nullopt);
  EXPECT_EQ(line.Text(), "bars=38 median=1.25 none=-");
}

TEST(Statistics, DriftAndExcessFromBars) {
  bench::Recorder recorder;
  FakeThread thread(recorder);
  // The last bar with every wait 10 µs late.
  const auto* bar = bench::BarNamed("barThirtyEight");
  double t = 0;
  std::size_t waits = 0;
  for (const auto& step : bar->steps) {
    if (step.kind == bench::Step::Note) {
      thread.Note(step.note, step.velocity, t);
    } else if (step.kind == bench::Step::Wait) {
      thread.Wait(t, step.length, {0.1, step.length + 10});
      t += step.length + 10;
      ++waits;
    }
  }
  recorder.Finish();
  const auto analysis = bench::Analyse(recorder.ModeTokens());
  ASSERT_EQ(analysis.bars.size(), 1u);
  EXPECT_DOUBLE_EQ(analysis.bars[0].Excess(), 10.0 * static_cast<double>(waits));
  ASSERT_EQ(analysis.waits.size(), waits);
  EXPECT_DOUBLE_EQ(analysis.waits[0].overshoot, 10);
  bench::SummaryLine line;
  bench::AddTimingFigures(line, analysis);
  char drift[32];
  std::snprintf(drift, sizeof drift, "drift_ms=%.2f", 10.0 * static_cast<double>(waits) / 1e3);
  EXPECT_NE(line.Text().find(drift), std::string::npos) << line.Text();
  EXPECT_NE(line.Text().find("late_waits=0"), std::string::npos);
}

TEST(MidiFile, HeaderTempoAndExactTicks) {
  const std::vector<bench::MidiEvent> events{{bench::MidiEvent::NoteOn, 0, 60, 100},
                                             {bench::MidiEvent::NoteOff, 175000, 60, 0}};
  const auto bytes = bench::EncodeMidiFile(events, 3175000);
  ASSERT_GE(bytes.size(), 22u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "MThd");
  EXPECT_EQ(bytes[13], 96);  // ticks per quarter
  EXPECT_EQ(std::string(bytes.begin() + 14, bytes.begin() + 18), "MTrk");
  // Tempo 300000 µs a quarter: one tick is 3125 µs.
  const std::vector<std::uint8_t> tempo{0x00, 0xFF, 0x51, 0x03, 0x04, 0x93, 0xE0};
  EXPECT_TRUE(std::equal(tempo.begin(), tempo.end(), bytes.begin() + 22));
  // Note on at 0, note off 56 ticks later, end of track 960 ticks after that.
  const std::vector<std::uint8_t> body{0x00, 0x90, 60,   100,  56,   0x80, 60,
                                       0,    0x87, 0x40, 0xFF, 0x2F, 0x00};
  EXPECT_TRUE(std::equal(body.begin(), body.end(), bytes.begin() + 29));
  EXPECT_EQ(bytes.size(), 29 + body.size());
}

TEST(Options, ModesBarsAndMistakes) {
  std::string error;
  auto options = bench::ParseOptions({"--mode", "original", "--clock", "virtual", "--sound",
                                      "fluidsynth", "--seed", "7", "--realtime"},
                                     &error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->mode, "original");
  EXPECT_TRUE(options->virtualClock);
  EXPECT_TRUE(options->fluidSynth);
  EXPECT_EQ(options->seed, 7u);
  EXPECT_TRUE(options->realtime);

  options = bench::ParseOptions({"--bars", "barOne,barThirtyEight", "--repeat", "3"}, &error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->bars, (std::vector<std::string>{"barOne", "barThirtyEight"}));
  EXPECT_EQ(options->repeat, 3);

  EXPECT_FALSE(bench::ParseOptions({"--bars", "barZero"}, &error));
  EXPECT_FALSE(bench::ParseOptions({"--mode", "shuffled"}, &error));
  EXPECT_FALSE(bench::ParseOptions({"--mode", "looped"}, &error));  // never ends by itself
  EXPECT_FALSE(bench::ParseOptions({}, &error));
  EXPECT_FALSE(bench::ParseOptions({"--mode", "original", "--bars", "barOne"}, &error));
  EXPECT_FALSE(bench::ParseOptions({"--mode"}, &error));

  options =
      bench::ParseOptions({"--mode", "original", "--idle", "5", "--server-pid", "42"}, &error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->idleSeconds, 5.0);
  EXPECT_EQ(options->serverPid, 42);
  EXPECT_FALSE(bench::ParseOptions({"--mode", "original", "--idle", "0"}, &error));
  EXPECT_FALSE(bench::ParseOptions({"--mode", "original", "--server-pid", "x"}, &error));

  // Asking for help is not a mistake, whatever follows it.
  options = bench::ParseOptions({"--help", "--mode"}, &error);
  ASSERT_TRUE(options) << error;
  EXPECT_TRUE(options->help);
}

TEST(CpuTime, StatLineFieldsCountFromTheEndOfTheName) {
  // A process may call itself anything, spaces and parentheses included.
  const std::string line =
      "4242 (pulse (a) b) S 1 4242 4242 0 -1 4194560 1234 0 0 0 700 55 0 0 20 0 3 0 99 0 0";
  EXPECT_EQ(bench::CpuTicksOfStatLine(line), 755);
  EXPECT_FALSE(bench::CpuTicksOfStatLine("4242 (cut short) S 1 2"));
  EXPECT_FALSE(bench::CpuTicksOfStatLine("no name at all"));
  ASSERT_TRUE(bench::ProcessCpuMicros(getpid()));
  EXPECT_GE(*bench::ProcessCpuMicros(getpid()), 0);
}

TEST(Dropouts, ZeroRunsBetweenTheFirstAndLastAudibleSampleAreGaps) {
  // Stereo frames: silence, music with holes, a quiet tail with a hole, silence.
  const float quiet = 0.0001f, loud = 0.5f;
  const std::vector<float> head{0, 0, 0, 0, quiet, 0, loud, -loud, 0, 0};
  const std::vector<float> rest{0,    0,    0.2f,  0, 0, 0, 0, 0,     -0.3f, 0.3f,
                                loud, loud, quiet, 0, 0, 0, 0, quiet, 0,     0};
  bench::SilenceGapFinder finder(2, 0.001f);
  finder.Add(head.data(), head.size() / 2);  // a hole runs on from one piece into the next
  finder.Add(rest.data(), rest.size() / 2);
  const bench::SilenceGaps found = finder.Result();
  EXPECT_EQ(found.firstAudible, 3);
  EXPECT_EQ(found.lastAudible, 10);
  // Frame 6 (0.2, 0) is not silent in both channels; the holes at 12 and 14 lie in the tail.
  ASSERT_EQ(found.runs.size(), 2u);
  EXPECT_EQ(found.runs[0].start, 4);
  EXPECT_EQ(found.runs[0].frames, 2);
  EXPECT_EQ(found.runs[1].start, 7);
  EXPECT_EQ(found.runs[1].frames, 2);

  bench::SilenceGapFinder nothing(1, 0.001f);
  nothing.Add(head.data(), 4);
  EXPECT_EQ(nothing.Result().firstAudible, -1);
  EXPECT_TRUE(nothing.Result().runs.empty());
}

TEST(Dropouts, UnderrunsAtAStreamsEdgesAreKeptApartFromThoseWhilePlaying) {
  // Two streams as the server logs them (float stereo at 44.1 kHz: 352 800 bytes a second).
  std::istringstream log(
      "(   1.000|   0.000) I: [pulseaudio] sink-input.c: Created input 0 \"out\" on bench with "
      "sample spec float32le 2ch 44100Hz and channel map front-left,front-right\n"
      "(   1.000|   0.000) D: [pulseaudio] memblockq.c: memblockq requested: maxlength=4194304, "
      "tlength=3528, base=8, prebuf=520, minreq=256 maxrewind=0\n"
      "(   1.001|   0.000) D: [null-sink] protocol-native.c: Requesting rewind due to end of "
      "underrun.\n"
      // 9 ms after the first data: the first 10 ms buffer ran out before the next came.
      "(   1.010|   0.009) D: [null-sink] protocol-native.c: Implicit underrun of 'out'\n"
      "(   1.012|   0.002) D: [null-sink] protocol-native.c: Requesting rewind due to end of "
      "underrun.\n"
      "(   2.000|   0.988) D: [null-sink] protocol-native.c: Implicit underrun of 'out'\n"
      "(   2.003|   0.003) D: [null-sink] protocol-native.c: Requesting rewind due to end of "
      "underrun.\n"
      // Logged again: data came in between, though the log did not say so.
      "(   2.500|   0.497) D: [null-sink] protocol-native.c: Implicit underrun of 'out'\n"
      "(   3.000|   0.997) D: [null-sink] protocol-native.c: Actual underrun of 'out'\n"
      "(   3.001|   0.001) D: [null-sink] protocol-native.c: Requesting rewind due to end of "
      "underrun.\n"
      "(   4.000|   0.999) D: [null-sink] protocol-native.c: Implicit underrun of 'out'\n"
      "(   4.100|   0.100) I: [pulseaudio] sink-input.c: Freeing input 0 \"out\"\n"
      "(   5.000|   0.900) I: [pulseaudio] sink-input.c: Created input 1 \"out\" on bench with "
      "sample spec s16le 2ch 44100Hz and channel map front-left,front-right\n"
      "(   5.000|   0.000) D: [pulseaudio] memblockq.c: memblockq requested: maxlength=4194304, "
      "tlength=1764, base=4, prebuf=520, minreq=256 maxrewind=0\n"
      "(   5.001|   0.000) D: [null-sink] protocol-native.c: Requesting rewind due to end of "
      "underrun.\n"
      // Past its first 10 ms buffer: a dropout, and the log ends with the stream playing.
      "(   5.020|   0.019) D: [null-sink] protocol-native.c: Implicit underrun of 'out'\n"
      // Late data, for a place the sink already played, also ends it.
      "(   5.021|   0.001) D: [null-sink] protocol-native.c: Requesting rewind due to rewrite.\n"
      "a line without a time: Implicit underrun of 'out'\n");
  const bench::UnderrunCounts counts = bench::CountUnderruns(log);
  EXPECT_EQ(counts.streams, 2);
  EXPECT_EQ(counts.edge, 2);  // the first stream's first buffer and its close
  EXPECT_EQ(counts.mid, 4);
}

TEST(Stalls, ParsedInOrderAndRefusedWhenMalformedOrOverlapping) {
  std::string error;
  const auto two = bench::ParseStalls("3:30,7.5:100", &error);
  ASSERT_TRUE(two);
  ASSERT_EQ(two->size(), 2u);
  EXPECT_DOUBLE_EQ((*two)[1].atUs, 7.5e6);
  EXPECT_DOUBLE_EQ((*two)[1].lengthUs, 100e3);
  EXPECT_TRUE(bench::ParseStalls("", &error)->empty());
  for (const char* bad : {"3", "3:", ":30", "3:0", "x:30", "3:30,", "3:30;7:100"}) {
    error.clear();
    EXPECT_FALSE(bench::ParseStalls(bad, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  EXPECT_FALSE(bench::ParseStalls("3:2000,4:100", &error));  // the second inside the first
}

// Calls every `gap` µs, or at irregular gaps when `gaps` is given (cycled).
std::vector<double> CallsAt(std::size_t count, const std::vector<double>& gaps) {
  std::vector<double> calls{0};
  while (calls.size() < count) calls.push_back(calls.back() + gaps[calls.size() % gaps.size()]);
  return calls;
}

TEST(OnsetAlignment, ALateStretchStaysLateWhereEvenGapsWouldFitAShiftedPairing) {
  // 185 ms apart, notes 20 to 39 sound 370 ms late (two gaps): pairing each
  // with the onset of the call two later fits the steady delay, but leaves
  // calls and onsets alone.
  const std::vector<double> calls = CallsAt(60, {185e3});
  // The notes after it sound in order, 40 ms apart, until they have caught up.
  std::vector<double> onsets;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const double due = calls[i] + (i >= 20 && i < 40 ? 420e3 : 50e3);
    onsets.push_back(onsets.empty() ? due : std::max(due, onsets.back() + 40e3));
  }
  bench::AlignParams params;
  params.skipCost = 2 * 185e3;
  const auto aligned = bench::AlignOnsets(calls, onsets, params);
  for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(aligned[i], i) << i;
}

TEST(OnsetAlignment, LostNotesAndStrayOnsetsAreLeftAloneWithoutShiftingTheRest) {
  const std::vector<double> calls = CallsAt(40, {150e3, 230e3, 190e3, 310e3, 120e3});
  std::vector<double> onsets;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (i == 10 || i == 25 || i == 26) continue;  // one lost, then two in a row
    // The block's jitter, and a stretch 30 ms late after the first loss.
    onsets.push_back(calls[i] + 50e3 + (i % 3 == 0 ? 1.2e3 : 0) + (i > 10 && i < 20 ? 30e3 : 0));
  }
  onsets.push_back(calls[33] + 120e3);  // a click between two notes
  std::sort(onsets.begin(), onsets.end());
  const auto aligned = bench::AlignOnsets(calls, onsets);
  std::size_t lost = 0;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (!aligned[i]) {
      ++lost;
      EXPECT_TRUE(i == 10 || i == 25 || i == 26) << i;
      continue;
    }
    const double delay = onsets[*aligned[i]] - calls[i];
    EXPECT_NEAR(delay, i > 10 && i < 20 ? 80e3 : 50e3, 1.5e3) << i;
  }
  EXPECT_EQ(lost, 3u);
}

TEST(DelayCourse, StretchesBunchesLostNotesAndTheSettledWorst) {
  // Every 100 ms for 6 s; a stall from 3.0 to 3.3 s leaves the notes called
  // from 3.0 s 250 ms late, the catch-up sounds the notes of 3.9 and 4.0 s
  // 10 ms apart, 4.1 s comes 45 ms late, then all is steady; 5.0 s is lost.
  const std::vector<double> calls = CallsAt(61, {100e3});
  std::vector<std::optional<double>> onsets(calls.size());
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const double delay = i < 30 ? 50e3 : i < 40 ? 250e3 : i == 40 ? 160e3 : i == 41 ? 95e3 : 50.5e3;
    if (i != 50) onsets[i] = calls[i] + delay + (i % 2 == 0 ? 0.9e3 : 0);
  }
  const std::vector<bench::SentStall> stalls{{3.0e6, 3.3e6}};
  const bench::DelayCourse course = bench::TraceDelays(calls, onsets, stalls);
  ASSERT_TRUE(course.steady);
  EXPECT_NEAR(*course.steady, 50e3, 1e3);
  EXPECT_EQ(course.steadyNotes, 30u);
  ASSERT_EQ(course.stretches.size(), 5u);
  const std::vector<std::pair<std::size_t, std::size_t>> bounds{
      {0, 29}, {30, 39}, {40, 40}, {41, 41}, {42, 60}};
  for (std::size_t k = 0; k < bounds.size(); ++k) {
    EXPECT_EQ(course.stretches[k].first, bounds[k].first) << k;
    EXPECT_EQ(course.stretches[k].last, bounds[k].second) << k;
  }
  EXPECT_EQ(course.stretches[4].heard, 18u);  // the lost note is not one of them
  EXPECT_NEAR(course.stretches[1].medianDelay, 250e3, 1e3);
  EXPECT_EQ(course.lost, std::vector<std::size_t>{50});
  ASSERT_EQ(course.bunched.size(), 1u);
  EXPECT_EQ(course.bunched[0].earlier, 39u);
  EXPECT_EQ(course.bunched[0].later, 40u);
  ASSERT_EQ(course.afterStalls.size(), 1u);
  const bench::AfterStall& after = course.afterStalls[0];
  EXPECT_DOUBLE_EQ(after.from, 3.6e6);
  EXPECT_EQ(after.notes, 25u);  // 3.6 to 6.0 s
  EXPECT_EQ(after.heard, 24u);
  ASSERT_TRUE(after.worstOff);
  EXPECT_NEAR(*after.worstOff, 200e3, 1e3);
  EXPECT_EQ(after.lastOff, std::optional<std::size_t>{41});
}

TEST(DelayCourse, OnlyNotesSettledAfterAStallAndBeforeTheNextCount) {
  // A note 100 ms off within 300 ms of the first stall's end, one 2 ms off
  // after it, one 60 ms off called so shortly before the second stall that it
  // sounds in it, one 80 ms off inside the second stall's own window.
  const std::vector<double> calls{0, 0.5e6, 1.1e6, 1.5e6, 1.98e6, 2.2e6, 2.6e6};
  const std::vector<double> offs{0, 0, 100e3, -2e3, 60e3, 80e3, 0};
  std::vector<std::optional<double>> onsets;
  for (std::size_t i = 0; i < calls.size(); ++i) onsets.push_back(calls[i] + 40e3 + offs[i]);
  const std::vector<bench::SentStall> stalls{{0.9e6, 1.0e6}, {2.0e6, 2.1e6}};
  const bench::DelayCourse course = bench::TraceDelays(calls, onsets, stalls);
  ASSERT_EQ(course.afterStalls.size(), 2u);
  EXPECT_EQ(course.afterStalls[0].notes, 1u);
  EXPECT_NEAR(course.afterStalls[0].worstOff.value_or(0), -2e3, 1);
  EXPECT_EQ(course.afterStalls[0].lastOff, std::optional<std::size_t>{2});
  EXPECT_DOUBLE_EQ(course.afterStalls[0].to, 2.0e6 - 40e3);
  EXPECT_EQ(course.afterStalls[1].notes, 1u);
  EXPECT_NEAR(course.afterStalls[1].worstOff.value_or(-1), 0, 1);
  EXPECT_EQ(course.afterStalls[1].lastOff, std::optional<std::size_t>{5});
}

TEST(OnsetAlignment, TwoCallsThatSoundedAsOneOnsetLeaveOneCallAlone) {
  // At a catch-up the notes of 1.0 and 1.2 s sounded 10 ms apart, too close
  // to be told apart: one onset for the two.
  const std::vector<double> calls{0, 0.2e6, 0.45e6, 0.7e6, 1.0e6, 1.2e6, 1.5e6, 1.75e6};
  const std::vector<double> onsets{0.05e6, 0.25e6, 0.5e6, 0.75e6, 1.41e6, 1.55e6, 1.8e6};
  const auto aligned = bench::AlignOnsets(calls, onsets);
  EXPECT_EQ(std::count(aligned.begin(), aligned.end(), std::nullopt), 1);
  EXPECT_TRUE(!aligned[4] || !aligned[5]);
  EXPECT_EQ(aligned[6], 5u);
  EXPECT_EQ(aligned[3], 3u);
}

TEST(DelayCourse, EveryPairOfNotesCalledApartThatSoundedTogetherIsBunched) {
  // Three notes 100 ms apart sound within 24 ms; two called 50 ms apart
  // sounding 5 ms apart are not bunched, they were close already.
  const std::vector<double> calls{0, 0.1e6, 0.2e6, 0.5e6, 0.55e6};
  const std::vector<std::optional<double>> onsets{0.3e6, 0.312e6, 0.324e6, 0.6e6, 0.605e6};
  const bench::DelayCourse course = bench::TraceDelays(calls, onsets, {});
  ASSERT_EQ(course.bunched.size(), 3u);
  EXPECT_EQ(course.bunched[1].earlier, 0u);
  EXPECT_EQ(course.bunched[1].later, 2u);
  EXPECT_TRUE(course.afterStalls.empty());
  EXPECT_EQ(course.steadyNotes, 5u);  // with no stall, all notes are steady ones
}

TEST(StallFiles, WhatTheRunsProcessesWroteReadsBack) {
  const std::string dir = ::testing::TempDir();
  const std::string stallsPath = dir + "/stalls.csv", readsPath = dir + "/reads.csv";
  std::FILE* file = std::fopen(stallsPath.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fputs(
      "stall,planned_at_s,planned_ms,stop_sent_us,stop_done_us,continue_sent_us,"
      "continue_done_us\n1,3.000,30.000,100.0,101.5,30101.5,30102.0\n",
      file);
  std::fclose(file);
  const auto stalls = bench::ReadSentStalls(stallsPath);
  ASSERT_TRUE(stalls);
  ASSERT_EQ(stalls->size(), 1u);
  EXPECT_DOUBLE_EQ((*stalls)[0].stopUs, 101.5);
  EXPECT_DOUBLE_EQ((*stalls)[0].continueUs, 30101.5);

  file = std::fopen(readsPath.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fputs("frames,at_us,latency_us,usable\n441,123456789012.5,-20000,1\n882,,-20000,0\n", file);
  std::fclose(file);
  EXPECT_FALSE(bench::ReadStamps(readsPath));  // an empty field is no number
  EXPECT_FALSE(bench::ReadCalls(dir + "/no-such-file.csv"));
  std::remove(stallsPath.c_str());
  std::remove(readsPath.c_str());
}

// Reads every 10 ms of a 44.1 kHz sink whose frames run `ppm` fast; from
// `lostAt` on, `lostUs` of frames never reached the recording.
std::vector<bench::ReadStamp> SinkReads(double ppm, double lostAt = 1e12, double lostUs = 0) {
  std::vector<bench::ReadStamp> stamps;
  for (std::int64_t k = 0; k < 1000; ++k) {
    const std::int64_t frames = k * 441;
    double played = 5e9 + static_cast<double>(frames) * 1e6 / 44100 / (1 + ppm * 1e-6);
    if (played >= lostAt) played += lostUs;
    stamps.push_back({frames, played - 20e3 + (k % 2 == 0 ? 50 : -50), -20e3, true});
  }
  return stamps;
}

TEST(FrameLine, HoldsAcrossAStallWhoseReadsAreLeftOutAndShowsLostFrames) {
  std::vector<bench::ReadStamp> stamps = SinkReads(900);
  // Reads in a stall come in a burst, off the line; they are left out.
  const std::pair<double, double> stall{stamps[400].at - 1, stamps[420].at + 2e3};
  for (std::size_t k = 400; k < 420; ++k) stamps[k].at = stamps[420].at + 1e3;
  stamps[500].usable = false;
  stamps[500].at += 50e3;
  const auto line = bench::FrameLine::Fit(stamps, 44100, {stall});
  ASSERT_TRUE(line);
  EXPECT_EQ(line->Used(), 1000u - 21u - 1u);
  EXPECT_LT(line->WorstResidual(), 200);
  EXPECT_NEAR(line->Ppm(), 900, 5);
  EXPECT_NEAR(line->Time(441 * 410), 5e9 + 441.0 * 410 * 1e6 / 44100 / 1.0009, 100);

  const auto broken = bench::FrameLine::Fit(SinkReads(0, 5e9 + 5e6, 30e3), 44100, {});
  ASSERT_TRUE(broken);
  EXPECT_GT(broken->WorstResidual(), 10e3);
  EXPECT_FALSE(bench::FrameLine::Fit(stamps, 44100, {{0, 1e12}}));
}

TEST(TimingSink, FirstNoteAndLastRelease) {
  const std::vector<bench::SinkCall> calls{{bench::SinkCall::Program, 0, 100},
                                           {bench::SinkCall::On, 60, 1100},
                                           {bench::SinkCall::Off, 60, 5000},
                                           {bench::SinkCall::On, 62, 6000},
                                           {bench::SinkCall::Off, 62, 9000}};
  EXPECT_EQ(bench::FirstNoteOnAfter(calls, 100), 1.0);
  EXPECT_EQ(bench::LastReleaseAfter(calls, 4000, 8000), 1.0);
  EXPECT_EQ(bench::NoteOnsAfter(calls, 4000), 1);
  EXPECT_FALSE(bench::LastReleaseAfter(calls, 9500, 10000));
}

TEST(TimingSink, ForwardsEveryCall) {
  auto inner = std::make_shared<fw::testing::RecordingSink>();
  bench::TimingSink sink(inner);
  sink.ProgramChange(0);
  sink.NoteOn(60, 90);
  sink.NoteOff(60);
  EXPECT_EQ(inner->Messages().size(), 3u);
  EXPECT_EQ(sink.Calls().size(), 3u);
  EXPECT_TRUE(inner->Sounding().empty());
}

}  // namespace
