// The yield's knowledge of where waits end.
#include "framework/core/wait_pacer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// One wait of length d as program code makes it: origin, tests, yields in between.
void SimulateWait(fw::WaitTracker& tracker, fw::WaitBook& book, double origin, double d,
                  double step) {
  tracker.OnClockRead(origin, book);
  double now = origin;
  tracker.OnClockRead(now, book);
  while (now - origin < d) {
    tracker.OnYield();
    now += step;
    tracker.OnClockRead(now, book);
  }
  tracker.OnOtherCall(book);  // the step's note calls follow
}

// Forty waits of 175000 µs, one every 200000 µs; returns the next origin.
double LearnBaseStep(fw::WaitTracker& tracker, fw::WaitBook& book) {
  double origin = 0;
  for (int i = 0; i < 40; ++i) {
    SimulateWait(tracker, book, origin, 175000, 3.0);
    origin += 200000;
  }
  return origin;
}

TEST(WaitBookTest, OverlappingObservationsNarrowOneInterval) {
  fw::WaitBook book;
  book.Learn(174000, 176000);
  book.Learn(174900, 175100);
  book.Learn(300000, 301000);
  ASSERT_EQ(book.size(), 2u);
  auto next = book.NextAfter(1000);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->low, 174900);
  EXPECT_EQ(next->high, 175100);
  EXPECT_EQ(book.NextAfter(176000)->high, 301000);
  EXPECT_FALSE(book.NextAfter(400000));
  book.Learn(5, 5);  // empty: ignored
  EXPECT_EQ(book.size(), 2u);
}

TEST(WaitTrackerTest, AnUnknownWaitWakesOnTheMillisecondGridFromItsOrigin) {
  fw::WaitBook book;
  fw::WaitTracker tracker;
  tracker.OnClockRead(500, book);
  tracker.OnClockRead(520, book);
  auto target = tracker.WakeTarget(book);
  ASSERT_TRUE(target);
  EXPECT_DOUBLE_EQ(target->at, 1500);
  EXPECT_FALSE(target->spin);
}

TEST(WaitTrackerTest, RepeatedWaitsAreLearnedUntilTheYieldWakesRightAtTheirEnd) {
  fw::WaitBook book;
  fw::WaitTracker tracker;
  double origin = LearnBaseStep(tracker, book);
  auto known = book.NextAfter(0);
  ASSERT_TRUE(known);
  EXPECT_LT(known->low, 175000);
  EXPECT_GE(known->high, 175000);
  EXPECT_LE(known->high - known->low, 3.0);
  // A new wait of that length: the yields probe the grid, and the last aims at its end.
  tracker.OnClockRead(origin, book);
  tracker.OnClockRead(origin + 174500, book);
  auto target = tracker.WakeTarget(book);
  ASSERT_TRUE(target);
  EXPECT_GE(target->at - origin, 175000 - 3.0);
  EXPECT_LE(target->at - origin, 175000 + 3.0);
}

TEST(WaitTrackerTest, YieldsOutsideAWaitDoNotSleep) {
  fw::WaitBook book;
  fw::WaitTracker tracker;
  SimulateWait(tracker, book, 0, 5000, 100);
  tracker.OnYield();  // a pass yield after the releases
  EXPECT_FALSE(tracker.WakeTarget(book));
  // A lone reading followed by a yield is no wait either.
  tracker.OnClockRead(10, book);
  tracker.OnYield();
  EXPECT_FALSE(tracker.WakeTarget(book));
}

TEST(WaitTrackerTest, AWaitShorterThanAKnownOneIsLearnedToo) {
  fw::WaitBook book;
  fw::WaitTracker tracker;
  double origin = LearnBaseStep(tracker, book);
  // The yield never sleeps past the grid, so a shorter wait is seen to end near its length.
  for (int i = 0; i < 40; ++i) {
    tracker.OnClockRead(origin, book);
    double now = origin;
    tracker.OnClockRead(now, book);
    while (now - origin < 131250) {
      auto target = tracker.WakeTarget(book);
      ASSERT_TRUE(target);
      tracker.OnYield();
      now = std::max(target->at, now + 3.0);
      tracker.OnClockRead(now, book);
    }
    EXPECT_LT(now - origin, 131250 + 1000.0 + 3.0);
    tracker.OnOtherCall(book);
    origin += 200000;
  }
  auto known = book.NextAfter(0);
  ASSERT_TRUE(known);
  EXPECT_LE(known->high - known->low, 3.0);
  EXPECT_GE(known->high, 131250);
  EXPECT_LT(known->high, 131250 + 3.0);
}

}  // namespace
