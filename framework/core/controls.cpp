#include "framework/core/controls.h"

#include "framework/core/application.h"
#include "framework/core/platform.h"
#include "framework/core/window.h"

namespace fw {

void Control::SetProperty(std::string_view name, const PropertyValue& value) {
  Property p{name, value};
  if (name == "Name") {
    name_ = AsString(p);
  } else if (name == "Index") {
    index_ = AsInt(p);
  } else if (name == "TabPanelIndex") {
    // single-panel windows only
  } else {
    Object::SetProperty(name, value);
  }
}

void Control::Changed() {
  if (window_ != nullptr) CurrentPlatform().ControlChanged(*this);
}

void RectControl::SetProperty(std::string_view name, const PropertyValue& value) {
  Property p{name, value};
  if (name == "Left") {
    bounds_.left = AsInt(p);
  } else if (name == "Top") {
    bounds_.top = AsInt(p);
  } else if (name == "Width") {
    bounds_.width = AsInt(p);
  } else if (name == "Height") {
    bounds_.height = AsInt(p);
  } else if (name == "Enabled") {
    Enabled(AsBool(p));
  } else if (name == "Visible") {
    Visible(AsBool(p));
  } else if (name == "TextFont") {
    lettering_.font = AsString(p);
  } else if (name == "TextSize") {
    lettering_.size = AsInt(p);
  } else if (name == "Bold") {
    lettering_.bold = AsBool(p);
  } else if (name == "Italic") {
    lettering_.italic = AsBool(p);
  } else if (name == "Underline") {
    lettering_.underline = AsBool(p);
  } else if (name == "LockLeft" || name == "LockTop" || name == "LockRight" ||
             name == "LockBottom" || name == "HelpTag" || name == "AutoDeactivate" ||
             name == "InitialParent" || name == "Default" || name == "Cancel") {
    extras_[std::string(name)] = value;
  } else {
    Control::SetProperty(name, value);
  }
}

const PropertyValue* RectControl::Extra(std::string_view name) const {
  auto it = extras_.find(name);
  return it == extras_.end() ? nullptr : &it->second;
}

void RectControl::Enabled(bool value) {
  enabled_ = value;
  Changed();
}

void RectControl::Visible(bool value) {
  visible_ = value;
  Changed();
}

void PushButton::SetProperty(std::string_view name, const PropertyValue& value) {
  if (name == "Caption") {
    caption_ = AsString(Property{name, value});
  } else {
    RectControl::SetProperty(name, value);
  }
}

void PushButton::Press() {
  if (Enabled() && Visible()) RaiseEvent(*this, "Action");
}

void RadioButton::SetProperty(std::string_view name, const PropertyValue& value) {
  Property p{name, value};
  if (name == "Caption") {
    caption_ = AsString(p);
  } else if (name == "Value") {
    Value(AsBool(p));
  } else {
    RectControl::SetProperty(name, value);
  }
}

void RadioButton::Value(bool selected) {
  if (selected && Window() != nullptr) {
    for (const auto& [controlName, control] : Window()->Controls()) {
      auto* other = dynamic_cast<RadioButton*>(control.get());
      if (other != nullptr && other != this && other->value_) {
        other->value_ = false;
        other->Changed();
      }
    }
  }
  value_ = selected;
  Changed();
}

void RadioButton::Click() {
  if (Enabled() && Visible()) Value(true);
}

}  // namespace fw
