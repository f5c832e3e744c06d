// The window on real Qt widgets (offscreen): what a person sees and clicks.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <chrono>
#include <thread>

#include "app/startup.h"
#include "framework/core/application.h"
#include "framework/core/clock.h"
#include "framework/core/controls.h"
#include "framework/core/scheduler.h"
#include "framework/qt/qt_platform.h"
#include "framework/testing/recording_sink.h"
#include "window/control_lookup.h"
#include "window/window1.h"

namespace {

QMainWindow* MainWindow() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* main = qobject_cast<QMainWindow*>(w); main && main->windowTitle() == "Velumbra 17")
      return main;
  }
  return nullptr;
}

template <typename T>
T* Child(QWidget* parent, const QString& text) {
  for (T* w : parent->findChildren<T*>()) {
    if (w->text() == text) return w;
  }
  return nullptr;
}

void ProcessEventsFor(int ms) {
  QTimer timer;
  timer.setSingleShot(true);
  timer.start(ms);
  while (timer.isActive()) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

class WindowViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (app != nullptr) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "velumbra17-tests";
    static char* argv[] = {name, nullptr};
    app = new QApplication(argc, argv);
  }
  void SetUp() override {
    fw::ResetRuntime();
    fw::InstallPlatform(std::make_unique<fw::qt::QtPlatform>());
    sink = fw::testing::InstallRecordingSink();
    fw::clock::UseVirtualClock(3125);
    MakeDefaultView();
    main = MainWindow();
  }
  void TearDown() override {
    fw::RuntimeExit();
    fw::ResetRuntime();
    fw::clock::UseRealClock();
    delete MainWindow();
  }

  static QApplication* app;
  std::shared_ptr<fw::testing::RecordingSink> sink;
  QMainWindow* main = nullptr;
};

QApplication* WindowViewTest::app = nullptr;

