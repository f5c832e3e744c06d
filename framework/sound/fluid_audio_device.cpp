#include "framework/sound/fluid_audio_device.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace fw::sound {
namespace {
constexpr const char* kDrivers[] = {"pulseaudio", "alsa", "jack", "sdl2"};
constexpr const char* kTried = "tried PulseAudio, ALSA, JACK, SDL2";

void SilentAlsa(const char*, int, const char*, int, const char*, ...) {}

// The ALSA library prints its own errors while a driver probes for a card;
// our one line says all a person needs. Found at run time, since only the
// synthesiser links the library.
void QuietAlsa() {
  using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
  using SetHandler = int (*)(Handler);
  if (auto set = reinterpret_cast<SetHandler>(dlsym(RTLD_DEFAULT, "snd_lib_error_set_handler"))) {
    set(SilentAlsa);
  }
}
}  // namespace

FluidAudioDevice::FluidAudioDevice(fluid_settings_t* settings, fluid_synth_t* synth)
    : settings_(settings), synth_(synth) {}

FluidAudioDevice::~FluidAudioDevice() { Close(); }

bool FluidAudioDevice::Open(AudioStream& stream, std::string* why) {
  setenv("JACK_NO_START_SERVER", "1", 0);
  QuietAlsa();
  stream_ = &stream;
  // Each driver that fails says why; that only matters if none opens.
  KeptMessages probing;
  KeepFluidSynthMessagesOfThisThread(&probing);
  for (const char* name : kDrivers) {
    fluid_settings_setstr(settings_, "audio.driver", name);
    driver_ = new_fluid_audio_driver2(settings_, Render, this);
    if (driver_ != nullptr) break;
  }
  KeepFluidSynthMessagesOfThisThread(nullptr);
  if (driver_ != nullptr) return true;
  const std::vector<std::string> reasons = probing.Take();
  *why = reasons.empty() ? kTried : std::string(kTried) + "; " + reasons.front();
  return false;
}

void FluidAudioDevice::Close() {
  if (driver_ != nullptr) delete_fluid_audio_driver(driver_);
  driver_ = nullptr;
}

int FluidAudioDevice::Render(void* data, int frames, int nfx, float* fx[], int nout, float* out[]) {
  auto& self = *static_cast<FluidAudioDevice*>(data);
  KeepFluidSynthMessagesOfThisThread(&self.renderMessages_);
  // A driver without effect buffers gets the reverb mixed into its output.
  const int status = nfx == 0 ? fluid_synth_process(self.synth_, frames, nout, out, nout, out)
                              : fluid_synth_process(self.synth_, frames, nfx, fx, nout, out);
  float peak = 0;
  for (int channel = 0; channel < nout; ++channel) {
    for (int i = 0; i < frames; ++i) peak = std::max(peak, std::abs(out[channel][i]));
  }
  self.stream_->Rendered(frames, peak);
  return status;
}

}  // namespace fw::sound
