#include "framework/sound/soundfont_loader.h"

#include <glib.h>

#include <filesystem>
#include <mutex>
#include <system_error>

#include "framework/sound/fluid_log.h"

namespace fw::sound {
namespace {
thread_local bool loadingHere = false;

// FluidSynth hands a file it cannot read to its loader of other formats,
// which logs a GLib assertion (in no domain of its own) on the way out.
// FluidSynth's own message says why; other threads' messages are untouched.
void QuietWhileLoading(const gchar* domain, GLogLevelFlags level, const gchar* message,
                       gpointer data) {
  if (!loadingHere) g_log_default_handler(domain, level, message, data);
}

void QuietGLibWhileLoading() {
  static std::once_flag once;
  std::call_once(once, [] {
    constexpr auto kLevels =
        static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING |
                                    G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG);
    g_log_set_handler(nullptr, kLevels, QuietWhileLoading, nullptr);
  });
}

// Loads one file; when that fails, returns FLUID_FAILED and says why.
int LoadOne(fluid_synth_t* synth, const std::string& path, KeptMessages& kept, std::string* why) {
  std::error_code error;
  if (std::filesystem::file_size(path, error) == 0 && !error) {
    *why = "the file is empty";  // clearer than FluidSynth's "EOF while attempting to read"
    return FLUID_FAILED;
  }
  const int id = fluid_synth_sfload(synth, path.c_str(), 1);
  if (id != FLUID_FAILED) return id;
  // The first message is the SoundFont reader's; the rest only say that the others gave up.
  const std::vector<std::string> messages = kept.Take();
  *why = messages.empty() ? "FluidSynth cannot read it" : messages.front();
  while (!why->empty() && why->back() == '.') why->pop_back();
  return FLUID_FAILED;
}
}  // namespace

SoundFontLoad LoadFirstSoundFont(fluid_synth_t* synth, const std::vector<std::string>& soundFonts) {
  QuietGLibWhileLoading();
  SoundFontLoad load;
  std::string firstReason;
  KeptMessages kept;
  KeepFluidSynthMessagesOfThisThread(&kept);
  loadingHere = true;
  for (const std::string& path : soundFonts) {
    kept.Take();
    std::string why;
    load.id = LoadOne(synth, path, kept, &why);
    if (load.id != FLUID_FAILED) break;
    if (firstReason.empty()) firstReason = std::move(why);
  }
  loadingHere = false;
  KeepFluidSynthMessagesOfThisThread(nullptr);
  if (load.id != FLUID_FAILED) {
    // What FluidSynth said of the file it did load still reaches stderr.
    for (const std::string& message : kept.Take()) fluid_log(FLUID_WARN, "%s", message.c_str());
    return load;
  }
  if (soundFonts.empty()) {
    load.failure = "No SoundFont to load.";
    return load;
  }
  load.failure =
      "The SoundFont " + soundFonts.front() + " could not be loaded: " + firstReason + ".";
  if (soundFonts.size() > 1) {
    load.failure += " Nor could any other SoundFont in " +
                    std::filesystem::path(soundFonts.front()).parent_path().string() + ".";
  }
  return load;
}

}  // namespace fw::sound
