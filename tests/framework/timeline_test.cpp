// Notes on the audio timeline, on a simulated device whose callbacks come
// at chosen moments: each note starts in the block that holds its moment, a
// device clock that runs fast or slow keeps the delay steady, as do a cold
// start, a stall and a second stream, and nothing piles up while no stream
// renders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "framework/sound/note_timeline.h"
#include "framework/sound/timeline_renderer.h"
#include "support/frame_recorder.h"

namespace {

using fw::sound::NoteTimeline;
using fw::sound::TimedNote;
using fw::sound::TimelineRenderer;
using testing_support::FrameRecorder;

constexpr double kRate = 48000;
constexpr int kPeriod = 1024;
constexpr double kPeriodUs = 1e6 * kPeriod / kRate;
constexpr double kDelayUs = kPeriodUs + 6000;

struct Simulation {
  NoteTimeline timeline;
  TimelineRenderer renderer{timeline, kRate};
  FrameRecorder synth;
  // The device's sample rate against its nominal one (1.001: 0.1 % fast).
  double drift = 1.0;
  double jitterUs = 0;
  // A server that answers only on ticks of its own this far apart: each
  // callback comes at the first tick after the device has room for it.
  double tickUs = 0;
  std::mt19937 random{7};
  std::int64_t callbacks = 0;

  // Real-clock time of callback k: the first fills the buffer, the second
  // follows at once, then one each period as the device plays.
  double CallbackTime(std::int64_t k) {
    double ideal = k == 0 ? 0 : 1000 + (k - 1) * kPeriodUs / drift;
    if (tickUs > 0) ideal = std::ceil(ideal / tickUs) * tickUs;
    return ideal + std::uniform_real_distribution<double>(0, jitterUs)(random);
  }
  // The moment the device plays a frame, by its own clock: a period after
  // the callback that rendered it.
  double PlayTime(std::int64_t frame) const { return 1000 + frame * 1e6 / (kRate * drift); }

  // Calls a note every `every` µs up to `until`, rendering as the device asks.
  void Play(double until, double every) {
    double nextCall = 0;
    while (true) {
      const double callback = CallbackTime(callbacks);
      if (callback > until) break;
      for (; nextCall <= callback; nextCall += every) {
        timeline.Add({nextCall + kDelayUs, TimedNote::Kind::On, 60, 90}, nextCall);
      }
      renderer.Render(synth, kPeriod, callback);
      ++callbacks;
    }
  }
};

// A device whose callbacks, of kPeriod frames each, come at chosen moments.
// Within a run its frames play one after another; a run starts with a
// stream, or where the device took up again after running dry.
struct Device {
  struct Run {
    std::size_t firstCallback;
    double firstPlays;
  };
  std::vector<double> callbacks;
  std::vector<Run> runs;
  // Callbacks that begin a new stream (its frames count from zero).
  std::vector<std::size_t> newStreams;

  Device& At(double time) {
    callbacks.push_back(time);
    return *this;
  }
  Device& After(double gap) { return At(callbacks.back() + gap); }
  Device& Paced(int count) {
    for (int i = 0; i < count; ++i) After(kPeriodUs);
    return *this;
  }
  Device& NewStreamAt(double time) {
    newStreams.push_back(callbacks.size());
    return At(time);
  }
  // From callback `first` on the device plays on without a break, the frames
  // of callback `paced` a period after it, as a device that plays at its pace does.
  Device& PlaysFrom(std::size_t first, std::size_t paced) {
    const auto before = static_cast<double>(paced - first);
    runs.push_back({first, callbacks[paced] + kPeriodUs - before * kPeriodUs});
    return *this;
  }
  // The device runs dry for `silence` and takes up again: its callbacks
  // simply resume, or (a render thread held up) the first two come together
  // to fill its buffer again. Returns the first callback back.
  std::size_t Stall(double silence, bool refills, int callbacksAfter) {
    const std::size_t back = callbacks.size();
    After(kPeriodUs + silence);
    if (refills) After(500);
    Paced(callbacksAfter).PlaysFrom(back, refills ? back + 2 : back);
    return back;
  }
  // Frames count on over streams, as the synthesiser's blocks do.
  double PlayTime(std::int64_t frame) const {
    const auto callback = static_cast<std::size_t>(frame / kPeriod);
    const Run* run = &runs.front();
    for (const Run& r : runs) {
      if (r.firstCallback <= callback) run = &r;
    }
    const auto first = static_cast<std::int64_t>(run->firstCallback) * kPeriod;
    return run->firstPlays + static_cast<double>(frame - first) * 1e6 / kRate;
  }
};

// Notes called one after another, each released `hold` after its call.
struct Music {
  double start = 0;
  double every = 10'000;
  double until = 1e6;
  double hold = 30'000;
  // The first note waits for the output to be paced, as a start does.
  bool waitsForPace = false;
};

struct Heard {
  double call;
  double sounds;
};

// Call to sound with the clock following the device: the delay, then the
// period the device holds, less up to a block of rounding down.
constexpr double kSteadyUs = kDelayUs + kPeriodUs;
constexpr double kBlockUs = TimelineRenderer::kBlock * 1e6 / kRate;

bool Steady(const Heard& heard) {
  const double delay = heard.sounds - heard.call;
  return delay > kSteadyUs - kBlockUs - 1 && delay <= kSteadyUs + 1;
}

struct Performance {
  std::vector<double> ons;  // call times
  std::vector<Heard> heard;
  // Notes still sounding at the end, by number.
  std::vector<int> hanging;
  std::int64_t dropped = 0;
  std::int64_t late = 0;

