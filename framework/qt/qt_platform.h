#pragma once
// The platform on Qt Widgets: windows and controls as real widgets, message
// boxes, and Qt's event loop.
#include "framework/core/platform.h"
#include "framework/core/waiting_boxes.h"

namespace fw::qt {

class QtPlatform : public Platform {
 public:
  void ShowWindow(Window& window) override;
  void ControlChanged(Object& control) override;
  void ShowMessage(const std::string& text) override;
  bool HasWaitingMessage() const override;
  bool ShowWaitingMessage() override;
  int RunEventLoop() override;
  void Quit() override;
  void Shutdown() override;

 private:
  static void ShowModal(const std::string& text);

  // Boxes of other threads, shown by the event loop or by a GUI thread that waits.
  WaitingBoxes waitingBoxes_{&QtPlatform::ShowModal};
};

}  // namespace fw::qt
