#include "framework/sound/realtime_priority.h"

#include <pthread.h>
#include <sched.h>

#include <thread>

namespace fw::sound {

bool RealtimePriorityGranted(int priority) {
  bool granted = false;
  std::thread probe([&] {
    sched_param param{};
    param.sched_priority = priority;
    granted = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
  });
  probe.join();
  return granted;
}

}  // namespace fw::sound
