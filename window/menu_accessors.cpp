#include "framework/core/menu.h"
#include "window/window1.h"

std::shared_ptr<fw::MenuItem> Window1::MenuItemNamed(std::string_view name) {
  auto bar = MenuBar();
  if (!bar) fw::RaiseNilObjectException();
  return fw::RuntimeCheckCast<fw::MenuItem>(bar->Lookup(name));
}

std::shared_ptr<fw::MenuItem> Window1::EditMenu() { return MenuItemNamed("EditMenu"); }
std::shared_ptr<fw::MenuItem> Window1::EditSelectAll() { return MenuItemNamed("EditSelectAll"); }
std::shared_ptr<fw::MenuItem> Window1::UntitledMenu0() { return MenuItemNamed("UntitledMenu0"); }
std::shared_ptr<fw::MenuItem> Window1::EditClear() { return MenuItemNamed("EditClear"); }
std::shared_ptr<fw::MenuItem> Window1::EditPaste() { return MenuItemNamed("EditPaste"); }
std::shared_ptr<fw::MenuItem> Window1::EditCopy() { return MenuItemNamed("EditCopy"); }
std::shared_ptr<fw::MenuItem> Window1::EditCut() { return MenuItemNamed("EditCut"); }
std::shared_ptr<fw::MenuItem> Window1::UntitledMenu1() { return MenuItemNamed("UntitledMenu1"); }
std::shared_ptr<fw::MenuItem> Window1::EditUndo() { return MenuItemNamed("EditUndo"); }
std::shared_ptr<fw::MenuItem> Window1::FileMenu() { return MenuItemNamed("FileMenu"); }
std::shared_ptr<fw::QuitMenuItem> Window1::FileQuit() {
  return fw::RuntimeCheckCast<fw::QuitMenuItem>(MenuItemNamed("FileQuit"));
}
std::shared_ptr<fw::MenuItem> Window1::aboutvelumbra17() {
  return MenuItemNamed("aboutvelumbra17");
}
