#pragma once
// A platform without a screen: message boxes are recorded when asked for and
// close at once, and the event loop runs tasks posted to it until it is told
// to quit.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "framework/core/platform.h"
#include "framework/core/waiting_boxes.h"

namespace fw::testing {

class RecordingPlatform : public Platform {
 public:
  void ShowWindow(Window& window) override;
  void ControlChanged(Object& control) override;
  void ShowMessage(const std::string& text) override;
  bool HasWaitingMessage() const override;
  bool ShowWaitingMessage() override;
  int RunEventLoop() override;
  void Quit() override;
  void Shutdown() override;

  // From now on a box that a mode thread asks for waits, as on a screen, until
  // the GUI thread shows it: from the event loop, or by ShowWaitingMessage.
  void BoxesWaitForGuiThread();

  // Runs fn on the event loop's thread.
  void Post(std::function<void()> fn);

  std::vector<std::string> Messages() const;
  int WindowsShown() const;
  // Called (without the baton) on the asking thread each time a box is asked
  // for, before it closes.
  void OnMessage(std::function<void(const std::string&)> hook);

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> tasks_;
  std::vector<std::string> messages_;
  std::function<void(const std::string&)> messageHook_;
  int windowsShown_ = 0;
  bool quit_ = false;
  bool boxesWaitForGui_ = false;
  WaitingBoxes waitingBoxes_{[](const std::string&) {}};
};

// Installs a fresh recording platform and returns it.
RecordingPlatform& InstallRecordingPlatform();

}  // namespace fw::testing
