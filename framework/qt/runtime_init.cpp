#include "framework/qt/runtime_init.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/core/application.h"
#include "framework/core/note_player.h"
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

  auto soundFont = fw::sound::FindSoundFont();
  if (!soundFont) {
    const std::string message = std::string("No General MIDI SoundFont was found in ") +
                                fw::sound::kSoundFontFolder + ".\nInstall the package " +
                                fw::sound::kSoundFontPackage + " (sudo apt-get install " +
                                fw::sound::kSoundFontPackage + ").";
    std::fprintf(stderr, "velumbra17: %s\n", message.c_str());
    QMessageBox::critical(nullptr, "Velumbra 17", QString::fromStdString(message));
    std::exit(1);
  }
  fw::sound::InstallSink(std::make_shared<fw::sound::FluidSynthSink>(*soundFont));
}

int RuntimeExit() {
  const int status = fw::RuntimeExit();
  fw::sound::InstallSink(nullptr);
  delete application;
  application = nullptr;
  return status;
}
