#include "framework/sound/fluid_sink.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "framework/sound/fluid_audio_device.h"
#include "framework/sound/fluid_log.h"
#include "framework/sound/soundfont_loader.h"

namespace fw::sound {
namespace {
constexpr int kChannel = 0;
// The synthesiser's default of 0.2 leaves the piece 15 dB quieter than ordinary
// music; this puts its loudest passage near -3 dBFS, reverb and chorus included
// (bench/scripts/level.sh measures it).
constexpr double kGain = 1.05;
}  // namespace

FluidSynthSink::FluidSynthSink(std::vector<std::string> soundFonts, Output output,
                               LoadFailed loadFailed) {
  RouteFluidSynthLog();
  settings_ = new_fluid_settings();
  fluid_settings_setnum(settings_, "synth.gain", kGain);
  fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 1);
  fluid_settings_setint(settings_, "synth.cpu-cores", 1);
  fluid_settings_setint(settings_, "audio.period-size", 128);
  fluid_settings_setint(settings_, "audio.periods", 2);
  fluid_settings_setstr(settings_, "audio.pulseaudio.media-role", "music");
  synth_ = new_fluid_synth(settings_);
  loader_ = std::thread([this, soundFonts = std::move(soundFonts), loadFailed] {
    const SoundFontLoad load = LoadFirstSoundFont(synth_, soundFonts);
    const int id = load.id;
    {
      std::lock_guard lock(loadMutex_);
      soundFontId_ = id;
      loaded_ = true;
      if (id != FLUID_FAILED && heldProgram_ >= 0) {
        fluid_synth_program_change(synth_, kChannel, heldProgram_);
      }
    }
    if (id != FLUID_FAILED) return;
    if (loadFailed) {
      loadFailed(load.failure);
    } else {
      std::fprintf(stderr, "velumbra17: %s No sound.\n", load.failure.c_str());
    }
  });
  if (output == Output::AudioDevice) {
    stream_ = std::make_unique<AudioStream>(std::make_unique<FluidAudioDevice>(settings_, synth_),
                                            static_cast<int>(SampleRate()));
  }
}

bool FluidSynthSink::WaitUntilLoaded() {
  if (loader_.joinable()) loader_.join();
  return soundFontId_ != FLUID_FAILED;
}

void FluidSynthSink::Render(float* left, float* right, int frames) {
  fluid_synth_write_float(synth_, frames, left, 0, 1, right, 0, 1);
}

double FluidSynthSink::SampleRate() const {
  double rate = 0;
  fluid_settings_getnum(settings_, "synth.sample-rate", &rate);
  return rate;
}

float FluidSynthSink::RenderPeak(int frames) {
  std::vector<float> left(static_cast<std::size_t>(frames)), right(left.size());
  Render(left.data(), right.data(), frames);
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

void FluidSynthSink::FadeOut() {
  if (!stream_ || !stream_->IsOpen()) return;
  using namespace std::chrono_literals;
  // 3 dB every 2 ms down to -60 dB: no step is heard as a click.
  constexpr int kSteps = 20;
  constexpr double kStepDb = -3.0;
  constexpr auto kStepTime = 2ms;
  // Closing the stream drops what it and the server still hold: a few ms
  // here, more behind a server with a larger quantum.
  constexpr auto kDrainTime = 50ms;
  const float gain = fluid_synth_get_gain(synth_);
  double reverb = 0, chorus = 0;
  fluid_synth_get_reverb_group_level(synth_, -1, &reverb);
  fluid_synth_get_chorus_group_level(synth_, -1, &chorus);
  for (int step = 1; step <= kSteps; ++step) {
    const double factor = step == kSteps ? 0.0 : std::pow(10.0, kStepDb * step / 20.0);
    fluid_synth_set_gain(synth_, static_cast<float>(gain * factor));
    fluid_synth_set_reverb_group_level(synth_, -1, reverb * factor);
    fluid_synth_set_chorus_group_level(synth_, -1, chorus * factor);
    std::this_thread::sleep_for(kStepTime);
  }
  std::this_thread::sleep_for(kDrainTime);
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
