// The main window as it comes up: its controls, their state and bindings, its menus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/menu_bar1.h"
#include "framework/core/controls.h"
#include "framework/core/note_player.h"
#include "framework/core/thread.h"
#include "support/player_fixture.h"
#include "window/mode_threads.h"

namespace {

using WindowTest = testing_support::PlayerTest;

TEST_F(WindowTest, TheAccessorCreatesOneWindowAndShowsItOnce) {
  EXPECT_EQ(accessors::Window1(), window);
  EXPECT_EQ(platform->WindowsShown(), 1);
  EXPECT_EQ(window->Title(), "Velumbra 17");
  EXPECT_EQ(window->Width(), 300);
  EXPECT_EQ(window->Height(), 300);
  EXPECT_FALSE(window->Resizeable());
  EXPECT_FALSE(window->CloseButton());
  EXPECT_FALSE(window->MinimizeButton());
  EXPECT_FALSE(window->MaximizeButton());
  EXPECT_EQ(window->MenuBar(), accessors::MenuBar1());
}

TEST_F(WindowTest, TwelveControlsInCreationOrderWithTheirClasses) {
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"play", "PushButton"},
      {"ProgressWheel1", "ProgressWheel"},
      {"stop", "PushButton"},
      {"NotePlayer1", "NotePlayer"},
      {"OneShot", "Window1.OneShot"},
      {"OriginalButton", "RadioButton"},
      {"OneShotButton", "RadioButton"},
      {"Original", "Window1.Original"},
      {"LoopedButton", "RadioButton"},
      {"Looped", "Window1.Looped"},
      {"OneShotEndButton", "RadioButton"},
      {"OneShotEnd", "Window1.OneShotEnd"}};
  ASSERT_EQ(window->Controls().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(window->Controls()[i].first, expected[i].first);
    EXPECT_STREQ(window->Controls()[i].second->ClassName(), expected[i].second.c_str());
  }
}

TEST_F(WindowTest, VisibleControlsHaveTheirPlacesCaptionsAndIdleState) {
  struct Expect {
    const char* name;
    int left, top, width, height;
    const char* caption;
    bool enabled, visible;
  };
  for (const Expect& e : std::vector<Expect>{
           {"play", 115, 140, 70, 20, "start", true, true},
           {"stop", 115, 240, 70, 20, "stop", false, true},
           {"ProgressWheel1", 133, 183, 34, 34, "", true, false},
           {"OriginalButton", 185, 75, 80, 20, "original", true, true},
           {"OneShotButton", 35, 20, 80, 20, "one shot", true, true},
           {"LoopedButton", 185, 20, 80, 20, "looped", true, true},
           {"OneShotEndButton", 35, 70, 97, 30, "one shot with ending", true, true}}) {
    auto& control = Control<fw::RectControl>(e.name);
    EXPECT_EQ(control.Bounds().left, e.left) << e.name;
    EXPECT_EQ(control.Bounds().top, e.top) << e.name;
    EXPECT_EQ(control.Bounds().width, e.width) << e.name;
    EXPECT_EQ(control.Bounds().height, e.height) << e.name;
    EXPECT_EQ(control.Enabled(), e.enabled) << e.name;
    EXPECT_EQ(control.Visible(), e.visible) << e.name;
    if (auto* push = dynamic_cast<fw::PushButton*>(&control)) {
      EXPECT_EQ(push->Caption(), e.caption);
    }
    if (auto* radio = dynamic_cast<fw::RadioButton*>(&control)) {
      EXPECT_EQ(radio->Caption(), e.caption);
      EXPECT_EQ(radio->Value(), std::string(e.name) == "OneShotButton") << e.name;
    }
  }
}

TEST_F(WindowTest, ThreadsNotePlayerAndEventBindings) {
  EXPECT_EQ(Control<fw::NotePlayer>("NotePlayer1").Instrument(), 1);
  for (const char* name : {"OneShot", "Original", "Looped", "OneShotEnd"}) {
    auto& thread = Control<fw::Thread>(name);
    EXPECT_EQ(thread.Priority(), 5) << name;
    EXPECT_EQ(thread.StackSize(), 0) << name;
    EXPECT_NE(thread.HandlerFor("Run"), nullptr) << name;
    EXPECT_FALSE(thread.IsRunning()) << name;
    // Each knows its window through the pane-child interface.
    EXPECT_EQ(dynamic_cast<fw::PaneChild&>(thread).Window(), window) << name;
  }
  EXPECT_NE(dynamic_cast<Class1*>(window->ControlByName("OneShot")), nullptr);
  for (const char* name : {"Original", "Looped", "OneShotEnd"}) {
    EXPECT_EQ(dynamic_cast<Class1*>(window->ControlByName(name)), nullptr) << name;
  }
  EXPECT_NE(Control<fw::PushButton>("play").HandlerFor("Action"), nullptr);
  EXPECT_NE(Control<fw::PushButton>("stop").HandlerFor("Action"), nullptr);
  for (const char* name : {"ProgressWheel1", "NotePlayer1", "OneShotButton", "LoopedButton",
                           "OriginalButton", "OneShotEndButton"}) {
    EXPECT_EQ(window->ControlByName(name)->HandlerFor("Action"), nullptr) << name;
  }
}

