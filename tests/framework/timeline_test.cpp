// Notes on the audio timeline, on a simulated device whose callbacks come
// at chosen moments: each note starts in the block that holds its moment, a
// device clock that runs fast or slow keeps the delay steady, and nothing
// piles up while no stream renders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "framework/sound/note_timeline.h"
#include "framework/sound/timeline_renderer.h"

namespace {

using fw::sound::NoteTimeline;
using fw::sound::TimedNote;
using fw::sound::TimelineRenderer;

constexpr double kRate = 48000;
constexpr int kPeriod = 1024;
constexpr double kPeriodUs = 1e6 * kPeriod / kRate;
constexpr double kDelayUs = kPeriodUs + 6000;

// Records the stream frame at which each note was applied.
class FrameRecorder : public fw::sound::BlockSynth {
 public:
  struct Applied {
    TimedNote note;
    std::int64_t frame;
  };
  void Apply(const TimedNote& note) override { applied.push_back({note, frame}); }
  void SetLevel(double newLevel) override { level = newLevel; }
  float Render(int, int frames) override {
    frame += frames;
    return 0;
  }
  std::vector<Applied> applied;
  std::int64_t frame = 0;
  double level = 1;
};

struct Simulation {
  NoteTimeline timeline;
  TimelineRenderer renderer{timeline, kRate};
  FrameRecorder synth;
  // The device's sample rate against its nominal one (1.001: 0.1 % fast).
  double drift = 1.0;
  double jitterUs = 0;
  std::mt19937 random{7};
  std::int64_t callbacks = 0;

  // Real-clock time of callback k: the first fills the buffer, the second
  // follows at once, then one each period as the device plays.
  double CallbackTime(std::int64_t k) {
    const double ideal = k == 0 ? 0 : 1000 + (k - 1) * kPeriodUs / drift;
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

TEST(Timeline, ANoteStartsInTheBlockThatHoldsItsMomentAndALateOneAtOnce) {
  Simulation sim;
  sim.renderer.Render(sim.synth, kPeriod, 0);  // the clock starts: frame 0 at 0 µs
  // Moments spread over the next period's blocks, a few on block edges; dues come in call order.
  const std::vector<double> frames = {1030, 1087, 1088, 1151, 1152, 1500, 2047};
  for (double frame : frames) {
    sim.timeline.Add({frame * 1e6 / kRate, TimedNote::Kind::On, 60, 90}, 0);
  }
  sim.renderer.Render(sim.synth, kPeriod, kPeriodUs);
  sim.timeline.Add({500 * 1e6 / kRate, TimedNote::Kind::On, 61, 90}, kPeriodUs);  // already gone
  sim.renderer.Render(sim.synth, kPeriod, 2 * kPeriodUs);
  ASSERT_EQ(sim.synth.applied.size(), frames.size() + 1);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const auto block = static_cast<std::int64_t>(frames[i]) / 64 * 64;
    EXPECT_EQ(sim.synth.applied[i].frame, block) << "note meant for frame " << frames[i];
  }
  EXPECT_EQ(sim.synth.applied.back().note.note, 61);
  EXPECT_EQ(sim.synth.applied.back().frame, 2048) << "a late note waits for nothing";
  EXPECT_EQ(sim.renderer.LateNotes(), 1);
}

// Call to sound, by the device's clock, once the loop has settled.
std::vector<double> SettledDelays(double drift) {
  Simulation sim;
  sim.drift = drift;
  sim.jitterUs = 3000;
  constexpr double kSettledAfterUs = 30e6;
  sim.Play(120e6, 17'000);
  std::vector<double> delays;
  for (const auto& [note, frame] : sim.synth.applied) {
    const double call = note.due - kDelayUs;
    if (call > kSettledAfterUs) delays.push_back(sim.PlayTime(frame) - call);
  }
  EXPECT_EQ(sim.renderer.LateNotes(), 0) << "a callback came before its notes were all in";
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
    // The delay plus the device's one period, less half a block and the
    // callbacks' mean lateness, which the clock takes for the device's pace.
    EXPECT_NEAR(median, kDelayUs + kPeriodUs - 667 - 1500, 500) << "drift " << drift;
  }
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
  timeline.TakeDue(10e6, 10e6, due);
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
  timeline.TakeDue(12e6, 11e6, due);
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
