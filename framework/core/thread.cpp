#include "framework/core/thread.h"

#include "framework/core/application.h"
#include "framework/core/clock.h"
#include "framework/core/note_player.h"
#include "framework/core/platform.h"
#include "framework/core/scheduler.h"
#include "framework/core/trace.h"
#include "framework/core/window.h"

namespace fw {
namespace {

constexpr std::chrono::milliseconds kFinishingLimit{1000};

// A run that is only finishing (its handler returns once it has the baton back
// after a message box) ends soon after the baton is free. On the GUI thread its
// box may still wait to be shown, queued behind the very event that waits here:
// show it from here, and count the limit from its closing.
void AwaitFinishingRun(scheduler::RunState& run) {
  Platform& platform = CurrentPlatform();
  const bool onGuiThread = scheduler::CurrentRun() == nullptr;
  const auto boxWaits = [&] { return onGuiThread && platform.HasWaitingMessage(); };
  while (scheduler::WaitUntilFinished(run, kFinishingLimit, boxWaits) && !run.finished.load()) {
    platform.ShowWaitingMessage();
  }
}

}  // namespace

Thread::~Thread() {
  if (run_) scheduler::MarkKilled(*run_);
}

void Thread::SetProperty(std::string_view name, const PropertyValue& value) {
  Property p{name, value};
  if (name == "Priority") {
    priority_ = AsInt(p);
  } else if (name == "StackSize") {
    stackSize_ = AsInt(p);
  } else {
    Object::SetProperty(name, value);
  }
}

bool Thread::IsRunning() const { return run_ && !run_->finished.load() && !run_->killed.load(); }

void Thread::Run() {
  if (IsRunning()) {
    auto finishing = run_;
    scheduler::WithoutBaton([&] { AwaitFinishingRun(*finishing); });
    if (IsRunning()) throw ThreadAlreadyRunningException();
  }
  // Opening the output now, not at the first note, keeps that note on time.
  sound::Prepare();
  run_ = std::make_shared<scheduler::RunState>();
  scheduler::Start(run_, [this, run = run_] {
    try {
      if (run->killed.load()) return;
      scheduler::WithoutBaton([&] { sound::AwaitOutput([&] { return run->killed.load(); }); });
      RaiseEvent(*this, "Run");
    } catch (const ThreadKilled&) {
      // ended where it stood
    } catch (...) {
      ReportThreadException(std::current_exception());
    }
    sound::ReleaseNotesOf(run->id);
  });
}

void Thread::Kill() {
  if (!IsRunning()) return;
  scheduler::MarkKilled(*run_);
  sound::DropPending();
  sound::ReleaseNotesOf(run_->id);
  if (scheduler::CurrentRun() == run_.get()) throw ThreadKilled{};
}

void RuntimeBackgroundTask() {
  if (trace::Active()) trace::Emit({trace::Kind::Yield, 0, 0, clock::Now()});
  scheduler::Yield();
}

}  // namespace fw
