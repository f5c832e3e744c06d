#include "framework/core/object.h"

namespace fw {

void Object::SetProperty(std::string_view name, const PropertyValue&) {
  throw UnknownPropertyException(std::string(ClassName()) + " has no property " +
                                 std::string(name));
}

void Object::InstallEventHandler(std::string_view eventName, EventHandler handler) {
  handlers_[std::string(eventName)] = handler;
}

EventHandler Object::HandlerFor(std::string_view eventName) const {
  auto it = handlers_.find(eventName);
  return it == handlers_.end() ? nullptr : it->second;
}

void RaiseNilObjectException() { throw NilObjectException(); }

void SetProperties(Object& object, std::span<const Property> values) {
  for (const Property& p : values) object.SetProperty(p.name, p.value);
}

namespace {
template <typename T>
const T& Get(const Property& p) {
  if (const T* v = std::get_if<T>(&p.value)) return *v;
  throw RuntimeException("property " + std::string(p.name) + " has a value of the wrong type");
}
}  // namespace

bool AsBool(const Property& p) { return Get<bool>(p); }
int AsInt(const Property& p) { return Get<int>(p); }
double AsDouble(const Property& p) {
  if (const int* i = std::get_if<int>(&p.value)) return *i;
  return Get<double>(p);
}
std::string AsString(const Property& p) { return Get<std::string>(p); }

}  // namespace fw
