#pragma once
#include <memory>

#include "framework/core/object.h"

namespace fw {

namespace scheduler {
struct RunState;
}

// A thread control: Run raises its "Run" event on a new cooperative thread.
class Thread : public Object {
 public:
  ~Thread() override;
  const char* ClassName() const override { return "Thread"; }
  void SetProperty(std::string_view name, const PropertyValue& value) override;

  void Run();
  // Ends the thread where it stands; the caller's own thread unwinds at once.
  void Kill();
  bool IsRunning() const;

  int Priority() const { return priority_; }
  int StackSize() const { return stackSize_; }

 private:
  std::shared_ptr<scheduler::RunState> run_;
  int priority_ = 5;
  int stackSize_ = 0;
};

class ThreadAlreadyRunningException : public RuntimeException {
 public:
  ThreadAlreadyRunningException() : RuntimeException("the thread is already running") {}
  const char* Kind() const override { return "ThreadAlreadyRunningException"; }
};

void RuntimeBackgroundTask();

}  // namespace fw
