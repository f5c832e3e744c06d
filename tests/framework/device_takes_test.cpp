// Notes on the audio timeline of simulated sound servers that take data in
// their own way: a period at a time, several periods at once, uneven shares
// of a period, or in blocks of their own. Every start must be paced soon,
// and every note must sound one constant delay after its call.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
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
constexpr double kUsPerFrame = 1e6 / kRate;
constexpr double kBlockUs = TimelineRenderer::kBlock * kUsPerFrame;

// A server that wakes every `take` frames, takes that many from the
// client's buffer of `buffer` frames and plays them; the client's callback
// of `callback` frames starts once the server has room for the one before,
// as a blocking write does (a server of its own block size calls each
// block as it takes it).
struct Server {
  std::string name;
  int take;
  int callback;
  int buffer;
  // From this take on, the server takes `laterTake` frames instead.
  int changeAt = -1;
  int laterTake = 0;
  double jitterUs = 0;
  // A server that calls each client once a cycle from the first, as JACK
  // does, and says so before the stream opens.
  bool firstKeepsPace = false;
};

struct Heard {
  double call;
  double delay;  // call to sound, by the server's own frames
  std::int64_t frame;
};

struct Start {
  double pacedAfterUs = -1;  // from the first callback
  double longestTakeUs = 0;
  std::vector<double> calls;
  std::vector<Heard> heard;
  std::int64_t late = 0;
  std::int64_t dropped = 0;
};

// Calls a note every `every` from the moment the stream is paced, as a
// start does, until `until`, with the delay a sink would stamp.
Start Play(const Server& server, double until) {
  constexpr double every = 10'000;
  NoteTimeline timeline;
  TimelineRenderer renderer(timeline, kRate);
  renderer.Restart(kRate);
  if (server.firstKeepsPace) renderer.FirstCallbackKeepsPace();
  FrameRecorder synth;
  std::mt19937 random(11);
  std::uniform_real_distribution<double> jitter(-server.jitterUs, server.jitterUs);

  // The server's wake-ups and the frames it has taken by each.
  std::vector<double> wakes;
  std::vector<std::int64_t> taken;
  double at = 5000;
  std::int64_t total = 0;
  Start start;
  for (int j = 0; at < until + 2e6; ++j) {
    const int take = server.changeAt >= 0 && j >= server.changeAt ? server.laterTake : server.take;
    wakes.push_back(at + jitter(random));
    total += take;
    taken.push_back(total);
    start.longestTakeUs = std::max(start.longestTakeUs, take * kUsPerFrame);
    at += take * kUsPerFrame;
  }
  // Callback k starts once the server has room for the frames before it.
  std::size_t wake = 0;
  double previous = 0;
  double first = 0;
  double nextCall = -1;
  const auto delay = [&] {
    const int frames = std::max(1024, renderer.LongestCallback());
    return 1e6 * frames / kRate + 6000;
  };
  for (std::int64_t k = 0;; ++k) {
    const std::int64_t needed = k * server.callback - server.buffer;
    double now = previous + 100;  // a callback takes 0.1 ms to render
    if (needed > 0) {
      while (wake < wakes.size() && taken[wake] < needed) ++wake;
      if (wake == wakes.size()) break;
      now = std::max(now, wakes[wake]);
    }
    if (now > until + 1e6) break;
    if (nextCall >= 0) {
      for (; nextCall <= now && nextCall < until; nextCall += every) {
        timeline.Add({nextCall + delay(), TimedNote::Kind::On, 60, 90}, nextCall);
        start.calls.push_back(nextCall);
      }
    }
    renderer.Render(synth, server.callback, now);
    if (k == 0) first = now;
    if (nextCall < 0 && renderer.Paced()) {
      start.pacedAfterUs = now - first;
      nextCall = now;
    }
    previous = now;
  }
  // The server plays its frames one after another.
  for (const auto& [note, frame] : synth.applied) {
    const double call = start.calls[start.heard.size()];
    start.heard.push_back({call, static_cast<double>(frame) * kUsPerFrame - call, frame});
  }
  start.late = renderer.LateNotes();
  start.dropped = timeline.Dropped();
  return start;
}

