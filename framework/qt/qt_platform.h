#pragma once
// The platform on Qt Widgets: windows and controls as real widgets, message
// boxes, and Qt's event loop.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "framework/core/platform.h"

namespace fw::qt {

class QtPlatform : public Platform {
 public:
  void ShowWindow(Window& window) override;
  void ControlChanged(Object& control) override;
  void ShowMessage(const std::string& text) override;
  int RunEventLoop() override;
  void Quit() override;
  void Shutdown() override;

 private:
  struct PendingBox {
    std::mutex mutex;
    std::condition_variable closed;
    bool done = false;
  };
  void ShowModal(const std::string& text);

  std::mutex pendingMutex_;
  std::vector<std::shared_ptr<PendingBox>> pending_;
  bool shutDown_ = false;
};

}  // namespace fw::qt