TEST_F(WindowViewTest, FixedWindowWithItsControlsMenusAndNoTitleButtons) {
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(main->isVisible());
  EXPECT_EQ(main->centralWidget()->size(), QSize(300, 300));
  EXPECT_FALSE(main->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(main->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(main->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(main->minimumSize(), main->maximumSize());

  auto* start = Child<QPushButton>(main, "start");
  auto* stop = Child<QPushButton>(main, "stop");
  ASSERT_TRUE(start && stop);
  EXPECT_EQ(start->geometry(), QRect(115, 140, 70, 20));
  EXPECT_TRUE(start->isEnabled());
  EXPECT_FALSE(stop->isEnabled());
  auto* oneShot = Child<QRadioButton>(main, "one shot");
  ASSERT_NE(oneShot, nullptr);
  EXPECT_TRUE(oneShot->isChecked());
  EXPECT_EQ(main->findChildren<QRadioButton*>().size(), 4);

  const auto menus = main->menuBar()->actions();
  ASSERT_EQ(menus.size(), 2);
  EXPECT_EQ(menus[0]->text(), "About Velumbra 17");
  EXPECT_EQ(menus[1]->text(), "");
  const auto fileItems = menus[0]->menu()->actions();
  ASSERT_EQ(fileItems.size(), 2);
  EXPECT_EQ(fileItems[1]->shortcut(), QKeySequence("Ctrl+Q"));
  EXPECT_TRUE(fileItems[1]->isEnabled());
  int editItems = 0;
  for (QAction* action : menus[1]->menu()->actions()) {
    if (action->isSeparator()) continue;
    ++editItems;
    EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
  }
  EXPECT_EQ(editItems, 6);
}

TEST_F(WindowViewTest, ClicksStartAndStopAndTheWidgetsFollowTheState) {
  ASSERT_NE(main, nullptr);
  auto* start = Child<QPushButton>(main, "start");
  auto* stop = Child<QPushButton>(main, "stop");
  Child<QRadioButton>(main, "looped")->click();
  ProcessEventsFor(20);
  EXPECT_FALSE(Child<QRadioButton>(main, "one shot")->isChecked());
  EXPECT_EQ(sink->Anticipations(), 0) << "choosing a mode starts nothing";
  // Pressed, start gets the output ready; it acts on the release.
  const QPointF centre(start->width() / 2.0, start->height() / 2.0);
  QMouseEvent press(QEvent::MouseButtonPress, centre, start->mapToGlobal(centre), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(start, &press);
  ProcessEventsFor(20);
  EXPECT_EQ(sink->Anticipations(), 1);
  EXPECT_TRUE(start->isEnabled()) << "started before the release";
  QMouseEvent release(QEvent::MouseButtonRelease, centre, start->mapToGlobal(centre),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(start, &release);
  ProcessEventsFor(50);
  EXPECT_FALSE(start->isEnabled());
  EXPECT_TRUE(stop->isEnabled());
  EXPECT_FALSE(Child<QRadioButton>(main, "original")->isEnabled());
  // The farewell box is modal: close it as a person would, once it shows.
  QString shown;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shown = box->text();
      box->accept();
    }
  });
  closer.start(10);
  stop->click();
  for (int i = 0; i < 200 && shown.isEmpty(); ++i) ProcessEventsFor(50);
  ProcessEventsFor(50);
  EXPECT_TRUE(shown.startsWith("Thanks for listening to this velumbra."));
  EXPECT_TRUE(start->isEnabled());
  EXPECT_FALSE(stop->isEnabled());
  EXPECT_TRUE(sink->Sounding().empty());
}

}  // namespace

namespace {

TEST_F(WindowViewTest, AWindowManagerCloseRequestQuitsLikeTheQuitItem) {
  ASSERT_NE(main, nullptr);
  // Without the quit road the loop would only end by the fallback timer, with 1.
  // The timer ends with the test: left armed, it would end a later test's box.
  QTimer fallback;
  fallback.setSingleShot(true);
  QObject::connect(&fallback, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  fallback.start(5000);
  QTimer::singleShot(0, [&] { main->close(); });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(main->isVisible()) << "the window stays until the process ends";
}

}  // namespace

namespace {

TEST_F(WindowViewTest, StartBeforeTheModesOwnFarewellIsShownShowsThatBoxOnceThenPlays) {
  // A mode's end shows the idle state, then queues its farewell box for this
  // thread. A start click handled in between waits for that run to end.
  ASSERT_NE(main, nullptr);
  Child<QPushButton>(main, "start")->click();
  fw::Platform& platform = fw::CurrentPlatform();
  for (int i = 0; i < 60000 && !platform.HasWaitingMessage(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(platform.HasWaitingMessage()) << "one shot did not end by itself";

  QStringList shown;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shown << box->text();
      box->accept();
    }
  });
  closer.start(20);
  const auto window = accessors::Window1();
  {
    fw::scheduler::EventScope click;
    EXPECT_NO_THROW(LookUpControl<fw::PushButton>(window.get(), "play").Press());
    EXPECT_EQ(shown.size(), 1) << "the farewell box comes before the new run";
    EXPECT_TRUE(LookUpControl<fw::PushButton>(window.get(), "stop").Enabled());
  }
  // The new run ends by itself as well; the box shown early is not shown again.
  for (int i = 0; i < 600 && (fw::scheduler::AnyRunning() || shown.size() < 2); ++i) {
    ProcessEventsFor(50);
  }
  ProcessEventsFor(50);
  ASSERT_EQ(shown.size(), 2);
  for (const QString& text : shown) EXPECT_TRUE(text.startsWith("Thanks for listening"));
  EXPECT_TRUE(Child<QPushButton>(main, "start")->isEnabled());
}

// A desktop theme sets a large application font before the window is built.
class LargeDesktopFontTest : public WindowViewTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    desktopFont = QApplication::font();
    QFont large = desktopFont;
    large.setPointSize(GetParam());
    QApplication::setFont(large);
    WindowViewTest::SetUp();
  }
  void TearDown() override {
    WindowViewTest::TearDown();
    QApplication::setFont(desktopFont);
  }
  QFont desktopFont;
};

// Where the style draws a button's caption.
QRect CaptionRoom(QAbstractButton& button) {
  QStyleOptionButton option;
  option.initFrom(&button);
  option.text = button.text();
  const bool radio = qobject_cast<QRadioButton*>(&button) != nullptr;
  return button.style()->subElementRect(
      radio ? QStyle::SE_RadioButtonContents : QStyle::SE_PushButtonContents, &option, &button);
}

TEST_P(LargeDesktopFontTest, CaptionsTakeTheirOwnFontAndReadWholeInTheirBoxes) {
  ASSERT_NE(main, nullptr);
  const QString systemFamily = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
  QList<QAbstractButton*> buttons;
  for (auto* push : main->findChildren<QPushButton*>()) buttons << push;
  for (auto* radio : main->findChildren<QRadioButton*>()) buttons << radio;
  ASSERT_EQ(buttons.size(), 6);
  for (QAbstractButton* button : buttons) {
    const std::string name = button->accessibleName().isEmpty()
                                 ? button->text().toStdString()
                                 : button->accessibleName().toStdString();
    EXPECT_EQ(button->font().family(), systemFamily) << name;
    EXPECT_EQ(button->font().pixelSize(), 12) << name;
    const QRect room = CaptionRoom(*button);
    const QRect text = button->fontMetrics().boundingRect(room, Qt::AlignLeft, button->text());
    EXPECT_LE(text.width(), room.width()) << name;
    EXPECT_LE(text.height(), room.height()) << name;
  }
  EXPECT_EQ(main->menuBar()->font().pointSize(), GetParam())
      << "the menu bar keeps the desktop font";
}

INSTANTIATE_TEST_SUITE_P(DesktopPointSizes, LargeDesktopFontTest, ::testing::Values(15, 20));

}  // namespace
