#pragma once
// What the runtime needs of a windowing system. The real one is Qt; tests
// use a recording stand-in, so the runtime itself never includes Qt.
#include <memory>
#include <string>

namespace fw {

class Object;
class Window;
class MenuBar;

class Platform {
 public:
  virtual ~Platform() = default;
  // A window has run its construction hooks and wants to be seen.
  virtual void ShowWindow(Window& window) = 0;
  // A control's state changed; called by the baton holder.
  virtual void ControlChanged(Object& control) = 0;
  // Modal message box; called without the baton, from any thread. From a
  // thread other than the GUI thread it may wait for the GUI thread to show it.
  virtual void ShowMessage(const std::string& text) = 0;
  // On the GUI thread, without the baton: whether a box of another thread
  // waits for this thread to show it, and showing the oldest such box now
  // (false when none waits). A GUI thread that must wait for a mode thread
  // shows that thread's box itself, or each would wait for the other.
  virtual bool HasWaitingMessage() const { return false; }
  virtual bool ShowWaitingMessage() { return false; }
  virtual int RunEventLoop() = 0;
  virtual void Quit() = 0;
  // Releases threads blocked in ShowMessage before they are joined.
  virtual void Shutdown() {}
};

Platform& CurrentPlatform();
void InstallPlatform(std::unique_ptr<Platform> platform);

}  // namespace fw
