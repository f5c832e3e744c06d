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
// such screen, access refused), so we try it first and say why.
bool DisplayOpens(const char* display) {
  int screen = 0;
  xcb_connection_t* connection = xcb_connect(display, &screen);
  const bool opens = xcb_connection_has_error(connection) == 0 &&
                     screen < xcb_setup_roots_length(xcb_get_setup(connection));
  xcb_disconnect(connection);
  return opens;
}

void RequireDisplay() {
  if (!UsesX11()) return;
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if ((display == nullptr || *display == '\0') && (wayland == nullptr || *wayland == '\0')) {
    std::fprintf(stderr, "velumbra17: no display to open the window on (DISPLAY is not set)\n");
    std::exit(1);
  }
  if (display != nullptr && *display != '\0' && !DisplayOpens(display)) {
    std::fprintf(stderr, "velumbra17: cannot open the display %s\n", display);
    std::exit(1);
  }
}

}  // namespace

void RuntimeInit() {
  RequireDisplay();
  static int argc = 1;
  static char name[] = "velumbra17";
  static char* argv[] = {name, nullptr};
  application = new QApplication(argc, argv);
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
