#pragma once
// FluidSynth's errors and warnings reach stderr, each distinct one once; its
// debug and information chatter does not. A thread can keep its messages
// instead, for a line of our own that explains them.
#include <mutex>
#include <string>
#include <vector>

namespace fw::sound {

class KeptMessages {
 public:
  void Add(std::string message);
  std::vector<std::string> Take();

 private:
  std::mutex mutex_;
  std::vector<std::string> messages_;
};

// Installs the log functions; calling it again changes nothing.
void RouteFluidSynthLog();
// Messages logged on the calling thread go to `into` from now on (null: to stderr).
void KeepFluidSynthMessagesOfThisThread(KeptMessages* into);

}  // namespace fw::sound
