// Start and stop: the two states, which thread runs, the sweep, the farewell.
#include <gtest/gtest.h>

#include "framework/core/clock.h"
#include "framework/core/controls.h"
#include "framework/core/note_player.h"
#include "framework/core/thread.h"
#include "support/player_fixture.h"
#include "support/score_expectation.h"

using testing_support::Token;

namespace {

class StartStopTest : public testing_support::PlayerTest {
 protected:
  void ExpectState(bool playing) {
    AsEvent([&] {
      EXPECT_EQ(Control<fw::PushButton>("play").Enabled(), !playing);
      EXPECT_EQ(Control<fw::PushButton>("stop").Enabled(), playing);
      EXPECT_EQ(Control<fw::ProgressWheel>("ProgressWheel1").Visible(), playing);
      for (const char* b : {"OneShotButton", "LoopedButton", "OriginalButton", "OneShotEndButton"})
        EXPECT_EQ(Control<fw::RadioButton>(b).Enabled(), !playing) << b;
    });
  }
  bool Running(const char* thread) {
    bool running = false;
    AsEvent([&] { running = Control<fw::Thread>(thread).IsRunning(); });
    return running;
  }
};

const std::string kFarewell =
    "Thanks for listening to this velumbra.\n"
    "If you enjoyed it and would like to make a donation of 49p (\u00A30.49) then please visit\n"
    "www.orrinvale.example/velumbraweb/velumbrapayment.html\n"
    "Thank you.";

TEST_F(StartStopTest, StartRunsTheSelectedModeOnlyAndStopReturnsToIdle) {
  Click("play");
  ExpectState(true);
  EXPECT_TRUE(Running("OneShot"));
  EXPECT_FALSE(Running("Looped"));
  EXPECT_FALSE(Running("Original"));
  EXPECT_FALSE(Running("OneShotEnd"));
  // Start cannot be pressed twice while playing.
  Click("play");
  EXPECT_TRUE(Running("OneShot"));

  PressAtVirtualTime("stop", 1e6);
  ExpectState(false);
  EXPECT_FALSE(Running("OneShot"));
  EXPECT_TRUE(sink->Sounding().empty());
  EXPECT_EQ(platform->Messages(), std::vector<std::string>{kFarewell});
}

TEST_F(StartStopTest, StopSweepsNotesOneToOneHundredTwentySevenWithAYieldAfterEach) {
  Click("stop");  // disabled while idle: nothing happens
  EXPECT_TRUE(platform->Messages().empty());

  // No mode selected: start runs nothing, stop still sweeps and says farewell.
  AsEvent([&] { Control<fw::RadioButton>("OneShotButton").Value(false); });
  Click("play");
  ExpectState(true);
  EXPECT_FALSE(Running("OneShot"));
  trace->Clear();
  Click("stop");
  const auto tokens = trace->Tokens(testing_support::CallTrace::Threads::Gui);
  ASSERT_EQ(tokens.size(), 254u);
  for (int note = 1; note <= 127; ++note) {
    const Token& call = tokens[static_cast<std::size_t>(2 * (note - 1))];
    EXPECT_EQ(call.kind, Token::Note);
    EXPECT_EQ(call.note, note);
    EXPECT_EQ(call.velocity, 0);
    EXPECT_EQ(tokens[static_cast<std::size_t>(2 * note - 1)].kind, Token::PassYield);
  }
  ExpectState(false);
  EXPECT_EQ(platform->Messages(), std::vector<std::string>{kFarewell});
}

TEST_F(StartStopTest, StopDuringTheEndPauseShowsOnlyItsOwnFarewell) {
  Select("OriginalButton");
  Click("play");
  // Bars 1 to 38 wait 103 s, and their pass yields 0.14 s more; the 3 s end pause follows.
  // (The sweep's yields move the virtual clock on by about 0.8 s.)
  PressAtVirtualTime("stop", 103.6e6);
  ASSERT_TRUE(WaitUntilNoThreadRuns());
  ExpectState(false);
  EXPECT_EQ(platform->Messages().size(), 1u);
  // All 38 bars played, and the end pause was cut short by the kill.
  const auto played =
      testing_support::MatchBars(trace->Tokens(), testing_support::LoadExpectedScore());
  EXPECT_EQ(played.names.size(), 38u);
  ASSERT_FALSE(played.rest.empty());
  EXPECT_EQ(played.rest[0].kind, Token::Wait);
  EXPECT_LT(played.rest[0].length, 3e6);
}

TEST_F(StartStopTest, StopLeavesNothingSoundingEvenANoteStartedDuringTheSweep) {
  Select("LoopedButton");
  Click("play");
  PressAtVirtualTime("stop", 3e6);
  EXPECT_TRUE(sink->Sounding().empty());
  EXPECT_EQ(fw::sound::SoundingCount(), 0);
  ASSERT_TRUE(WaitUntilNoThreadRuns());
  // The killed looped thread ran nothing more: no second farewell, no state change.
  EXPECT_EQ(platform->Messages().size(), 1u);
  ExpectState(false);
}

}  // namespace
