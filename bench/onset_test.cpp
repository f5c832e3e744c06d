// The onset benchmark's measuring code on made-up signals and read logs, and
// the score's steps from the real modes on the virtual clock.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "bench/jack_cycle_clock.h"
#include "bench/onset_cold_starts.h"
#include "bench/onset_finder.h"
#include "bench/onset_matcher.h"
#include "bench/recording.h"
#include "bench/sample_clock.h"
#include "bench/score_steps.h"

namespace {

constexpr double kRate = 44100;

std::int64_t Frame(double ms) { return std::llround(ms * kRate / 1000); }

// Woodblock-like notes: a 900 Hz burst at full height from its first sample,
// gone in ~10 ms, over a noisy reverb-like tail a tenth as high that lasts ~60 ms.
class Signal {
 public:
  explicit Signal(double seconds) : values_(static_cast<std::size_t>(seconds * kRate)) {}
  void Note(std::int64_t at, double peak = 8000) {
    for (std::int64_t k = 0; at + k < static_cast<std::int64_t>(values_.size()); ++k) {
      const double t = static_cast<double>(k) / kRate;
      const double body = std::exp(-t / 0.003) * std::cos(2 * std::numbers::pi * 900 * t);
      const double tail = 0.1 * std::exp(-t / 0.030) * noise_(random_);
      values_[static_cast<std::size_t>(at + k)] += peak * (body + tail);
      if (t > 0.5) break;
    }
  }
  // A swell inside a tail: rises slowly to `height`, with no quiet before it.
  void Swell(std::int64_t from, std::int64_t length, double height) {
    for (std::int64_t k = 0; k < length; ++k) {
      const double shape = std::sin(std::numbers::pi * static_cast<double>(k) / length);
      values_[static_cast<std::size_t>(from + k)] +=
          height * shape * std::cos(0.3 * static_cast<double>(k));
    }
  }
  void Click(std::int64_t at, double height) { values_[static_cast<std::size_t>(at)] += height; }
  // The server had nothing to play: exact silence.
  void Drop(std::int64_t from, std::int64_t length) {
    std::fill_n(values_.begin() + from, length, 0.0);
  }
  std::vector<std::int16_t> Samples() const {
    std::vector<std::int16_t> out;
    for (double v : values_)
      out.push_back(static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0)));
    return out;
  }

 private:
  std::vector<double> values_;
  std::mt19937 random_{42};
  std::uniform_real_distribution<double> noise_{-1.0, 1.0};
};

std::vector<std::int64_t> Frames(const std::vector<bench::Onset>& onsets) {
  std::vector<std::int64_t> frames;
  for (const auto& onset : onsets) frames.push_back(onset.frame);
  return frames;
}

TEST(OnsetFinder, FindsEachAttackAtItsFirstSampleThroughTailsAndAStrayClick) {
  Signal signal(3.0);
  // The score's shortest step (43.75 ms) among longer ones: each note starts in the last one's
  // tail.
  std::vector<std::int64_t> notes;
  double ms = 100;
  for (double step : {43.75, 43.75, 43.75, 175.0, 87.5, 43.75, 700.0, 65.625, 131.25, 43.75}) {
    notes.push_back(Frame(ms));
    signal.Note(notes.back());
    ms += step;
  }
  signal.Click(Frame(2500), 30000);  // far louder than any note
  const auto samples = signal.Samples();
  const double reference = bench::ReferencePeak(samples, kRate);
  EXPECT_NEAR(reference, 8000, 800) << "the click must not set the scale";
  EXPECT_EQ(Frames(bench::FindOnsets(samples, kRate, reference)), notes);
}

TEST(OnsetFinder, NoOnsetFromASwellInATailOrAnAttackIntoLoudSound) {
  Signal signal(1.0);
  signal.Note(Frame(100));
  // 30 ms on, past the note's own decay, the tail swells over the trigger level.
  signal.Swell(Frame(130), Frame(8), 0.45 * 8000);
  signal.Note(Frame(400));
  // A note that starts while an unrelated sound is still loud is no clean attack.
  signal.Swell(Frame(690), Frame(20), 0.5 * 8000);
  signal.Note(Frame(700));
  const auto samples = signal.Samples();
  EXPECT_EQ(Frames(bench::FindOnsets(samples, kRate, 8000)),
            (std::vector<std::int64_t>{Frame(100), Frame(400)}));
}

