#pragma once
// An observer of program calls into the runtime: tests and benchmarks see
// every note call, clock read and yield, in order.
#include <cstdint>
#include <functional>

namespace fw::trace {

enum class Kind { Note, ClockRead, Yield, Instrument };

struct Event {
  Kind kind;
  int note = 0;
  int velocity = 0;
  double clock = 0;       // the reading, for ClockRead; the time of the call otherwise
  std::uint64_t run = 0;  // the mode-thread run that made the call; 0 for the GUI thread
};

using Hook = std::function<void(const Event&)>;

void SetHook(Hook hook);
void Emit(const Event& event);
bool Active();

}  // namespace fw::trace
