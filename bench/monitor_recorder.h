#pragma once
// Records a sound server's source (a sink's monitor) on a thread of its own,
// noting after each fragment how many frames it had, when, and the stream's
// latency from a fresh timing update, so that every frame can be put on the
// real clock (see sample_clock.h).
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/recording.h"
#include "bench/sample_clock.h"

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

namespace bench {

class MonitorRecorder : public Recording {
 public:
  // Mono, 16 bits; `expectedSeconds` only sizes the buffer in advance. The
  // recording comes in fragments of `fragmentSeconds`, which is also the
  // latency the source is asked for; nullopt asks for nothing, as a plain
  // client does, and the server chooses both.
  MonitorRecorder(std::string source, int rate, double expectedSeconds,
                  std::optional<double> fragmentSeconds = 0.010);
  ~MonitorRecorder() override;
  MonitorRecorder(const MonitorRecorder&) = delete;
  MonitorRecorder& operator=(const MonitorRecorder&) = delete;

  bool Start(std::string* error) override;
  void Stop() override;

  // At the rate asked for: the server converts.
  int Rate() const override { return rate_; }
  // The fragment the server granted.
  double FragmentSeconds() const override { return static_cast<double>(fragmentFrames_) / rate_; }
  std::vector<ReadStamp> RecentStamps(std::size_t count) const override;

 private:
  void Run();
  // With the main loop locked: waits for a fresh timing update, then notes the latency.
  void Stamp();
  void Disconnect();

  const std::string source_;
  const int rate_;
  const std::optional<double> askedFragment_;
  std::size_t fragmentFrames_ = 0;
  pa_threaded_mainloop* mainloop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::thread reader_;
  bool stop_ = false;               // guarded by the main loop's lock
  mutable std::mutex stampsMutex_;  // over stamps_
};

}  // namespace bench
