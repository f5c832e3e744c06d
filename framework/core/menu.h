#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/core/object.h"

namespace fw {

class MenuItem : public Object {
 public:
  const char* ClassName() const override { return "MenuItem"; }

  const std::string& Name() const { return name_; }
  void Name(const std::string& name) { name_ = name; }
  const std::string& Text() const { return text_; }
  void Text(const std::string& text) { text_ = text; }
  // Absent when never set (separators).
  const std::optional<std::string>& KeyboardShortcut() const { return shortcut_; }
  void KeyboardShortcut(const std::string& shortcut) { shortcut_ = shortcut; }
  bool AutoEnable() const { return autoEnable_; }
  void AutoEnable(bool value) { autoEnable_ = value; }

  void Append(const std::shared_ptr<MenuItem>& item);
  int Count() const { return static_cast<int>(children_.size()); }
  std::shared_ptr<MenuItem> Item(int index) const;
  // A direct child by name.
  std::shared_ptr<MenuItem> Child(std::string_view name) const;
  // Any item below this one by name, depth first.
  std::shared_ptr<MenuItem> Lookup(std::string_view name) const;

  bool IsSeparator() const { return text_ == "-"; }
  virtual bool Quits() const { return false; }

 private:
  std::string name_;
  std::string text_;
  std::optional<std::string> shortcut_;
  bool autoEnable_ = true;
  std::vector<std::shared_ptr<MenuItem>> children_;
};

class QuitMenuItem : public MenuItem {
 public:
  const char* ClassName() const override { return "QuitMenuItem"; }
  bool Quits() const override { return true; }
};

class MenuBar : public MenuItem {
 public:
  const char* ClassName() const override { return "MenuBar"; }
};

}  // namespace fw
