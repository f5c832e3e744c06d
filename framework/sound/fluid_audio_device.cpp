#include "framework/sound/fluid_audio_device.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "framework/core/clock.h"
#include "framework/sound/jack_rate.h"
#include "framework/sound/library_symbol.h"
#include "framework/sound/server_rate.h"

namespace fw::sound {
namespace {
constexpr const char* kDrivers[] = {"pulseaudio", "alsa", "jack", "sdl2"};
constexpr const char* kTried = "tried PulseAudio, ALSA, JACK, SDL2";
// Drivers hand over two channels, plus two for each effect with JACK.
constexpr int kMaxBuffers = 8;
// How long a sound server may take to say its rate before the stream opens at ours.
constexpr std::chrono::milliseconds kRateQueryLimit{300};

void SilentAlsa(const char*, int, const char*, int, const char*, ...) {}

void SilentJack(const char*) {}

// The ALSA and JACK libraries print their own errors while a driver probes
// for a card or a server; our one line says all a person needs. Found at run
// time, since only the synthesiser links the libraries.
void QuietAudioLibraries() {
  using AlsaHandler = void (*)(const char*, int, const char*, int, const char*, ...);
  if (auto set = LibrarySymbol<int (*)(AlsaHandler)>("snd_lib_error_set_handler")) {
    set(SilentAlsa);
  }
  for (const char* name : {"jack_set_error_function", "jack_set_info_function"}) {
    if (auto set = LibrarySymbol<void (*)(void (*)(const char*))>(name)) set(SilentJack);
  }
}
}  // namespace

FluidAudioDevice::FluidAudioDevice(fluid_settings_t* settings, fluid_synth_t* synth,
                                   TimelineRenderer& renderer)
    : settings_(settings), synth_(synth), renderer_(renderer), gain_(fluid_synth_get_gain(synth)) {
  fluid_synth_get_reverb_group_level(synth_, -1, &reverb_);
  fluid_synth_get_chorus_group_level(synth_, -1, &chorus_);
}

FluidAudioDevice::~FluidAudioDevice() { Close(); }

bool FluidAudioDevice::OpenDriver(const char* name) {
  // The JACK driver would move the synthesiser to its server's rate behind
  // the timeline's back (and leave the setting as it was): match it first.
  // Asking costs a client of its own, a few of the server's cycles, so the
  // answer is kept while the server takes our streams.
  const bool jack = std::strcmp(name, "jack") == 0;
  if (jack) {
    if (!jackRate_) jackRate_ = JackServerRate();
    MatchRate(jackRate_);
    // JACK calls each client once a cycle from its first on.
    renderer_.FirstCallbackKeepsPace();
  }
  fluid_settings_setstr(settings_, "audio.driver", name);
  driver_ = new_fluid_audio_driver2(settings_, Callback, this);
  if (driver_ != nullptr) workingDriver_ = name;
  if (jack && driver_ == nullptr) {
    jackRate_.reset();
    renderer_.Restart();
  }
  return driver_ != nullptr;
}

void FluidAudioDevice::MatchRate(std::optional<int> server) {
  double rate = 0;
  fluid_settings_getnum(settings_, "synth.sample-rate", &rate);
  if (server && *server != static_cast<int>(rate) && *server >= 8000 && *server <= 96000) {
    rate = *server;
    fluid_settings_setnum(settings_, "synth.sample-rate", rate);
    // Safe here: no stream renders while one opens. The alternative, a new
    // synthesiser, would load the SoundFont again.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    fluid_synth_set_sample_rate(synth_, static_cast<float>(rate));
#pragma GCC diagnostic pop
  }
  renderer_.Restart(rate);
}

bool FluidAudioDevice::Open(AudioStream& stream, std::string* why, bool again) {
  setenv("JACK_NO_START_SERVER", "1", 0);
  QuietAudioLibraries();
  stream_ = &stream;
  // PulseAudio's server is asked its rate here, JACK's as its driver opens;
  // a quiet retry keeps the output that worked.
  const bool retryingOther = again && !workingDriver_.empty() && workingDriver_ != kDrivers[0];
  if (retryingOther) {
    renderer_.Restart();
  } else {
    MatchRate(DefaultSinkRate(kRateQueryLimit));
  }
  // Each driver that fails says why; that only matters if none opens.
  KeptMessages probing;
  KeepFluidSynthMessagesOfThisThread(&probing);
  if (again && !workingDriver_.empty()) {
    OpenDriver(workingDriver_.c_str());
  } else {
    for (const char* name : kDrivers) {
      if (OpenDriver(name)) break;
    }
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

int FluidAudioDevice::Callback(void* data, int frames, int nfx, float* fx[], int nout,
                               float* out[]) {
  auto& self = *static_cast<FluidAudioDevice*>(data);
  KeepFluidSynthMessagesOfThisThread(&self.renderMessages_);
  if (nout + nfx > kMaxBuffers) return FLUID_FAILED;
  // The synthesiser mixes into what it is given.
  for (int i = 0; i < nout; ++i) std::memset(out[i], 0, sizeof(float) * frames);
  for (int i = 0; i < nfx; ++i) std::memset(fx[i], 0, sizeof(float) * frames);
  self.nfx_ = nfx;
  self.fx_ = fx;
  self.nout_ = nout;
  self.out_ = out;
  const float peak = self.renderer_.Render(self, frames, clock::RealNow());
  self.renderer_.Finished(clock::RealNow());
  self.stream_->Rendered(frames, peak);
  return FLUID_OK;
}

void FluidAudioDevice::Apply(const TimedNote& note) {
  if (note.kind == TimedNote::Kind::On) {
    fluid_synth_noteon(synth_, kMusicChannel, note.note, note.velocity);
  } else {
    fluid_synth_noteoff(synth_, kMusicChannel, note.note);
  }
}

void FluidAudioDevice::SetLevel(double level) {
  fluid_synth_set_gain(synth_, static_cast<float>(gain_ * level));
  fluid_synth_set_reverb_group_level(synth_, -1, reverb_ * level);
  fluid_synth_set_chorus_group_level(synth_, -1, chorus_ * level);
}

float FluidAudioDevice::Render(int offset, int frames) {
  float* out[kMaxBuffers];
  float* fx[kMaxBuffers];
  for (int i = 0; i < nout_; ++i) out[i] = out_[i] + offset;
  for (int i = 0; i < nfx_; ++i) fx[i] = fx_[i] + offset;
  // A driver without effect buffers gets the reverb mixed into its output.
  if (nfx_ == 0) {
    fluid_synth_process(synth_, frames, nout_, out, nout_, out);
  } else {
    fluid_synth_process(synth_, frames, nfx_, fx, nout_, out);
  }
  float peak = 0;
  for (int channel = 0; channel < nout_; ++channel) {
    for (int i = 0; i < frames; ++i) peak = std::max(peak, std::abs(out[channel][i]));
  }
  return peak;
}

}  // namespace fw::sound
