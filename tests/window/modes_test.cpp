// The four modes, played to their end (or stopped) on the virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "framework/core/clock.h"
#include "framework/core/controls.h"
#include "framework/core/misc.h"
#include "framework/core/note_player.h"
#include "framework/core/scheduler.h"
#include "support/player_fixture.h"
#include "support/score_expectation.h"

using testing_support::Token;

namespace {

class ModesTest : public testing_support::PlayerTest {
 protected:
  testing_support::PlayedBars PlayToTheEnd(std::string_view modeButton) {
    Select(modeButton);
    Click("play");
    EXPECT_TRUE(WaitUntilNoThreadRuns());
    return testing_support::MatchBars(trace->Tokens(), score);
  }

  static double Waited(const std::vector<Token>& tokens) {
    double total = 0;
    for (const Token& t : tokens) total += t.kind == Token::Wait ? t.length : 0;
    return total;
  }

  double WaitedByBars(const std::vector<std::string>& names) {
    double total = 0;
    for (const auto& name : names) total += Waited(score.at(name).tokens);
    return total;
  }

  void ExpectIdleWithOneFarewell() {
    AsEvent([&] {
      EXPECT_TRUE(Control<fw::PushButton>("play").Enabled());
      EXPECT_FALSE(Control<fw::PushButton>("stop").Enabled());
      EXPECT_FALSE(Control<fw::ProgressWheel>("ProgressWheel1").Visible());
      for (const char* b : {"OneShotButton", "LoopedButton", "OriginalButton", "OneShotEndButton"})
        EXPECT_TRUE(Control<fw::RadioButton>(b).Enabled()) << b;
    });
    ASSERT_EQ(platform->Messages().size(), 1u);
    EXPECT_EQ(platform->Messages()[0].rfind("Thanks for listening", 0), 0u);
    EXPECT_TRUE(sink->Sounding().empty());
  }

  std::map<std::string, testing_support::ExpectedBar> score = testing_support::LoadExpectedScore();
};

TEST_F(ModesTest, OriginalPlaysTheThirtyEightPlainBarsInOrderThenTheEndPause) {
  const auto played = PlayToTheEnd("OriginalButton");
  const auto& names = testing_support::PlainBarNames();
  ASSERT_EQ(played.names.size(), 38u) << "unmatched at " << played.unmatchedAt;
  EXPECT_EQ(played.names, std::vector<std::string>(names.begin() + 1, names.end()));
  EXPECT_DOUBLE_EQ(WaitedByBars(played.names), 103.0e6);
  // No yield between two bars but those ending a two-pass bar's passes.
  for (std::size_t i = 0; i < played.names.size(); ++i) EXPECT_EQ(played.yieldsBetween[i], 0);
  ASSERT_EQ(played.rest.size(), 1u);
  EXPECT_EQ(played.rest[0].kind, Token::Wait);
  EXPECT_EQ(played.rest[0].length, 3000000.0);
  const auto tokens = trace->Tokens();
  ASSERT_FALSE(tokens.empty());
  EXPECT_EQ(tokens.front().kind, Token::Instrument);
  EXPECT_EQ(tokens.front().note, 1);
  ExpectIdleWithOneFarewell();
}

TEST_F(ModesTest, OneShotPlaysEveryBarOnceWithTheVariantsAndAYieldAfterEach) {
  fw::random::SetSeed(7);
  const auto played = PlayToTheEnd("OneShotButton");
  ASSERT_EQ(played.names.size(), 38u) << "unmatched at " << played.unmatchedAt;
  std::set<std::string> distinct(played.names.begin(), played.names.end());
  EXPECT_EQ(distinct.size(), 38u);
  for (int bar = 28; bar <= 34; ++bar) {
    const auto& plain = testing_support::PlainBarNames()[static_cast<std::size_t>(bar)];
    EXPECT_TRUE(distinct.count(plain + "OneShot")) << plain;
    EXPECT_FALSE(distinct.count(plain)) << plain;
  }
  EXPECT_DOUBLE_EQ(WaitedByBars(played.names), 106.4e6);
  for (int yields : played.yieldsBetween) EXPECT_EQ(yields, 1);
  // Shuffled: not in bar order (a 1 in 38! chance of a false failure).
  EXPECT_NE(played.names.front() + played.names.back(), "barOnebarThirtyEight");
  EXPECT_EQ(played.rest[0].length, 3000000.0);
  ExpectIdleWithOneFarewell();
}

TEST_F(ModesTest, OneShotWithEndingShufflesTheFirstTwentyFourThenPlaysTheEndingAsWritten) {
  fw::random::SetSeed(11);
  const auto played = PlayToTheEnd("OneShotEndButton");
  ASSERT_EQ(played.names.size(), 38u) << "unmatched at " << played.unmatchedAt;
  const auto& names = testing_support::PlainBarNames();
  std::vector<std::string> first(played.names.begin(), played.names.begin() + 24);
  std::vector<std::string> sorted = first;
  std::vector<std::string> expectedFirst(names.begin() + 1, names.begin() + 25);
  std::sort(sorted.begin(), sorted.end());
  std::sort(expectedFirst.begin(), expectedFirst.end());
  EXPECT_EQ(sorted, expectedFirst);
  EXPECT_EQ(std::vector<std::string>(played.names.begin() + 24, played.names.end()),
            std::vector<std::string>(names.begin() + 25, names.end()));
  for (std::size_t i = 0; i < 24; ++i) EXPECT_EQ(played.yieldsBetween[i], 1);
  for (std::size_t i = 24; i < 38; ++i) EXPECT_EQ(played.yieldsBetween[i], 0);
  ExpectIdleWithOneFarewell();
}

TEST_F(ModesTest, LoopedDrawsFromTheFirstTwentyFourUntilStopped) {
  fw::random::SetSeed(3);
  Select("LoopedButton");
  Click("play");
  // Let it play about 60 bars of virtual time.
  PressAtVirtualTime("stop", 60 * 2.8e6);
  ASSERT_TRUE(WaitUntilNoThreadRuns());
  const auto played = testing_support::MatchBars(trace->Tokens(), score);
  ASSERT_GE(played.names.size(), 40u);
  std::set<std::string> distinct(played.names.begin(), played.names.end());
  const auto& names = testing_support::PlainBarNames();
  for (const auto& name : distinct) {
    EXPECT_NE(std::find(names.begin() + 1, names.begin() + 25, name), names.begin() + 25) << name;
  }
  EXPECT_GT(distinct.size(), 10u);
  ExpectIdleWithOneFarewell();
}

TEST_F(ModesTest, StartAfterAStopPlaysTheModeAgainFromItsBeginning) {
  Select("OriginalButton");
  Click("play");
  PressAtVirtualTime("stop", 20e6);
  ASSERT_TRUE(WaitUntilNoThreadRuns());
  trace->Clear();
  Click("play");
  ASSERT_TRUE(WaitUntilNoThreadRuns());
  const auto played = testing_support::MatchBars(trace->Tokens(), score);
  ASSERT_EQ(played.names.size(), 38u);
  EXPECT_EQ(played.names.front(), "barOne");
  EXPECT_EQ(platform->Messages().size(), 2u);
}

}  // namespace
