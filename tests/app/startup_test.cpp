// Start-up from the application object to the event loop, the about box, quit.
#include "app/startup.h"

#include <gtest/gtest.h>

#include "app/app.h"
#include "app/menu_bar1.h"
#include "framework/core/application.h"
#include "framework/core/clock.h"
#include "framework/core/scheduler.h"
#include "framework/testing/recording_platform.h"
#include "window/window1.h"

namespace {

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fw::ResetRuntime();
    platform = &fw::testing::InstallRecordingPlatform();
  }
  void TearDown() override { fw::ResetRuntime(); }
  fw::testing::RecordingPlatform* platform = nullptr;
};

const std::string kAbout =
    "Velumbra 17\n"
    "Velumbra 17 is based on Quendrel\u2019s Prelude 2 from Book 1 of Forty-eight Preludes and "
    "Fugues.\n"
    "It has four options for performance.\n"
    "One shot \u2013 this will play all 35 bars of the original work once only but in a random "
    "order.\n"
    "Looped \u2013 this will play any of the first 32 bars of the original work and will run "
    "indefinitely until stopped by the user.\n"
    "One shot with ending \u2013 this will play the first 32 bars of the original work once only "
    "and finish with bars 33 \u2013 35 from the original.\n"
    "Original \u2013 this plays the piece as it was written.\n";

TEST_F(StartupTest, MainOpensTheWindowRunsTheLoopAndReturnsAtQuit) {
  bool aboutAnswered = true;
  platform->Post([&] {
    // As the menu would: the about item, then Quit.
    auto bar = accessors::MenuBar1();
    fw::DeliverEvent([&] { fw::ChooseMenuItem(*bar->Lookup("aboutvelumbra17")); });
    fw::DeliverEvent([&] { aboutAnswered = accessors::App()->_aboutvelumbra17_Action(); });
    fw::DeliverEvent([&] { fw::ChooseMenuItem(*bar->Lookup("FileQuit")); });
  });
  Main();
  EXPECT_EQ(platform->WindowsShown(), 1);
  ASSERT_TRUE(accessors::App());
  EXPECT_EQ(accessors::App(), accessors::App());
  EXPECT_EQ(accessors::App()->MenuBar(), accessors::MenuBar1());
  EXPECT_FALSE(aboutAnswered);
  const auto messages = platform->Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], messages[1]);
  // Ten lines, nine line ends, none after the last; lines 1 to 7 as written.
  EXPECT_EQ(std::count(messages[0].begin(), messages[0].end(), '\n'), 9);
  EXPECT_EQ(messages[0].rfind(kAbout, 0), 0u) << messages[0];
  EXPECT_NE(messages[0].back(), '\n');
  EXPECT_EQ(fw::RuntimeExit(), 0);
}

TEST_F(StartupTest, AnExceptionInAHandlerEndsTheLoopAndIsReportedInOrder) {
  platform->Post([] {
    fw::DeliverEvent([] {
      auto window = accessors::Window1();
      window->AddControl("NotePlayer1", std::make_shared<fw::Window>());  // not a note player
      window->barOne();
    });
  });
  ::testing::internal::CaptureStderr();
  Main();  // returns normally: the handler reported the exception
  const std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(printed.find("IllegalCastException"), std::string::npos) << printed;
  EXPECT_EQ(fw::RuntimeExit(), 1);
}

TEST_F(StartupTest, QuitWhileAModePlaysEndsEveryThread) {
  fw::clock::UseVirtualClock(3125);
  platform->Post([] {
    auto window = accessors::Window1();
    fw::DeliverEvent([&] { window->play_Action(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    fw::RequestQuit();
  });
  Main();
  EXPECT_EQ(fw::RuntimeExit(), 0);
  EXPECT_FALSE(fw::scheduler::AnyRunning());
  fw::clock::UseRealClock();
}

}  // namespace
