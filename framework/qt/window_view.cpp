#include "framework/qt/window_view.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeySequence>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

#include "framework/core/application.h"
#include "framework/core/controls.h"
#include "framework/core/menu.h"
#include "framework/core/note_player.h"
#include "framework/qt/caption_font.h"
#include "framework/qt/progress_wheel_view.h"

namespace fw::qt {
namespace {

// Shortcuts are written in command-key form; on Linux the command key is Ctrl.
QKeySequence Shortcut(const std::optional<std::string>& text) {
  if (!text || text->empty()) return {};
  QString sequence = QString::fromStdString(*text);
  sequence.replace("Cmd+", "Ctrl+");
  return QKeySequence(sequence);
}

std::shared_ptr<MenuItem> FindQuitItem(const MenuItem& menu) {
  for (int i = 0; i < menu.Count(); ++i) {
    auto item = menu.Item(i);
    if (item->Quits()) return item;
    if (auto found = FindQuitItem(*item)) return found;
  }
  return nullptr;
}

// A caption too wide for its button is broken into lines, as a person
// expects of a two-line radio button, instead of being cut off.
QString WrappedCaption(QAbstractButton& button, const QString& caption, int width) {
  const int indicator = button.style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                        button.style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing) + 4;
  const QFontMetrics metrics(button.font());
  const int room = width - indicator;
  if (metrics.horizontalAdvance(caption) <= room) return caption;
  QStringList lines;
  QString line;
  for (const QString& word : caption.split(' ')) {
    const QString longer = line.isEmpty() ? word : line + ' ' + word;
    if (!line.isEmpty() && metrics.horizontalAdvance(longer) > room) {
      lines << line;
      line = word;
    } else {
      line = longer;
    }
  }
  lines << line;
  return lines.join('\n');
}

void Attach(Control& control, QWidget* widget) {
  auto view = std::make_shared<ControlView>();
  view->widget = widget;
  control.view = view;
}

}  // namespace

WindowView::WindowView(Window& window) : window_(window) {
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (window.CloseButton()) flags |= Qt::WindowCloseButtonHint;
  if (window.MinimizeButton()) flags |= Qt::WindowMinimizeButtonHint;
  if (window.MaximizeButton()) flags |= Qt::WindowMaximizeButtonHint;
  setWindowFlags(flags);
  setWindowTitle(QString::fromStdString(window.Title()));
  setAttribute(Qt::WA_DeleteOnClose, false);

  BuildMenuBar();
  auto* content = new QWidget(this);
  content->setFixedSize(window.Width(), window.Height());
  BuildControls(content);
  setCentralWidget(content);
  if (!window.Resizeable()) layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void WindowView::BuildMenuBar() {
  auto bar = window_.MenuBar();
  if (!bar) return;
  for (int i = 0; i < bar->Count(); ++i) {
    auto top = bar->Item(i);
    QMenu* menu = menuBar()->addMenu(QString::fromStdString(top->Text()));
    for (int j = 0; j < top->Count(); ++j) {
      auto item = top->Item(j);
      if (item->IsSeparator()) {
        menu->addSeparator();
        continue;
      }
      QAction* action = menu->addAction(QString::fromStdString(item->Text()));
      action->setShortcut(Shortcut(item->KeyboardShortcut()));
      // Items that do not enable themselves stay disabled: nothing enables them.
      action->setEnabled(item->AutoEnable());
      connect(action, &QAction::triggered, this,
              [item] { DeliverEvent([&] { ChooseMenuItem(*item); }); });
    }
  }
}

void WindowView::BuildControls(QWidget* content) {
  for (const auto& [name, object] : window_.Controls()) {
    auto* rect = dynamic_cast<RectControl*>(object.get());
    if (rect == nullptr) continue;
    QWidget* widget = nullptr;
    if (auto* push = dynamic_cast<PushButton*>(rect)) {
      auto* button = new QPushButton(QString::fromStdString(push->Caption()), content);
      button->setFont(CaptionFont(push->Lettering()));
      // A press is most often a click under way: a stream that opens now
      // has settled by the release, as a person holds a click about 100 ms.
      connect(button, &QPushButton::pressed, this, [] { sound::Anticipate(); });
      connect(button, &QPushButton::clicked, this,
              [push] { DeliverEvent([push] { push->Press(); }); });
      widget = button;
    } else if (auto* radio = dynamic_cast<RadioButton*>(rect)) {
      auto* button = new QRadioButton(content);
      // Set first: the caption is wrapped by this font's measure.
      button->setFont(CaptionFont(radio->Lettering()));
      const QString caption = QString::fromStdString(radio->Caption());
      button->setText(WrappedCaption(*button, caption, radio->Bounds().width));
      button->setAccessibleName(caption);
      button->setChecked(radio->Value());
      connect(button, &QRadioButton::clicked, this,
              [radio] { DeliverEvent([radio] { radio->Click(); }); });
      widget = button;
    } else if (dynamic_cast<ProgressWheel*>(rect) != nullptr) {
      widget = new ProgressWheelView(content);
    } else {
      continue;
    }
    const Geometry& at = rect->Bounds();
    widget->setGeometry(at.left, at.top, at.width, at.height);
    widget->setEnabled(rect->Enabled());
    widget->setVisible(rect->Visible());
    Attach(*rect, widget);
  }
}

void WindowView::closeEvent(QCloseEvent* event) {
  event->ignore();
  auto bar = window_.MenuBar();
  auto quit = bar ? FindQuitItem(*bar) : nullptr;
  if (quit) {
    DeliverEvent([&] { ChooseMenuItem(*quit); });
  } else {
    RequestQuit();
  }
}

}  // namespace fw::qt
