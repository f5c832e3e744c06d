#include "app/menu_bar1.h"

#include <optional>
#include <string>

namespace {

struct ItemRecord {
  const char* name;
  bool quits;
  const char* parent;  // null: the menu bar itself
  const char* text;
  std::optional<const char*> shortcut;  // absent: never set
  bool autoEnable;
};

constexpr ItemRecord kItems[] = {
    {"FileMenu", false, nullptr, "About Velumbra 17", "", true},
    {"aboutvelumbra17", false, "FileMenu", "About Velumbra 17", "", true},
    {"FileQuit", true, "FileMenu", "&Quit", "Cmd+Q", true},
    {"EditMenu", false, nullptr, "", "", true},
    {"EditUndo", false, "EditMenu", "&Undo", "Cmd+Z", false},
    {"UntitledMenu1", false, "EditMenu", "-", std::nullopt, true},
    {"EditCut", false, "EditMenu", "Cu&t", "Cmd+X", false},
    {"EditCopy", false, "EditMenu", "&Copy", "Cmd+C", false},
    {"EditPaste", false, "EditMenu", "&Paste", "Cmd+V", false},
    {"EditClear", false, "EditMenu", "&Delete", "", false},
    {"UntitledMenu0", false, "EditMenu", "-", std::nullopt, true},
    {"EditSelectAll", false, "EditMenu", "Select &All", "Cmd+A", false},
};

}  // namespace

MenuBar1::MenuBar1() {
  for (const ItemRecord& record : kItems) {
    std::shared_ptr<fw::MenuItem> item;
    if (record.quits) {
      item = std::make_shared<fw::QuitMenuItem>();
    } else {
      item = std::make_shared<fw::MenuItem>();
    }
    item->Name(record.name);
    item->AutoEnable(record.autoEnable);
    item->Text(record.text);
    if (record.shortcut) item->KeyboardShortcut(*record.shortcut);
    if (record.parent == nullptr) {
      Append(item);
    } else {
      auto parent = Child(record.parent);
      if (!parent) fw::RaiseNilObjectException();
      parent->Append(item);
    }
  }
}

namespace accessors {
std::shared_ptr<::MenuBar1> MenuBar1() {
  static std::shared_ptr<::MenuBar1> shared;
  if (!shared) {
    auto created = std::make_shared<::MenuBar1>();
    shared = created;
  }
  return shared;
}
}  // namespace accessors