TEST(OnsetFinder, DropoutsAreRunsOfSilenceInsideSoundNotTheEndOfATail) {
  Signal signal(2.0);
  signal.Note(Frame(100));
  // Early in the decay: the sound that comes back is no new attack.
  signal.Drop(Frame(103), 64);
  signal.Note(Frame(400));
  signal.Drop(Frame(440), 32);  // in the tail
  signal.Note(Frame(700));
  auto samples = signal.Samples();
  // Long after the last note its tail has died away to exact silence.
  std::fill(samples.begin() + Frame(1700), samples.end(), 0);
  const auto dropouts = bench::FindDropouts(samples, kRate, 0.01 * 8000);
  ASSERT_EQ(dropouts.size(), 2u);
  EXPECT_EQ(dropouts[0].frame, Frame(103));
  EXPECT_EQ(dropouts[0].frames, 64);
  EXPECT_EQ(dropouts[1].frame, Frame(440));
  EXPECT_EQ(Frames(bench::FindOnsets(samples, kRate, 8000)),
            (std::vector<std::int64_t>{Frame(100), Frame(400), Frame(700)}));
}

TEST(OnsetMatcher, PairsInOrderAroundTheCommonDelayEvenWhenItExceedsTheSteps) {
  // Calls 43.75-175 ms apart, sounding 120 ms later with up to 2.9 ms of jitter.
  std::vector<double> calls, onsets;
  double t = 0;
  for (int i = 0; i < 40; ++i) {
    calls.push_back(t);
    onsets.push_back(t + 120e3 + (i % 7) * 2900.0 / 6);
    t += (i % 3 == 0) ? 43750 : 175000;
  }
  const auto all = bench::MatchOnsets(calls, onsets);
  EXPECT_EQ(all.missing, 0u);
  EXPECT_EQ(all.extra, 0u);
  EXPECT_NEAR(all.typicalDelay, 121.45e3, 1.5e3);
  for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(all.onsetOfCall[i], onsets[i]);

  // One note unheard, one click heard: the others keep their own onsets.
  auto heard = onsets;
  heard.erase(heard.begin() + 10);
  heard.insert(std::upper_bound(heard.begin(), heard.end(), calls[20] + 50e3), calls[20] + 50e3);
  const auto some = bench::MatchOnsets(calls, heard);
  EXPECT_EQ(some.missing, 1u);
  EXPECT_EQ(some.extra, 1u);
  EXPECT_FALSE(some.onsetOfCall[10]);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (i != 10) {
      EXPECT_EQ(some.onsetOfCall[i], onsets[i]) << i;
    }
  }
  EXPECT_LE(some.tolerance, 0.45 * 43750);
}

// Calls at the given steps, each heard 51.4 ms later give or take the 1.45 ms of a block.
struct Heard {
  std::vector<double> calls, onsets;
};
Heard Played(const std::vector<double>& steps) {
  Heard heard;
  double t = 1e6;
  for (std::size_t i = 0; i <= steps.size(); ++i) {
    heard.calls.push_back(t);
    heard.onsets.push_back(t + 51.4e3 + static_cast<double>(i % 5) * 1450.0 / 4 - 725);
    if (i < steps.size()) t += steps[i];
  }
  return heard;
}

// Never one onset for two calls, never a later call with an earlier onset.
void ExpectOneToOneInOrder(const bench::OnsetMatch& match) {
  std::optional<double> before;
  for (const auto& onset : match.onsetOfCall) {
    if (!onset) continue;
    if (before) {
      EXPECT_GT(*onset, *before);
    }
    before = onset;
  }
}

