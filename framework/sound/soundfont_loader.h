#pragma once
// Loads the first SoundFont of a list that FluidSynth accepts.
#include <fluidsynth.h>

#include <string>
#include <vector>

namespace fw::sound {

struct SoundFontLoad {
  int id = FLUID_FAILED;
  // When none loaded: why, naming the first file.
  std::string failure;
};

// Tries each file in turn. The libraries' messages about a file that fails
// stay off stderr; the first file's reason goes into `failure`.
SoundFontLoad LoadFirstSoundFont(fluid_synth_t* synth, const std::vector<std::string>& soundFonts);

}  // namespace fw::sound
