#include "framework/core/window.h"

#include <map>
#include <mutex>

#include "framework/core/controls.h"
#include "framework/core/platform.h"

namespace fw {
namespace {
std::mutex implicitMutex;
std::map<std::string, std::shared_ptr<Window>, std::less<>> implicitWindows;
}  // namespace

void Window::SetProperty(std::string_view name, const PropertyValue& value) {
  Property p{name, value};
  if (name == "Title") {
    title_ = AsString(p);
  } else if (name == "Width") {
    width_ = AsInt(p);
  } else if (name == "Height") {
    height_ = AsInt(p);
  } else if (name == "Resizeable") {
    resizeable_ = AsBool(p);
  } else if (name == "Visible") {
    visible_ = AsBool(p);
  } else if (name == "CloseButton") {
    closeButton_ = AsBool(p);
  } else if (name == "MinimizeButton") {
    minimizeButton_ = AsBool(p);
  } else if (name == "MaximizeButton") {
    maximizeButton_ = AsBool(p);
  } else if (name == "Placement" || name == "MinWidth" || name == "MinHeight" ||
             name == "MaxWidth" || name == "MaxHeight" || name == "Frame" || name == "Composite" ||
             name == "HasBackColor" || name == "BackColor" || name == "FullScreen" ||
             name == "MenuBarVisible" || name == "LiveResize" || name == "BalloonHelp" ||
             name == "MacProcId") {
    // Accepted; a fixed window of the platform's own kind needs nothing more.
  } else {
    Object::SetProperty(name, value);
  }
}

void Window::Construct() {
  if (constructed_) return;
  constructed_ = true;
  Layout();
  CreateControls();
  AddMenuHandlers(*this);
  {
    std::lock_guard lock(implicitMutex);
    implicitWindows[ClassName()] = shared_from_this();
  }
  if (visible_) CurrentPlatform().ShowWindow(*this);
}

void Window::AddControl(const std::string& name, const std::shared_ptr<Object>& control) {
  if (!control) RaiseNilObjectException();
  if (auto* c = dynamic_cast<Control*>(control.get())) c->AttachTo(this);
  if (auto* child = dynamic_cast<PaneChild*>(control.get())) child->SetWindow(shared_from_this());
  for (auto& [existing, object] : controls_) {
    if (existing == name) {
      object = control;
      return;
    }
  }
  controls_.emplace_back(name, control);
}

Object* Window::ControlByName(std::string_view name) const {
  for (const auto& [existing, object] : controls_) {
    if (existing == name) return object.get();
  }
  return nullptr;
}

Object* RuntimeWindowControlByName(const Window* window, std::string_view name) {
  if (window == nullptr) RaiseNilObjectException();
  return window->ControlByName(name);
}

Window* RuntimeSwapSelfAndMe(Object& source) {
  if (auto* control = dynamic_cast<Control*>(&source)) return control->Window();
  if (auto* child = dynamic_cast<PaneChild*>(&source)) return child->Window().get();
  throw RuntimeException(std::string("an event source of class ") + source.ClassName() +
                         " belongs to no window");
}

void RaiseEvent(Object& source, std::string_view eventName) {
  EventHandler handler = source.HandlerFor(eventName);
  if (handler == nullptr) return;
  Window* window = RuntimeSwapSelfAndMe(source);
  if (window == nullptr) RaiseNilObjectException();
  (window->*handler)();
}

std::shared_ptr<Window> GetImplicitWindow(std::string_view className) {
  std::lock_guard lock(implicitMutex);
  auto it = implicitWindows.find(className);
  return it == implicitWindows.end() ? nullptr : it->second;
}

void ForgetImplicitWindows() {
  std::map<std::string, std::shared_ptr<Window>, std::less<>> dropped;
  std::lock_guard lock(implicitMutex);
  dropped.swap(implicitWindows);
}

}  // namespace fw