TEST(OnsetMatcher, ANoteAPeriodOrTwoOffIsMatchedWithItsOwnDelayNotMissedPlusAnExtra) {
  std::vector<double> steps;
  for (int i = 0; i < 60; ++i) steps.push_back(i % 4 == 0 ? 43750 : 175000);
  Heard heard = Played(steps);
  heard.onsets[10] += 23.2e3;  // a period late
  heard.onsets[21] -= 23.2e3;  // a period early
  heard.onsets[30] += 52e3;    // over two periods late
  heard.onsets[45] += 80e3;    // beyond reach: no longer this call's note
  const auto match = bench::MatchOnsets(heard.calls, heard.onsets);
  ExpectOneToOneInOrder(match);
  EXPECT_NEAR(match.typicalDelay, 51.4e3, 1e3);
  EXPECT_EQ(match.missing, 1u);
  EXPECT_EQ(match.extra, 1u);
  EXPECT_FALSE(match.onsetOfCall[45]);
  for (std::size_t i = 0; i < heard.calls.size(); ++i) {
    if (i != 45) {
      EXPECT_EQ(match.onsetOfCall[i], heard.onsets[i]) << i;
    }
  }
  EXPECT_EQ(match.offNotes, 3u);
  ASSERT_TRUE(match.worstOffset);
  EXPECT_NEAR(*match.worstOffset, 52e3, 1e3);
  EXPECT_GE(match.maxOffset, 50e3);
}

TEST(OnsetMatcher, ADroppedNoteBesideAnOffOneLeavesOnlyTheDroppedOneMissing) {
  std::vector<double> steps(40, 87500);
  Heard heard = Played(steps);
  // Call 10 late by 40 ms, then call 11 unheard: the onset lies within reach of
  // both calls, nearer to its own. The same the other way round: 20 unheard, 21 early.
  heard.onsets[10] += 40e3;
  heard.onsets[21] -= 40e3;
  std::vector<double> onsets;
  for (std::size_t i = 0; i < heard.onsets.size(); ++i) {
    if (i != 11 && i != 20) onsets.push_back(heard.onsets[i]);
  }
  const auto match = bench::MatchOnsets(heard.calls, onsets);
  ExpectOneToOneInOrder(match);
  EXPECT_EQ(match.missing, 2u);
  EXPECT_EQ(match.extra, 0u);
  EXPECT_FALSE(match.onsetOfCall[11]);
  EXPECT_FALSE(match.onsetOfCall[20]);
  EXPECT_EQ(match.onsetOfCall[10], heard.onsets[10]);
  EXPECT_EQ(match.onsetOfCall[21], heard.onsets[21]);
  EXPECT_EQ(match.onsetOfCall[22], heard.onsets[22]);
  EXPECT_EQ(match.offNotes, 2u);
}

TEST(OnsetMatcher, InTheShortestStepsALateNoteKeepsItsCallAndTheNextKeepsItsOwn) {
  // A run of 43.75 ms steps whose first notes come late and catch up, as a slow
  // stream start might play them: each late onset is nearer the next call's
  // moment than its own, and the next call has an onset of its own.
  Heard heard = Played(std::vector<double>(30, 43750));
  const std::vector<double> late = {35e3, 30e3, 25e3, 10e3};
  for (std::size_t i = 0; i < late.size(); ++i) heard.onsets[i] += late[i];
  const auto match = bench::MatchOnsets(heard.calls, heard.onsets);
  ExpectOneToOneInOrder(match);
  EXPECT_NEAR(match.typicalDelay, 51.4e3, 1e3) << "the late start must not set the delay";
  EXPECT_EQ(match.missing, 0u);
  EXPECT_EQ(match.extra, 0u);
  for (std::size_t i = 0; i < heard.calls.size(); ++i) {
    EXPECT_EQ(match.onsetOfCall[i], heard.onsets[i]) << i;
  }
  EXPECT_EQ(match.offNotes, 3u) << "10 ms late is within the steady tolerance";

  // Every other note unheard: an onset 60 % of a step late is nearer the next
  // call's moment, and goes there; one 40 % late stays with its own call.
  Heard sparse = Played(std::vector<double>(30, 43750));
  std::vector<double> onsets;
  for (std::size_t i = 0; i < sparse.onsets.size(); i += 2) {
    onsets.push_back(sparse.onsets[i] + (i == 10 ? 0.6 * 43750 : i == 20 ? 0.4 * 43750 : 0));
  }
  const auto gaps = bench::MatchOnsets(sparse.calls, onsets);
  ExpectOneToOneInOrder(gaps);
  EXPECT_EQ(gaps.onsetOfCall[11], onsets[5]);
  EXPECT_FALSE(gaps.onsetOfCall[10]);
  EXPECT_EQ(gaps.onsetOfCall[20], onsets[10]);
  EXPECT_EQ(gaps.missing, 15u);
  EXPECT_EQ(gaps.extra, 0u);
}

