// Every bar operation against an independent transcription of the score.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "framework/core/clock.h"
#include "framework/core/note_player.h"
#include "framework/core/object.h"
#include "support/player_fixture.h"
#include "support/score_expectation.h"

using testing_support::kQuantum;
using testing_support::Token;

namespace {

class ScoreTest : public testing_support::PlayerTest {
 protected:
  std::vector<Token> Play(std::string_view operation) {
    trace->Clear();
    auto bar = Window1::BarOperationNamed(operation);
    EXPECT_NE(bar, nullptr) << operation;
    if (bar != nullptr) AsEvent([&] { ((*window).*bar)(); });
    return trace->Tokens(testing_support::CallTrace::Threads::Gui);
  }

  static void ExpectSame(const std::vector<Token>& expected, const std::vector<Token>& actual,
                         const std::string& name) {
    const std::size_t n = std::min(expected.size(), actual.size());
    for (std::size_t i = 0; i < n; ++i) {
      if (!(expected[i] == actual[i])) {
        ADD_FAILURE() << name << ": first difference at call " << i << "\nexpected:\n"
                      << testing_support::Describe(expected, i, 4) << "actual:\n"
                      << testing_support::Describe(actual, i, 4);
        return;
      }
    }
    EXPECT_EQ(expected.size(), actual.size()) << name;
  }

