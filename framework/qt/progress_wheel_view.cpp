#include "framework/qt/progress_wheel_view.h"

#include <QPainter>

namespace fw::qt {

ProgressWheelView::ProgressWheelView(QWidget* parent) : QWidget(parent) {
  timer_.setInterval(80);
  connect(&timer_, &QTimer::timeout, this, [this] {
    phase_ = (phase_ + 1) % kSpokes;
    update();
  });
}

void ProgressWheelView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const double side = std::min(width(), height());
  painter.translate(width() / 2.0, height() / 2.0);
  QColor spoke = palette().color(QPalette::WindowText);
  QPen pen;
  pen.setWidthF(side / 12.0);
  pen.setCapStyle(Qt::RoundCap);
  for (int i = 0; i < kSpokes; ++i) {
    // The leading spoke is darkest; the trail fades behind it.
    const int age = (phase_ - i + kSpokes) % kSpokes;
    spoke.setAlphaF(1.0 - age / static_cast<double>(kSpokes) * 0.85);
    pen.setColor(spoke);
    painter.setPen(pen);
    painter.save();
    painter.rotate(i * 360.0 / kSpokes);
    painter.drawLine(QPointF(0, -side * 0.22), QPointF(0, -side * 0.42));
    painter.restore();
  }
}

void ProgressWheelView::showEvent(QShowEvent*) { timer_.start(); }
void ProgressWheelView::hideEvent(QHideEvent*) { timer_.stop(); }

}  // namespace fw::qt