TEST(ColdStarts, FirstNotesAgainstTheSameStartsLaterNotesOrTheTypicalDelay) {
  // Three starts of 8 notes, 5 s apart; this start's stream adds 3 ms to the run's delay.
  std::vector<double> calls;
  for (int start = 0; start < 3; ++start) {
    for (int k = 0; k < 8; ++k) calls.push_back(start * 5e6 + k * 87500.0);
  }
  std::vector<double> onsets;
  for (double call : calls) onsets.push_back(call + 51.4e3);
  for (std::size_t i = 0; i < 8; ++i) onsets[i] += 3e3;
  onsets[0] += 23.2e3;  // the first note a period late
  onsets[1] -= 10e3;
  std::vector<double> heard;
  for (std::size_t i = 0; i < onsets.size(); ++i) {
    // Second start: its second note lost. Third: all but one of its later notes lost.
    if (i != 9 && (i < 20 || i == 23)) heard.push_back(onsets[i]);
  }
  const auto match = bench::MatchOnsets(calls, heard);
  ASSERT_EQ(match.missing, 4u);
  const auto starts = bench::ColdStartFigures(calls, heard, heard, match, 8);
  ASSERT_EQ(starts.size(), 3u);

  EXPECT_EQ(starts[0].heard, 8u);
  EXPECT_TRUE(starts[0].fromLaterNotes);
  EXPECT_DOUBLE_EQ(starts[0].reference, 54.4e3);
  ASSERT_EQ(starts[0].leadOffsets.size(), bench::kLeadNotes);
  EXPECT_NEAR(*starts[0].leadOffsets[0], 23.2e3, 1e-6);
  EXPECT_NEAR(*starts[0].leadOffsets[1], -10e3, 1e-6);
  EXPECT_NEAR(*starts[0].leadOffsets[2], 0, 1e-6);

  EXPECT_EQ(starts[1].heard, 7u);
  EXPECT_FALSE(starts[1].leadOffsets[1]);
  EXPECT_NEAR(*starts[1].leadOffsets[0], 0, 1e-6);

  // One later note alone is no reference: the run's typical delay is.
  EXPECT_EQ(starts[2].heard, 5u);
  EXPECT_FALSE(starts[2].fromLaterNotes);
  EXPECT_DOUBLE_EQ(starts[2].reference, match.typicalDelay);

  EXPECT_NEAR(*bench::WorstLeadOffset(starts), 23.2e3, 1e-6);
  // A last start cut short still has its own figures.
  EXPECT_EQ(bench::ColdStartFigures(calls, heard, heard, match, 10).back().notes, 4u);
  for (const auto& start : starts) EXPECT_EQ(start.sounded, start.heard);

  // The recording's timeline broke by 1.2 s during the second start: its
  // notes are matched to nothing, yet counted as sounded, and on the
  // recording's frames, which did not break, still heard in their places.
  const std::vector<double> frames = heard;
  for (std::size_t i = 8; i < 15; ++i) heard[i] += 1.2e6;
  const auto broken = bench::MatchOnsets(calls, heard);
  const auto brokenStarts = bench::ColdStartFigures(calls, heard, frames, broken, 8);
  EXPECT_EQ(brokenStarts[1].heard, 0u);
  EXPECT_EQ(brokenStarts[1].sounded, 7u);
  EXPECT_EQ(brokenStarts[2].sounded, 5u);
  EXPECT_EQ(brokenStarts[1].spacing.heard, 7u);
  EXPECT_FALSE(brokenStarts[1].spacing.leadOffsets[1]);
  EXPECT_NEAR(*brokenStarts[1].spacing.leadOffsets[0], 0, 1e-6);
}

