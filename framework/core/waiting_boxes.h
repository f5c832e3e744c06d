#pragma once
// Message boxes that threads other than the GUI thread ask for: each asking
// thread waits until the GUI thread has shown its box and the box has closed.
// Boxes are shown in the order they were asked for, each once.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace fw {

class WaitingBoxes {
 public:
  using Show = std::function<void(const std::string& text)>;
  // show runs on the GUI thread and returns when the box has closed.
  explicit WaitingBoxes(Show show) : show_(std::move(show)) {}

  // On the asking thread: queues the box, calls tellGui (which has the GUI
  // thread call ShowNext later), and waits until the box has closed.
  void Ask(const std::string& text, const std::function<void()>& tellGui);
  // On the GUI thread: shows the oldest waiting box; false when none waits.
  bool ShowNext();
  bool AnyWaiting() const;
  // Releases every asking thread; no box is shown any more.
  void Shutdown();

 private:
  struct Box {
    std::string text;
    bool closed = false;
  };

  Show show_;
  mutable std::mutex mutex_;
  std::condition_variable closed_;
  std::deque<std::shared_ptr<Box>> waiting_;
  bool shutDown_ = false;
};

}  // namespace fw
