#include "framework/testing/recording_platform.h"

#include <memory>

#include "framework/core/scheduler.h"

namespace fw::testing {

void RecordingPlatform::ShowWindow(Window&) {
  std::lock_guard lock(mutex_);
  ++windowsShown_;
}

void RecordingPlatform::ControlChanged(Object&) {}

void RecordingPlatform::ShowMessage(const std::string& text) {
  std::function<void(const std::string&)> hook;
  bool waitForGui = false;
  {
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
    hook = messageHook_;
    waitForGui = boxesWaitForGui_ && scheduler::CurrentRun() != nullptr;
  }
  if (hook) hook(text);
  if (waitForGui) {
    waitingBoxes_.Ask(text, [this] { Post([this] { waitingBoxes_.ShowNext(); }); });
  }
}

bool RecordingPlatform::HasWaitingMessage() const { return waitingBoxes_.AnyWaiting(); }

bool RecordingPlatform::ShowWaitingMessage() { return waitingBoxes_.ShowNext(); }

void RecordingPlatform::Shutdown() { waitingBoxes_.Shutdown(); }

void RecordingPlatform::BoxesWaitForGuiThread() {
  std::lock_guard lock(mutex_);
  boxesWaitForGui_ = true;
}

int RecordingPlatform::RunEventLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return quit_ || !tasks_.empty(); });
    if (quit_) return 0;
    auto task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
}

void RecordingPlatform::Quit() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
}

void RecordingPlatform::Post(std::function<void()> fn) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(fn));
  }
  changed_.notify_all();
}

std::vector<std::string> RecordingPlatform::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

int RecordingPlatform::WindowsShown() const {
  std::lock_guard lock(mutex_);
  return windowsShown_;
}

void RecordingPlatform::OnMessage(std::function<void(const std::string&)> hook) {
  std::lock_guard lock(mutex_);
  messageHook_ = std::move(hook);
}

RecordingPlatform& InstallRecordingPlatform() {
  auto platform = std::make_unique<RecordingPlatform>();
  RecordingPlatform& ref = *platform;
  InstallPlatform(std::move(platform));
  return ref;
}

}  // namespace fw::testing
