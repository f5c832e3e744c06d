#pragma once
// Notes to FluidSynth, sent at once, and out through the first audio driver
// that works.
#include <fluidsynth.h>

#include <memory>
#include <string>
#include <thread>

#include "framework/core/note_player.h"

namespace fw::sound {

class FluidSynthSink : public NoteSink {
 public:
  enum class Output { AudioDevice, None };
  // Loads the SoundFont on a thread of its own so that the window is not kept waiting.
  explicit FluidSynthSink(const std::string& soundFont, Output output = Output::AudioDevice);
  ~FluidSynthSink() override;
  FluidSynthSink(const FluidSynthSink&) = delete;
  FluidSynthSink& operator=(const FluidSynthSink&) = delete;

  void NoteOn(int note, int velocity) override;
  void NoteOff(int note) override;
  void ProgramChange(int program) override;
  // Lowers everything, the reverb's tail too, to silence over a few tens of
  // milliseconds and waits until that silence has reached the sound server.
  // The sink stays silent afterwards.
  void FadeOut() override;

  bool HasAudio() const { return driver_ != nullptr; }
  // Waits until the SoundFont has loaded; false when it failed to load.
  bool WaitUntilLoaded();
  // Renders frames of output without an audio device; returns the peak level.
  float RenderPeak(int frames);
  // Renders frames of output without an audio device, one channel into each buffer.
  void Render(float* left, float* right, int frames);
  double SampleRate() const;

 private:
  void StartAudio();

  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  fluid_audio_driver_t* driver_ = nullptr;
  std::thread loader_;
  int soundFontId_ = FLUID_FAILED;
};

}  // namespace fw::sound
