// Cooperative threads: one thread of program code at a time, kill, run again,
// message boxes that release the baton, and shutdown.
#include "framework/core/scheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "framework/core/application.h"
#include "framework/core/clock.h"
#include "framework/core/note_player.h"
#include "framework/core/tarnwick.h"
#include "framework/core/thread.h"
#include "framework/core/window.h"
#include "framework/testing/recording_platform.h"
#include "framework/testing/recording_sink.h"

namespace {

using namespace std::chrono_literals;

class TestThread : public fw::Thread, public fw::PaneChild {
 public:
  void SetWindow(const std::shared_ptr<fw::Window>& window) override { owner_ = window; }
  std::shared_ptr<fw::Window> Window() override { return owner_.lock(); }
  int Index() override { return 0; }
  void SetIndex(int) override {}

 private:
  std::weak_ptr<fw::Window> owner_;
};

// Program state is touched only under the baton, so plain ints must do.
class TestWindow : public fw::Window {
 public:
  int counter = 0;
  bool inside = false;
  bool overlap = false;
  bool ranPastKill = false;
  bool shouldThrow = false;

  void Spin() {
    for (;;) {
      if (inside) overlap = true;
      inside = true;
      ++counter;
      fw::NotePlayer().PlayNote(60, 100);
      inside = false;
      fw::RuntimeBackgroundTask();
    }
  }
  void SpinTwice() {
    for (int i = 0; i < 2000; ++i) {
      if (inside) overlap = true;
      inside = true;
      ++counter;
      inside = false;
      fw::RuntimeBackgroundTask();
    }
  }
  void KillSelf() {
    fw::NotePlayer().PlayNote(64, 100);
    static_cast<fw::Thread*>(ControlByName("worker"))->Kill();
    ranPastKill = true;
  }
  void Fail() { throw fw::NilObjectException(); }
  void ShowBox() {
    Tarnwick::MsgBox("hello");
    ++counter;
  }
};

class SchedulerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fw::ResetRuntime();
    platform = &fw::testing::InstallRecordingPlatform();
    sink = fw::testing::InstallRecordingSink();
    fw::clock::UseVirtualClock(1000);
    window = std::make_shared<TestWindow>();
    for (const char* name : {"worker", "other"}) {
      window->AddControl(name, std::make_shared<TestThread>());
    }
  }
  void TearDown() override {
    fw::ResetRuntime();
    fw::clock::UseRealClock();
  }

  fw::Thread& Thread(const char* name) {
    return *static_cast<fw::Thread*>(window->ControlByName(name));
  }
  void Bind(const char* name, void (TestWindow::*handler)()) {
    fw::InstallInstanceEventHandler(window->ControlByName(name), "Run", handler);
  }
  template <typename F>
  auto Locked(F fn) {
    fw::scheduler::EventScope hold;
    return fn();
  }
  bool WaitFor(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!Locked(condition)) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(1ms);
    }
    return true;
  }

  fw::testing::RecordingPlatform* platform = nullptr;
  std::shared_ptr<fw::testing::RecordingSink> sink;
  std::shared_ptr<TestWindow> window;
};

TEST_F(SchedulerTest, OnlyOneThreadRunsProgramCodeAtATime) {
  Bind("worker", &TestWindow::SpinTwice);
  Bind("other", &TestWindow::SpinTwice);
  Locked([&] {
    Thread("worker").Run();
    Thread("other").Run();
    return 0;
  });
  ASSERT_TRUE(WaitFor([&] { return window->counter == 4000; }));
  EXPECT_FALSE(window->overlap);
  ASSERT_TRUE(WaitFor([&] { return !fw::scheduler::AnyRunning(); }));
}

TEST_F(SchedulerTest, KillEndsAThreadWhereItStandsAndRunWorksAgain) {
  Bind("worker", &TestWindow::Spin);
  Locked([&] {
    Thread("worker").Run();
    return 0;
  });
  ASSERT_TRUE(WaitFor([&] { return window->counter > 10; }));
  const int atKill = Locked([&] {
    EXPECT_TRUE(Thread("worker").IsRunning());
    EXPECT_THROW(Thread("worker").Run(), fw::ThreadAlreadyRunningException);
    Thread("worker").Kill();
    EXPECT_FALSE(Thread("worker").IsRunning());
    // The note the killed thread left sounding is released at once.
    EXPECT_EQ(fw::sound::SoundingCount(), 0);
    return window->counter;
  });
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(Locked([&] { return window->counter; }), atKill);
  Locked([&] {
    Thread("worker").Run();
    return 0;
  });
  ASSERT_TRUE(WaitFor([&] { return window->counter > atKill + 10; }));
  Locked([&] {
    Thread("worker").Kill();
    Thread("worker").Kill();  // no longer running: nothing happens
    Thread("other").Kill();   // never ran: nothing happens
    return 0;
  });
  EXPECT_TRUE(sink->Sounding().empty());
}