TEST_F(WindowTest, PaneChildKeepsTheLastWindowAndIndex) {
  Window1::Looped thread;
  EXPECT_EQ(thread.Window(), nullptr);
  auto other = std::make_shared<fw::Window>();
  thread.SetWindow(window);
  thread.SetWindow(other);
  EXPECT_EQ(thread.Window(), other);
  thread.SetWindow(nullptr);
  EXPECT_EQ(thread.Window(), nullptr);
  thread.SetIndex(7);
  EXPECT_EQ(thread.Index(), 7);
}

TEST_F(WindowTest, MenuBarHasTheAboutMenuAndADisabledEditMenu) {
  auto bar = accessors::MenuBar1();
  ASSERT_EQ(bar->Count(), 2);
  auto file = bar->Item(0);
  EXPECT_EQ(file->Text(), "About Velumbra 17");
  ASSERT_EQ(file->Count(), 2);
  EXPECT_EQ(file->Item(0)->Name(), "aboutvelumbra17");
  EXPECT_EQ(file->Item(0)->Text(), "About Velumbra 17");
  EXPECT_EQ(file->Item(0)->KeyboardShortcut(), std::optional<std::string>(""));
  EXPECT_EQ(file->Item(1)->Text(), "&Quit");
  EXPECT_EQ(file->Item(1)->KeyboardShortcut(), std::optional<std::string>("Cmd+Q"));
  EXPECT_TRUE(file->Item(1)->Quits());

  auto edit = bar->Item(1);
  EXPECT_EQ(edit->Text(), "");
  const std::vector<std::tuple<std::string, std::string, std::optional<std::string>, bool>> items =
      {{"EditUndo", "&Undo", "Cmd+Z", false},
       {"UntitledMenu1", "-", std::nullopt, true},
       {"EditCut", "Cu&t", "Cmd+X", false},
       {"EditCopy", "&Copy", "Cmd+C", false},
       {"EditPaste", "&Paste", "Cmd+V", false},
       {"EditClear", "&Delete", "", false},
       {"UntitledMenu0", "-", std::nullopt, true},
       {"EditSelectAll", "Select &All", "Cmd+A", false}};
  ASSERT_EQ(edit->Count(), static_cast<int>(items.size()));
  for (int i = 0; i < edit->Count(); ++i) {
    const auto& [name, text, shortcut, autoEnable] = items[static_cast<std::size_t>(i)];
    EXPECT_EQ(edit->Item(i)->Name(), name);
    EXPECT_EQ(edit->Item(i)->Text(), text);
    EXPECT_EQ(edit->Item(i)->KeyboardShortcut(), shortcut) << name;
    EXPECT_EQ(edit->Item(i)->AutoEnable(), autoEnable) << name;
  }
  EXPECT_EQ(accessors::MenuBar1(), bar);
}

TEST_F(WindowTest, MenuItemAccessorsReturnTheItemsOfTheirNames) {
  EXPECT_EQ(window->FileQuit()->Name(), "FileQuit");
  EXPECT_EQ(window->aboutvelumbra17()->Name(), "aboutvelumbra17");
  EXPECT_EQ(window->EditSelectAll()->Text(), "Select &All");
  EXPECT_EQ(window->UntitledMenu0()->Text(), "-");
  EXPECT_EQ(window->EditMenu()->Count(), 8);
  window->MenuBar(nullptr);
  EXPECT_THROW(window->FileMenu(), fw::NilObjectException);
}

TEST_F(WindowTest, TheBarOperationTableHoldsAllFortyFiveInMethodOrder) {
  const auto& table = Window1::BarOperationTable();
  EXPECT_EQ(table.front().name, "barOne");
  EXPECT_EQ(table[16].name, "barThirty");
  EXPECT_EQ(table.back().name, "barThirtyOneShot");
  std::set<std::string_view> names;
  for (const auto& row : table) {
    EXPECT_NE(row.operation, nullptr);
    names.insert(row.name);
  }
  EXPECT_EQ(names.size(), 45u);
  EXPECT_EQ(Window1::BarOperationNamed("barForty"), nullptr);
}

}  // namespace
