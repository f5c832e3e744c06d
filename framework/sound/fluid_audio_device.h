#pragma once
// FluidSynth's audio drivers as the stream's device: the first of PulseAudio
// (which PipeWire serves too), ALSA, JACK and SDL2 that opens. Each callback
// is rendered block by block with the notes placed on the timeline.
#include <fluidsynth.h>

#include <optional>
#include <string>

#include "framework/sound/audio_stream.h"
#include "framework/sound/fluid_log.h"
#include "framework/sound/timeline_renderer.h"

namespace fw::sound {

// The one MIDI channel everything plays on: the sink sets its program there
// and the device starts the notes there.
inline constexpr int kMusicChannel = 0;

class FluidAudioDevice : public AudioDevice, private BlockSynth {
 public:
  // The settings must be the synthesiser's own.
  FluidAudioDevice(fluid_settings_t* settings, fluid_synth_t* synth, TimelineRenderer& renderer);
  ~FluidAudioDevice() override;
  FluidAudioDevice(const FluidAudioDevice&) = delete;
  FluidAudioDevice& operator=(const FluidAudioDevice&) = delete;

  bool Open(AudioStream& stream, std::string* why, bool again) override;
  void Close() override;
  std::vector<std::string> TakeMessages() override { return renderMessages_.Take(); }
  double SampleRate() const override { return renderer_.SampleRate(); }
  // A JACK server restarted may run at another rate: ask again.
  void Lost() override { jackRate_.reset(); }

 private:
  static int Callback(void* data, int frames, int nfx, float* fx[], int nout, float* out[]);
  bool OpenDriver(const char* name);
  // Renders at the sound server's rate, if it said one, from the next stream on.
  void MatchRate(std::optional<int> server);
  void Apply(const TimedNote& note) override;
  void SetLevel(double level) override;
  float Render(int offset, int frames) override;

  fluid_settings_t* settings_;
  fluid_synth_t* synth_;
  TimelineRenderer& renderer_;
  fluid_audio_driver_t* driver_ = nullptr;
  std::string workingDriver_;
  // The JACK server's rate, once asked.
  std::optional<int> jackRate_;
  AudioStream* stream_ = nullptr;
  KeptMessages renderMessages_;
  // The levels a fade scales down.
  float gain_;
  double reverb_ = 0;
  double chorus_ = 0;
  // The callback's buffers, while it runs.
  int nfx_ = 0;
  float** fx_ = nullptr;
  int nout_ = 0;
  float** out_ = nullptr;
};

}  // namespace fw::sound
