#pragma once
// Object model: every runtime object, the exceptions program code can meet,
// and the class-tested cast.
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace fw {

class Window;

struct Color {
  int red = 0, green = 0, blue = 0;
  bool operator==(const Color&) const = default;
};

using PropertyValue = std::variant<bool, int, double, std::string, Color>;

struct Property {
  std::string_view name;
  PropertyValue value;
};

// Base of the exceptions that program code may raise or see.
class RuntimeException : public std::runtime_error {
 public:
  explicit RuntimeException(const std::string& message) : std::runtime_error(message) {}
  virtual const char* Kind() const { return "RuntimeException"; }
};

class NilObjectException : public RuntimeException {
 public:
  NilObjectException() : RuntimeException("an object reference was nil") {}
  const char* Kind() const override { return "NilObjectException"; }
};

class IllegalCastException : public RuntimeException {
 public:
  explicit IllegalCastException(const std::string& what) : RuntimeException(what) {}
  const char* Kind() const override { return "IllegalCastException"; }
};

class OutOfBoundsException : public RuntimeException {
 public:
  explicit OutOfBoundsException(const std::string& what) : RuntimeException(what) {}
  const char* Kind() const override { return "OutOfBoundsException"; }
};

class UnknownPropertyException : public RuntimeException {
 public:
  explicit UnknownPropertyException(const std::string& what) : RuntimeException(what) {}
  const char* Kind() const override { return "UnknownPropertyException"; }
};

using EventHandler = void (Window::*)();

class Object {
 public:
  virtual ~Object() = default;
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  virtual const char* ClassName() const { return "Object"; }

  // Sets one named property; unknown names raise, so a typo cannot pass silently.
  virtual void SetProperty(std::string_view name, const PropertyValue& value);

  void InstallEventHandler(std::string_view eventName, EventHandler handler);
  EventHandler HandlerFor(std::string_view eventName) const;

 private:
  std::map<std::string, EventHandler, std::less<>> handlers_;
};

[[noreturn]] void RaiseNilObjectException();

// The class-tested cast: nil stays nil, a wrong class raises.
template <typename T, typename From>
T* RuntimeCheckCast(From* object) {
  if (object == nullptr) return nullptr;
  auto* cast = dynamic_cast<T*>(object);
  if (cast == nullptr)
    throw IllegalCastException(std::string("object of class ") + object->ClassName() +
                               " is not the class asked for");
  return cast;
}

template <typename T, typename From>
std::shared_ptr<T> RuntimeCheckCast(const std::shared_ptr<From>& object) {
  if (!object) return nullptr;
  auto cast = std::dynamic_pointer_cast<T>(object);
  if (!cast)
    throw IllegalCastException(std::string("object of class ") + object->ClassName() +
                               " is not the class asked for");
  return cast;
}

// Applies property values in the order given.
void SetProperties(Object& object, std::span<const Property> values);
inline void SetProperties(Object& object, std::initializer_list<Property> values) {
  SetProperties(object, std::span<const Property>(values.begin(), values.size()));
}

// Typed reads of a property value; a wrong type raises.
bool AsBool(const Property& p);
int AsInt(const Property& p);
double AsDouble(const Property& p);
std::string AsString(const Property& p);

}  // namespace fw
