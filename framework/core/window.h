#pragma once
// Windows: construction hooks, the control registry by name, the menu bar.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/core/object.h"

namespace fw {

class MenuBar;
class Control;

class PaneChild {
 public:
  virtual ~PaneChild() = default;
  virtual void SetWindow(const std::shared_ptr<fw::Window>& window) = 0;
  virtual std::shared_ptr<fw::Window> Window() = 0;
  virtual int Index() = 0;
  virtual void SetIndex(int index) = 0;
};

class Window : public Object, public std::enable_shared_from_this<Window> {
 public:
  const char* ClassName() const override { return "Window"; }
  void SetProperty(std::string_view name, const PropertyValue& value) override;

  // The window constructor: runs the three hooks once, registers the window
  // as its class's implicit instance, and shows it when it is visible.
  void Construct();

  void AddControl(const std::string& name, const std::shared_ptr<Object>& control);
  Object* ControlByName(std::string_view name) const;
  const std::vector<std::pair<std::string, std::shared_ptr<Object>>>& Controls() const {
    return controls_;
  }

  std::shared_ptr<fw::MenuBar> MenuBar() const { return menuBar_; }
  void MenuBar(const std::shared_ptr<fw::MenuBar>& bar) { menuBar_ = bar; }

  const std::string& Title() const { return title_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Resizeable() const { return resizeable_; }
  bool Visible() const { return visible_; }
  bool CloseButton() const { return closeButton_; }
  bool MinimizeButton() const { return minimizeButton_; }
  bool MaximizeButton() const { return maximizeButton_; }

 protected:
  virtual void Layout() {}
  virtual void CreateControls() {}
  virtual void AddMenuHandlers(Window& /*window*/) {}

 private:
  std::vector<std::pair<std::string, std::shared_ptr<Object>>> controls_;
  std::shared_ptr<fw::MenuBar> menuBar_;
  std::string title_;
  int width_ = 0, height_ = 0;
  bool resizeable_ = true, visible_ = true;
  bool closeButton_ = true, minimizeButton_ = true, maximizeButton_ = true;
  bool constructed_ = false;
};

Object* RuntimeWindowControlByName(const Window* window, std::string_view name);

// The window an event handler runs on: a control's window, or a pane child's.
Window* RuntimeSwapSelfAndMe(Object& source);

// Binds an event of a control to a window method.
template <typename W>
void InstallInstanceEventHandler(Object* control, std::string_view eventName,
                                 void (W::*handler)()) {
  control->InstallEventHandler(eventName, static_cast<EventHandler>(handler));
}

// Runs the handler bound to eventName, with the source's window as its object.
void RaiseEvent(Object& source, std::string_view eventName);

std::shared_ptr<Window> GetImplicitWindow(std::string_view className);
void ForgetImplicitWindows();

}  // namespace fw
