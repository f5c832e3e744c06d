#pragma once
// A stand-in output for the sink: its render thread calls back at a steady
// pace of real time, as a device that plays does, after a first callback
// and a pause if asked (a device slow to begin, or one that takes no data
// until released). It keeps each callback's moment and the frame at which
// each note was applied, so that a test can judge where a note landed by
// the stand-in's own pace rather than by a time budget.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/core/clock.h"
#include "framework/sound/audio_stream.h"
#include "framework/sound/timeline_renderer.h"

namespace testing_support {

// Shared by the test and the stand-in, which the sink owns (and may outlive
// the test with, should closing it ever take too long). One stream's worth.
class StandInLog {
 public:
  struct Callback {
    double at;     // real clock, µs
    double meant;  // when the pace asked for it
    std::int64_t firstFrame;
  };
  struct Applied {
    fw::sound::TimedNote note;
    std::int64_t frame;
  };

  // Set before the stream opens.
  double sampleRate = 44100;
  int periodFrames = 1024;
  bool answers = true;
  std::chrono::milliseconds pauseAfterFirst{0};
  // Every other callback comes this share of a period early: the device
  // takes data at its rate on average, at a pace no pair of takes shows.
  double earlyShare = 0;

  double PeriodUs() const { return 1e6 * periodFrames / sampleRate; }
  // Ends the pause after the first callback now.
  void Release() {
    {
      std::lock_guard lock(mutex_);
      released_ = true;
    }
    changed_.notify_all();
  }
  int Opens() const {
    std::lock_guard lock(mutex_);
    return opens_;
  }
  std::vector<Callback> Callbacks() const {
    std::lock_guard lock(mutex_);
    return callbacks_;
  }
  std::vector<Applied> Notes() const {
    std::lock_guard lock(mutex_);
    return applied_;
  }
  std::size_t NoteOns() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(
        applied_.begin(), applied_.end(),
        [](const Applied& a) { return a.note.kind == fw::sound::TimedNote::Kind::On; }));
  }
  // When the stand-in's pace asks for this frame: from the first paced callback on.
  double MeantFor(std::int64_t frame) const {
    std::lock_guard lock(mutex_);
    const Callback& first = callbacks_.at(pacedFrom_);
    return first.meant + static_cast<double>(frame - first.firstFrame) * 1e6 / sampleRate;
  }
  // The first frame rendered silent by a fade; negative before.
  std::int64_t SilentFrom() const {
    std::lock_guard lock(mutex_);
    return silentFrom_;
  }
  // The most a paced callback came after its moment.
  double WorstLateness() const {
    std::lock_guard lock(mutex_);
    double worst = 0;
    for (std::size_t k = pacedFrom_; k < callbacks_.size(); ++k) {
      worst = std::max(worst, callbacks_[k].at - callbacks_[k].meant);
    }
    return worst;
  }

 private:
  friend class PacedStandIn;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool released_ = false;
  bool stopping_ = false;
  int opens_ = 0;
  std::size_t pacedFrom_ = 0;
  std::int64_t silentFrom_ = -1;
  std::vector<Callback> callbacks_;
  std::vector<Applied> applied_;
};

class PacedStandIn : public fw::sound::AudioDevice, private fw::sound::BlockSynth {
 public:
  PacedStandIn(fw::sound::TimelineRenderer& renderer, std::shared_ptr<StandInLog> log)
      : renderer_(renderer), log_(std::move(log)) {}
  ~PacedStandIn() override { Close(); }

  bool Open(fw::sound::AudioStream& stream, std::string* why, bool /*again*/) override {
    {
      std::lock_guard lock(log_->mutex_);
      ++log_->opens_;
    }
    if (!log_->answers) {
      *why = "the stand-in does not answer";
      return false;
    }
    // As the real device does: a new stream at the server's rate, learned anew.
    renderer_.Restart(log_->sampleRate);
    frames_ = 0;
    {
      std::lock_guard lock(log_->mutex_);
      log_->stopping_ = false;
    }
    render_ = std::thread([this, &stream] { Run(stream); });
    return true;
  }

  void Close() override {
    if (!render_.joinable()) return;
    {
      std::lock_guard lock(log_->mutex_);
      log_->stopping_ = true;
    }
    log_->changed_.notify_all();
    render_.join();
  }

  std::vector<std::string> TakeMessages() override { return {}; }
  double SampleRate() const override { return log_->sampleRate; }

 private:
  void Run(fw::sound::AudioStream& stream) {
    const double period = log_->PeriodUs();
    double start = fw::clock::RealNow();
    Call(stream, start);
    if (log_->pauseAfterFirst.count() > 0) {
      const double pause = 1e3 * static_cast<double>(log_->pauseAfterFirst.count());
      if (!WaitUntil(start + pause, true)) return;
      start = fw::clock::RealNow();
      std::lock_guard lock(log_->mutex_);
      log_->pacedFrom_ = log_->callbacks_.size();
    } else {
      start += period;
    }
    for (std::int64_t k = 0;; ++k) {
      const double meant = start + static_cast<double>(k) * period -
                           static_cast<double>(k % 2) * log_->earlyShare * period;
      if (!WaitUntil(meant)) return;
      Call(stream, meant);
    }
  }

  // False once closing. A pause also ends when released.
  bool WaitUntil(double moment, bool pause = false) {
    const auto wait = std::chrono::duration<double, std::micro>(moment - fw::clock::RealNow());
    std::unique_lock lock(log_->mutex_);
    log_->changed_.wait_for(lock, wait,
                            [&] { return log_->stopping_ || (pause && log_->released_); });
    if (log_->stopping_) return false;
    if (pause && log_->released_) return true;
    lock.unlock();
    // The wait may round a little short of the moment.
    while (fw::clock::RealNow() < moment) std::this_thread::yield();
    return true;
  }

  void Call(fw::sound::AudioStream& stream, double meant) {
    const double now = fw::clock::RealNow();
    {
      std::lock_guard lock(log_->mutex_);
      log_->callbacks_.push_back({now, meant, frames_});
    }
    const float peak = renderer_.Render(*this, log_->periodFrames, now);
    renderer_.Finished(fw::clock::RealNow());
    stream.Rendered(log_->periodFrames, peak);
  }

  void Apply(const fw::sound::TimedNote& note) override {
    std::lock_guard lock(log_->mutex_);
    log_->applied_.push_back({note, frames_});
  }
  void SetLevel(double level) override {
    std::lock_guard lock(log_->mutex_);
    if (level == 0 && log_->silentFrom_ < 0) log_->silentFrom_ = frames_;
  }
  float Render(int /*offset*/, int frames) override {
    frames_ += frames;
    return 0;
  }

  fw::sound::TimelineRenderer& renderer_;
  std::shared_ptr<StandInLog> log_;
  std::thread render_;
  std::int64_t frames_ = 0;
};

}  // namespace testing_support
