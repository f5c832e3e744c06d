#include "framework/core/waiting_boxes.h"

#include "framework/core/scheduler.h"

namespace fw {

void WaitingBoxes::Ask(const std::string& text, const std::function<void()>& tellGui) {
  auto box = std::make_shared<Box>(Box{text});
  {
    std::lock_guard lock(mutex_);
    if (shutDown_) return;
    waiting_.push_back(box);
  }
  // A GUI thread that waits for this run to end must show the box itself.
  if (scheduler::RunState* run = scheduler::CurrentRun()) run->Wake();
  tellGui();
  std::unique_lock lock(mutex_);
  closed_.wait(lock, [&] { return box->closed || shutDown_; });
}

bool WaitingBoxes::ShowNext() {
  std::shared_ptr<Box> box;
  {
    std::lock_guard lock(mutex_);
    if (shutDown_ || waiting_.empty()) return false;
    box = waiting_.front();
    waiting_.pop_front();
  }
  show_(box->text);
  {
    std::lock_guard lock(mutex_);
    box->closed = true;
  }
  closed_.notify_all();
  return true;
}

bool WaitingBoxes::AnyWaiting() const {
  std::lock_guard lock(mutex_);
  return !shutDown_ && !waiting_.empty();
}

void WaitingBoxes::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    shutDown_ = true;
    waiting_.clear();
  }
  closed_.notify_all();
}

}  // namespace fw
