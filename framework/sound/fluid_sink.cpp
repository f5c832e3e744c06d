#include "framework/sound/fluid_sink.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "framework/sound/fluid_audio_device.h"
#include "framework/sound/fluid_log.h"

namespace fw::sound {
namespace {
constexpr int kChannel = 0;
}  // namespace

FluidSynthSink::FluidSynthSink(const std::string& soundFont, Output output) {
  RouteFluidSynthLog();
  settings_ = new_fluid_settings();
  fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 1);
  fluid_settings_setint(settings_, "synth.cpu-cores", 1);
  fluid_settings_setint(settings_, "audio.period-size", 128);
  fluid_settings_setint(settings_, "audio.periods", 2);
  fluid_settings_setstr(settings_, "audio.pulseaudio.media-role", "music");
  synth_ = new_fluid_synth(settings_);
  loader_ = std::thread([this, soundFont] {
    const int id = fluid_synth_sfload(synth_, soundFont.c_str(), 1);
    {
      std::lock_guard lock(loadMutex_);
      soundFontId_ = id;
      loaded_ = true;
      if (id != FLUID_FAILED && heldProgram_ >= 0) {
        fluid_synth_program_change(synth_, kChannel, heldProgram_);
      }
    }
    if (id == FLUID_FAILED) {
      std::fprintf(stderr, "velumbra17: the SoundFont %s could not be loaded; no sound\n",
                   soundFont.c_str());
    }
  });
  if (output == Output::AudioDevice) {
    double sampleRate = 44100;
    fluid_settings_getnum(settings_, "synth.sample-rate", &sampleRate);
    stream_ = std::make_unique<AudioStream>(std::make_unique<FluidAudioDevice>(settings_, synth_),
                                            static_cast<int>(sampleRate));
  }
}

bool FluidSynthSink::WaitUntilLoaded() {
  if (loader_.joinable()) loader_.join();
  return soundFontId_ != FLUID_FAILED;
}

float FluidSynthSink::RenderPeak(int frames) {
  std::vector<float> left(static_cast<std::size_t>(frames)), right(left.size());
  fluid_synth_write_float(synth_, frames, left.data(), 0, 1, right.data(), 0, 1);
  float peak = 0;
  for (std::size_t i = 0; i < left.size(); ++i) {
    peak = std::max({peak, std::abs(left[i]), std::abs(right[i])});
  }
  return peak;
}

FluidSynthSink::~FluidSynthSink() {
  if (loader_.joinable()) loader_.join();
  stream_.reset();  // the stream renders the synthesiser, so it goes first
  delete_fluid_synth(synth_);
  delete_fluid_settings(settings_);
}

void FluidSynthSink::NoteOn(int note, int velocity) {
  fluid_synth_noteon(synth_, kChannel, note, velocity);
  if (stream_) stream_->NoteStarted();
}

void FluidSynthSink::Prepare() {
  if (stream_) stream_->Prepare();
}

void FluidSynthSink::NoteOff(int note) { fluid_synth_noteoff(synth_, kChannel, note); }

void FluidSynthSink::ProgramChange(int program) {
  {
    // Without its presets the synthesiser would only warn; the load applies it.
    std::lock_guard lock(loadMutex_);
    if (!loaded_) {
      heldProgram_ = program;
      return;
    }
  }
  fluid_synth_program_change(synth_, kChannel, program);
}

}  // namespace fw::sound
