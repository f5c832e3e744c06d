#pragma once
#include <QMainWindow>
#include <QPointer>

#include "framework/core/window.h"

namespace fw::qt {

// What a control keeps of its widget.
struct ControlView {
  QPointer<QWidget> widget;
};

class WindowView : public QMainWindow {
 public:
  explicit WindowView(Window& window);

 protected:
  // A close request from the window manager takes the road of Quit.
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenuBar();
  void BuildControls(QWidget* content);
  Window& window_;
};

}  // namespace fw::qt
