// Notes on the audio timeline of simulated sound servers that take data in
// their own way (a period at a time, several periods at once, uneven shares
// of a period, blocks of their own) and change it during a performance: the
// server or the program stalls, a take comes late and quick ones catch up,
// the quantum changes. Every start must be paced soon, every note must sound
// one constant delay after its call, and a disturbance must leave no lasting
// shift and no bunched notes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "framework/sound/timeline_renderer.h"
#include "support/takes_stand_in.h"

namespace {

using fw::sound::DeviceClock;
using fw::sound::TimelineRenderer;
using testing_support::Disturbance;
using testing_support::HeardNote;
using testing_support::Performance;
using testing_support::TakePattern;
using testing_support::TakesStandIn;
using Kind = Disturbance::Kind;

constexpr double kUsPerFrame = testing_support::kTakesUsPerFrame;
constexpr double kBlockUs = TimelineRenderer::kBlock * kUsPerFrame;
constexpr double kSecond = 1e6;
// Uneven gaps between calls, so that notes bunched together show.
const std::vector<double> kGaps = {10'000, 37'000, 90'000, 23'000};
// Once settled, a note may be this far off the steady delay.
constexpr double kSettledUs = 3000;

double TakeUs(int frames) { return frames * kUsPerFrame; }

enum class Judge { OneDelay, Stalls, CatchUp, NewTakes };

struct Case {
  std::string name;
  TakePattern device;
  std::vector<Disturbance> disturbances = {};
  Judge judge = Judge::OneDelay;
  double until = 4 * kSecond;
  // One delay: judged from the notes called this late on, once the clock
  // has had time to read the device's rate.
  double settleUs = 0;
};

std::vector<Disturbance> Every(Kind kind, double first, double every, int times, double length) {
  std::vector<Disturbance> stalls;
  for (int i = 0; i < times; ++i) stalls.push_back({kind, first + i * every, length});
  return stalls;
}

std::vector<Disturbance> NewTakes(double at, int take, double backAt, int back) {
  return {{Kind::NewTake, at, 0, take}, {Kind::NewTake, backAt, 0, back}};
}

std::string Ms(double us) {
  std::ostringstream out;
  out.precision(1);
  out << std::fixed << us / 1000 << " ms";
  return out.str();
}

std::string Sec(double us) {
  std::ostringstream out;
  out.precision(3);
  out << std::fixed << us / kSecond << " s";
  return out.str();
}

// Notes that break a rule, for a message that shows how badly.
class Tally {
 public:
  void Judge(const HeardNote& note, bool broken, double by) {
    ++judged_;
    if (!broken) return;
    if (count_++ == 0 || std::abs(by) > std::abs(worstBy_)) {
      worstCall_ = note.call;
      worstBy_ = by;
    }
  }
  int Count() const { return count_; }
  std::string Report() const {
    if (count_ == 0) return "none of " + std::to_string(judged_);
    return std::to_string(count_) + " of " + std::to_string(judged_) + " notes; worst called at " +
           Sec(worstCall_) + ", " + Ms(worstBy_);
  }

