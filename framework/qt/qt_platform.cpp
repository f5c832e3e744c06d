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
  auto box = std::make_shared<PendingBox>();
  {
    std::lock_guard lock(pendingMutex_);
    if (shutDown_) return;
    pending_.push_back(box);
  }
  QMetaObject::invokeMethod(
      qApp,
      [this, box, text] {
        ShowModal(text);
        std::lock_guard lock(box->mutex);
        box->done = true;
        box->closed.notify_all();
      },
      Qt::QueuedConnection);
  {
    std::unique_lock lock(box->mutex);
    box->closed.wait(lock, [&] { return box->done; });
  }
  std::lock_guard lock(pendingMutex_);
  std::erase(pending_, box);
}

int QtPlatform::RunEventLoop() { return QApplication::exec(); }

void QtPlatform::Quit() {
  // exit, not quit: quit would first ask each window to close, and the main
  // window answers a close request by quitting.
  QMetaObject::invokeMethod(
      qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void QtPlatform::Shutdown() {
  std::lock_guard lock(pendingMutex_);
  shutDown_ = true;
  for (auto& box : pending_) {
    std::lock_guard boxLock(box->mutex);
    box->done = true;
    box->closed.notify_all();
  }
}

}  // namespace fw::qt
