#pragma once
// The window controls and their state. State lives here, under the baton;
// the platform mirrors it on screen.
#include <map>
#include <memory>
#include <string>

#include "framework/core/object.h"

namespace fw {

class Control : public Object {
 public:
  const char* ClassName() const override { return "Control"; }
  void SetProperty(std::string_view name, const PropertyValue& value) override;

  const std::string& Name() const { return name_; }
  fw::Window* Window() const { return window_; }
  void AttachTo(fw::Window* window) { window_ = window; }

  // Platform views keep their own data here.
  std::shared_ptr<void> view;

 protected:
  void Changed();

 private:
  std::string name_;
  int index_ = 0;
  fw::Window* window_ = nullptr;
};

struct Geometry {
  int left = 0, top = 0, width = 0, height = 0;
};

// How a caption is lettered. Sizes are the original platform's points, one
// point a pixel; 0 leaves the platform's own size. "System" names the
// platform's own GUI font.
struct TextStyle {
  std::string font = "System";
  int size = 0;
  bool bold = false;
  bool italic = false;
  bool underline = false;
};

class RectControl : public Control {
 public:
  const char* ClassName() const override { return "RectControl"; }
  void SetProperty(std::string_view name, const PropertyValue& value) override;

  bool Enabled() const { return enabled_; }
  void Enabled(bool value);
  bool Visible() const { return visible_; }
  void Visible(bool value);
  const Geometry& Bounds() const { return bounds_; }
  const TextStyle& Lettering() const { return lettering_; }

  // Cosmetic properties kept as given (locks, help tags).
  const PropertyValue* Extra(std::string_view name) const;

 private:
  bool enabled_ = true;
  bool visible_ = true;
  Geometry bounds_;
  TextStyle lettering_;
  std::map<std::string, PropertyValue, std::less<>> extras_;
};

class PushButton : public RectControl {
 public:
  const char* ClassName() const override { return "PushButton"; }
  void SetProperty(std::string_view name, const PropertyValue& value) override;
  const std::string& Caption() const { return caption_; }
  // A click: raises Action when the button can be pressed.
  void Press();

 private:
  std::string caption_;
};

class RadioButton : public RectControl {
 public:
  const char* ClassName() const override { return "RadioButton"; }
  void SetProperty(std::string_view name, const PropertyValue& value) override;
  const std::string& Caption() const { return caption_; }
  bool Value() const { return value_; }
  // Selecting one radio button clears the others of its window.
  void Value(bool selected);
  void Click();

 private:
  std::string caption_;
  bool value_ = false;
};

class ProgressWheel : public RectControl {
 public:
  const char* ClassName() const override { return "ProgressWheel"; }
};

}  // namespace fw
