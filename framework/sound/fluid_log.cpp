#include "framework/sound/fluid_log.h"

#include <fluidsynth.h>

#include <cstdio>
#include <set>
#include <utility>

namespace fw::sound {
namespace {
thread_local KeptMessages* keptHere = nullptr;

// A bound on what is remembered, should a message carry a changing number.
constexpr std::size_t kRememberedMessages = 256;

void Print(int, const char* message, void*) {
  if (keptHere != nullptr) {
    keptHere->Add(message);
    return;
  }
  static std::mutex mutex;
  static std::set<std::string> printed;
  std::lock_guard lock(mutex);
  if (printed.count(message) != 0) return;
  if (printed.size() < kRememberedMessages) printed.insert(message);
  std::fprintf(stderr, "velumbra17: FluidSynth: %s\n", message);
}
}  // namespace

void KeptMessages::Add(std::string message) {
  std::lock_guard lock(mutex_);
  messages_.push_back(std::move(message));
}

std::vector<std::string> KeptMessages::Take() {
  std::lock_guard lock(mutex_);
  return std::exchange(messages_, {});
}

void RouteFluidSynthLog() {
  for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN}) {
    fluid_set_log_function(level, Print, nullptr);
  }
  for (int level : {FLUID_INFO, FLUID_DBG}) fluid_set_log_function(level, nullptr, nullptr);
}

void KeepFluidSynthMessagesOfThisThread(KeptMessages* into) { keptHere = into; }

}  // namespace fw::sound
