#pragma once
// Cooperative scheduling: at most one thread runs program code at a time,
// the one that holds the baton. Mode threads hand the baton back at every
// yield; the GUI thread takes it only while it delivers an event.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace fw {

// Unwinds a killed thread. Deliberately not a std::exception, so that no
// program code catches it by accident.
struct ThreadKilled {};

namespace scheduler {

struct RunState {
  std::uint64_t id = 0;
  std::atomic<bool> killed{false};
  std::atomic<bool> finished{false};
  std::mutex wakeMutex;
  std::condition_variable wake;

  void Wake();
};

// The run whose program code this OS thread executes; null on the GUI thread.
RunState* CurrentRun();
std::uint64_t CurrentRunId();

// Starts body on a new OS thread that runs under the baton as `run`.
void Start(const std::shared_ptr<RunState>& run, std::function<void()> body);

// Waits (the caller must not hold the baton) until the run has finished, or
// orWhen holds (asked whenever the run is woken), or the time is up; false
// when the time is up.
bool WaitUntilFinished(RunState& run, std::chrono::milliseconds limit,
                       const std::function<bool()>& orWhen = nullptr);

// Marks a run killed and wakes it if it sleeps in a yield.
void MarkKilled(RunState& run);

// RuntimeBackgroundTask's work.
void Yield();

// Hands the baton to a thread that waits for it, if any, until it yields;
// unlike Yield it moves no virtual time (tests step a mode thread with it).
void LetOthersRun();

// Runs fn with the baton released (modal boxes), then takes it back.
void WithoutBaton(const std::function<void()>& fn);

// The GUI thread holds the baton for the life of one of these.
class EventScope {
 public:
  EventScope();
  ~EventScope();
  EventScope(const EventScope&) = delete;
  EventScope& operator=(const EventScope&) = delete;
};

// Note calls tell the pacer that a wait has ended.
void NoteProgramCall();
// Clock reads by program code.
void NoteClockRead(double reading);

// Kills every run and joins every OS thread; the caller must not hold the baton.
void ShutdownAll();
// Kills every run without waiting for its thread: for a process ending from
// a place that may hold the baton.
void KillAll();

// True while any run has not finished.
bool AnyRunning();

// Mode threads ask for real-time priority where the system grants it.
void SetRealtimeThreads(bool enabled);

}  // namespace scheduler
}  // namespace fw
