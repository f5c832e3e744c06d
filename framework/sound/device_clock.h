#pragma once
// When the device takes each frame, learned from the times of its render
// callbacks: a delay-locked loop filters their jitter and follows a device
// clock that runs a little fast or slow against ours.
#include <cstdint>

namespace fw::sound {

class DeviceClock {
 public:
  explicit DeviceClock(double sampleRate);

  // A new stream: everything is learned anew from its first callback.
  void Restart();
  // At the start of each render callback: the frames rendered before it and
  // the real clock (µs) now.
  void Observe(std::int64_t frame, double now);
  // The real-clock time (µs) at which the device asks for this frame.
  double TimeOf(std::int64_t frame) const;
  // Microseconds a frame lasts by the device's clock.
  double FrameLength() const { return usPerFrame_; }

 private:
  const double nominalUsPerFrame_;
  bool started_ = false;
  std::int64_t frame_ = 0;
  double time_ = 0;
  double usPerFrame_;
  double startTime_ = 0;
};

}  // namespace fw::sound