// A start of 8 notes 175 ms apart (the first steps of "one shot"), called a
// few µs late, and their onsets on a recording's own frames: another origin,
// a sink clock 200 ppm fast, 51.4 ms of delay and the block's 0-1.45 ms.
struct ColdStartNotes {
  std::vector<double> calls, own;
};
ColdStartNotes OnFrames(double firstCall, double origin) {
  ColdStartNotes notes;
  for (int k = 0; k < 8; ++k) {
    notes.calls.push_back(firstCall + k * 175e3 + (k * 37 % 11));
    const double block = (k * 5 % 8) * 1450.0 / 7;
    notes.own.push_back(origin + (notes.calls.back() - firstCall) * 1.0002 + 51.4e3 - block);
  }
  return notes;
}

TEST(ColdStartSpacing, ACleanStartPassesAFirstNoteAPeriodOffIsCaught) {
  const ColdStartNotes clean = OnFrames(7.3e9, 123e6);
  const auto passed = bench::MeasureSpacing(clean.calls, clean.own, 60e3);
  EXPECT_EQ(passed.heard, 8u);
  EXPECT_EQ(passed.extra, 0u);
  EXPECT_TRUE(passed.fromLaterNotes);
  ASSERT_EQ(passed.leadOffsets.size(), bench::kLeadNotes);
  for (const auto& offset : passed.leadOffsets) {
    ASSERT_TRUE(offset);
    EXPECT_LT(std::abs(*offset), 1.5e3);
  }
  EXPECT_LT(std::abs(*passed.worstLaterOffset), 1.5e3);
  EXPECT_EQ(passed.bursts, 0u);
  EXPECT_LT(*passed.mostCloser, bench::kBurstUs);

  ColdStartNotes early = clean;
  early.own[0] -= 23.2e3;
  const auto caught = bench::MeasureSpacing(early.calls, early.own, 60e3);
  EXPECT_EQ(caught.heard, 8u);
  EXPECT_NEAR(*caught.leadOffsets[0], -23.2e3, 1.5e3);
  EXPECT_NEAR(*caught.leadOffsets[1], 0, 1.5e3);
  EXPECT_EQ(caught.bursts, 0u) << "further from the next note, not closer";

  // A period late: as far off, and closer to the next note than its call.
  ColdStartNotes late = clean;
  late.own[0] += 23.2e3;
  const auto burst = bench::MeasureSpacing(late.calls, late.own, 60e3);
  EXPECT_NEAR(*burst.leadOffsets[0], 23.2e3, 1.5e3);
  EXPECT_EQ(burst.bursts, 1u);
  EXPECT_NEAR(*burst.mostCloser, 23.2e3, 1.5e3);
}

TEST(ColdStartSpacing, BurstsAnywhereInTheStartAreCounted) {
  ColdStartNotes notes = OnFrames(2e6, 0);
  notes.own[0] += 20e3;  // the first two notes 20 ms closer than their calls
  notes.own[2] += 40e3;  // the third crowds the fourth
  notes.own[6] += 8e3;   // a later pair only 8 ms closer
  const auto spacing = bench::MeasureSpacing(notes.calls, notes.own, 60e3);
  EXPECT_EQ(spacing.heard, 8u);
  EXPECT_EQ(spacing.bursts, 3u);
  EXPECT_NEAR(*spacing.mostCloser, 40e3, 1.5e3);
  EXPECT_NEAR(*spacing.leadOffsets[2], 40e3, 1.5e3);
  EXPECT_NEAR(*spacing.worstLaterOffset, 8e3, 1.5e3);

  // Two notes so close that they sound as one onset: one is missing, and
  // the onset is still set against its neighbours.
  ColdStartNotes merged = OnFrames(2e6, 0);
  merged.own.erase(merged.own.begin());
  merged.own[0] -= 20e3;
  const auto one = bench::MeasureSpacing(merged.calls, merged.own, 60e3);
  EXPECT_EQ(one.heard, 7u);
  EXPECT_FALSE(one.leadOffsets[0]);
  EXPECT_NEAR(*one.leadOffsets[1], -20e3, 1.5e3);
}