void ExpectEveryNoteOnTime(const Start& start, const std::string& name) {
  ASSERT_GE(start.pacedAfterUs, 0) << name << ": never paced";
  ASSERT_FALSE(start.calls.empty()) << name;
  EXPECT_EQ(start.heard.size(), start.calls.size()) << name << ": a note was lost";
  EXPECT_EQ(start.late, 0) << name << ": a note came after its block";
  EXPECT_EQ(start.dropped, 0) << name;
  const auto [least, most] =
      std::minmax_element(start.heard.begin(), start.heard.end(),
                          [](const Heard& a, const Heard& b) { return a.delay < b.delay; });
  // Block rounding alone spreads onsets over a block.
  EXPECT_LE(most->delay - least->delay, kBlockUs + 300)
      << name << ": from " << least->delay / 1000 << " to " << most->delay / 1000 << " ms";
  EXPECT_LE(start.heard.front().delay, most->delay) << name;
}

TEST(DeviceTakes, EveryStartIsPacedWithinThreeTakesAndEveryNoteSoundsOneDelayAfterItsCall) {
  const std::vector<Server> servers = {
      {"a period a take", 1024, 1024, 2048},
      {"two periods a take", 2048, 1024, 2048},
      {"four periods a take", 4096, 1024, 4096},
      {"eight periods a take", 8192, 1024, 8192},
      {"uneven takes of 1536", 1536, 1024, 1536},
      {"blocks of 256", 256, 256, 256},
      {"blocks of 4096", 4096, 4096, 4096},
      {"two periods a take, jittering", 2048, 1024, 2048, -1, 0, 1000},
  };
  for (const Server& server : servers) {
    const Start start = Play(server, 3e6);
    ExpectEveryNoteOnTime(start, server.name);
    EXPECT_LE(start.pacedAfterUs, 3 * start.longestTakeUs + 2000) << server.name;
    if (server.take <= 4096) {
      EXPECT_LE(start.pacedAfterUs, 300'000) << server.name;
    }
  }
}

TEST(DeviceTakes, AServerThatCallsOnceACycleFromTheFirstIsPacedAtItsSecondCallback) {
  // No buffer at all: each callback waits for the cycle that takes its block.
  Server server{"blocks of 4096, paced from the first", 4096, 4096, -4096};
  server.firstKeepsPace = true;
  const Start start = Play(server, 3e6);
  ExpectEveryNoteOnTime(start, server.name);
  EXPECT_LE(start.pacedAfterUs, start.longestTakeUs + 1000);
}

TEST(DeviceTakes, WhenTheServerStartsTakingMoreAtOnceTheSoundGoesOnInOrder) {
  for (const Server& server : {Server{"1024 then 4096", 1024, 1024, 2048, 40, 4096},
                               Server{"4096 then 1024", 4096, 1024, 4096, 8, 1024}}) {
    const Start start = Play(server, 4e6);
    ASSERT_GE(start.pacedAfterUs, 0) << server.name;
    EXPECT_EQ(start.dropped, 0) << server.name;
    EXPECT_EQ(start.heard.size(), start.calls.size()) << server.name << ": a note was lost";
    for (std::size_t i = 1; i < start.heard.size(); ++i) {
      EXPECT_GE(start.heard[i].frame, start.heard[i - 1].frame)
          << server.name << ": the note called at " << start.heard[i].call / 1000
          << " ms sounds before the one called before it";
    }
    // Settled again a second after the change, one delay for every note.
    std::vector<double> delays;
    for (const Heard& h : start.heard) {
      if (h.call > 3e6) delays.push_back(h.delay);
    }
    ASSERT_FALSE(delays.empty());
    const auto [least, most] = std::minmax_element(delays.begin(), delays.end());
    EXPECT_LE(*most - *least, kBlockUs + 300) << server.name;
  }
}

}  // namespace
