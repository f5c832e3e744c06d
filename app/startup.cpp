#include "app/startup.h"

#include <exception>
#include <memory>

#include "app/app.h"
#include "app/menu_bar1.h"
#include "framework/core/tarnwick.h"
#include "window/window1.h"

void InitFileTypes() {
  // The program opens no documents.
}

void NewAppInstance() {
  auto app = std::make_shared<App>();
  app->MenuBar(accessors::MenuBar1());
  Tarnwick::RuntimeRegisterAppObject(app);
}

void ApplicationAddMenuHandlers() {
  auto app = accessors::App();
  if (!app) fw::RaiseNilObjectException();
  auto handler = static_cast<fw::Application::MenuHandler>(&App::_aboutvelumbra17_Action);
  accessors::App()->AddMenuHandler("aboutvelumbra17", handler);
}

void Main() {
  try {
    Tarnwick::RuntimeInitExternalClasses();
    Tarnwick::InitPluginEntrypoints();
    InitFileTypes();
    NewAppInstance();
    ApplicationAddMenuHandlers();
    MakeDefaultView();
    Tarnwick::RuntimeRun();
  } catch (...) {
    Tarnwick::UnhandledException(std::current_exception());
  }
}
