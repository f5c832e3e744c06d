#include "framework/sound/soundfont.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fw::sound {
namespace {
namespace fs = std::filesystem;

bool IsSoundFont(const fs::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  std::error_code error;
  return extension == ".sf2" && fs::is_regular_file(path, error);
}

bool AlreadyListed(const std::vector<std::string>& listed, const fs::path& path) {
  return std::any_of(listed.begin(), listed.end(), [&](const std::string& other) {
    std::error_code error;
    return fs::equivalent(other, path, error);
  });
}
}  // namespace

std::vector<std::string> SoundFontCandidates(const std::string& folder) {
  std::vector<fs::path> found;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (IsSoundFont(it->path())) found.push_back(it->path());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> candidates;
  const fs::path preferred = fs::path(folder) / "default-GM.sf2";
  if (IsSoundFont(preferred)) candidates.push_back(preferred.string());
  for (const fs::path& path : found) {
    if (!AlreadyListed(candidates, path)) candidates.push_back(path.string());
  }
  return candidates;
}

std::optional<std::string> FindSoundFont(const std::string& folder) {
  std::vector<std::string> candidates = SoundFontCandidates(folder);
  if (candidates.empty()) return std::nullopt;
  return candidates.front();
}

}  // namespace fw::sound
