#pragma once
#include <optional>
#include <string>
#include <vector>

namespace fw::sound {

constexpr const char* kSoundFontFolder = "/usr/share/sounds/sf2";
constexpr const char* kSoundFontPackage = "fluid-soundfont-gm";

// The SoundFonts of the folder in the order to try them: default-GM.sf2
// first, then the others in name order. A file is listed once, though the
// default is usually a link to one of the others.
std::vector<std::string> SoundFontCandidates(const std::string& folder = kSoundFontFolder);

// The first of those candidates.
std::optional<std::string> FindSoundFont(const std::string& folder = kSoundFontFolder);

}  // namespace fw::sound
