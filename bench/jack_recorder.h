#pragma once
// Records what a JACK server's clients play, through two input ports of our
// own that are connected to every output port of another client that is not
// a device's, as soon as it appears (the sink's client comes and goes with its
// stream). Each process cycle is stamped on the real clock from the server's
// cycle times (see jack_cycle_clock.h).
#include <jack/jack.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/jack_cycle_clock.h"
#include "bench/recording.h"

namespace bench {

class JackRecorder : public Recording {
 public:
  // At the server's rate; `expectedSeconds` sizes the buffers, which the
  // process cycle never grows: past them the recording stops, with an error.
  explicit JackRecorder(double expectedSeconds);
  ~JackRecorder() override;
  JackRecorder(const JackRecorder&) = delete;
  JackRecorder& operator=(const JackRecorder&) = delete;

  bool Start(std::string* error) override;
  void Stop() override;

  int Rate() const override { return rate_; }
  // One cycle.
  double FragmentSeconds() const override { return static_cast<double>(period_) / rate_; }
  std::vector<ReadStamp> RecentStamps(std::size_t count) const override;

 private:
  static int Process(jack_nframes_t frames, void* self);
  void Record(jack_nframes_t frames);
  // The ports of the device's playback: how long after its cycle a frame is played.
  double OutputLatencyUs() const;
  // On a thread of its own: the server must not be called from its callbacks.
  void ConnectNewPorts();
  bool ConnectAll();

  const double expectedSeconds_;
  jack_client_t* client_ = nullptr;
  jack_port_t* inputs_[2] = {nullptr, nullptr};
  int rate_ = 0;
  jack_nframes_t period_ = 0;
  JackCycleClock cycleClock_{0};

  // samples_ and stamps_ are sized at Start; the process cycle writes them,
  // and holeFrames_, then publishes how far.
  std::atomic<std::size_t> written_{0}, stamped_{0};
  std::atomic<bool> full_{false}, shutDown_{false};

  std::thread connector_;
  std::mutex connectMutex_;
  std::condition_variable portsChanged_;
  bool changed_ = false, stop_ = false;  // guarded by connectMutex_
};

}  // namespace bench
