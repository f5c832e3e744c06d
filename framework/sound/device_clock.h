#pragma once
// When the device takes each frame, learned from the times of its render
// callbacks: a delay-locked loop filters their jitter and follows a device
// clock that runs a little fast or slow against ours.
#include <cstdint>

namespace fw::sound {

class DeviceClock {
 public:
  explicit DeviceClock(double sampleRate);

  // A new stream: everything is learned anew from its callbacks.
  void Restart();
  void Restart(double sampleRate);
  // At the start of each render callback: the frames rendered before it and
  // the real clock (µs) now.
  void Observe(std::int64_t frame, double now);
  // The real-clock time (µs) at which the device asks for this frame.
  double TimeOf(std::int64_t frame) const;
  // Microseconds a frame lasts by the device's clock.
  double FrameLength() const { return usPerFrame_; }
  // True once a callback came a period after the one before: the device
  // takes data at its own pace, and TimeOf can be trusted. Before that the
  // callbacks fill the buffer or wait for a device slow to begin, and say
  // nothing about when their frames will play.
  bool Paced() const { return paced_; }

 private:
  double nominalUsPerFrame_;
  bool started_ = false;
  bool afterFirst_ = false;
  bool paced_ = false;
  std::int64_t frame_ = 0;
  double time_ = 0;
  double usPerFrame_;
  double startTime_ = 0;
};

}  // namespace fw::sound
