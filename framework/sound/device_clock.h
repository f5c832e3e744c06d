#pragma once
// When the device takes each frame, learned from the times of its render
// callbacks. A device takes data in takes: a callback after a wait, then as
// many more back to back as the take holds (one, several periods of a large
// server quantum, an uneven share of one). Each take shows that the device
// wanted every frame up to the end of its last callback by that moment.
//
// The line is the lower edge of the takes: a take below it moves it down at
// once, and it follows the earliest take of the last second up. A take above
// it may only be late (a busy machine, a server that gathers requests), so
// it moves up at once only where the device has changed: a take that comes
// a stall's length late after takes on the line (the device took up again
// on a later timeline: the notes passed over are dropped), or three late
// takes as late as each other (a smaller quantum: the notes passed over
// are caught up on, faster). A device that catches up after a take late by
// less than a stall comes back to the line by itself, its notes' spacing
// kept; after a later one its next takes bring the line back down.
#include <array>
#include <cstdint>

namespace fw::sound {

class DeviceClock {
 public:
  // After the line rises, the notes passed over are caught up on this much
  // faster than called (2: three times as fast).
  static constexpr double kCatchUpSpeed = 2;

  explicit DeviceClock(double sampleRate);

  // A new stream: everything is learned anew from its callbacks.
  void Restart();
  void Restart(double sampleRate);
  // At the start of each render callback: the frames rendered before it, the
  // frames it asks for, and the real clock (µs) now.
  void Observe(std::int64_t frame, int frames, double now);
  // At the end of each render callback: a callback that starts as soon as
  // the last one ended belongs to its take, however long rendering took.
  void Finished(double now) { lastFinished_ = now; }
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
  // The time between the last two takes on the line (µs): a frame may be
  // rendered up to that long after its moment.
  double TakeGap() const { return takeGap_; }

 private:
  struct Take {
    double time = 0;
    std::int64_t first = 0;  // its first frame
    std::int64_t end = 0;    // the end of its last callback
    // Says how far above the line takes of the steady pattern come: not a
    // take of a stall, nor one that came late and off the pace.
    bool counts = true;
  };
  static constexpr int kKept = 128;

  // Where the line puts the moment the device wanted every frame before `end`.
  double LineAt(std::int64_t end) const;
  double Lateness(const Take& take) const { return take.time - LineAt(take.end); }
  void Anchor(std::int64_t end, double time);
  // Moves the line by `by` µs; a large move is the device's timeline moving,
  // not its rate, and leaves the rate's baseline where the device was.
  void Shift(double by);
  // The line moves up: the device wants its frames later than it said.
  void Rise(double by);
  // How far the moments of frames from the last rise on still trail the line.
  double LagAt(std::int64_t frame) const;
  void JudgePace(std::int64_t frame, double now, bool afterOne);
  void StartFollowing();
  void Complete(Take take);
  void TakeUpAgain();
  // How much longer after `before` a take came than `before`'s frames last.
  double TakeSpan(const Take& before, const Take& after) const;
  // How far from the frames between them two takes at the device's pace may come.
  double PaceTolerance() const;
  bool AtPace(const Take& before, const Take& after) const;
  // How far above the line the takes of the last second came, at most.
  double SteadyJitter() const;
  double LeastLatenessOfLately() const;
  void ReadRate(std::int64_t end);

  double nominalUsPerFrame_;
  double usPerFrame_;
  std::int64_t callbacks_ = 0;
  bool firstKeepsPace_ = false;
  bool paced_ = false;
  // In the take that refills a device that took up again.
  bool refilling_ = false;
  int longest_ = 0;
  double lastStart_ = 0;
  double lastFinished_ = 0;
  int lastFrames_ = 0;
  // The take the current callback belongs to.
  Take take_;
  // The take that pacing is judged from.
  bool haveCandidate_ = false;
  Take candidate_;
  // The line: the device wanted every frame before lineFrame_ by lineTime_.
  std::int64_t lineFrame_ = 0;
  double lineTime_ = 0;
  // Once paced: the takes completed since, the latest last.
  std::array<Take, kKept> kept_{};
  std::int64_t completed_ = 0;
  // Consecutive completed takes above the line by more than the jitter.
  int lateRun_ = 0;
  // The frames of the last take on the line.
  std::int64_t steadyTakeFrames_ = 0;
  double takeGap_ = 0;
  // Where the rate is read from: a point on the line, shifted with it.
  bool haveOrigin_ = false;
  std::int64_t originFrame_ = 0;
  double originTime_ = 0;
  std::int64_t rateReadFrame_ = 0;
  double pacedAt_ = 0;
  // What is left to catch up on of the last rise, from lagFrame_ on (µs).
  double lag_ = 0;
  std::int64_t lagFrame_ = 0;
};

}  // namespace fw::sound