  std::vector<Heard> CalledIn(double from, double until) const {
    std::vector<Heard> in;
    for (const Heard& h : heard) {
      if (h.call >= from && h.call < until) in.push_back(h);
    }
    return in;
  }
  std::size_t OnsCalledIn(double from, double until) const {
    return static_cast<std::size_t>(
        std::count_if(ons.begin(), ons.end(), [&](double t) { return t >= from && t < until; }));
  }
};

// Plays the music on the device, the notes added as they are called and
// each callback rendered at its moment.
Performance Perform(const Device& device, const std::vector<Music>& phrases) {
  Simulation sim;
  struct Call {
    double at;
    TimedNote::Kind kind;
    int note;
  };
  std::vector<Call> calls;
  const auto compose = [&](const Music& music, double start) {
    int note = 48;
    for (double at = start; at < music.until; at += music.every) {
      calls.push_back({at, TimedNote::Kind::On, note});
      calls.push_back({at + music.hold, TimedNote::Kind::Off, note});
      note = note == 72 ? 48 : note + 1;
    }
    std::stable_sort(calls.begin(), calls.end(),
                     [](const Call& a, const Call& b) { return a.at < b.at; });
  };
  // Only a first phrase waits for the pace.
  const bool waits = phrases.front().waitsForPace;
  for (const Music& music : phrases) {
    if (!music.waitsForPace) compose(music, music.start);
  }
  std::size_t next = 0;
  for (std::size_t k = 0; k < device.callbacks.size(); ++k) {
    const double now = device.callbacks[k];
    if (std::find(device.newStreams.begin(), device.newStreams.end(), k) !=
        device.newStreams.end()) {
      sim.renderer.Restart();
    }
    for (; next < calls.size() && calls[next].at <= now; ++next) {
      const Call& call = calls[next];
      sim.timeline.Add({call.at + kDelayUs, call.kind, call.note, 90}, call.at);
    }
    sim.renderer.Render(sim.synth, kPeriod, now);
    if (waits && calls.empty() && sim.renderer.Paced()) compose(phrases.front(), now);
  }
  Performance performance;
  for (const Call& call : calls) {
    if (call.kind == TimedNote::Kind::On) performance.ons.push_back(call.at);
  }
  std::vector<bool> sounding(128);
  for (const auto& [note, frame] : sim.synth.applied) {
    sounding[note.note] = note.kind == TimedNote::Kind::On;
    if (note.kind == TimedNote::Kind::On) {
      performance.heard.push_back({note.due - kDelayUs, device.PlayTime(frame)});
    }
  }
  for (int n = 0; n < 128; ++n) {
    if (sounding[n]) performance.hanging.push_back(n);
  }
  performance.dropped = sim.timeline.Dropped();
  performance.late = sim.renderer.LateNotes();
  return performance;
}

Performance Perform(const Device& device, const Music& music) {
  return Perform(device, std::vector<Music>{music});
}

// Every note in `heard` sounds the steady delay after its call, within one block.
void ExpectSteady(const std::vector<Heard>& heard, const std::string& what) {
  for (const Heard& h : heard) {
    EXPECT_TRUE(Steady(h)) << what << ": the note called at " << h.call / 1000
                           << " ms sounds after " << (h.sounds - h.call) / 1000 << " ms, not "
                           << kSteadyUs / 1000 << " ms";
  }
}

TEST(Timeline, ANoteStartsInTheBlockThatHoldsItsMomentAndALateOneAtOnce) {
  Simulation sim;
  // The buffer fills, then the device asks at its pace: frame 1024 at 0 µs.
  sim.renderer.Render(sim.synth, kPeriod, -1000);
  sim.renderer.Render(sim.synth, kPeriod, 0);
  // Moments spread over the next period's blocks, a few on block edges; dues come in call order.
  const std::vector<double> frames = {2054, 2111, 2112, 2175, 2176, 2524, 3071};
  const auto timeOf = [](double frame) { return (frame - kPeriod) * 1e6 / kRate; };
  for (double frame : frames) sim.timeline.Add({timeOf(frame), TimedNote::Kind::On, 60, 90}, 0);
  sim.renderer.Render(sim.synth, kPeriod, kPeriodUs);
  sim.timeline.Add({timeOf(1524), TimedNote::Kind::On, 61, 90}, kPeriodUs);  // already gone
  sim.renderer.Render(sim.synth, kPeriod, 2 * kPeriodUs);
  ASSERT_EQ(sim.synth.applied.size(), frames.size() + 1);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const auto block = static_cast<std::int64_t>(frames[i]) / 64 * 64;
    EXPECT_EQ(sim.synth.applied[i].frame, block) << "note meant for frame " << frames[i];
  }
  EXPECT_EQ(sim.synth.applied.back().note.note, 61);
  EXPECT_EQ(sim.synth.applied.back().frame, 3072) << "a late note waits for nothing";
  EXPECT_EQ(sim.renderer.LateNotes(), 1);
}

