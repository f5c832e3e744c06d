#pragma once
// FluidSynth's audio drivers as the stream's device: the first of PulseAudio
// (which PipeWire serves too), ALSA, JACK and SDL2 that opens.
#include <fluidsynth.h>

#include "framework/sound/audio_stream.h"
#include "framework/sound/fluid_log.h"

namespace fw::sound {

class FluidAudioDevice : public AudioDevice {
 public:
  // The settings must be the synthesiser's own.
  FluidAudioDevice(fluid_settings_t* settings, fluid_synth_t* synth);
  ~FluidAudioDevice() override;
  FluidAudioDevice(const FluidAudioDevice&) = delete;
  FluidAudioDevice& operator=(const FluidAudioDevice&) = delete;

  bool Open(AudioStream& stream, std::string* why) override;
  void Close() override;
  std::vector<std::string> TakeMessages() override { return renderMessages_.Take(); }

 private:
  static int Render(void* data, int frames, int nfx, float* fx[], int nout, float* out[]);

  fluid_settings_t* settings_;
  fluid_synth_t* synth_;
  fluid_audio_driver_t* driver_ = nullptr;
  AudioStream* stream_ = nullptr;
  KeptMessages renderMessages_;
};

}  // namespace fw::sound
