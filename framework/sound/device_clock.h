#pragma once
// When the device takes each frame, learned from the times of its render
// callbacks. A device takes data in takes: a callback after a wait, then as
// many more back to back as the take holds (one, several periods of a large
// server quantum, an uneven share of one). Each take shows that the device
// wanted every frame up to the end of its last callback by then; the clock is
// the earliest line those moments allow, so late callbacks never move it.
#include <cstdint>

namespace fw::sound {

class DeviceClock {
 public:
  explicit DeviceClock(double sampleRate);

  // A new stream: everything is learned anew from its callbacks.
  void Restart();
  void Restart(double sampleRate);
  // At the start of each render callback: the frames rendered before it, the
  // frames it asks for, and the real clock (µs) now.
  void Observe(std::int64_t frame, int frames, double now);
  // The pace could not be read: go on at the nominal rate from the takes seen.
  void AssumePaced();
  // The device calls back once a block of its own from the first callback
  // on (it fills no buffer first): the first callback may show the pace.
  void FirstCallbackKeepsPace() { firstKeepsPace_ = true; }
  // The real-clock time (µs) at which the device asks for this frame: no
  // callback comes before its first frame's moment.
  double TimeOf(std::int64_t frame) const;
  // Microseconds a frame lasts by the device's clock.
  double FrameLength() const { return usPerFrame_; }
  // True once two takes came as far apart as the frames between them last,
  // or a take came a callback's length after a callback other than the first:
  // the device takes data at its own pace, and TimeOf can be trusted. Before
  // that the callbacks fill the buffer or wait for a device slow to begin,
  // and say nothing about when their frames will play.
  bool Paced() const { return paced_; }
  // The most frames a callback of this stream asked for.
  int LongestCallback() const { return longest_; }
  // The longest stretch between two takes since the pace was read (µs).
  double LongestTake() const { return longestTakeGap_; }

 private:
  // Where the line puts the moment the device wanted every frame before `end`.
  double LineAt(std::int64_t end) const;
  void Anchor(std::int64_t end, double time);
  void JudgePace(std::int64_t frame, double now, bool afterOne);
  void Follow(std::int64_t end, bool newTake, double gap, double now);
  void StartWindows(double now);
  void CloseWindow(std::int64_t end, double now);

  double nominalUsPerFrame_;
  double usPerFrame_;
  std::int64_t callbacks_ = 0;
  bool firstKeepsPace_ = false;
  bool paced_ = false;
  // Since the device ran dry, in the take that refills it.
  bool refilling_ = false;
  int longest_ = 0;
  double lastCallback_ = 0;
  int lastFrames_ = 0;
  // The take the current callback belongs to.
  double takeTime_ = 0;
  std::int64_t lastEnd_ = 0;
  // The take that pacing is judged from, and its first frame.
  bool haveCandidate_ = false;
  double candidateTime_ = 0;
  std::int64_t candidateFrame_ = 0;
  double longestTakeGap_ = 0;
  // The line: the device wanted every frame before lineFrame_ by lineTime_.
  std::int64_t lineFrame_ = 0;
  double lineTime_ = 0;
  // Where the line stood after its first window: the rate is read from there.
  bool haveOrigin_ = false;
  std::int64_t originFrame_ = 0;
  double originTime_ = 0;
  // Once paced: the least lateness of the takes in the current window.
  double windowStart_ = 0;
  double windowLeast_ = 0;
  double windowLongestGap_ = 0;
};

}  // namespace fw::sound
