#include "framework/core/menu.h"

namespace fw {

void MenuItem::Append(const std::shared_ptr<MenuItem>& item) {
  if (!item) RaiseNilObjectException();
  children_.push_back(item);
}

std::shared_ptr<MenuItem> MenuItem::Item(int index) const {
  if (index < 0 || index >= Count()) throw OutOfBoundsException("menu item index out of range");
  return children_[static_cast<std::size_t>(index)];
}

std::shared_ptr<MenuItem> MenuItem::Child(std::string_view name) const {
  for (const auto& child : children_) {
    if (child->Name() == name) return child;
  }
  return nullptr;
}

std::shared_ptr<MenuItem> MenuItem::Lookup(std::string_view name) const {
  for (const auto& child : children_) {
    if (child->Name() == name) return child;
    if (auto found = child->Lookup(name)) return found;
  }
  return nullptr;
}

}  // namespace fw
