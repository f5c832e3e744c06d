#include "bench/monitor_recorder.h"

#include <pulse/pulseaudio.h>

#include <cstring>

#include "framework/core/clock.h"

namespace bench {
namespace {

void Wake(pa_threaded_mainloop* mainloop) { pa_threaded_mainloop_signal(mainloop, 0); }

}  // namespace

MonitorRecorder::MonitorRecorder(std::string source, int rate, double expectedSeconds,
                                 std::optional<double> fragmentSeconds)
    : source_(std::move(source)), rate_(rate), askedFragment_(fragmentSeconds) {
  samples_.reserve(static_cast<std::size_t>(expectedSeconds * rate));
  stamps_.reserve(static_cast<std::size_t>(expectedSeconds / fragmentSeconds.value_or(0.1)) + 16);
}

MonitorRecorder::~MonitorRecorder() { Stop(); }

bool MonitorRecorder::Start(std::string* error) {
  mainloop_ = pa_threaded_mainloop_new();
  context_ = pa_context_new(pa_threaded_mainloop_get_api(mainloop_), "onset_timing");
  auto wake = [](auto*, void* mainloop) { Wake(static_cast<pa_threaded_mainloop*>(mainloop)); };
  pa_context_set_state_callback(context_, wake, mainloop_);
  pa_threaded_mainloop_lock(mainloop_);
  pa_threaded_mainloop_start(mainloop_);
  auto fail = [&](const std::string& what) {
    *error = what + ": " + pa_strerror(pa_context_errno(context_));
    pa_threaded_mainloop_unlock(mainloop_);
    Disconnect();
    return false;
  };
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) {
    return fail("no sound server");
  }
  for (;;) {
    const pa_context_state_t state = pa_context_get_state(context_);
    if (state == PA_CONTEXT_READY) break;
    if (!PA_CONTEXT_IS_GOOD(state)) return fail("no sound server");
    pa_threaded_mainloop_wait(mainloop_);
  }
  const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<std::uint32_t>(rate_), 1};
  stream_ = pa_stream_new(context_, "onset recording", &spec, nullptr);
  pa_stream_set_state_callback(stream_, wake, mainloop_);
  pa_stream_set_read_callback(
      stream_,
      [](pa_stream*, std::size_t, void* mainloop) {
        Wake(static_cast<pa_threaded_mainloop*>(mainloop));
      },
      mainloop_);
  const auto unset = static_cast<std::uint32_t>(-1);
  const std::uint32_t fragment =
      askedFragment_ ? static_cast<std::uint32_t>(*askedFragment_ * rate_) * 2 : unset;
  const pa_buffer_attr attributes{unset, unset, unset, unset, fragment};
  // Asking for a latency makes the monitor's sink render no further ahead
  // than that; a plain client leaves the sink its own.
  const auto flags = static_cast<pa_stream_flags_t>(
      PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
      (askedFragment_ ? PA_STREAM_ADJUST_LATENCY : PA_STREAM_NOFLAGS));
  if (pa_stream_connect_record(stream_, source_.c_str(), &attributes, flags) < 0) {
    return fail(source_);
  }
  for (;;) {
    const pa_stream_state_t state = pa_stream_get_state(stream_);
    if (state == PA_STREAM_READY) break;
    if (!PA_STREAM_IS_GOOD(state)) return fail(source_);
    pa_threaded_mainloop_wait(mainloop_);
  }
  const pa_buffer_attr* granted = pa_stream_get_buffer_attr(stream_);
  fragmentFrames_ = granted != nullptr ? granted->fragsize / sizeof(std::int16_t)
                                       : static_cast<std::size_t>(fragment / 2);
  pa_threaded_mainloop_unlock(mainloop_);
  reader_ = std::thread([this] { Run(); });
  return true;
}

void MonitorRecorder::Run() {
  std::size_t sinceStamp = 0;
  pa_threaded_mainloop_lock(mainloop_);
  while (!stop_) {
    const void* data = nullptr;
    std::size_t bytes = 0;
    if (pa_stream_readable_size(stream_) == 0 || pa_stream_peek(stream_, &data, &bytes) < 0 ||
        bytes == 0) {
      if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
        readError_ = std::string("read: ") + pa_strerror(pa_context_errno(context_));
        break;
      }
      pa_threaded_mainloop_wait(mainloop_);
      continue;
    }
    const std::size_t frames = bytes / sizeof(std::int16_t);
    const std::size_t at = samples_.size();
    samples_.resize(at + frames);  // a hole (no data) stays silent
    if (data != nullptr) {
      std::memcpy(samples_.data() + at, data, frames * sizeof(std::int16_t));
    } else {
      holeFrames_ += static_cast<std::int64_t>(frames);
    }
    pa_stream_drop(stream_);
    sinceStamp += frames;
    if (sinceStamp >= fragmentFrames_) {
      sinceStamp = 0;
      Stamp();
    }
  }
  pa_threaded_mainloop_unlock(mainloop_);
}

void MonitorRecorder::Stamp() {
  // The library extrapolates the latency between its own updates (up to
  // 1.5 s apart), which strays by a millisecond; a fresh one does not.
  struct Update {
    pa_threaded_mainloop* mainloop;
    bool done = false;
  } update{mainloop_};
  pa_operation* asked = pa_stream_update_timing_info(
      stream_,
      [](pa_stream*, int, void* data) {
        auto* pending = static_cast<Update*>(data);
        pending->done = true;
        Wake(pending->mainloop);
      },
      &update);
  while (asked != nullptr && !update.done && !stop_) pa_threaded_mainloop_wait(mainloop_);
  if (asked != nullptr) {
    pa_operation_cancel(asked);  // the callback must not outlive `update`
    pa_operation_unref(asked);
  }
  pa_usec_t magnitude = 0;
  int negative = 0;
  const double before = fw::clock::RealNow();
  const bool known = pa_stream_get_latency(stream_, &magnitude, &negative) == 0;
  const double after = fw::clock::RealNow();
  const double latency =
      negative ? -static_cast<double>(magnitude) : static_cast<double>(magnitude);
  std::lock_guard lock(stampsMutex_);
  stamps_.push_back({static_cast<std::int64_t>(samples_.size()), (before + after) / 2, latency,
                     known && update.done && after - before <= kLongestReadingUs});
}

std::vector<ReadStamp> MonitorRecorder::RecentStamps(std::size_t count) const {
  std::lock_guard lock(stampsMutex_);
  const std::size_t from = stamps_.size() > count ? stamps_.size() - count : 0;
  return {stamps_.begin() + static_cast<std::ptrdiff_t>(from), stamps_.end()};
}

void MonitorRecorder::Stop() {
  if (mainloop_ == nullptr) return;
  pa_threaded_mainloop_lock(mainloop_);
  stop_ = true;
  Wake(mainloop_);
  pa_threaded_mainloop_unlock(mainloop_);
  if (reader_.joinable()) reader_.join();
  Disconnect();
}

void MonitorRecorder::Disconnect() {
  pa_threaded_mainloop_lock(mainloop_);
  if (stream_ != nullptr) {
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
  }
  pa_context_disconnect(context_);
  pa_context_unref(context_);
  context_ = nullptr;
  pa_threaded_mainloop_unlock(mainloop_);
  pa_threaded_mainloop_stop(mainloop_);
  pa_threaded_mainloop_free(mainloop_);
  mainloop_ = nullptr;
}

}  // namespace bench
