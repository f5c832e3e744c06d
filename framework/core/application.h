#pragma once
// The application object, start-up and the event loop.
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "framework/core/object.h"

namespace fw {

class MenuBar;
class MenuItem;

class Application : public Object {
 public:
  const char* ClassName() const override { return "Application"; }
  std::shared_ptr<fw::MenuBar> MenuBar() const { return menuBar_; }
  void MenuBar(const std::shared_ptr<fw::MenuBar>& bar) { menuBar_ = bar; }

  using MenuHandler = bool (Application::*)();
  void AddMenuHandler(const std::string& itemName, MenuHandler handler);

 private:
  friend void ChooseMenuItem(const MenuItem& item);
  std::shared_ptr<fw::MenuBar> menuBar_;
  std::map<std::string, MenuHandler, std::less<>> menuHandlers_;
};

void RegisterAppObject(const std::shared_ptr<Application>& app);
std::shared_ptr<Application> GetAppObject();

// The user chose a menu item: quit, or run the handler bound to its name.
void ChooseMenuItem(const MenuItem& item);

// Runs the event loop until the application quits; an exception that escaped
// an event handler or a thread is raised again here.
void RunEventLoop();
void RequestQuit();

// Delivers one GUI event under the baton; an exception ends the event loop.
void DeliverEvent(const std::function<void()>& handler);
// An exception escaped a thread's Run handler.
void ReportThreadException(std::exception_ptr error);

// Prints the exception's kind and message on stderr.
void UnhandledException(std::exception_ptr error);

// Ends every thread, silences every note; returns the exit status.
int RuntimeExit();

// Clears the runtime's registries (tests start each case afresh).
void ResetRuntime();

}  // namespace fw
