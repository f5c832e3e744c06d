#pragma once
#include <string_view>

#include "framework/core/object.h"
#include "framework/core/window.h"

// Every use of a control looks it up by name anew and tests it for nil.
template <typename T>
T& LookUpControl(const fw::Window* window, std::string_view name) {
  fw::Object* object = fw::RuntimeWindowControlByName(window, name);
  if (object == nullptr) fw::RaiseNilObjectException();
  return *fw::RuntimeCheckCast<T>(object);
}
