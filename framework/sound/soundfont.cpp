#include "framework/sound/soundfont.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fw::sound {

std::optional<std::string> FindSoundFont(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path preferred = fs::path(folder) / "default-GM.sf2";
  if (fs::is_regular_file(preferred, error)) return preferred.string();
  std::vector<fs::path> others;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const fs::path& path = it->path();
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".sf2" && fs::is_regular_file(path, error)) others.push_back(path);
  }
  if (others.empty()) return std::nullopt;
  std::sort(others.begin(), others.end());
  return others.front().string();
}

}  // namespace fw::sound
