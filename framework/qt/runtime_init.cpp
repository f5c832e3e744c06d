#include "framework/qt/runtime_init.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QMessageBox>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/core/application.h"
#include "framework/core/note_player.h"
#include "framework/core/scheduler.h"
#include "framework/qt/qt_platform.h"
#include "framework/sound/fluid_sink.h"
#include "framework/sound/soundfont.h"

namespace {

QApplication* application = nullptr;

bool UsesX11() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  return platform == nullptr || *platform == '\0' || std::strncmp(platform, "xcb", 3) == 0;
}

// Qt only aborts on a display it cannot open (no server, unknown host, no
// such screen, access refused), so we try it first and say why. The
// connection is handed back open: an X server with no client left resets,
// and Qt connecting during that reset fails.
xcb_connection_t* OpenDisplay(const char* display) {
  int screen = 0;
  xcb_connection_t* connection = xcb_connect(display, &screen);
  if (xcb_connection_has_error(connection) == 0 &&
      screen < xcb_setup_roots_length(xcb_get_setup(connection))) {
    return connection;
  }
  xcb_disconnect(connection);
  return nullptr;
}

// Exits with one clear line when there is no display; otherwise returns an
// open connection to it (null when X is not used), to close once Qt has its own.
// WAYLAND_DISPLAY alone is no display: the window needs X, which a Wayland
// desktop provides through XWayland, setting DISPLAY.
xcb_connection_t* RequireDisplay() {
  if (!UsesX11()) return nullptr;
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    std::fprintf(stderr, "velumbra17: no display to open the window on (DISPLAY is not set)\n");
    std::exit(1);
  }
  xcb_connection_t* connection = OpenDisplay(display);
  if (connection == nullptr) {
    std::fprintf(stderr, "velumbra17: cannot open the display %s\n", display);
    std::exit(1);
  }
  return connection;
}

// How to put the SoundFont (back) in place, as a line of its own.
std::string PackageHint(bool reinstall) {
  const std::string package = fw::sound::kSoundFontPackage;
  return reinstall
             ? "\nReinstall the package " + package + " (sudo apt-get install --reinstall " +
                   package + ")."
             : "\nInstall the package " + package + " (sudo apt-get install " + package + ").";
}

// One line on stderr, and a box that waits for the user.
void ReportSoundFontProblem(const std::string& message) {
  std::string line = message;
  std::replace(line.begin(), line.end(), '\n', ' ');
  std::fprintf(stderr, "velumbra17: %s\n", line.c_str());
  QMessageBox::critical(nullptr, "Velumbra 17", QString::fromStdString(message));
}

bool soundFontFailed = false;  // on the GUI thread

// Called on the loader thread, maybe while the window is already up: the box
// goes to the GUI thread, and the program then ends as after a quit.
void SoundFontFailed(const std::string& why) {
  const std::string message = why + PackageHint(true);
  QMetaObject::invokeMethod(
      qApp,
      [message] {
        ReportSoundFontProblem(message);
        soundFontFailed = true;
        fw::RequestQuit();
      },
      Qt::QueuedConnection);
}

// Qt ends the process with exit(1) when the X connection breaks, perhaps
// while an event holds the baton, so the mode threads cannot be joined there;
// left to the static destructors unjoined, they would abort the process.
// Silence the music as a quit does, then end at once.
void EndedFromOutside() {
  if (application == nullptr) return;  // a quit: RuntimeExit has run
  fw::scheduler::KillAll();
  fw::sound::SilenceForExit();
  std::fflush(nullptr);
  std::_Exit(1);
}

}  // namespace

void RuntimeInit() {
  xcb_connection_t* probe = RequireDisplay();
  static int argc = 1;
  static char name[] = "velumbra17";
  static char* argv[] = {name, nullptr};
  application = new QApplication(argc, argv);
  if (probe != nullptr) xcb_disconnect(probe);
  QApplication::setApplicationName("velumbra17");
  QApplication::setApplicationDisplayName("Velumbra 17");
  fw::InstallPlatform(std::make_unique<fw::qt::QtPlatform>());

  std::vector<std::string> soundFonts = fw::sound::SoundFontCandidates();
  if (soundFonts.empty()) {
    ReportSoundFontProblem(std::string("No General MIDI SoundFont was found in ") +
                           fw::sound::kSoundFontFolder + "." + PackageHint(false));
    std::exit(1);
  }
  fw::sound::InstallSink(std::make_shared<fw::sound::FluidSynthSink>(
      std::move(soundFonts), fw::sound::FluidSynthSink::Output::AudioDevice, SoundFontFailed));
  std::atexit(EndedFromOutside);
}

int RuntimeExit() {
  const int status = fw::RuntimeExit();
  fw::sound::InstallSink(nullptr);
  delete application;
  application = nullptr;
  return soundFontFailed ? 1 : status;
}
