#include "bench/jack_recorder.h"

#include <chrono>
#include <cstdio>

#include "framework/core/clock.h"

namespace bench {
namespace {

// A port that is there but not yet connectable (its client is not active
// yet) is tried again this often.
constexpr auto kRetry = std::chrono::milliseconds(1);

struct Ports {
  const char** names;
  explicit Ports(const char** list) : names(list) {}
  ~Ports() { jack_free(static_cast<void*>(names)); }
  Ports(const Ports&) = delete;
  Ports& operator=(const Ports&) = delete;
};

}  // namespace

JackRecorder::JackRecorder(double expectedSeconds) : expectedSeconds_(expectedSeconds) {}

JackRecorder::~JackRecorder() { Stop(); }

bool JackRecorder::Start(std::string* error) {
  jack_status_t status{};
  client_ = jack_client_open("onset_timing", JackNoStartServer, &status);
  if (client_ == nullptr) {
    *error = "no JACK server (status " + std::to_string(static_cast<int>(status)) + ")";
    return false;
  }
  rate_ = static_cast<int>(jack_get_sample_rate(client_));
  period_ = jack_get_buffer_size(client_);
  for (int i = 0; i < 2; ++i) {
    inputs_[i] = jack_port_register(client_, i == 0 ? "in_1" : "in_2", JACK_DEFAULT_AUDIO_TYPE,
                                    JackPortIsInput, 0);
  }
  const auto frames = static_cast<std::size_t>(expectedSeconds_ * rate_);
  samples_.assign(frames, 0);
  stamps_.resize(frames / period_ + 16);
  cycleClock_ = JackCycleClock(OutputLatencyUs());
  jack_set_process_callback(client_, Process, this);
  jack_set_port_registration_callback(
      client_,
      [](jack_port_id_t, int registered, void* data) {
        auto& self = *static_cast<JackRecorder*>(data);
        if (!registered) return;
        std::lock_guard lock(self.connectMutex_);
        self.changed_ = true;
        self.portsChanged_.notify_one();
      },
      this);
  jack_on_shutdown(
      client_, [](void* data) { static_cast<JackRecorder*>(data)->shutDown_ = true; }, this);
  if (inputs_[0] == nullptr || inputs_[1] == nullptr || jack_activate(client_) != 0) {
    *error = "the JACK client did not start";
    jack_client_close(client_);
    client_ = nullptr;
    return false;
  }
  std::fprintf(stderr,
               "onset_timing: JACK at %d Hz, %u frames a cycle; a frame plays %.0f µs after "
               "its cycle starts\n",
               rate_, period_, OutputLatencyUs());
  connector_ = std::thread([this] { ConnectNewPorts(); });
  return true;
}

double JackRecorder::OutputLatencyUs() const {
  const Ports playback(jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                      JackPortIsPhysical | JackPortIsInput));
  jack_nframes_t most = 0;
  for (const char** name = playback.names; name != nullptr && *name != nullptr; ++name) {
    jack_latency_range_t range{};
    jack_port_get_latency_range(jack_port_by_name(client_, *name), JackPlaybackLatency, &range);
    most = std::max(most, range.max);
  }
  return 1e6 * most / rate_;
}

int JackRecorder::Process(jack_nframes_t frames, void* self) {
  static_cast<JackRecorder*>(self)->Record(frames);
  return 0;
}

void JackRecorder::Record(jack_nframes_t frames) {
  if (full_.load(std::memory_order_relaxed)) return;
  JackCycle cycle;
  jack_nframes_t current = 0;
  jack_time_t start = 0, next = 0;
  float periodUs = 0;
  cycle.timesKnown = jack_get_cycle_times(client_, &current, &start, &next, &periodUs) == 0;
  cycle.deviceFrame = cycle.timesKnown ? current : jack_last_frame_time(client_);
  cycle.cycleStart = static_cast<double>(start);
  cycle.realBefore = fw::clock::RealNow();
  cycle.serverNow = static_cast<double>(jack_get_time());
  cycle.realAfter = fw::clock::RealNow();

  const std::size_t recorded = written_.load(std::memory_order_relaxed);
  const JackCycleClock::Placed placed =
      cycleClock_.Place(cycle, static_cast<std::int64_t>(recorded));
  const std::size_t at = recorded + static_cast<std::size_t>(placed.hole);
  const std::size_t stamp = stamped_.load(std::memory_order_relaxed);
  if (at + frames > samples_.size() || stamp >= stamps_.size()) {
    full_ = true;
    return;
  }
  const auto* left = static_cast<const float*>(jack_port_get_buffer(inputs_[0], frames));
  const auto* right = static_cast<const float*>(jack_port_get_buffer(inputs_[1], frames));
  for (jack_nframes_t i = 0; i < frames; ++i) samples_[at + i] = MonoSample(left[i], right[i]);
  holeFrames_ += placed.hole;  // the hole is already silent: the buffer starts zeroed
  written_.store(at + frames, std::memory_order_release);
  stamps_[stamp] = placed.stamp;
  stamped_.store(stamp + 1, std::memory_order_release);
}

void JackRecorder::ConnectNewPorts() {
  std::unique_lock lock(connectMutex_);
  bool pending = true;  // ports that were there before us
  while (!stop_) {
    if (pending || changed_) {
      changed_ = false;
      lock.unlock();
      pending = !ConnectAll();
      lock.lock();
    }
    if (pending) {
      portsChanged_.wait_for(lock, kRetry);
    } else {
      portsChanged_.wait(lock, [this] { return changed_ || stop_; });
    }
  }
}

// Each client's output ports in turn to our two inputs, as left and right;
// true when none is left unconnected.
bool JackRecorder::ConnectAll() {
  const Ports outputs(jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput));
  bool all = true;
  std::size_t index = 0;
  for (const char** name = outputs.names; name != nullptr && *name != nullptr; ++name) {
    jack_port_t* port = jack_port_by_name(client_, *name);
    if (port == nullptr || jack_port_is_mine(client_, port) ||
        (jack_port_flags(port) & JackPortIsPhysical) != 0) {
      continue;
    }
    jack_port_t* input = inputs_[index++ % 2];
    if (jack_port_connected_to(input, *name)) continue;
    if (jack_connect(client_, *name, jack_port_name(input)) != 0) all = false;
  }
  return all;
}

std::vector<ReadStamp> JackRecorder::RecentStamps(std::size_t count) const {
  const std::size_t end = stamped_.load(std::memory_order_acquire);
  const std::size_t from = end > count ? end - count : 0;
  return {stamps_.begin() + static_cast<std::ptrdiff_t>(from),
          stamps_.begin() + static_cast<std::ptrdiff_t>(end)};
}

void JackRecorder::Stop() {
  if (client_ == nullptr) return;
  jack_deactivate(client_);
  {
    std::lock_guard lock(connectMutex_);
    stop_ = true;
    portsChanged_.notify_one();
  }
  if (connector_.joinable()) connector_.join();
  jack_client_close(client_);
  client_ = nullptr;
  samples_.resize(written_.load());
  stamps_.resize(stamped_.load());
  if (full_) readError_ = "the recording outgrew its buffer";
  if (shutDown_) readError_ = "the JACK server went away";
}

}  // namespace bench