TEST(ColdStartSpacing, EqualStepsAndANoteLostTheRestKeepTheirPlaces) {
  // With every step the same, a shift by one step fits as well; the lost
  // note is named where a cold start loses one: at the start.
  ColdStartNotes first = OnFrames(2e6, 5e6);
  first.own.erase(first.own.begin());
  const auto lostFirst = bench::MeasureSpacing(first.calls, first.own, 60e3);
  EXPECT_EQ(lostFirst.heard, 7u);
  EXPECT_FALSE(lostFirst.leadOffsets[0]);
  for (std::size_t k = 1; k < bench::kLeadNotes; ++k) {
    EXPECT_LT(std::abs(*lostFirst.leadOffsets[k]), 1.5e3) << k;
  }
  EXPECT_EQ(lostFirst.bursts, 0u);
  ColdStartNotes last = OnFrames(2e6, 5e6);
  last.own.pop_back();
  const auto lostLast = bench::MeasureSpacing(last.calls, last.own, 60e3);
  EXPECT_EQ(lostLast.heard, 7u);
  EXPECT_FALSE(lostLast.leadOffsets[0]) << "the same frames as a start that lost its first";

  ColdStartNotes middle = OnFrames(2e6, 5e6);
  middle.own.erase(middle.own.begin() + 2);
  const auto lostThird = bench::MeasureSpacing(middle.calls, middle.own, 60e3);
  EXPECT_EQ(lostThird.heard, 7u);
  EXPECT_TRUE(lostThird.leadOffsets[0]);
  EXPECT_FALSE(lostThird.leadOffsets[2]);
  EXPECT_EQ(lostThird.bursts, 0u);

  EXPECT_EQ(bench::MeasureSpacing(first.calls, {}, 60e3).heard, 0u);
}

TEST(ColdStarts, OnTheRecordingsFramesWhateverTheReadsSay) {
  // Three starts 5 s apart. The reads put each start's onsets up to 0.8 s
  // off, the second's last three 3.5 s back, nearer the first start; the
  // frames hold, with the second start's first note a period early.
  std::vector<double> calls, clock, own;
  const std::vector<double> misread = {-0.8e6, 0.6e6, 0.3e6};
  for (int start = 0; start < 3; ++start) {
    const ColdStartNotes notes = OnFrames(1e9 + start * 5e6, 40e6 + start * 5.1e6);
    for (std::size_t k = 0; k < notes.calls.size(); ++k) {
      calls.push_back(notes.calls[k]);
      own.push_back(notes.own[k] - (start == 1 && k == 0 ? 23.2e3 : 0));
      const double stepBack = start == 1 && k >= 5 ? -3.5e6 : 0;
      clock.push_back(notes.calls[k] + 51.4e3 + misread[start] + stepBack);
    }
  }
  const auto match = bench::MatchOnsets(calls, clock);
  const auto starts = bench::ColdStartFigures(calls, clock, own, match, 8);
  ASSERT_EQ(starts.size(), 3u);
  for (const auto& start : starts) {
    EXPECT_EQ(start.sounded, 8u);
    EXPECT_EQ(start.spacing.heard, 8u);
    EXPECT_EQ(start.spacing.bursts, 0u);
  }
  EXPECT_LT(starts[1].heard, 8u) << "by the clock";
  EXPECT_NEAR(*bench::WorstSpacingLeadOffset(starts), -23.2e3, 1.5e3);
}

