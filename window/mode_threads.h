#pragma once
// The four mode-thread controls. Each knows the window that owns it, so that
// its Run event can run a method of that window.
#include <cstdint>
#include <memory>

#include "framework/core/thread.h"
#include "framework/core/window.h"
#include "window/window1.h"

class Class1 : public fw::Thread {
 public:
  const char* ClassName() const override { return "Class1"; }
};

template <typename Base>
class ModeThreadControl : public Base, public fw::PaneChild {
 public:
  void SetWindow(const std::shared_ptr<fw::Window>& window) override { ownerWindow = window; }
  std::shared_ptr<fw::Window> Window() override { return ownerWindow.lock(); }
  int Index() override { return Index_; }
  void SetIndex(int index) override { Index_ = index; }
  void Constructor() {}

  void SetProperty(std::string_view name, const fw::PropertyValue& value) override {
    if (name == "Index") {
      Index_ = fw::AsInt(fw::Property{name, value});
    } else {
      Base::SetProperty(name, value);
    }
  }

 private:
  std::int32_t Index_ = 0;
  // The window owns its controls; a counted reference back would keep both alive forever.
  std::weak_ptr<fw::Window> ownerWindow;
};

class Window1::OneShot : public ModeThreadControl<Class1> {
 public:
  const char* ClassName() const override { return "Window1.OneShot"; }
};

class Window1::Original : public ModeThreadControl<fw::Thread> {
 public:
  const char* ClassName() const override { return "Window1.Original"; }
};

class Window1::Looped : public ModeThreadControl<fw::Thread> {
 public:
  const char* ClassName() const override { return "Window1.Looped"; }
};

class Window1::OneShotEnd : public ModeThreadControl<fw::Thread> {
 public:
  const char* ClassName() const override { return "Window1.OneShotEnd"; }
};
