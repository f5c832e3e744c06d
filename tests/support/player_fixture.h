#pragma once
// A main window on the recording platform and sink, with a virtual clock.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string_view>

#include "framework/core/window.h"
#include "framework/testing/recording_platform.h"
#include "framework/testing/recording_sink.h"
#include "support/call_trace.h"
#include "window/control_lookup.h"
#include "window/window1.h"

namespace testing_support {

// A quantum that divides every wait of the score, so waits measure exactly.
constexpr double kQuantum = 3125.0;

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A click as the platform delivers it: on this (GUI) thread, under the baton.
  void Click(std::string_view button);
  void Select(std::string_view radioButton);
  // Presses the button as soon as the virtual clock reaches `us`.
  void PressAtVirtualTime(std::string_view button, double us);
  // Runs fn under the baton, as an event handler would.
  void AsEvent(const std::function<void()>& fn);
  // Waits (real time) until no mode thread runs; false on timeout.
  bool WaitUntilNoThreadRuns(std::chrono::seconds timeout = std::chrono::seconds(60));

  template <typename T>
  T& Control(std::string_view name) {
    return LookUpControl<T>(window.get(), name);
  }

  std::shared_ptr<Window1> window;
  fw::testing::RecordingPlatform* platform = nullptr;
  std::shared_ptr<fw::testing::RecordingSink> sink;
  std::unique_ptr<CallTrace> trace;
};

}  // namespace testing_support
