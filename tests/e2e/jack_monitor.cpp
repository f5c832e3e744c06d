// What a JACK server's clients play, as a sink's monitor would give it: JACK's
// dummy device has none. Every output port of another client that is not a
// device's is connected to our two inputs, left and right in turn, as soon as
// it appears (the program's client comes and goes with its stream). Their mean
// goes to stdout as 16-bit mono at the server's rate, cycle by cycle, so that
// the file's length tells how far the server has run, as parec's does.
// Runs until SIGTERM or SIGINT; exit status 1 if the server goes away.
#include <jack/jack.h>
#include <jack/ringbuffer.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <thread>

namespace {

// How often the ports are scanned and the buffer is written out; short
// against the onset bounds of the tests.
constexpr auto kTick = std::chrono::milliseconds(2);
constexpr int kBufferSeconds = 4;

jack_client_t* client = nullptr;
jack_port_t* inputs[2] = {nullptr, nullptr};
jack_ringbuffer_t* buffer = nullptr;
std::atomic<bool> portsChanged{true};  // ports that were there before us
std::atomic<bool> serverGone{false};
std::atomic<bool> overflowed{false};
volatile std::sig_atomic_t stopRequested = 0;

int Process(jack_nframes_t frames, void*) {
  const auto* left = static_cast<const float*>(jack_port_get_buffer(inputs[0], frames));
  const auto* right = static_cast<const float*>(jack_port_get_buffer(inputs[1], frames));
  if (jack_ringbuffer_write_space(buffer) < frames * sizeof(std::int16_t)) {
    overflowed = true;
    return 0;
  }
  for (jack_nframes_t i = 0; i < frames; ++i) {
    const float mean = std::clamp((left[i] + right[i]) / 2, -1.0f, 1.0f);
    const auto sample = static_cast<std::int16_t>(std::lrint(mean * 32767));
    jack_ringbuffer_write(buffer, reinterpret_cast<const char*>(&sample), sizeof sample);
  }
  return 0;
}

// True when every port to be heard is connected; a port whose client is not
// active yet refuses, and is tried again on the next tick.
bool ConnectAll() {
  const char** names = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
  bool all = true;
  int index = 0;
  for (const char** name = names; name != nullptr && *name != nullptr; ++name) {
    jack_port_t* port = jack_port_by_name(client, *name);
    if (port == nullptr || (jack_port_flags(port) & JackPortIsPhysical) != 0) continue;
    jack_port_t* input = inputs[index++ % 2];
    if (jack_port_connected_to(input, *name)) continue;
    if (jack_connect(client, *name, jack_port_name(input)) == 0) {
      std::fprintf(stderr, "jack_monitor: hears %s\n", *name);
    } else {
      all = false;
    }
  }
  jack_free(static_cast<void*>(names));
  return all;
}

bool WriteOut() {
  jack_ringbuffer_data_t parts[2];
  jack_ringbuffer_get_read_vector(buffer, parts);
  for (const jack_ringbuffer_data_t& part : parts) {
    std::size_t done = 0;
    while (done < part.len) {
      const ssize_t n = write(STDOUT_FILENO, part.buf + done, part.len - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return false;
      done += static_cast<std::size_t>(n);
    }
    jack_ringbuffer_read_advance(buffer, part.len);
  }
  return true;
}

}  // namespace

int main() {
  std::signal(SIGTERM, [](int) { stopRequested = 1; });
  std::signal(SIGINT, [](int) { stopRequested = 1; });
  std::signal(SIGPIPE, SIG_IGN);
  jack_status_t status{};
  client = jack_client_open("jack_monitor", JackNoStartServer, &status);
  if (client == nullptr) {
    std::fprintf(stderr, "jack_monitor: no JACK server (status 0x%x)\n",
                 static_cast<unsigned>(status));
    return 1;
  }
  const jack_nframes_t rate = jack_get_sample_rate(client);
  buffer = jack_ringbuffer_create(rate * kBufferSeconds * sizeof(std::int16_t));
  inputs[0] = jack_port_register(client, "left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  inputs[1] = jack_port_register(client, "right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  jack_set_process_callback(client, Process, nullptr);
  // The server must not be called from its own callbacks: the main loop connects.
  jack_set_port_registration_callback(
      client,
      [](jack_port_id_t, int registered, void*) {
        if (registered) portsChanged = true;
      },
      nullptr);
  jack_on_shutdown(
      client, [](void*) { serverGone = true; }, nullptr);
  if (buffer == nullptr || inputs[0] == nullptr || inputs[1] == nullptr ||
      jack_activate(client) != 0) {
    std::fprintf(stderr, "jack_monitor: the client did not start\n");
    return 1;
  }
  std::fprintf(stderr, "jack_monitor: %u Hz, %u frames a cycle\n", rate,
               jack_get_buffer_size(client));
  bool written = true;
  while (stopRequested == 0 && !serverGone && written) {
    if (portsChanged.exchange(false) && !ConnectAll()) portsChanged = true;
    written = WriteOut();
    std::this_thread::sleep_for(kTick);
  }
  if (!serverGone) jack_deactivate(client);
  written = written && WriteOut();
  if (overflowed) std::fprintf(stderr, "jack_monitor: stdout fell behind, cycles were lost\n");
  if (serverGone) std::fprintf(stderr, "jack_monitor: the server went away\n");
  if (!serverGone) jack_client_close(client);
  return (serverGone || overflowed || !written) ? 1 : 0;
}
