#include "framework/core/platform.h"

namespace fw {
namespace {
// Without a windowing system: nothing to show, and the loop ends at once.
class HeadlessPlatform : public Platform {
 public:
  void ShowWindow(Window&) override {}
  void ControlChanged(Object&) override {}
  void ShowMessage(const std::string&) override {}
  int RunEventLoop() override { return 0; }
  void Quit() override {}
};

std::unique_ptr<Platform>& Installed() {
  static std::unique_ptr<Platform> platform = std::make_unique<HeadlessPlatform>();
  return platform;
}
}  // namespace

Platform& CurrentPlatform() { return *Installed(); }

void InstallPlatform(std::unique_ptr<Platform> platform) { Installed() = std::move(platform); }

}  // namespace fw
