#include "framework/sound/fluid_sink.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "framework/core/clock.h"
#include "framework/sound/fluid_audio_device.h"
#include "framework/sound/fluid_log.h"
#include "framework/sound/note_delay.h"
#include "framework/sound/realtime_priority.h"
#include "framework/sound/soundfont_loader.h"

namespace fw::sound {
namespace {
// The synthesiser's default of 0.2 leaves the piece 15 dB quieter than ordinary
// music; this puts its loudest passage near -3 dBFS, reverb and chorus included
// (bench/scripts/level.sh measures it).
constexpr double kGain = 1.05;
// The render thread's priority where the system grants one: the library's own.
constexpr int kRenderPriority = 60;
// Quit waits this long for the stream to close, then leaves without it.
constexpr auto kCloseLimit = std::chrono::milliseconds(500);
}  // namespace

FluidSynthSink::FluidSynthSink(std::vector<std::string> soundFonts, Output output,
                               LoadFailed loadFailed) {
  RouteFluidSynthLog();
  settings_ = new_fluid_settings();
  fluid_settings_setnum(settings_, "synth.gain", kGain);
  fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 1);
  fluid_settings_setint(settings_, "synth.cpu-cores", 1);
  // The period is the sound server's whole buffer with PulseAudio: large
  // enough for a busy machine. Timing comes from the timeline, not from it.
  fluid_settings_setint(settings_, "audio.period-size", kPeriodFrames);
  fluid_settings_setint(settings_, "audio.periods", 2);
  fluid_settings_setstr(settings_, "audio.pulseaudio.media-role", "music");
  // Asked for where it cannot be had, the library only warns: the sound holds
  // at normal priority, since the timeline and the buffer carry the timing.
  fluid_settings_setint(settings_, "audio.realtime-prio",
                        RealtimePriorityGranted(kRenderPriority) ? kRenderPriority : 0);
  synth_ = new_fluid_synth(settings_);
  loader_ = std::thread([this, soundFonts = std::move(soundFonts), loadFailed] {
    const SoundFontLoad load = LoadFirstSoundFont(synth_, soundFonts);
    const int id = load.id;
    {
      std::lock_guard lock(loadMutex_);
      soundFontId_ = id;
      loaded_ = true;
      if (id != FLUID_FAILED && heldProgram_ >= 0) {
        fluid_synth_program_change(synth_, kMusicChannel, heldProgram_);
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
    renderer_ = std::make_unique<TimelineRenderer>(*timeline_, SampleRate());
    OpenThrough(std::make_unique<FluidAudioDevice>(settings_, synth_, *renderer_), {});
  }
}

FluidSynthSink::FluidSynthSink(const std::string& soundFont, MakeDevice makeDevice,
                               StreamTiming timing)
    : FluidSynthSink(std::vector<std::string>{soundFont}, Output::None) {
  renderer_ = std::make_unique<TimelineRenderer>(*timeline_, SampleRate());
  OpenThrough(makeDevice(*renderer_), timing);
}

void FluidSynthSink::OpenThrough(std::unique_ptr<AudioDevice> device, StreamTiming timing) {
  stream_ = std::make_unique<AudioStream>(std::move(device), timing);
}

bool FluidSynthSink::WaitUntilLoaded() {
  if (loader_.joinable()) loader_.join();
  return soundFontId_ != FLUID_FAILED;
}

void FluidSynthSink::Render(float* left, float* right, int frames) {
  fluid_synth_write_float(synth_, frames, left, 0, 1, right, 0, 1);
}

double FluidSynthSink::Delay() const {
  // The stream's rate and callbacks, once one has opened.
  if (!renderer_) return NoteDelayUs(SampleRate(), 0);
  return NoteDelayUs(renderer_->SampleRate(), renderer_->LongestCallback());
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
  if (stream_ && !stream_->Shutdown(kCloseLimit)) {
    // A sound server that does not answer holds the driver, and the driver
    // the synthesiser: the program ends without them rather than hang.
    static_cast<void>(stream_.release());
    static_cast<void>(renderer_.release());
    static_cast<void>(timeline_.release());
    return;
  }
  stream_.reset();  // the stream renders the synthesiser, so it goes first
  delete_fluid_synth(synth_);
  delete_fluid_settings(settings_);
}

void FluidSynthSink::FadeOut() {
  if (!stream_ || !stream_->IsOpen()) return;
  // The fade is on the timeline, block by block, however large the period.
  // Its last block is rendered by the take that holds it, up to a take after
  // its moment, and the device plays it after what it holds, about a take
  // more; closing the stream drops what it and the server still hold.
  constexpr double kDrainUs = 50'000;
  const double take = std::max(
      1e6 * std::max(kPeriodFrames, renderer_->LongestCallback()) / renderer_->SampleRate(),
      renderer_->TakeGap());
  renderer_->FadeFrom(clock::RealNow());
  std::this_thread::sleep_for(std::chrono::microseconds(
      static_cast<long>(TimelineRenderer::kFadeUs + 2 * take + kDrainUs)));
}

void FluidSynthSink::NoteOn(int note, int velocity) {
  if (!stream_) {
    fluid_synth_noteon(synth_, kMusicChannel, note, velocity);
    return;
  }
  const double now = clock::RealNow();
  timeline_->Add({now + Delay(), TimedNote::Kind::On, note, velocity}, now);
  stream_->NoteStarted();
}

void FluidSynthSink::NoteOff(int note) {
  if (!stream_) {
    fluid_synth_noteoff(synth_, kMusicChannel, note);
    return;
  }
  const double now = clock::RealNow();
  timeline_->Add({now + Delay(), TimedNote::Kind::Off, note, 0}, now);
}

void FluidSynthSink::Prepare() {
  if (stream_) stream_->Prepare();
}

void FluidSynthSink::Anticipate() {
  if (stream_) stream_->Anticipate();
}

bool FluidSynthSink::AwaitOutput(std::chrono::milliseconds limit,
                                 const std::function<bool()>& cancelled) {
  if (!stream_) return true;
  // Polled: the render thread must not be made to signal anyone.
  constexpr auto kPoll = std::chrono::milliseconds(1);
  // A device whose pace is still unread this long before the limit plays at
  // its nominal rate: a device that takes data never gets a silent start.
  constexpr auto kNominalBefore = std::chrono::milliseconds(200);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (true) {
    // Opening first: a stream that opens after this look restarts the renderer.
    const bool opening = stream_->Opening();
    const bool open = stream_->IsOpen();
    if (!opening && open && renderer_->Paced()) return true;
    if (!opening && !open) return false;
    const auto now = std::chrono::steady_clock::now();
    if ((cancelled && cancelled()) || now >= deadline) return false;
    if (!opening && open && now >= deadline - kNominalBefore) renderer_->AssumePace();
    std::this_thread::sleep_for(kPoll);
  }
}

void FluidSynthSink::DropPending() { timeline_->DropNoteOns(); }

void FluidSynthSink::ProgramChange(int program) {
  {
    // Without its presets the synthesiser would only warn; the load applies it.
    std::lock_guard lock(loadMutex_);
    if (!loaded_) {
      heldProgram_ = program;
      return;
    }
    // No SoundFont: the failure has been told once; the synthesiser would add a warning.
    if (soundFontId_ == FLUID_FAILED) return;
  }
  fluid_synth_program_change(synth_, kMusicChannel, program);
}

}  // namespace fw::sound
