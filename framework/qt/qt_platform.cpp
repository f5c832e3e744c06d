#include "framework/qt/qt_platform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>

#include "framework/core/controls.h"
#include "framework/qt/window_view.h"

namespace fw::qt {

void QtPlatform::ShowWindow(Window& window) {
  auto* view = new WindowView(window);
  view->show();
}

void QtPlatform::ControlChanged(Object& object) {
  auto* control = dynamic_cast<RectControl*>(&object);
  if (control == nullptr || !control->view) return;
  // Capture the state now, under the baton; the widget changes on the GUI thread.
  QPointer<QWidget> widget = static_cast<ControlView*>(control->view.get())->widget;
  const bool enabled = control->Enabled();
  const bool visible = control->Visible();
  const auto* radio = dynamic_cast<RadioButton*>(control);
  const int checked = radio != nullptr ? radio->Value() : -1;
  QMetaObject::invokeMethod(
      qApp,
      [widget, enabled, visible, checked] {
        if (widget.isNull()) return;
        widget->setEnabled(enabled);
        widget->setVisible(visible);
        if (auto* button = qobject_cast<QAbstractButton*>(widget.data()); button && checked >= 0) {
          button->setChecked(checked == 1);
        }
      },
      Qt::QueuedConnection);
}

void QtPlatform::ShowModal(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                  QString::fromStdString(text), QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

void QtPlatform::ShowMessage(const std::string& text) {
  if (QThread::currentThread() == qApp->thread()) {
    ShowModal(text);
    return;
  }
  waitingBoxes_.Ask(text, [this] {
    QMetaObject::invokeMethod(
        qApp, [this] { waitingBoxes_.ShowNext(); }, Qt::QueuedConnection);
  });
}

bool QtPlatform::HasWaitingMessage() const { return waitingBoxes_.AnyWaiting(); }

bool QtPlatform::ShowWaitingMessage() { return waitingBoxes_.ShowNext(); }

int QtPlatform::RunEventLoop() { return QApplication::exec(); }

void QtPlatform::Quit() {
  // exit, not quit: quit would first ask each window to close, and the main
  // window answers a close request by quitting.
  QMetaObject::invokeMethod(
      qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void QtPlatform::Shutdown() { waitingBoxes_.Shutdown(); }

}  // namespace fw::qt