TEST_F(SchedulerTest, AThreadThatKillsItselfRunsNothingMore) {
  Bind("worker", &TestWindow::KillSelf);
  Locked([&] {
    Thread("worker").Run();
    return 0;
  });
  ASSERT_TRUE(WaitFor([&] { return !fw::scheduler::AnyRunning(); }));
  EXPECT_FALSE(window->ranPastKill);
  EXPECT_TRUE(sink->Sounding().empty());
}

TEST_F(SchedulerTest, AMessageBoxOnAThreadLetsOtherCodeRun) {
  Bind("worker", &TestWindow::ShowBox);
  std::atomic<bool> guiRanWhileOpen{false};
  platform->OnMessage([&](const std::string&) {
    // The box is open: the GUI thread must be able to take the baton.
    Locked([&] {
      guiRanWhileOpen = true;
      return 0;
    });
  });
  Locked([&] {
    Thread("worker").Run();
    return 0;
  });
  ASSERT_TRUE(WaitFor([&] { return window->counter == 1; }));
  EXPECT_TRUE(guiRanWhileOpen);
  EXPECT_EQ(platform->Messages(), std::vector<std::string>{"hello"});
}

TEST_F(SchedulerTest, AnExceptionEscapingAThreadEndsTheEventLoopAndIsReported) {
  Bind("worker", &TestWindow::Fail);
  Locked([&] {
    Thread("worker").Run();
    return 0;
  });
  EXPECT_THROW(fw::RunEventLoop(), fw::NilObjectException);
  ::testing::internal::CaptureStderr();
  try {
    throw fw::NilObjectException();
  } catch (...) {
    fw::UnhandledException(std::current_exception());
  }
  const std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(printed.find("NilObjectException"), std::string::npos) << printed;
  EXPECT_EQ(fw::RuntimeExit(), 1);
}

TEST_F(SchedulerTest, ExitEndsRunningThreadsAndSilencesTheirNotes) {
  Bind("worker", &TestWindow::Spin);
  Locked([&] {
    Thread("worker").Run();
    return 0;
  });
  ASSERT_TRUE(WaitFor([&] { return window->counter > 5; }));
  EXPECT_EQ(fw::RuntimeExit(), 0);
  EXPECT_FALSE(fw::scheduler::AnyRunning());
  EXPECT_TRUE(sink->Sounding().empty());
}

TEST_F(SchedulerTest, RealClockWaitsSleepAndEndOnTime) {
  // The real clock and the learning yield: waits of one length end no earlier than asked.
  fw::clock::UseRealClock();
  struct Waiter : TestWindow {
    std::vector<double> overshoots;
    void Waits() {
      for (int i = 0; i < 30; ++i) {
        const double origin = Tarnwick::Microseconds();
        while (Tarnwick::Microseconds() - origin < 2000) fw::RuntimeBackgroundTask();
        overshoots.push_back(Tarnwick::Microseconds() - origin - 2000);
        fw::NotePlayer().PlayNote(1, 0);
      }
    }
  };
  auto waiter = std::make_shared<Waiter>();
  waiter->AddControl("worker", std::make_shared<TestThread>());
  fw::InstallInstanceEventHandler(waiter->ControlByName("worker"), "Run", &Waiter::Waits);
  Locked([&] {
    static_cast<fw::Thread*>(waiter->ControlByName("worker"))->Run();
    return 0;
  });
  ASSERT_TRUE(WaitFor([&] { return !fw::scheduler::AnyRunning(); }));
  ASSERT_EQ(waiter->overshoots.size(), 30u);
  for (double overshoot : waiter->overshoots) EXPECT_GE(overshoot, 0.0);
}

}  // namespace
