// Objects, controls, menus, lists and the note player's bookkeeping.
#include <gtest/gtest.h>

#include <set>

#include "framework/core/application.h"
#include "framework/core/controls.h"
#include "framework/core/menu.h"
#include "framework/core/misc.h"
#include "framework/core/note_player.h"
#include "framework/core/window.h"
#include "framework/testing/recording_platform.h"
#include "framework/testing/recording_sink.h"
#include "window/control_lookup.h"

namespace {

class ObjectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fw::ResetRuntime();
    fw::testing::InstallRecordingPlatform();
    sink = fw::testing::InstallRecordingSink();
    window = std::make_shared<fw::Window>();
  }
  void TearDown() override { fw::ResetRuntime(); }

  std::shared_ptr<fw::testing::RecordingSink> sink;
  std::shared_ptr<fw::Window> window;
};

TEST_F(ObjectsTest, ControlsAreFoundByTheirRegisteredNameOnly) {
  auto button = std::make_shared<fw::PushButton>();
  window->AddControl("play", button);
  EXPECT_EQ(fw::RuntimeWindowControlByName(window.get(), "play"), button.get());
  EXPECT_EQ(fw::RuntimeWindowControlByName(window.get(), "Play"), nullptr);
  EXPECT_EQ(fw::RuntimeWindowControlByName(window.get(), "never"), nullptr);
  EXPECT_THROW(LookUpControl<fw::PushButton>(window.get(), "never"), fw::NilObjectException);
  // The class-tested cast: a wrong class raises, nil stays nil.
  EXPECT_THROW(LookUpControl<fw::RadioButton>(window.get(), "play"), fw::IllegalCastException);
  EXPECT_EQ(fw::RuntimeCheckCast<fw::RadioButton>(static_cast<fw::Object*>(nullptr)), nullptr);
  EXPECT_EQ(button->Window(), window.get());
}

TEST_F(ObjectsTest, PropertiesApplyInOrderAndUnknownNamesRaise) {
  auto radio = std::make_shared<fw::RadioButton>();
  window->AddControl("r", radio);
  fw::SetProperties(*radio, {{"Enabled", false}, {"Enabled", true}, {"Value", true}});
  EXPECT_TRUE(radio->Enabled());
  EXPECT_TRUE(radio->Value());
  EXPECT_THROW(fw::SetProperties(*radio, {{"Enabeld", true}}), fw::UnknownPropertyException);
  EXPECT_THROW(fw::SetProperties(*radio, {{"Enabled", 3}}), fw::RuntimeException);
}

TEST_F(ObjectsTest, SelectingARadioButtonClearsTheOthersOfItsWindow) {
  auto a = std::make_shared<fw::RadioButton>();
  auto b = std::make_shared<fw::RadioButton>();
  window->AddControl("a", a);
  window->AddControl("b", b);
  a->Value(true);
  b->Value(true);
  EXPECT_FALSE(a->Value());
  EXPECT_TRUE(b->Value());
  // A disabled button ignores clicks.
  a->Enabled(false);
  a->Click();
  EXPECT_FALSE(a->Value());
}

TEST_F(ObjectsTest, MenuChildFindsDirectChildrenAndLookupSearchesTheTree) {
  auto bar = std::make_shared<fw::MenuBar>();
  auto file = std::make_shared<fw::MenuItem>();
  file->Name("FileMenu");
  auto quit = std::make_shared<fw::QuitMenuItem>();
  quit->Name("FileQuit");
  bar->Append(file);
  file->Append(quit);
  EXPECT_EQ(bar->Child("FileMenu"), file);
  EXPECT_EQ(bar->Child("FileQuit"), nullptr);
  EXPECT_EQ(bar->Lookup("FileQuit"), quit);
  EXPECT_TRUE(quit->Quits());
  EXPECT_FALSE(quit->KeyboardShortcut().has_value());
  EXPECT_THROW(bar->Item(5), fw::OutOfBoundsException);
}

TEST_F(ObjectsTest, IntegerListsStoreRemoveAndShuffleWithinBounds) {
  auto list = fw::CreateArray(37);
  EXPECT_EQ(list->UpperBound(), 37);
  for (int k = 1; k <= 38; ++k) list->Store(k, k - 1);
  list->Remove(0);
  EXPECT_EQ(list->At(0), 2);
  EXPECT_EQ(list->UpperBound(), 36);
  list->Shuffle();
  std::set<int> values;
  for (int i = 0; i <= list->UpperBound(); ++i) values.insert(list->At(i));
  EXPECT_EQ(values.size(), 37u);
  EXPECT_EQ(*values.begin(), 2);
  EXPECT_EQ(*values.rbegin(), 38);
  EXPECT_THROW(list->At(37), fw::OutOfBoundsException);
  EXPECT_THROW(list->Remove(-1), fw::OutOfBoundsException);
  EXPECT_EQ(fw::CreateArray(-1)->UpperBound(), -1);
}

TEST_F(ObjectsTest, RandomInRangeIncludesBothEnds) {
  fw::Random random;
  std::set<int> seen;
  for (int i = 0; i < 2000; ++i) {
    const int v = random.InRange(1, 3);
    ASSERT_GE(v, 1);
    ASSERT_LE(v, 3);
    seen.insert(v);
  }
  EXPECT_EQ(seen.size(), 3u);
}

TEST_F(ObjectsTest, SeedingMakesDrawsRepeatable) {
  fw::random::SetSeed(42);
  const int first = fw::Random().InRange(1, 1000000);
  fw::random::SetSeed(42);
  EXPECT_EQ(fw::Random().InRange(1, 1000000), first);
}

TEST_F(ObjectsTest, NotePlayerSendsStartsAndOnlyTheReleasesOfSoundingNotes) {
  fw::NotePlayer player;
  player.Instrument(1);
  player.PlayNote(60, 100);
  player.PlayNote(60, 0);
  player.PlayNote(61, 0);     // silent: nothing reaches the synthesiser
  player.PlayNote(200, 100);  // not a MIDI note: ignored
  player.PlayNote(-1, 0);
  const auto messages = sink->Messages();
  using M = fw::testing::RecordingSink::Message;
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].kind, M::Program);
  EXPECT_EQ(messages[0].value, 0);
  EXPECT_EQ(messages[1].kind, M::On);
  EXPECT_EQ(messages[2].kind, M::Off);
  EXPECT_EQ(fw::sound::SoundingCount(), 0);
  player.Instrument(0);
  EXPECT_EQ(player.Instrument(), 1);
}

TEST_F(ObjectsTest, LineEndingIsAppendedToTheText) {
  fw::EndOfLine lineEnd;
  EXPECT_EQ(lineEnd.Operator_AddRight("a"), "a\n");
}

}  // namespace