// Reads every 441 frames of a stream whose frame f plays at played(f); the
// latency swings between -10 and 30 ms, as the reader falls behind and catches up.
template <typename Played>
std::vector<bench::ReadStamp> Reads(Played played, int count, double error(int) = nullptr) {
  std::vector<bench::ReadStamp> stamps;
  for (int i = 1; i <= count; ++i) {
    const std::int64_t frames = 441LL * i;
    const double latency = -10e3 + (i % 5) * 10e3;
    stamps.push_back({frames, played(frames) + latency + (error ? error(i) : 0), latency});
  }
  return stamps;
}

TEST(SampleClock, FollowsAFastSinkClockAndBreaksWhereTheTimelineSteps) {
  // 0.09 % fast; 32 ms later once the server dropped part of the stream after read
  // 100, 5 ms earlier once it repeated part after read 300.
  auto played = [](std::int64_t frame) {
    double t = 1e6 + static_cast<double>(frame) * 1e6 / kRate / 1.0009;
    if (frame > 441 * 100) t += 32e3;
    if (frame > 441 * 300) t -= 5e3;
    return t;
  };
  auto stamps = Reads(played, 2000);
  stamps[150] = {stamps[150].frames, 0, 0, false};  // a reading that was preempted
  const auto clock = bench::SampleClock::FromStamps(stamps, kRate);
  ASSERT_TRUE(clock);
  EXPECT_EQ(clock->LeftOut(), 1u);
  for (std::int64_t frame :
       {1, 441 * 100 - 200, 441 * 100 + 200, 441 * 150 + 7, 441 * 300 + 1, 441 * 1999 + 300}) {
    EXPECT_NEAR(clock->Time(static_cast<double>(frame)), played(frame), 0.1) << frame;
  }
  EXPECT_NEAR(clock->SinkClockPpm(), 900, 1);
  EXPECT_FALSE(
      bench::SampleClock::FromStamps({{441, 1e6, 0, false}, {882, 1.01e6, 0, false}}, kRate));
}

TEST(SampleClock, SmoothsTheScatterOfSingleReadsButFollowsASinkClockThatWanders) {
  // The sink's timeline wanders by half a millisecond over ten seconds.
  auto played = [](std::int64_t frame) {
    const double t = static_cast<double>(frame) / kRate;
    return 1e6 + t * 1e6 + 500 * std::sin(2 * std::numbers::pi * t / 10);
  };
  // Each read up to 150 µs off, at random.
  const auto stamps = Reads(played, 3000, [](int i) { return 150.0 * std::sin(i * 12.9898); });
  const auto clock = bench::SampleClock::FromStamps(stamps, kRate);
  ASSERT_TRUE(clock);
  for (std::int64_t frame = 441 * 100; frame < 441 * 2900; frame += 441 * 37) {
    EXPECT_NEAR(clock->Time(static_cast<double>(frame)), played(frame), 40) << frame;
  }
}

// JACK cycles of 256 frames at 48 kHz, cycle k due at 1 s + k periods of
// real time; the server's clock runs 5 s ahead of ours, the callback wakes
// 50-800 µs into its cycle, and the device plays a frame 512 frames after its
// cycle starts.
constexpr double kJackRate = 48000;
constexpr std::uint32_t kJackPeriod = 256;
constexpr double kJackPeriodUs = 1e6 * kJackPeriod / kJackRate;
constexpr double kJackOutputUs = 2 * kJackPeriodUs;

double JackCycleDue(int k) { return 1e6 + k * kJackPeriodUs; }

// Cycle k, whose first frame is the device's `deviceFrame`.
bench::JackCycle MakeJackCycle(int k, std::uint32_t deviceFrame) {
  const double woke = JackCycleDue(k) + 50 + (k * 37 % 750);
  return {deviceFrame, JackCycleDue(k) + 5e6, woke + 5e6, woke - 1, woke + 1};
}

std::uint32_t JackFrame(std::uint32_t first, int k) {
  return first + static_cast<std::uint32_t>(k) * kJackPeriod;
}