 private:
  int judged_ = 0;
  int count_ = 0;
  double worstCall_ = 0;
  double worstBy_ = 0;
};

// The median delay of the notes called in [from, to).
double SteadyDelay(const Performance& p, double from, double to) {
  std::vector<double> delays;
  for (const HeardNote& n : p.notes) {
    if (n.sounded && n.call >= from && n.call < to) delays.push_back(n.delay);
  }
  if (delays.empty()) return NAN;
  std::nth_element(delays.begin(), delays.begin() + delays.size() / 2, delays.end());
  return delays[delays.size() / 2];
}

// Every note called in [from, to) sounds within kSettledUs of `steady`.
void ExpectSettled(const Performance& p, double from, double to, double steady,
                   const std::string& what) {
  Tally off;
  for (const HeardNote& n : p.notes) {
    if (n.call < from || n.call >= to) continue;
    off.Judge(n, !n.sounded || std::abs(n.delay - steady) > kSettledUs,
              n.sounded ? n.delay - steady : INFINITY);
  }
  EXPECT_EQ(off.Count(), 0) << what << " (from " << Sec(from) << "): off the steady " << Ms(steady)
                            << " by more than " << Ms(kSettledUs) << ": " << off.Report();
}

// Two notes called at least `apart` from one another never sound within
// `within` of one another.
void ExpectNoBunching(const Performance& p, double apart, double within) {
  std::vector<const HeardNote*> heard;
  for (const HeardNote& n : p.notes) {
    if (n.sounded) heard.push_back(&n);
  }
  std::sort(heard.begin(), heard.end(),
            [](const HeardNote* a, const HeardNote* b) { return a->Heard() < b->Heard(); });
  Tally bunched;
  for (std::size_t i = 0; i < heard.size(); ++i) {
    for (std::size_t j = i + 1; j < heard.size() && heard[j]->Heard() - heard[i]->Heard() < within;
         ++j) {
      const HeardNote& later = *heard[j];
      bunched.Judge(later, std::abs(later.call - heard[i]->call) >= apart,
                    later.Heard() - heard[i]->Heard());
    }
  }
  EXPECT_EQ(bunched.Count(), 0) << "notes called " << Ms(apart) << " apart or more sound within "
                                << Ms(within) << ": " << bunched.Report();
}

// No two notes start in one block: every gap between calls is longer.
void ExpectOneNoteABlock(const Performance& p) {
  Tally shared;
  for (std::size_t i = 1; i < p.notes.size(); ++i) {
    const HeardNote& n = p.notes[i];
    shared.Judge(n, n.sounded && n.frame == p.notes[i - 1].frame, n.call - p.notes[i - 1].call);
  }
  EXPECT_EQ(shared.Count(), 0) << "notes in one block with the note called before: "
                               << shared.Report();
}

void ExpectOneDelay(const Case& c, const Performance& p) {
  ASSERT_GE(p.pacedAfterUs, 0) << "never paced";
  const double paceLimit =
      c.device.callsEachCycle ? p.longestTakeUs + 1000 : 3 * p.longestTakeUs + 2000;
  EXPECT_LE(p.pacedAfterUs, paceLimit) << "paced after " << Ms(p.pacedAfterUs);
  if (c.device.take <= 4096) {
    EXPECT_LE(p.pacedAfterUs, 300'000);
  }
  if (c.settleUs == 0) {
    EXPECT_EQ(p.late, 0) << "notes came after their block";
    EXPECT_EQ(p.dropped, 0) << "notes dropped";
  }
  double least = INFINITY;
  double most = -INFINITY;
  int lost = 0;
  for (const HeardNote& n : p.notes) {
    if (n.call < c.settleUs) continue;
    if (!n.sounded) {
      ++lost;
      continue;
    }
    least = std::min(least, n.delay);
    most = std::max(most, n.delay);
  }
  EXPECT_EQ(lost, 0) << "notes lost";
  // Block rounding alone spreads onsets over a block.
  EXPECT_LE(most - least, kBlockUs + 300) << "delays from " << Ms(least) << " to " << Ms(most);
}

void ExpectStallsLeaveNoTrace(const Case& c, const Performance& p) {
  const std::vector<Disturbance>& stalls = c.disturbances;
  const double steady = SteadyDelay(p, stalls.front().at - kSecond, stalls.front().at);
  ASSERT_FALSE(std::isnan(steady)) << "no notes before the first stall";
  const double settle = std::max(300'000.0, 3 * TakeUs(c.device.take));
  for (std::size_t i = 0; i < stalls.size(); ++i) {
    const Disturbance& stall = stalls[i];
    SCOPED_TRACE("the stall at " + Sec(stall.at));
    const double next = i + 1 < stalls.size() ? stalls[i + 1].at - steady : INFINITY;
    ExpectSettled(p, stall.End() + settle, next, steady, "after the stall");
    // Called during the stall: as soon as the device takes data again, or dropped.
    Tally held;
    for (const HeardNote& n : p.notes) {
      if (n.call < stall.at || n.call >= stall.End() || !n.sounded) continue;
      const double soonest = std::max(n.call + steady, n.soonest);
      held.Judge(n, n.Heard() > soonest + kSettledUs, n.Heard() - soonest);
    }
    EXPECT_EQ(held.Count(), 0) << "notes called in the stall sound later than the device "
                                  "allows: "
                               << held.Report();
  }
  // Only a note due in a stall may go unheard, and then it was dropped: the
  // device may take up again a take after the stall, and the notes that
  // would start right after what it held from before go too.
  int unheard = 0;
  Tally lost;
  for (const HeardNote& n : p.notes) {
    if (n.sounded) continue;
    ++unheard;
    const bool inStall = std::any_of(stalls.begin(), stalls.end(), [&](const Disturbance& s) {
      return n.call >= s.at - steady &&
             n.call < s.End() + TakeUs(c.device.take) + TimelineRenderer::kPassedOverUs;
    });
    lost.Judge(n, !inStall, 0);
  }
  EXPECT_EQ(lost.Count(), 0) << "notes lost outside the stalls: " << lost.Report();
  EXPECT_EQ(unheard, p.dropped) << "unheard notes that were not dropped";
  ExpectNoBunching(p, 90'000, 30'000);
}

void ExpectCatchUpUnheard(const Case& c, const Performance& p) {
  const Disturbance& late = c.disturbances.front();
  const double steady = SteadyDelay(p, late.at - kSecond, late.at);
  ASSERT_FALSE(std::isnan(steady)) << "no notes before the late take";
  ASSERT_EQ(p.caughtUp.size(), 1u) << "the server never caught up";
  ExpectOneNoteABlock(p);
  ExpectSettled(p, p.caughtUp.front(), INFINITY, steady, "once the buffer is full again");
}

void ExpectNewTakesFollowed(const Case& c, const Performance& p) {
  ASSERT_GE(p.pacedAfterUs, 0) << "never paced";
  EXPECT_EQ(p.dropped, 0) << "notes dropped";
  ExpectOneNoteABlock(p);
  Tally early;
  const HeardNote* last = nullptr;
  for (const HeardNote& n : p.notes) {
    if (!n.sounded) continue;
    if (last) early.Judge(n, n.Heard() < last->Heard(), n.Heard() - last->Heard());
    last = &n;
  }
  EXPECT_EQ(early.Count(), 0) << "notes sound before one called before them: " << early.Report();
  const std::vector<Disturbance>& changes = c.disturbances;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    SCOPED_TRACE("the change to " + std::to_string(changes[i].take) + " at " + Sec(changes[i].at));
    // Notes due after the next change are the next one's to judge.
    double end = c.until;
    if (i + 1 < changes.size()) {
      end = changes[i + 1].at;
      end -= SteadyDelay(p, end - kSecond, end);
    }
    const double steady = SteadyDelay(p, end - kSecond, end);
    ASSERT_FALSE(std::isnan(steady)) << "no notes in the last second";
    // A change shows once a take of the new size is done, up to a take of
    // the old size after it, and the clock waits for three as late as each
    // other; where the delay shrinks, the notes called
    // meanwhile must come closer together than called, at the catch-up's
    // speed, to lose none.
    const double before = SteadyDelay(p, changes[i].at - kSecond, changes[i].at);
    const double shrink = std::max(0.0, before - steady);
    // A take is at least a callback: the client cannot be asked for less.
    const int oldTake = std::max(c.device.callback, i == 0 ? c.device.take : changes[i - 1].take);
    const int newTake = std::max(c.device.callback, changes[i].take);
    const double settled =
        changes[i].at + TakeUs(oldTake) + 3 * TakeUs(newTake) + shrink / DeviceClock::kCatchUpSpeed;
    ExpectSettled(p, settled, end, steady, "three takes after the change");
  }
  int lost = 0;
  for (const HeardNote& n : p.notes) lost += n.sounded ? 0 : 1;
  EXPECT_EQ(lost, 0) << "notes lost";
}

std::vector<Case> Cases() {
  const TakePattern twoPeriods{.take = 2048, .callback = 1024, .buffer = 2048};
  const TakePattern fourPeriods{.take = 4096, .callback = 1024, .buffer = 4096};
  const auto rendering = [&](double us) {
    TakePattern p = twoPeriods;
    p.renderUs = us;
    return p;
  };
  const auto firstWakeAt = [&](int eighth) {
    TakePattern p = fourPeriods;
    p.firstWakeUs = eighth * TakeUs(4096) / 8;
    return p;
  };
  const auto offRate = [&](double error) {
    TakePattern p = twoPeriods;
    p.rateError = error;
    return p;
  };
  const auto bluetooth = [](int take) {
    return TakePattern{.take = take, .callback = 1024, .buffer = 2048, .deepBuffer = true};
  };
  std::vector<Case> cases = {
      // Steady patterns.
      {"a period a take", {.take = 1024, .callback = 1024, .buffer = 2048}},
      {"two periods a take", twoPeriods},
      {"four periods a take", fourPeriods},
      {"eight periods a take", {.take = 8192, .callback = 1024, .buffer = 8192}},
      {"uneven takes of 1536", {.take = 1536, .callback = 1024, .buffer = 1536}},
      {"blocks of 256", {.take = 256, .callback = 256, .buffer = 256}},
      {"blocks of 4096", {.take = 4096, .callback = 4096, .buffer = 4096}},
      {"two periods a take, jittering",
       {.take = 2048, .callback = 1024, .buffer = 2048, .jitterUs = 1000}},
      {"blocks of 4096, called once a cycle from the first",
       {.take = 4096, .callback = 4096, .buffer = 0, .callsEachCycle = true}},
      // Callbacks that take a while to render.
      {"two periods a take, rendering 1.4 ms", rendering(1400)},
      {"two periods a take, rendering 4 ms", rendering(4000)},
      {"two periods a take, rendering 7 ms", rendering(7000)},
      // The server's first wake anywhere across a take after the buffer fill.
      {"four periods a take, first wake 0/8 of a take after the fill", firstWakeAt(0)},
      {"four periods a take, first wake 1/8 of a take after the fill", firstWakeAt(1)},
      {"four periods a take, first wake 2/8 of a take after the fill", firstWakeAt(2)},
      {"four periods a take, first wake 3/8 of a take after the fill", firstWakeAt(3)},
      {"four periods a take, first wake 4/8 of a take after the fill", firstWakeAt(4)},
      {"four periods a take, first wake 5/8 of a take after the fill", firstWakeAt(5)},
      {"four periods a take, first wake 6/8 of a take after the fill", firstWakeAt(6)},
      {"four periods a take, first wake 7/8 of a take after the fill", firstWakeAt(7)},
      // A device whose rate is not quite the nominal one.
      {"a device 0.3% fast", offRate(0.003), {}, Judge::OneDelay, 20 * kSecond, 5 * kSecond},
      {"a device 0.3% slow", offRate(-0.003), {}, Judge::OneDelay, 20 * kSecond, 5 * kSecond},
      // The server stalls; its timeline moves on by the stall.
      {"the server stalls 10 ms", twoPeriods, {{Kind::ServerStall, 3e6, 10'000}}, Judge::Stalls},
      {"the server stalls 100 ms", twoPeriods, {{Kind::ServerStall, 3e6, 100'000}}, Judge::Stalls},
      {"the server stalls 300 ms", twoPeriods, {{Kind::ServerStall, 3e6, 300'000}}, Judge::Stalls},
      {"the server stalls 2 s", twoPeriods, {{Kind::ServerStall, 3e6, 2e6}}, Judge::Stalls, 7e6},
      {"four periods a take, the server stalls 300 ms",
       fourPeriods,
       {{Kind::ServerStall, 3e6, 300'000}},
       Judge::Stalls},
      // The program stalls; the server runs dry and takes up again later.
      {"the program stalls 30 ms", twoPeriods, {{Kind::ProgramStall, 3e6, 30'000}}, Judge::Stalls},
      {"the program stalls 100 ms",
       twoPeriods,
       {{Kind::ProgramStall, 3e6, 100'000}},
       Judge::Stalls},
      {"the program stalls 300 ms",
       twoPeriods,
       {{Kind::ProgramStall, 3e6, 300'000}},
       Judge::Stalls},
      {"the program stalls 2 s", twoPeriods, {{Kind::ProgramStall, 3e6, 2e6}}, Judge::Stalls, 7e6},
      // Off its nominal rate, once the rate is read: the stall must not spoil it.
      {"a device 0.3% fast, the program stalls 300 ms at 8 s",
       offRate(0.003),
       {{Kind::ProgramStall, 8e6, 300'000}},
       Judge::Stalls,
       14e6},
      // Several stalls, seconds apart.
      {"the server stalls 300 ms, then 100 ms 4 s later",
       twoPeriods,
       {{Kind::ServerStall, 3e6, 300'000}, {Kind::ServerStall, 7e6, 100'000}},
       Judge::Stalls,
       10e6},
      {"the server stalls 2 s, then 400 ms 8 s later",
       twoPeriods,
       {{Kind::ServerStall, 3e6, 2e6}, {Kind::ServerStall, 11e6, 400'000}},
       Judge::Stalls,
       14e6},
      {"the program stalls 2 s, then 400 ms 8 s later",
       twoPeriods,
       {{Kind::ProgramStall, 3e6, 2e6}, {Kind::ProgramStall, 11e6, 400'000}},
       Judge::Stalls,
       14e6},
      {"the server stalls 30 ms every 3 s", twoPeriods,
       Every(Kind::ServerStall, 3e6, 3e6, 4, 30'000), Judge::Stalls, 15e6},
      {"the program stalls 30 ms every 3 s", twoPeriods,
       Every(Kind::ProgramStall, 3e6, 3e6, 4, 30'000), Judge::Stalls, 15e6},
      {"the server stalls 300 ms, then the program 100 ms 4 s later",
       twoPeriods,
       {{Kind::ServerStall, 3e6, 300'000}, {Kind::ProgramStall, 7e6, 100'000}},
       Judge::Stalls,
       10e6},
      // A take late by less than a stall, then one soon after, as a busy
      // server's is: the device never ran dry, so nothing moves.
      {"takes of 1024 16 ms late now and then, each caught up",
       {.take = 1024, .callback = 1024, .buffer = 2048},
       {{Kind::LateTake, 3e6, 16'000},
        {Kind::LateTake, 3.45e6, 16'000},
        {Kind::LateTake, 3.9e6, 16'000},
        {Kind::LateTake, 4.35e6, 16'000},
        {Kind::LateTake, 4.8e6, 16'000},
        {Kind::LateTake, 5.25e6, 16'000}},
       Judge::OneDelay},
      // A take late, then quick ones until the device's own buffer is full.
      {"a take of 1024 100 ms late, then quick takes",
       bluetooth(1024),
       {{Kind::LateTake, 3e6, 100'000}},
       Judge::CatchUp},
      {"a take of 2048 100 ms late, then quick takes",
       bluetooth(2048),
       {{Kind::LateTake, 3e6, 100'000}},
       Judge::CatchUp},
      // The quantum changes; playback goes on without a break.
      {"1024 then 4096 soon after the start",
       {.take = 1024, .callback = 1024, .buffer = 2048},
       {{Kind::NewTake, 40 * TakeUs(1024), 0, 4096}},
       Judge::NewTakes},
      {"4096 then 1024 soon after the start",
       fourPeriods,
       {{Kind::NewTake, 8 * TakeUs(4096), 0, 1024}},
       Judge::NewTakes},
      {"1024 to 4096 and back",
       {.take = 1024, .callback = 1024, .buffer = 2048},
       NewTakes(3e6, 4096, 6e6, 1024),
       Judge::NewTakes,
       9e6},
      {"4096 to 1024 and back", fourPeriods, NewTakes(3e6, 1024, 6e6, 4096), Judge::NewTakes, 9e6},
      {"1024 to 256 and back",
       {.take = 1024, .callback = 1024, .buffer = 2048},
       NewTakes(3e6, 256, 6e6, 1024),
       Judge::NewTakes,
       9e6},
      {"1024 to 512 and back",
       {.take = 1024, .callback = 1024, .buffer = 2048},
       NewTakes(3e6, 512, 6e6, 1024),
       Judge::NewTakes,
       9e6},
      {"1024 to 2048 and back",
       {.take = 1024, .callback = 1024, .buffer = 2048},
       NewTakes(3e6, 2048, 6e6, 1024),
       Judge::NewTakes,
       9e6},
  };
  return cases;
}

TEST(DeviceTakes, EveryNoteSoundsOneDelayAfterItsCallWhateverTheServerDoes) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    TakesStandIn server(c.device, c.disturbances);
    const Performance p = server.Play(c.until, kGaps);
    if (p.notes.empty()) {
      ADD_FAILURE() << "no notes called";
      continue;
    }
    switch (c.judge) {
      case Judge::OneDelay:
        ExpectOneDelay(c, p);
        break;
      case Judge::Stalls:
        ExpectStallsLeaveNoTrace(c, p);
        break;
      case Judge::CatchUp:
        ExpectCatchUpUnheard(c, p);
        break;
      case Judge::NewTakes:
        ExpectNewTakesFollowed(c, p);
        break;
    }
  }
}

}  // namespace
