#pragma once
#include <memory>

#include "framework/core/application.h"

class App : public fw::Application {
 public:
  const char* ClassName() const override { return "App"; }
  // The about box; always answers False.
  bool _aboutvelumbra17_Action();
};

namespace accessors {
// The registered application object; never creates one.
std::shared_ptr<::App> App();
}  // namespace accessors
