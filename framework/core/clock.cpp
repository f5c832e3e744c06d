#include "framework/core/clock.h"

#include <atomic>
#include <chrono>

namespace fw::clock {
namespace {
using Steady = std::chrono::steady_clock;
const Steady::time_point kStart = Steady::now();
std::atomic<bool> virtualMode{false};
std::atomic<double> virtualNow{0.0};
std::atomic<double> virtualQuantum{0.0};
std::atomic<double> virtualPerRead{0.0};

void Advance(double by) {
  double now = virtualNow.load();
  while (!virtualNow.compare_exchange_weak(now, now + by)) {
  }
}
}  // namespace

double RealNow() {
  return std::chrono::duration<double, std::micro>(Steady::now() - kStart).count();
}

double Now() { return virtualMode.load() ? virtualNow.load() : RealNow(); }

void UseRealClock() { virtualMode = false; }

double Read() {
  const double now = Now();
  if (virtualMode.load() && virtualPerRead.load() != 0.0) Advance(virtualPerRead.load());
  return now;
}

void UseVirtualClock(double quantum, double perRead) {
  virtualQuantum = quantum;
  virtualPerRead = perRead;
  virtualNow = 0.0;
  virtualMode = true;
}

bool IsVirtual() { return virtualMode.load(); }

void AdvanceOnYield() {
  if (virtualMode.load()) Advance(virtualQuantum.load());
}

}  // namespace fw::clock
