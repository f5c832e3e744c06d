#pragma once
// The runtime's service functions under the names the program calls them by.
#include <memory>
#include <string>
#include <string_view>

#include "framework/core/application.h"
#include "framework/core/misc.h"
#include "framework/core/object.h"
#include "framework/core/window.h"

namespace Tarnwick {

double Microseconds();
std::shared_ptr<fw::EndOfLine> EndOfLine();
// Modal; the baton is released while the box is open.
void MsgBox(const std::string& text);

inline std::shared_ptr<fw::Window> GetImplicitWindow(std::string_view className) {
  return fw::GetImplicitWindow(className);
}
inline void SetProperties(fw::Object& object, std::initializer_list<fw::Property> values) {
  fw::SetProperties(object, values);
}
inline void SetProperties(fw::Object& object, std::span<const fw::Property> values) {
  fw::SetProperties(object, values);
}
inline void RuntimeRegisterAppObject(const std::shared_ptr<fw::Application>& app) {
  fw::RegisterAppObject(app);
}
inline std::shared_ptr<fw::Application> GetAppObject() { return fw::GetAppObject(); }
inline void RuntimeRun() { fw::RunEventLoop(); }
inline void UnhandledException(std::exception_ptr error) { fw::UnhandledException(error); }
// Nothing to prepare outside the original runtime; kept so start-up reads in order.
inline void RuntimeInitExternalClasses() {}
inline void InitPluginEntrypoints() {}

}  // namespace Tarnwick
