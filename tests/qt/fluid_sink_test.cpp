// The real synthesiser, rendered offline: a note sounds, its release
// silences it. Through a stand-in output that calls back at its own pace:
// a start waits for that pace, and each note is applied at the frame of its
// call plus the sink's delay.
#include "framework/sound/fluid_sink.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/core/clock.h"
#include "framework/sound/soundfont.h"
#include "support/paced_stand_in.h"

namespace {

using namespace std::chrono_literals;
using fw::clock::RealNow;
using testing_support::PacedStandIn;
using testing_support::StandInLog;

// An empty folder of this process's own: other engineers' test runs share /tmp.
std::filesystem::path EmptyFolder(const std::string& name) {
  const auto folder =
      std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

TEST(FluidSinkTest, ANoteSoundsAndItsReleaseDiesAwayWithThePianoProgram) {
  auto soundFont = fw::sound::FindSoundFont();
  ASSERT_TRUE(soundFont) << "the test command installs the SoundFont";
  fw::sound::FluidSynthSink sink(*soundFont, fw::sound::FluidSynthSink::Output::None);
  ASSERT_TRUE(sink.WaitUntilLoaded());
  sink.ProgramChange(0);
  EXPECT_LT(sink.RenderPeak(4410), 1e-4f) << "silent before any note";
  sink.NoteOn(60, 100);
  EXPECT_GT(sink.RenderPeak(4410), 0.01f) << "a started note sounds";
  sink.NoteOff(60);
  sink.RenderPeak(44100 * 2);  // the release tail and the reverb die away
  EXPECT_LT(sink.RenderPeak(4410), 1e-3f) << "silent after the release";
}

// Bounds a hang only; nothing here is a timing requirement.
constexpr auto kHang = 60s;

// The sink opened through a stand-in. The stream is never closed as idle
// while a test runs, however long the machine holds the test up.
struct SinkOnStandIn {
  explicit SinkOnStandIn(const std::string& soundFont)
      : sink(soundFont,
             [log = log](fw::sound::TimelineRenderer& renderer) {
               return std::make_unique<PacedStandIn>(renderer, log);
             },
             {.idleBeforeClose = std::chrono::hours(1)}) {
    log->sampleRate = sink.SampleRate();
  }
  std::shared_ptr<StandInLog> log = std::make_shared<StandInLog>();
  fw::sound::FluidSynthSink sink;
};

struct Called {
  int note;
  double before;  // real clock around the call
  double after;
};

// Calls notes one after another, each a little after the last.
std::vector<Called> CallNotes(fw::sound::FluidSynthSink& sink, int count) {
  std::vector<Called> calls;
  for (int i = 0; i < count; ++i) {
    const double before = RealNow();
    sink.NoteOn(40 + i, 90);
    calls.push_back({40 + i, before, RealNow()});
    std::this_thread::sleep_for(4ms);  // spreads them over periods; any spacing will do
  }
  return calls;
}

// Until the stand-in has called back well past the last note's moment, so
// that every note was either applied or dropped.
bool RenderedPast(const StandInLog& log, double moment) {
  for (const auto until = std::chrono::steady_clock::now() + kHang;
       std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(1ms)) {
    const std::vector<StandInLog::Callback> callbacks = log.Callbacks();
    if (callbacks.size() >= 3 && callbacks[callbacks.size() - 3].at > moment) return true;
  }
  return false;
}

// Each note is applied in the block that holds its call plus the delay, by
// the stand-in's own pace. The clock learns that pace from callbacks that
// come late by up to the worst lateness seen, and may misjudge it by about
// as much again.
void ExpectEachAppliedAtItsCallPlusTheDelay(const StandInLog& log, const std::vector<Called>& calls,
                                            double delay) {
  const double block = fw::sound::TimelineRenderer::kBlock * 1e6 / log.sampleRate;
  const double jitter = 2 * log.WorstLateness();
  const std::vector<StandInLog::Applied> applied = log.Notes();
  for (const Called& call : calls) {
    const auto found = std::find_if(applied.begin(), applied.end(), [&](const auto& a) {
      return a.note.kind == fw::sound::TimedNote::Kind::On && a.note.note == call.note;
    });
    ASSERT_NE(found, applied.end()) << "note " << call.note << " was never applied";
    const double meant = log.MeantFor(found->frame);
    EXPECT_GE(meant, call.before + delay - block - jitter)
        << "note " << call.note << " early by " << (call.before + delay - meant) / 1000 << " ms";
    EXPECT_LE(meant, call.after + delay + jitter)
        << "note " << call.note << " late by " << (meant - call.after - delay) / 1000 << " ms";
  }
}

// Notes called once the start has waited: none lost, each where it belongs.
void PlayAndExpectEachNoteAtItsCallPlusTheDelay(SinkOnStandIn& output) {
  const std::vector<Called> calls = CallNotes(output.sink, 24);
  ASSERT_TRUE(RenderedPast(*output.log, calls.back().after + output.sink.Delay()));
  EXPECT_EQ(output.log->NoteOns(), calls.size()) << "a note was lost";
  EXPECT_EQ(output.sink.DroppedNotes(), 0);
  ExpectEachAppliedAtItsCallPlusTheDelay(*output.log, calls, output.sink.Delay());
}

TEST(FluidSinkTest, AStartWaitsForTheOutputsPaceEvenIfSlowToBeginThenLosesNoNoteAndPlacesEach) {
  const auto soundFont = fw::sound::FindSoundFont();
  ASSERT_TRUE(soundFont) << "the test command installs the SoundFont";
  struct Output {
    const char* name;
    std::chrono::milliseconds pause;
    double rate;  // 0: the synthesiser's own
  };
  // A server slower than the synthesiser's rate has longer periods: a delay
  // kept from the synthesiser's would be shorter than one, and every note late.
  for (const Output& kind : {Output{"at once", 0ms, 0}, Output{"slow to begin", 300ms, 0},
                             Output{"a server at 32 kHz", 0ms, 32000}}) {
    SCOPED_TRACE(kind.name);
    SinkOnStandIn output(*soundFont);
    output.log->pauseAfterFirst = kind.pause;
    if (kind.rate > 0) output.log->sampleRate = kind.rate;
    output.sink.Prepare();
    ASSERT_TRUE(output.sink.AwaitOutput(kHang));
    const double ready = RealNow();
    // The pace shows in a callback a period after the one before: the
    // second, or after a pause the one after the first back.
    const std::size_t paced = kind.pause.count() > 0 ? 2 : 1;
    const std::vector<StandInLog::Callback> before = output.log->Callbacks();
    ASSERT_GT(before.size(), paced) << "ready before the output took data at its pace";
    EXPECT_GE(ready, before[paced].at);

    PlayAndExpectEachNoteAtItsCallPlusTheDelay(output);
  }
}

TEST(FluidSinkTest, AnOutputWhosePaceCannotBeReadStillPlaysTheStartAtItsNominalRate) {
  const auto soundFont = fw::sound::FindSoundFont();
  ASSERT_TRUE(soundFont) << "the test command installs the SoundFont";
  SinkOnStandIn output(*soundFont);
  output.log->earlyShare = 0.7;
  output.sink.Prepare();
  ASSERT_TRUE(output.sink.AwaitOutput(500ms)) << "a device that takes data got no start";
  const std::vector<Called> calls = CallNotes(output.sink, 12);
  ASSERT_TRUE(RenderedPast(*output.log, calls.back().after + output.sink.Delay()));
  EXPECT_EQ(output.log->NoteOns(), calls.size()) << "a note was lost";
  EXPECT_EQ(output.sink.DroppedNotes(), 0);
}

// The fade is heard to its end before the stream may close, however large
// the device's period: the device plays each callback a period after it.
TEST(FluidSinkTest, AFadeOutIsPlayedToSilenceEvenWhereTheDeviceTakesLargeBlocks) {
  const auto soundFont = fw::sound::FindSoundFont();
  ASSERT_TRUE(soundFont) << "the test command installs the SoundFont";
  for (const int period : {1024, 4096}) {
    SCOPED_TRACE(period);
    SinkOnStandIn output(*soundFont);
    output.log->periodFrames = period;
    output.sink.Prepare();
    ASSERT_TRUE(output.sink.AwaitOutput(kHang));
    output.sink.FadeOut();
    const std::int64_t silent = output.log->SilentFrom();
    ASSERT_GE(silent, 0) << "the fade never reached silence";
    const std::vector<StandInLog::Callback> callbacks = output.log->Callbacks();
    EXPECT_GE(callbacks.back().firstFrame, silent + period)
        << "the stream could close before the device played the end of the fade";
  }
}

TEST(FluidSinkTest, AStartGivesUpWaitingWithoutAnOutputAndWhenCancelled) {
  const auto soundFont = fw::sound::FindSoundFont();
  ASSERT_TRUE(soundFont) << "the test command installs the SoundFont";
  {
    SinkOnStandIn output(*soundFont);
    output.log->answers = false;
    testing::internal::CaptureStderr();
    output.sink.Prepare();
    // Were the failed attempt missed, this would wait out the hour.
    EXPECT_FALSE(output.sink.AwaitOutput(std::chrono::hours(1)));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no usable audio device"),
              std::string::npos);
    EXPECT_EQ(output.log->Opens(), 1);
  }
  // An output that opens but takes data at its pace only once released:
  // the cancel releases it, so a wait that went on past the cancel would end ready.
  SinkOnStandIn output(*soundFont);
  output.log->pauseAfterFirst = std::chrono::hours(1);
  output.sink.Prepare();
  int looks = 0;
  int cancelledAt = 0;
  const auto cancelled = [&] {
    ++looks;
    if (output.log->Callbacks().empty()) return false;
    if (cancelledAt == 0) cancelledAt = looks;
    output.log->Release();
    return true;
  };
  EXPECT_FALSE(output.sink.AwaitOutput(kHang, cancelled));
  EXPECT_GT(cancelledAt, 0) << "the wait ran out instead";
  EXPECT_EQ(looks, cancelledAt) << "the wait went on after the cancel";
}

TEST(SoundFontTest, DefaultFirstThenAnyOtherSoundFontThenNone) {
  namespace fs = std::filesystem;
  const fs::path folder = EmptyFolder("velumbra-sf2-test");
  EXPECT_FALSE(fw::sound::FindSoundFont(folder.string()));
  std::ofstream(folder / "b.SF2") << "x";
  std::ofstream(folder / "a.txt") << "x";
  EXPECT_EQ(fw::sound::FindSoundFont(folder.string()), (folder / "b.SF2").string());
  std::ofstream(folder / "default-GM.sf2") << "x";
  EXPECT_EQ(fw::sound::FindSoundFont(folder.string()), (folder / "default-GM.sf2").string());
  EXPECT_FALSE(fw::sound::FindSoundFont((folder / "missing").string()));
  fs::remove_all(folder);
}

TEST(SoundFontTest, CandidatesListTheDefaultFirstThenTheOthersInNameOrderEachFileOnce) {
  namespace fs = std::filesystem;
  const fs::path folder = EmptyFolder("velumbra-sf2-order-test");
  fs::create_directories(folder / "d.sf2");
  std::ofstream(folder / "c.sf2") << "x";
  std::ofstream(folder / "a.SF2") << "x";
  std::ofstream(folder / "b.txt") << "x";
  // The system's default is a link to one of the others.
  fs::create_symlink("c.sf2", folder / "default-GM.sf2");
  const std::vector<std::string> expected = {(folder / "default-GM.sf2").string(),
                                             (folder / "a.SF2").string()};
  EXPECT_EQ(fw::sound::SoundFontCandidates(folder.string()), expected);
  fs::remove_all(folder);
}

// A folder with an empty default and a damaged SoundFont, and the system's
// own SoundFont beside them when `withGood`; its candidates in order.
std::vector<std::string> UnloadableSoundFonts(bool withGood) {
  namespace fs = std::filesystem;
  const fs::path folder = EmptyFolder("velumbra-sf2-unloadable-test");
  std::ofstream(folder / "default-GM.sf2");
  std::ifstream real(*fw::sound::FindSoundFont(), std::ios::binary);
  std::vector<char> head(65536);
  real.read(head.data(), static_cast<std::streamsize>(head.size()));
  std::ofstream(folder / "Broken.sf2", std::ios::binary).write(head.data(), real.gcount());
  if (withGood) fs::create_symlink(*fw::sound::FindSoundFont(), folder / "Good.sf2");
  return fw::sound::SoundFontCandidates(folder.string());
}

TEST(SoundFontTest, UnloadableSoundFontsGiveWayQuietlyOrOneFailureNamesTheDefaultAndWhy) {
  using fw::sound::FluidSynthSink;
  ASSERT_TRUE(fw::sound::FindSoundFont()) << "the test command installs the SoundFont";
  std::vector<std::string> failures;
  const auto keep = [&failures](const std::string& why) { failures.push_back(why); };
  {
    const std::vector<std::string> candidates = UnloadableSoundFonts(true);
    ASSERT_EQ(candidates.size(), 3u);
    testing::internal::CaptureStderr();
    FluidSynthSink sink(candidates, FluidSynthSink::Output::None, keep);
    const bool loaded = sink.WaitUntilLoaded();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the failed files leave no noise";
    ASSERT_TRUE(loaded) << "the third file loads";
    EXPECT_TRUE(failures.empty());
    sink.ProgramChange(0);
    sink.NoteOn(60, 100);
    EXPECT_GT(sink.RenderPeak(4410), 0.01f) << "the loaded SoundFont sounds";
  }
  const std::vector<std::string> candidates = UnloadableSoundFonts(false);
  testing::internal::CaptureStderr();
  FluidSynthSink sink(candidates, FluidSynthSink::Output::None, keep);
  EXPECT_FALSE(sink.WaitUntilLoaded());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the caller is told, not stderr";
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find(candidates[0] + " could not be loaded: the file is empty"),
            std::string::npos)
      << failures[0];
  std::filesystem::remove_all(std::filesystem::path(candidates[0]).parent_path());
}

}  // namespace
