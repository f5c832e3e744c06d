#pragma once
#include <optional>
#include <string>

namespace fw::sound {

constexpr const char* kSoundFontFolder = "/usr/share/sounds/sf2";
constexpr const char* kSoundFontPackage = "fluid-soundfont-gm";

// The system's General MIDI SoundFont: default-GM.sf2 first, then any other
// SoundFont of the same folder, in name order.
std::optional<std::string> FindSoundFont(const std::string& folder = kSoundFontFolder);

}  // namespace fw::sound
