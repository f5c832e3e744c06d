#pragma once
#include <QTimer>
#include <QWidget>

namespace fw::qt {

// A spinning wheel of spokes, turning while it is visible.
class ProgressWheelView : public QWidget {
 public:
  explicit ProgressWheelView(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  static constexpr int kSpokes = 12;
  QTimer timer_;
  int phase_ = 0;
};

}  // namespace fw::qt
