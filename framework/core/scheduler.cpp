#include "framework/core/scheduler.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "framework/core/clock.h"
#include "framework/core/wait_pacer.h"

namespace fw::scheduler {
namespace {

class Baton {
 public:
  void Acquire() {
    std::unique_lock lock(mutex_);
    ++waiting_;
    freed_.wait(lock, [this] { return !held_; });
    --waiting_;
    held_ = true;
    ++generation_;
  }

  void Release() {
    {
      std::lock_guard lock(mutex_);
      held_ = false;
    }
    freed_.notify_all();
  }

  // Hands the baton to a thread that waits for it, if any, and takes it back
  // once that thread has had it.
  void PassIfWanted() {
    std::unique_lock lock(mutex_);
    if (waiting_ == 0) return;
    const std::uint64_t before = generation_;
    held_ = false;
    freed_.notify_all();
    ++waiting_;
    freed_.wait(lock, [&] { return !held_ && generation_ != before; });
    --waiting_;
    held_ = true;
    ++generation_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable freed_;
  bool held_ = false;
  int waiting_ = 0;
  std::uint64_t generation_ = 0;
};

Baton baton;
WaitBook waitBook;
thread_local RunState* currentRun = nullptr;
thread_local WaitTracker tracker;
std::atomic<std::uint64_t> nextRunId{1};
std::atomic<bool> realtimeThreads{false};

struct Entry {
  std::shared_ptr<RunState> run;
  std::thread thread;
};
std::mutex registryMutex;
std::vector<Entry> entries;

constexpr double kSpinMargin = 150.0;  // µs spun before a deadline instead of slept

inline void CpuPause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Sleeps (baton released) until the clock reaches target, waking early if the
// run is killed; the last moments before a deadline are spun for precision.
void SleepUntil(double target, bool spin, RunState& run) {
  const double sleepUntil = spin ? target - kSpinMargin : target;
  const double now = clock::RealNow();
  if (sleepUntil > now) {
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::microseconds(static_cast<long long>(sleepUntil - now));
    std::unique_lock lock(run.wakeMutex);
    run.wake.wait_until(lock, deadline, [&] { return run.killed.load(); });
  }
  while (spin && !run.killed.load() && clock::RealNow() < target) CpuPause();
}

void ThrowIfKilled(RunState* run) {
  if (run != nullptr && run->killed.load()) throw ThreadKilled{};
}

void ConfigureModeThread() {
  prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
  if (realtimeThreads.load()) {
    sched_param param{};
    param.sched_priority = 10;
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) != 0) {
      static std::once_flag warned;
      std::call_once(warned, [] {
        std::fprintf(stderr,
                     "velumbra17: real-time priority not granted; playing at normal priority\n");
      });
    }
  }
}

// A finished run has released the baton for good, so its thread ends at once.
void ReapFinishedLocked() {
  std::erase_if(entries, [](Entry& e) {
    if (!e.run->finished.load()) return false;
    e.thread.join();
    return true;
  });
}

}  // namespace

void RunState::Wake() {
  { std::lock_guard lock(wakeMutex); }
  wake.notify_all();
}

RunState* CurrentRun() { return currentRun; }
std::uint64_t CurrentRunId() { return currentRun ? currentRun->id : 0; }

void Start(const std::shared_ptr<RunState>& run, std::function<void()> body) {
  run->id = nextRunId++;
  std::lock_guard lock(registryMutex);
  ReapFinishedLocked();
  entries.push_back({run, std::thread([run, body = std::move(body)] {
                       ConfigureModeThread();
                       currentRun = run.get();
                       tracker = WaitTracker{};
                       baton.Acquire();
                       body();  // the body catches everything, ThreadKilled included
                       run->finished = true;
                       currentRun = nullptr;
                       baton.Release();
                       run->Wake();  // a Run waiting for this run to finish
                     })});
}

bool WaitUntilFinished(RunState& run, std::chrono::milliseconds limit,
                       const std::function<bool()>& orWhen) {
  std::unique_lock lock(run.wakeMutex);
  return run.wake.wait_for(lock, limit,
                           [&] { return run.finished.load() || (orWhen && orWhen()); });
}

void MarkKilled(RunState& run) {
  run.killed = true;
  run.Wake();
}

void Yield() {
  RunState* run = currentRun;
  ThrowIfKilled(run);
  clock::AdvanceOnYield();
  std::optional<WaitTracker::Wake> wake;
  if (run != nullptr && !clock::IsVirtual()) wake = tracker.WakeTarget(waitBook);
  tracker.OnYield();
  if (wake) {
    baton.Release();
    SleepUntil(wake->at, wake->spin, *run);
    baton.Acquire();
  } else {
    baton.PassIfWanted();
  }
  ThrowIfKilled(run);
}

void LetOthersRun() { baton.PassIfWanted(); }

void WithoutBaton(const std::function<void()>& fn) {
  RunState* run = currentRun;
  tracker.OnOtherCall(waitBook);
  baton.Release();
  try {
    fn();
  } catch (...) {
    baton.Acquire();
    throw;
  }
  baton.Acquire();
  ThrowIfKilled(run);
}

EventScope::EventScope() { baton.Acquire(); }
EventScope::~EventScope() { baton.Release(); }

void NoteProgramCall() { tracker.OnOtherCall(waitBook); }
void NoteClockRead(double reading) { tracker.OnClockRead(reading, waitBook); }

void ShutdownAll() {
  std::vector<Entry> toJoin;
  {
    std::lock_guard lock(registryMutex);
    for (Entry& e : entries) MarkKilled(*e.run);
    toJoin.swap(entries);
  }
  for (Entry& e : toJoin) e.thread.join();
}

void KillAll() {
  std::lock_guard lock(registryMutex);
  for (Entry& e : entries) MarkKilled(*e.run);
}

bool AnyRunning() {
  std::lock_guard lock(registryMutex);
  for (const Entry& e : entries) {
    if (!e.run->finished.load()) return true;
  }
  return false;
}

void SetRealtimeThreads(bool enabled) { realtimeThreads = enabled; }

}  // namespace fw::scheduler
