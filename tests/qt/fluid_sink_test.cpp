// The real synthesiser, rendered offline: a note sounds, its release silences it.
#include "framework/sound/fluid_sink.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "framework/sound/soundfont.h"

namespace {

// An empty folder of this process's own: other engineers' test runs share /tmp.
std::filesystem::path EmptyFolder(const std::string& name) {
  const auto folder =
      std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

TEST(FluidSinkTest, ANoteSoundsAndItsReleaseDiesAwayWithThePianoProgram) {
  auto soundFont = fw::sound::FindSoundFont();
  ASSERT_TRUE(soundFont) << "the test command installs the SoundFont";
  fw::sound::FluidSynthSink sink(*soundFont, fw::sound::FluidSynthSink::Output::None);
  ASSERT_TRUE(sink.WaitUntilLoaded());
  sink.ProgramChange(0);
  EXPECT_LT(sink.RenderPeak(4410), 1e-4f) << "silent before any note";
  sink.NoteOn(60, 100);
  EXPECT_GT(sink.RenderPeak(4410), 0.01f) << "a started note sounds";
  sink.NoteOff(60);
  sink.RenderPeak(44100 * 2);  // the release tail and the reverb die away
  EXPECT_LT(sink.RenderPeak(4410), 1e-3f) << "silent after the release";
}

TEST(SoundFontTest, DefaultFirstThenAnyOtherSoundFontThenNone) {
  namespace fs = std::filesystem;
  const fs::path folder = EmptyFolder("velumbra-sf2-test");
  EXPECT_FALSE(fw::sound::FindSoundFont(folder.string()));
  std::ofstream(folder / "b.SF2") << "x";
  std::ofstream(folder / "a.txt") << "x";
  EXPECT_EQ(fw::sound::FindSoundFont(folder.string()), (folder / "b.SF2").string());
  std::ofstream(folder / "default-GM.sf2") << "x";
  EXPECT_EQ(fw::sound::FindSoundFont(folder.string()), (folder / "default-GM.sf2").string());
  EXPECT_FALSE(fw::sound::FindSoundFont((folder / "missing").string()));
  fs::remove_all(folder);
}

TEST(SoundFontTest, CandidatesListTheDefaultFirstThenTheOthersInNameOrderEachFileOnce) {
  namespace fs = std::filesystem;
  const fs::path folder = EmptyFolder("velumbra-sf2-order-test");
  fs::create_directories(folder / "d.sf2");
  std::ofstream(folder / "c.sf2") << "x";
  std::ofstream(folder / "a.SF2") << "x";
  std::ofstream(folder / "b.txt") << "x";
  // The system's default is a link to one of the others.
  fs::create_symlink("c.sf2", folder / "default-GM.sf2");
  const std::vector<std::string> expected = {(folder / "default-GM.sf2").string(),
                                             (folder / "a.SF2").string()};
  EXPECT_EQ(fw::sound::SoundFontCandidates(folder.string()), expected);
  fs::remove_all(folder);
}

// A folder with an empty default and a damaged SoundFont, and the system's
// own SoundFont beside them when `withGood`; its candidates in order.
std::vector<std::string> UnloadableSoundFonts(bool withGood) {
  namespace fs = std::filesystem;
  const fs::path folder = EmptyFolder("velumbra-sf2-unloadable-test");
  std::ofstream(folder / "default-GM.sf2");
  std::ifstream real(*fw::sound::FindSoundFont(), std::ios::binary);
  std::vector<char> head(65536);
  real.read(head.data(), static_cast<std::streamsize>(head.size()));
  std::ofstream(folder / "Broken.sf2", std::ios::binary).write(head.data(), real.gcount());
  if (withGood) fs::create_symlink(*fw::sound::FindSoundFont(), folder / "Good.sf2");
  return fw::sound::SoundFontCandidates(folder.string());
}

TEST(SoundFontTest, UnloadableSoundFontsGiveWayQuietlyOrOneFailureNamesTheDefaultAndWhy) {
  using fw::sound::FluidSynthSink;
  ASSERT_TRUE(fw::sound::FindSoundFont()) << "the test command installs the SoundFont";
  std::vector<std::string> failures;
  const auto keep = [&failures](const std::string& why) { failures.push_back(why); };
  {
    const std::vector<std::string> candidates = UnloadableSoundFonts(true);
    ASSERT_EQ(candidates.size(), 3u);
    testing::internal::CaptureStderr();
    FluidSynthSink sink(candidates, FluidSynthSink::Output::None, keep);
    const bool loaded = sink.WaitUntilLoaded();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the failed files leave no noise";
    ASSERT_TRUE(loaded) << "the third file loads";
    EXPECT_TRUE(failures.empty());
    sink.ProgramChange(0);
    sink.NoteOn(60, 100);
    EXPECT_GT(sink.RenderPeak(4410), 0.01f) << "the loaded SoundFont sounds";
  }
  const std::vector<std::string> candidates = UnloadableSoundFonts(false);
  testing::internal::CaptureStderr();
  FluidSynthSink sink(candidates, FluidSynthSink::Output::None, keep);
  EXPECT_FALSE(sink.WaitUntilLoaded());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the caller is told, not stderr";
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find(candidates[0] + " could not be loaded: the file is empty"),
            std::string::npos)
      << failures[0];
  std::filesystem::remove_all(std::filesystem::path(candidates[0]).parent_path());
}

}  // namespace