TEST(JackCycleClock, EachCycleIsTimedWhenItsDeviceFramesPlayAndMissedCyclesBecomeSilence) {
  // The device's counter wraps during the recording; the client is not run
  // for cycles 40 and 41.
  const std::uint32_t first = 0xFFFFFFFFu - 30 * kJackPeriod;
  bench::JackCycleClock cycles(kJackOutputUs);
  std::vector<bench::ReadStamp> stamps;
  std::int64_t recorded = 0, holes = 0;
  for (int k = 0; k < 300; ++k) {
    if (k == 40 || k == 41) continue;
    const auto placed = cycles.Place(MakeJackCycle(k, JackFrame(first, k)), recorded);
    EXPECT_TRUE(placed.stamp.usable);
    EXPECT_EQ(placed.stamp.frames, static_cast<std::int64_t>(k) * kJackPeriod) << k;
    holes += placed.hole;
    recorded = placed.stamp.frames + kJackPeriod;
    stamps.push_back(placed.stamp);
  }
  EXPECT_EQ(holes, 2 * kJackPeriod);
  const auto clock = bench::SampleClock::FromStamps(stamps, kJackRate);
  ASSERT_TRUE(clock);
  for (double step : clock->Steps()) EXPECT_NEAR(step, 0, 0.01);
  for (int k : {0, 39, 40, 42, 299}) {
    EXPECT_NEAR(clock->Time(k * kJackPeriod + 100.0),
                JackCycleDue(k) + kJackOutputUs + 100 * 1e6 / kJackRate, 0.01)
        << k;
  }
}

TEST(JackCycleClock, APreemptedOrUnknownReadingIsLeftOutAndACounterThatGoesBackBreaksTheLine) {
  bench::JackCycleClock cycles(kJackOutputUs);
  std::vector<bench::ReadStamp> stamps;
  std::int64_t recorded = 0;
  auto place = [&](bench::JackCycle cycle) {
    const auto placed = cycles.Place(cycle, recorded);
    EXPECT_EQ(placed.hole, 0);
    recorded = placed.stamp.frames + kJackPeriod;
    stamps.push_back(placed.stamp);
    return placed.stamp;
  };
  for (int k = 0; k < 100; ++k) {
    bench::JackCycle cycle = MakeJackCycle(k, JackFrame(1000, k));
    if (k == 10) cycle.realAfter += bench::kLongestReadingUs;
    if (k == 20) cycle.timesKnown = false;
    // The server restarts: its counter starts over, 150 periods later.
    if (k >= 50) cycle = MakeJackCycle(k + 150, JackFrame(0, k - 50));
    EXPECT_EQ(place(cycle).usable, k != 10 && k != 20) << k;
  }
  const auto clock = bench::SampleClock::FromStamps(stamps, kJackRate);
  ASSERT_TRUE(clock);
  EXPECT_EQ(clock->LeftOut(), 2u);
  EXPECT_NEAR(clock->Time(49 * kJackPeriod), JackCycleDue(49) + kJackOutputUs, 0.01);
  EXPECT_NEAR(clock->Time(50 * kJackPeriod), JackCycleDue(200) + kJackOutputUs, 0.01);
}

TEST(ScoreSteps, OriginalStartsAStepAtEveryWaitOfTheWrittenPiece) {
  const auto steps = bench::PlayScoreVirtually("original", std::nullopt, std::nullopt);
  EXPECT_EQ(steps.bars, 38u);
  ASSERT_FALSE(steps.starts.empty());
  EXPECT_EQ(steps.starts.front(), 0);
  EXPECT_TRUE(std::is_sorted(steps.starts.begin(), steps.starts.end()));
  EXPECT_EQ(std::adjacent_find(steps.starts.begin(), steps.starts.end()), steps.starts.end());
  EXPECT_DOUBLE_EQ(steps.starts.back(), 103e6) << "the end pause starts after the bars' waits";

  const auto looped = bench::PlayScoreVirtually("looped", 3, 60e6);
  EXPECT_GT(looped.bars, 10u);
  ASSERT_FALSE(looped.starts.empty());
  // Stop's own releases yield, so the mode may play on for a moment.
  EXPECT_NEAR(looped.starts.back(), 60e6, 1e6);
}

}  // namespace
