#pragma once
// Renders a device's callback in the synthesiser's own 64-frame blocks and
// starts each waiting note in the block that holds its moment, so a note
// sounds its call time plus one constant delay later, whatever the period.
#include <atomic>
#include <cstdint>
#include <limits>
#include <vector>

#include "framework/sound/device_clock.h"
#include "framework/sound/note_timeline.h"

namespace fw::sound {

// The synthesiser as the renderer drives it, on the render thread.
class BlockSynth {
 public:
  virtual ~BlockSynth() = default;
  virtual void Apply(const TimedNote& note) = 0;
  // Scales everything, effects included: 1 is the normal level.
  virtual void SetLevel(double level) = 0;
  // Renders the next frames (never across a block) at this offset of the
  // callback's output; returns their peak.
  virtual float Render(int offset, int frames) = 0;
};

class TimelineRenderer {
 public:
  static constexpr int kBlock = 64;
  static constexpr double kFadeUs = 40'000;
  // Where the line moves on by more than this, the notes it passed over are
  // dropped rather than started together, their moment gone by, and so are
  // those this soon after. Below it they start at once, a little late.
  static constexpr double kPassedOverUs = 30'000;

  TimelineRenderer(NoteTimeline& timeline, double sampleRate);

  // A new stream: its frames count from zero and its clock is learned anew.
  void Restart();
  // A new stream at another sample rate.
  void Restart(double sampleRate);
  // From any thread: should the pace still be unread at the next callback,
  // the stream plays on at its nominal rate rather than keep its notes waiting.
  void AssumePace() { assumePace_.store(true); }
  // Before the stream opens: its device calls back once a block of its own
  // from the first callback on, with no buffer to fill first.
  void FirstCallbackKeepsPace() { clock_.FirstCallbackKeepsPace(); }
  // One callback of `frames`; now is the real clock at its start. Returns the peak.
  float Render(BlockSynth& synth, int frames, double now);
  // The real clock at the end of the callback just rendered.
  void Finished(double now) { clock_.Finished(now); }
  // From this real-clock moment the level falls 60 dB in kFadeUs, then to
  // silence, and stays there.
  void FadeFrom(double start) { fadeStart_.store(start); }
  // Notes started more than a block after their moment (their call came too late).
  std::int64_t LateNotes() const { return late_.load(); }
  // The stream since the last Restart takes data at its own pace, so notes
  // land where they belong; until then they wait.
  bool Paced() const { return paced_.load(); }
  // The rate of the stream since the last Restart.
  double SampleRate() const { return sampleRate_.load(); }
  // The most frames a callback of this stream asked for (0 before the first):
  // a note must be on the timeline that long before its moment.
  int LongestCallback() const { return longest_.load(); }
  // The longest time between the device's takes lately (µs; 0 before the pace).
  double TakeGap() const { return takeGap_.load(); }

 private:
  double LevelAt(double time) const;

  NoteTimeline& timeline_;
  DeviceClock clock_;
  std::int64_t streamFrames_ = 0;
  // Never restarted: the synthesiser's blocks run on across streams.
  std::int64_t synthFrames_ = 0;
  double level_ = 1;
  // Where the next callback's frames stood on the line after the last one.
  bool wasPaced_ = false;
  double nextTime_ = 0;
  double dropBefore_ = -std::numeric_limits<double>::infinity();
  std::vector<TimedNote> due_;
  std::atomic<double> fadeStart_{std::numeric_limits<double>::infinity()};
  std::atomic<std::int64_t> late_{0};
  std::atomic<bool> paced_{false};
  std::atomic<bool> assumePace_{false};
  std::atomic<int> longest_{0};
  std::atomic<double> takeGap_{0};
  std::atomic<double> sampleRate_;
};

}  // namespace fw::sound
