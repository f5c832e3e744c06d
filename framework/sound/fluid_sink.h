#pragma once
// Notes to FluidSynth, each placed on the audio timeline at its call time
// plus one constant delay, and out through an audio stream that is open only
// while something can sound. Without an audio device, notes go in at once.
#include <fluidsynth.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/core/note_player.h"
#include "framework/sound/audio_stream.h"
#include "framework/sound/note_delay.h"
#include "framework/sound/note_timeline.h"
#include "framework/sound/timeline_renderer.h"

namespace fw::sound {

class FluidSynthSink : public NoteSink {
 public:
  enum class Output { AudioDevice, None };
  using LoadFailed = std::function<void(const std::string& why)>;
  // Loads the first of the SoundFonts that loads, on a thread of its own so
  // that the window is not kept waiting. When none does, that thread calls
  // loadFailed (by default, says so on stderr).
  FluidSynthSink(std::vector<std::string> soundFonts, Output output, LoadFailed loadFailed = {});
  explicit FluidSynthSink(const std::string& soundFont, Output output = Output::AudioDevice)
      : FluidSynthSink(std::vector<std::string>{soundFont}, output) {}
  // The output the stream opens, in place of the audio drivers (tests).
  using MakeDevice = std::function<std::unique_ptr<AudioDevice>(TimelineRenderer& renderer)>;
  FluidSynthSink(const std::string& soundFont, MakeDevice makeDevice, StreamTiming timing = {});
  ~FluidSynthSink() override;
  FluidSynthSink(const FluidSynthSink&) = delete;
  FluidSynthSink& operator=(const FluidSynthSink&) = delete;

  void NoteOn(int note, int velocity) override;
  void NoteOff(int note) override;
  void ProgramChange(int program) override;
  void Prepare() override;
  void Anticipate() override;
  bool AwaitOutput(std::chrono::milliseconds limit,
                   const std::function<bool()>& cancelled = {}) override;
  void DropPending() override;
  // Lowers everything, the reverb's tail too, to silence over a few tens of
  // milliseconds and waits until that silence has reached the sound server.
  // The sink stays silent afterwards.
  void FadeOut() override;

  // A note is stamped this long after its call (µs): a period, or the
  // stream's longest callback, at the stream's rate, and room for the line to
  // move a little earlier. The device's buffer and takes come on top.
  double Delay() const;
  // Notes that reached the timeline after their block had been rendered.
  std::int64_t LateNotes() const { return renderer_ ? renderer_->LateNotes() : 0; }
  // Note-ons dropped because they came too late to be played in time.
  std::int64_t DroppedNotes() const { return timeline_->Dropped(); }
  // True when the last attempt to open the audio stream found a device.
  bool HasAudio() const { return stream_ && stream_->Answered(); }
  bool StreamOpen() const { return stream_ && stream_->IsOpen(); }
  // Real clock (µs) when the audio stream last opened; negative before that.
  double StreamOpenedAt() const { return stream_ ? stream_->OpenedAt() : -1; }
  // Waits until the SoundFont has loaded; false when it failed to load.
  bool WaitUntilLoaded();
  // Renders frames of output without an audio device; returns the peak level.
  float RenderPeak(int frames);
  // Renders frames of output without an audio device, one channel into each buffer.
  void Render(float* left, float* right, int frames);
  double SampleRate() const;

 private:
  void OpenThrough(std::unique_ptr<AudioDevice> device, StreamTiming timing);

  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  std::thread loader_;
  std::mutex loadMutex_;
  bool loaded_ = false;
  int heldProgram_ = -1;
  // On the heap, like everything the render thread touches, so that it can
  // be left behind for a driver that never ends.
  std::unique_ptr<NoteTimeline> timeline_ = std::make_unique<NoteTimeline>();
  std::unique_ptr<TimelineRenderer> renderer_;
  std::unique_ptr<AudioStream> stream_;
  int soundFontId_ = FLUID_FAILED;
};

}  // namespace fw::sound
