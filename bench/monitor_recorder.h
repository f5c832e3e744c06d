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

#include "bench/sample_clock.h"

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

namespace bench {

class MonitorRecorder {
 public:
  // Mono, 16 bits; `expectedSeconds` only sizes the buffer in advance. The
  // recording comes in fragments of `fragmentSeconds`, which is also the
  // latency the source is asked for; nullopt asks for nothing, as a plain
  // client does, and the server chooses both.
  MonitorRecorder(std::string source, int rate, double expectedSeconds,
                  std::optional<double> fragmentSeconds = 0.010);
  ~MonitorRecorder();
  MonitorRecorder(const MonitorRecorder&) = delete;
  MonitorRecorder& operator=(const MonitorRecorder&) = delete;

  // Connects and starts reading; false (and *error) when the server refused.
  bool Start(std::string* error);
  // Stops reading; the frames still held by the server are dropped.
  void Stop();

  // The fragment the server granted (after Start): a read follows each.
  double FragmentSeconds() const { return static_cast<double>(fragmentFrames_) / rate_; }
  // The last `count` reads so far (fewer at first).
  std::vector<ReadStamp> RecentStamps(std::size_t count) const;
  // After Stop.
  const std::vector<std::int16_t>& Samples() const { return samples_; }
  const std::vector<ReadStamp>& Stamps() const { return stamps_; }
  // Frames the server had no data for (left silent in Samples).
  std::int64_t HoleFrames() const { return holeFrames_; }
  // What went wrong while reading; empty when nothing did.
  const std::string& ReadError() const { return readError_; }

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
  bool stop_ = false;  // guarded by the main loop's lock
  std::vector<std::int16_t> samples_;
  std::int64_t holeFrames_ = 0;
  mutable std::mutex stampsMutex_;
  std::vector<ReadStamp> stamps_;
  std::string readError_;
};

}  // namespace bench
