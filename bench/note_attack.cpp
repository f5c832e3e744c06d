#include "bench/note_attack.h"

#include <vector>

#include "bench/onset_finder.h"
#include "bench/onset_playing.h"
#include "bench/recording.h"
#include "framework/sound/fluid_sink.h"

namespace bench {

std::optional<Attack> MeasureAttack(const std::string& soundFont) {
  fw::sound::FluidSynthSink synth(soundFont, fw::sound::FluidSynthSink::Output::None);
  if (!synth.WaitUntilLoaded()) return std::nullopt;
  synth.ProgramChange(kWoodblock);
  synth.NoteOn(kWoodblockNote, kWoodblockVelocity);
  const auto frames = static_cast<std::size_t>(synth.SampleRate() / 5);
  std::vector<float> left(frames), right(frames);
  synth.Render(left.data(), right.data(), static_cast<int>(frames));
  std::vector<std::int16_t> mono(frames);
  for (std::size_t i = 0; i < frames; ++i) mono[i] = MonoSample(left[i], right[i]);
  const double reference = ReferencePeak(mono, synth.SampleRate());
  const auto onsets = FindOnsets(mono, synth.SampleRate(), reference);
  if (onsets.size() != 1) return std::nullopt;
  return Attack{static_cast<double>(onsets[0].frame) / synth.SampleRate(), reference};
}

}  // namespace bench
