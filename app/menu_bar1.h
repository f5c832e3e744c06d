#pragma once
#include <memory>

#include "framework/core/menu.h"

class MenuBar1 : public fw::MenuBar {
 public:
  // Builds the about menu and the (always disabled) edit menu.
  MenuBar1();
  const char* ClassName() const override { return "MenuBar1.MenuBar1"; }
};

namespace accessors {
// The one shared menu bar, created at the first call.
std::shared_ptr<::MenuBar1> MenuBar1();
}  // namespace accessors
