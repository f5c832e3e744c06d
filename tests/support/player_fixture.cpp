#include "support/player_fixture.h"

#include <thread>

#include "framework/core/application.h"
#include "framework/core/clock.h"
#include "framework/core/controls.h"
#include "framework/core/scheduler.h"

namespace testing_support {

void PlayerTest::SetUp() {
  fw::ResetRuntime();
  platform = &fw::testing::InstallRecordingPlatform();
  sink = fw::testing::InstallRecordingSink();
  fw::clock::UseVirtualClock(kQuantum);
  trace = std::make_unique<CallTrace>();
  MakeDefaultView();
  window = accessors::Window1();
}

void PlayerTest::TearDown() {
  fw::ResetRuntime();
  trace.reset();
  window.reset();
  fw::clock::UseRealClock();
}

void PlayerTest::AsEvent(const std::function<void()>& fn) {
  fw::scheduler::EventScope holdBaton;
  fn();
}

void PlayerTest::Click(std::string_view button) {
  AsEvent([&] { Control<fw::PushButton>(button).Press(); });
}

void PlayerTest::Select(std::string_view radioButton) {
  AsEvent([&] { Control<fw::RadioButton>(radioButton).Click(); });
}

void PlayerTest::PressAtVirtualTime(std::string_view button, double us) {
  // Holding the baton and yielding lets a mode thread make exactly one yield
  // at a time, so it cannot run past the moment.
  fw::scheduler::EventScope holdBaton;
  while (fw::clock::Now() < us && fw::scheduler::AnyRunning()) fw::scheduler::LetOthersRun();
  Control<fw::PushButton>(button).Press();
}

bool PlayerTest::WaitUntilNoThreadRuns(std::chrono::seconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (fw::scheduler::AnyRunning()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace testing_support