  std::map<std::string, testing_support::ExpectedBar> expected =
      testing_support::LoadExpectedScore();
};

TEST_F(ScoreTest, EveryOperationMakesExactlyTheTranscribedCallsWaitsAndYields) {
  ASSERT_EQ(expected.size(), 45u);
  for (const auto& row : Window1::BarOperationTable()) {
    const std::string name(row.name);
    ASSERT_TRUE(expected.count(name)) << name;
    ExpectSame(expected[name].tokens, Play(name), name);
    EXPECT_TRUE(sink->Sounding().empty()) << name << " left notes sounding";
  }
}

TEST_F(ScoreTest, EachWaitYieldsOnceAfterEveryTestThatFindsTimeLeft) {
  for (const char* name : {"barOne", "barEighteen", "barThirtyFour", "barThirtyEight"}) {
    for (const Token& token : Play(name)) {
      if (token.kind != Token::Wait) continue;
      // The virtual clock moves one quantum per yield, so a wait of D takes D / quantum yields.
      EXPECT_EQ(token.yields, static_cast<int>(token.length / kQuantum)) << name;
    }
  }
}

TEST_F(ScoreTest, FigurationBarsMakeSixtyFourCallsAndSixteenWaits) {
  const auto& names = testing_support::PlainBarNames();
  for (int bar = 1; bar <= 24; ++bar) {
    int starts = 0, releases = 0, waits = 0, passYields = 0;
    double waited = 0;
    for (const Token& t : Play(names[bar])) {
      if (t.kind == Token::Note) (t.velocity == 100 ? starts : releases)++;
      if (t.kind == Token::Wait) {
        ++waits;
        waited += t.length;
        EXPECT_EQ(t.length, 175000.0);
      }
      if (t.kind == Token::PassYield) ++passYields;
    }
    EXPECT_EQ(starts, 32) << names[bar];
    EXPECT_EQ(releases, 32) << names[bar];
    EXPECT_EQ(waits, 16) << names[bar];
    EXPECT_EQ(waited, 2800000.0) << names[bar];
    EXPECT_EQ(passYields, bar == 18 ? 0 : 2) << names[bar];
  }
}

TEST_F(ScoreTest, ClosingOperationsMatchTheStatedTotals) {
  int calls = 0, waits = 0;
  for (const auto& row : Window1::BarOperationTable()) {
    const std::string name(row.name);
    bool closing = false;
    for (int bar = 25; bar <= 38; ++bar) {
      const auto& plain = testing_support::PlainBarNames()[bar];
      closing = closing || name == plain || name == plain + "OneShot";
    }
    if (!closing) continue;
    for (const Token& t : Play(name)) {
      calls += t.kind == Token::Note;
      waits += t.kind == Token::Wait;
    }
  }
  EXPECT_EQ(calls, 1082);
  EXPECT_EQ(waits, 363);
}

TEST_F(ScoreTest, VariantsPlayTheirBarsNotesWithScaledWaits) {
  const std::map<std::string, double> factor = {
      {"barTwentyEight", 7.0 / 5}, {"barTwentyNine", 7.0 / 5}, {"barThirty", 7.0 / 5},
      {"barThirtyOne", 7.0 / 5},   {"barThirtyTwo", 7.0 / 5},  {"barThirtyThree", 7.0 / 5},
      {"barThirtyFour", 2.0 / 3}};
  for (const auto& [plainName, scale] : factor) {
    const auto plain = Play(plainName);
    const auto variant = Play(plainName + "OneShot");
    ASSERT_EQ(plain.size(), variant.size()) << plainName;
    double plainTotal = 0, variantTotal = 0;
    for (std::size_t i = 0; i < plain.size(); ++i) {
      ASSERT_EQ(plain[i].kind, variant[i].kind) << plainName << " at " << i;
      if (plain[i].kind == Token::Wait) {
        EXPECT_DOUBLE_EQ(variant[i].length, plain[i].length * scale) << plainName << " at " << i;
        plainTotal += plain[i].length;
        variantTotal += variant[i].length;
      } else {
        EXPECT_EQ(plain[i], variant[i]) << plainName << " at " << i;
      }
    }
    EXPECT_EQ(variantTotal, 2800000.0) << plainName;
  }
}

TEST_F(ScoreTest, ReStruckNotesAreReleasedBeforeTheyAreStruckAgain) {
  // Bars 15 and 22 (57 and 60) and the closing bars' re-strikes: never started while sounding.
  for (const char* name : {"barFifteen", "barTwentyTwo", "barThirty", "barThirtyThree",
                           "barThirtyFour", "barThirtyFourOneShot"}) {
    std::set<int> sounding;
    for (const Token& t : Play(name)) {
      if (t.kind != Token::Note) continue;
      if (t.velocity > 0) {
        EXPECT_TRUE(sounding.insert(t.note).second) << name << " restarted " << t.note;
      } else {
        EXPECT_EQ(sounding.erase(t.note), 1u) << name << " released silent " << t.note;
      }
    }
    EXPECT_TRUE(sounding.empty()) << name;
  }
  // The synthesiser saw the release of 57 before it was struck again.
  const auto messages = sink->Messages();
  EXPECT_FALSE(messages.empty());
}

TEST_F(ScoreTest, AWaitEndsAtTheFirstReadingNotLessThanItsLength) {
  // A clock that runs a whole wait between two readings: no yield at all.
  fw::clock::UseVirtualClock(kQuantum, 700000.0);
  for (const Token& t : Play("barThirtyEight")) {
    if (t.kind != Token::Wait) continue;
    EXPECT_EQ(t.yields, 0);
    EXPECT_EQ(t.length, 700000.0);
  }
  // A clock that jumps far past the wait at each yield: one yield, however far.
  fw::clock::UseVirtualClock(1000000.0);
  for (const Token& t : Play("barOne")) {
    if (t.kind != Token::Wait) continue;
    EXPECT_EQ(t.yields, 1);
    EXPECT_EQ(t.length, 1000000.0);
  }
}

TEST_F(ScoreTest, AMissingNotePlayerRaisesAtTheFirstNoteCall) {
  // A window without the note player: the first note call fails and nothing plays.
  auto bare = std::make_shared<Window1>();
  trace->Clear();
  EXPECT_THROW(AsEvent([&] { bare->barOne(); }), fw::NilObjectException);
  EXPECT_THROW(AsEvent([&] { bare->barThirtyEight(); }), fw::NilObjectException);
  EXPECT_TRUE(trace->Events().empty());
}

}  // namespace