// Call to sound, by the device's clock, once the loop has settled.
std::vector<double> SettledDelays(double drift, double jitterUs = 3000, double tickUs = 0,
                                  bool noneLate = true) {
  Simulation sim;
  sim.drift = drift;
  sim.jitterUs = jitterUs;
  sim.tickUs = tickUs;
  constexpr double kSettledAfterUs = 30e6;
  sim.Play(120e6, 17'000);
  std::vector<double> delays;
  for (const auto& [note, frame] : sim.synth.applied) {
    const double call = note.due - kDelayUs;
    if (call > kSettledAfterUs) delays.push_back(sim.PlayTime(frame) - call);
  }
  if (noneLate) {
    EXPECT_EQ(sim.renderer.LateNotes(), 0) << "a callback came before its notes were all in";
  }
  return delays;
}

TEST(Timeline, ADeviceClockThatRunsFastOrSlowKeepsTheDelaySteady) {
  for (double drift : {1.0, 1.001, 0.999}) {
    const std::vector<double> delays = SettledDelays(drift);
    ASSERT_GT(delays.size(), 4000u);
    std::vector<double> sorted = delays;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    // Block rounding alone spreads onsets over 1.33 ms; the clock adds little.
    EXPECT_LT(sorted.back() - median, 1500) << "drift " << drift;
    EXPECT_GT(sorted.front() - median, -1500) << "drift " << drift;
    // The delay plus the device's one period, less half a block: the clock
    // follows the earliest callbacks, so their lateness adds nothing.
    EXPECT_NEAR(median, kDelayUs + kPeriodUs - 667, 500) << "drift " << drift;
  }
}

// A server that answers on a coarse tick of its own (a client latency that
// asks for data in steps other than our period) sends each callback up to a
// tick late, a little earlier each time, then a tick later again: the line
// keeps to the earliest, and no run of late callbacks moves it. (While the
// earliest is still to come, a note may be found a little late.)
TEST(Timeline, AServerThatAnswersOnTicksOfItsOwnKeepsTheDelaySteady) {
  for (double tick : {7'600.0, 15'000.0}) {
    std::vector<double> delays = SettledDelays(1.0, 300, tick, false);
    ASSERT_GT(delays.size(), 4000u);
    std::sort(delays.begin(), delays.end());
    EXPECT_LT(delays.back() - delays.front(), kBlockUs + 1000) << "tick " << tick;
  }
}

// The first callbacks fill the device's buffer and say nothing about when
// their frames play: notes called from the very first wait for its pace.
TEST(Timeline, FromAColdStartEveryNoteSoundsTheSteadyDelayAfterItsCallNoneEarly) {
  Device quick;  // the buffer filled at once
  quick.At(0).After(500).Paced(60).PlaysFrom(0, 2);
  Device uneven;  // the second callback well short of a period
  uneven.At(0).After(8600).After(18'500).Paced(60).PlaysFrom(0, 2);
  for (const auto& [name, device] : {std::pair{"quick", quick}, std::pair{"uneven", uneven}}) {
    const Performance played = Perform(device, {.every = 7000, .until = 1e6});
    ASSERT_EQ(played.heard.size(), played.ons.size()) << name << ": a note was lost";
    ExpectSteady(played.heard, name);
    EXPECT_EQ(played.late, 0) << name;
    EXPECT_TRUE(played.hanging.empty()) << name;
  }
}

TEST(Timeline, ADeviceSlowToBeginLosesNoNoteOfAStartThatWaitsAndDropsTheNotesCalledMeanwhile) {
  Device slow;  // one callback, then nothing for 1.5 s, then its pace
  slow.At(0).After(1.5e6).Paced(60).PlaysFrom(0, 2);
  const double paced = slow.callbacks[2];

  const Performance waited = Perform(slow, {.until = 2.5e6, .waitsForPace = true});
  ASSERT_FALSE(waited.ons.empty());
  EXPECT_GE(waited.ons.front(), paced) << "the start did not wait";
  ASSERT_EQ(waited.heard.size(), waited.ons.size()) << "a note was lost";
  ExpectSteady(waited.heard, "after the wait");
  EXPECT_EQ(waited.dropped, 0);

  // A second callback nearly a period after the first, then a stall: the
  // device only took its first data; its pace begins after the stall.
  Device hesitant;
  hesitant.At(0).After(0.93 * kPeriodUs).After(58'000).Paced(60).PlaysFrom(0, 2);
  const Performance afterStall = Perform(hesitant, {.until = 1e6, .waitsForPace = true});
  ASSERT_FALSE(afterStall.ons.empty());
  EXPECT_GE(afterStall.ons.front(), hesitant.callbacks[3]) << "paced by the first data taken";
  ASSERT_EQ(afterStall.heard.size(), afterStall.ons.size()) << "a note was lost";
  ExpectSteady(afterStall.heard, "after the stall");
  EXPECT_EQ(afterStall.late, 0);

  // A start that gave up waiting: what was called long before the device
  // took data is dropped and counted, and only the last 100 ms come late.
  constexpr double kEvery = 20'000;
  const Performance eager = Perform(slow, {.every = kEvery, .until = 2.5e6});
  const double staleBefore = paced - NoteTimeline::kStaleAfterUs - kDelayUs;
  EXPECT_EQ(eager.dropped, static_cast<std::int64_t>(eager.OnsCalledIn(0, staleBefore)));
  EXPECT_EQ(eager.heard.size() + static_cast<std::size_t>(eager.dropped), eager.ons.size());
  const auto late = std::count_if(eager.heard.begin(), eager.heard.end(),
                                  [](const Heard& h) { return !Steady(h); });
  EXPECT_LE(late, NoteTimeline::kStaleAfterUs / kEvery + 1) << "a burst at the start";
  ExpectSteady(eager.CalledIn(paced - kDelayUs, 3e6), "once paced");
  EXPECT_TRUE(eager.hanging.empty());
}

// The device runs dry for 300 ms mid-piece while the music goes on.
TEST(Timeline, AfterADeviceStallTheNotesKeepTheSteadyDelayAndTheOnesCalledMeanwhileDoNotBurst) {
  for (const bool refills : {false, true}) {
    const char* name = refills ? "refills" : "resumes";
    Device stalling;
    stalling.At(0).After(1000).Paced(40).PlaysFrom(0, 2);
    const std::size_t back = stalling.Stall(300'000, refills, 40);
    const double resumed = stalling.callbacks[back];

    constexpr double kEvery = 17'000;
    const Performance played = Perform(stalling, {.every = kEvery, .until = 1.5e6});
    ExpectSteady(played.CalledIn(0, stalling.callbacks[back - 1] + kPeriodUs - kDelayUs), name);
    const std::vector<Heard> after = played.CalledIn(resumed, 2e6);
    EXPECT_EQ(after.size(), played.OnsCalledIn(resumed, 2e6)) << name << ": a note was lost";
    ExpectSteady(after, name);
    const auto late = std::count_if(played.heard.begin(), played.heard.end(), [](const Heard& h) {
      return h.sounds - h.call > kSteadyUs + 1;
    });
    EXPECT_LE(late, NoteTimeline::kStaleAfterUs / kEvery + 1) << name << ": a burst";
    EXPECT_EQ(played.heard.size() + static_cast<std::size_t>(played.dropped), played.ons.size());
    EXPECT_GT(played.dropped, 0) << name;
    EXPECT_TRUE(played.hanging.empty()) << name;
    if (refills) continue;
    for (const Heard& h : played.heard) {
      EXPECT_TRUE(Steady(h) || h.sounds - h.call > kSteadyUs) << "early: called at " << h.call;
    }
  }
}

// Takes a little late, by less than a stall, as a busy sound server sends
// them: a take late and caught up by the next ones moves nothing; a device
// whose timeline moves a little later (at once, or over a few uneven takes
// as a server re-times its stream) is followed within a few takes, never
// placing a note early on the way, and no note is lost.
TEST(Timeline, TakesALittleLateMoveTheDelayOnlyWhereTheDeviceMoved) {
  struct Case {
    const char* name;
    std::vector<double> lateBy;  // how much later than its period each take comes
    double moved;                // how much later the device plays from then on
  };
  const std::vector<Case> cases = {
      {"late by 16 ms, caught up", {16'000, -12'000, -4'000}, 0},
      {"late by 4, 8 and 5 ms, caught up", {3'900, 4'600, -3'600, -4'900}, 0},
      // A server whose requests drift against the callbacks: a tick late,
      // then a little earlier each take, the first step barely.
      {"late by 7 ms, then a little earlier each take",
       {7'000, -200, -600, -500, -500, -500, -500, -500, -500, -500, -500, -500, -500, -500, -700},
       0},
      {"moved 10 ms later", {10'000}, 10'000},
      {"re-timed 13 ms later", {6'900, 14'600, -8'100}, 13'400},
  };
  for (const Case& c : cases) {
    Device device;
    device.At(0).After(1000).Paced(100).PlaysFrom(0, 2);
    const std::size_t first = device.callbacks.size();
    for (const double late : c.lateBy) device.After(kPeriodUs + late);
    const std::size_t back = device.callbacks.size() - 1;
    device.Paced(100);
    if (c.moved > 0) device.PlaysFrom(back, back + 1);
    const double change = device.callbacks[first];

    const Performance played = Perform(device, {.every = 17'000, .until = 4e6});
    EXPECT_EQ(played.heard.size(), played.ons.size()) << c.name << ": a note was lost";
    for (const Heard& h : played.heard) {
      EXPECT_GT(h.sounds - h.call, kSteadyUs - kBlockUs - 1)
          << c.name << ": the note called at " << h.call / 1000 << " ms sounds early";
    }
    ExpectSteady(played.CalledIn(0, change - kDelayUs), c.name);
    const double settled = c.moved > 0 ? device.callbacks[back] + 5 * kPeriodUs : 0;
    ExpectSteady(played.CalledIn(settled, 5e6), c.name);
  }
}

// The last notes before a rest are called as the device stalls: nothing is
// added while it is silent, so only the render thread can find them stale.
TEST(Timeline, NotesCalledAsTheDeviceStallsAreDroppedNotBurstOutAndTheirReleasesComeThrough) {
  Device stalling;
  stalling.At(0).After(1000).Paced(30).PlaysFrom(0, 2);
  const double stalled = stalling.callbacks.back() + kPeriodUs;
  stalling.Stall(300'000, false, 30);

  const Performance played = Perform(stalling, {.every = 20'000, .until = stalled + 40'000});
  // Due while the device is silent, and stale once it takes up again.
  const std::size_t meanwhile = played.OnsCalledIn(stalled - kDelayUs, 2e6);
  ASSERT_GT(meanwhile, 2u);
  EXPECT_EQ(played.dropped, static_cast<std::int64_t>(meanwhile));
  EXPECT_EQ(played.heard.size() + meanwhile, played.ons.size());
  ExpectSteady(played.heard, "no note comes late");
  EXPECT_TRUE(played.hanging.empty()) << "a note that sounded before the stall was never released";
}

// A stream after another counts its frames from zero, at a moment of its own.
TEST(Timeline, ASecondStreamLearnsItsDeviceAnewAndPlacesItsNotesRight) {
  Device device;
  device.At(0).After(1000).Paced(40).PlaysFrom(0, 2);
  const std::size_t second = device.callbacks.size();
  device.NewStreamAt(5e6).After(500).Paced(40).PlaysFrom(second, second + 2);

  const Performance played = Perform(
      device, {{.every = 9000, .until = 0.7e6}, {.start = 5e6, .every = 9000, .until = 5.7e6}});
  ASSERT_EQ(played.heard.size(), played.ons.size()) << "a note was lost";
  ExpectSteady(played.CalledIn(0, 1e6), "first stream");
  ExpectSteady(played.CalledIn(5e6, 6e6), "second stream");
  EXPECT_EQ(played.late, 0);
}

// What the last stream showed says nothing of the next: a start on it waits
// for its own pace, even where its second callback looks like one.
TEST(Timeline, ANewStreamIsNotPacedUntilItsOwnCallbacksShowThePace) {
  Simulation sim;
  sim.Play(1e6, 10'000);
  ASSERT_TRUE(sim.renderer.Paced());
  sim.renderer.Restart();
  EXPECT_FALSE(sim.renderer.Paced()) << "paced before the new stream rendered";
  sim.renderer.Render(sim.synth, kPeriod, 2e6);
  EXPECT_FALSE(sim.renderer.Paced()) << "paced by the first callback";
  sim.renderer.Render(sim.synth, kPeriod, 2e6 + kPeriodUs);
  EXPECT_FALSE(sim.renderer.Paced()) << "paced by the second callback";
  sim.renderer.Render(sim.synth, kPeriod, 2e6 + 2 * kPeriodUs);
  EXPECT_TRUE(sim.renderer.Paced());
}

TEST(Timeline, NothingPilesUpWhileNoStreamRendersAndTheReleasesStillComeThrough) {
  NoteTimeline timeline;
  // Ten seconds of music with no stream: only what is still due stays.
  for (double now = 0; now < 10e6; now += 50'000) {
    timeline.Add({now + kDelayUs, TimedNote::Kind::On, 60, 90}, now);
    timeline.Add({now + kDelayUs + 20'000, TimedNote::Kind::Off, 60, 0}, now);
  }
  EXPECT_LT(timeline.Waiting(), 10u) << "the notes piled up";
  std::vector<TimedNote> due;
  timeline.TakeDue(10e6, 10e6 - NoteTimeline::kStaleAfterUs, due);
  const auto ons = std::count_if(due.begin(), due.end(),
                                 [](const TimedNote& n) { return n.kind == TimedNote::Kind::On; });
  EXPECT_LE(ons, 3) << "a stream that opens now would start with a burst";
  ASSERT_FALSE(due.empty());
  EXPECT_EQ(due.front().kind, TimedNote::Kind::Off) << "the release of a dropped note was lost";

  // A stop drops what has not sounded yet but keeps the releases.
  timeline.Add({11e6, TimedNote::Kind::On, 62, 90}, 10e6);
  timeline.Add({11e6, TimedNote::Kind::Off, 60, 0}, 10e6);
  timeline.DropNoteOns();
  due.clear();
  timeline.TakeDue(12e6, 11e6 - NoteTimeline::kStaleAfterUs, due);
  ASSERT_EQ(due.size(), 1u);
  EXPECT_EQ(due[0].kind, TimedNote::Kind::Off);
}

TEST(Timeline, AFadeFallsBlockByBlockToSilenceAndStaysThere) {
  Simulation sim;
  sim.renderer.Render(sim.synth, kPeriod, 0);
  sim.renderer.FadeFrom(kPeriodUs + 5000);
  std::vector<double> levels;
  for (int k = 1; k < 6; ++k) {
    sim.renderer.Render(sim.synth, kPeriod, k * kPeriodUs);
    levels.push_back(sim.synth.level);
  }
  EXPECT_GT(levels[0], 0.001) << "the fade did not start where it was asked";
  EXPECT_LT(levels[0], 1.0);
  EXPECT_EQ(levels.back(), 0.0);
  EXPECT_TRUE(std::is_sorted(levels.rbegin(), levels.rend()));
}

}  // namespace
