#include "framework/core/application.h"

#include <cxxabi.h>
#include <errno.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <typeinfo>

#include "framework/core/menu.h"
#include "framework/core/note_player.h"
#include "framework/core/platform.h"
#include "framework/core/scheduler.h"
#include "framework/core/window.h"

namespace fw {
namespace {
std::mutex stateMutex;
std::shared_ptr<Application> appObject;
std::exception_ptr pendingError;
int exitStatus = 0;

std::string Demangled(const char* name) {
  int status = 0;
  char* readable = abi::__cxa_demangle(name, nullptr, nullptr, &status);
  std::string result = status == 0 && readable != nullptr ? readable : name;
  std::free(readable);
  return result;
}

void KeepFirstError(std::exception_ptr error) {
  {
    std::lock_guard lock(stateMutex);
    if (!pendingError) pendingError = error;
  }
  CurrentPlatform().Quit();
}
}  // namespace

void Application::AddMenuHandler(const std::string& itemName, MenuHandler handler) {
  menuHandlers_[itemName] = handler;
}

void RegisterAppObject(const std::shared_ptr<Application>& app) {
  std::lock_guard lock(stateMutex);
  appObject = app;
}

std::shared_ptr<Application> GetAppObject() {
  std::lock_guard lock(stateMutex);
  return appObject;
}

void ChooseMenuItem(const MenuItem& item) {
  if (item.Quits()) {
    RequestQuit();
    return;
  }
  auto app = GetAppObject();
  if (!app) return;
  auto it = app->menuHandlers_.find(item.Name());
  if (it != app->menuHandlers_.end()) ((*app).*(it->second))();
}

void RunEventLoop() {
  CurrentPlatform().RunEventLoop();
  std::exception_ptr error;
  {
    std::lock_guard lock(stateMutex);
    std::swap(error, pendingError);
  }
  if (error) std::rethrow_exception(error);
}

void RequestQuit() { CurrentPlatform().Quit(); }

void DeliverEvent(const std::function<void()>& handler) {
  scheduler::EventScope holdBaton;
  try {
    handler();
  } catch (...) {
    KeepFirstError(std::current_exception());
  }
}

void ReportThreadException(std::exception_ptr error) { KeepFirstError(error); }

void UnhandledException(std::exception_ptr error) {
  std::string kind = "unknown exception";
  std::string message;
  try {
    std::rethrow_exception(error);
  } catch (const RuntimeException& e) {
    kind = e.Kind();
    message = e.what();
  } catch (const std::exception& e) {
    kind = Demangled(typeid(e).name());
    message = e.what();
  } catch (...) {
  }
  std::fprintf(stderr, "%s: unhandled %s%s%s\n", program_invocation_short_name, kind.c_str(),
               message.empty() ? "" : ": ", message.c_str());
  std::lock_guard lock(stateMutex);
  exitStatus = 1;
}

int RuntimeExit() {
  CurrentPlatform().Shutdown();
  scheduler::ShutdownAll();
  sound::SilenceForExit();
  std::lock_guard lock(stateMutex);
  return exitStatus;
}

void ResetRuntime() {
  scheduler::ShutdownAll();
  sound::ReleaseAll();
  ForgetImplicitWindows();
  std::lock_guard lock(stateMutex);
  appObject.reset();
  pendingError = nullptr;
  exitStatus = 0;
}

}  // namespace fw
