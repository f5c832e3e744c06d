#include "framework/core/trace.h"

#include <atomic>

#include "framework/core/scheduler.h"

namespace fw::trace {
namespace {
Hook hook;
std::atomic<bool> active{false};
}  // namespace

// Set before any thread plays, cleared after they are joined.
void SetHook(Hook newHook) {
  hook = std::move(newHook);
  active = static_cast<bool>(hook);
}

bool Active() { return active.load(std::memory_order_relaxed); }

void Emit(const Event& event) {
  if (!Active()) return;
  Event stamped = event;
  stamped.run = scheduler::CurrentRunId();
  hook(stamped);
}

}  // namespace fw::trace
