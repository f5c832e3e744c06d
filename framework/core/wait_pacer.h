#pragma once
// Learns where the program's timed waits end. Program code waits by reading
// the clock and yielding until the reading lies far enough past an origin;
// from the readings that bracket each wait's end the pacer learns the wait
// lengths, so that a yield can sleep until just before a wait is due. A wait
// may be one not met before, so no yield sleeps more than a millisecond.
#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

namespace fw {

// Known wait lengths, each as an interval (low, high] that holds it.
class WaitBook {
 public:
  struct Interval {
    double low;
    double high;
  };

  void Learn(double low, double high);
  // The shortest known wait that has not yet run out after `elapsed`.
  std::optional<Interval> NextAfter(double elapsed) const;
  std::size_t size() const;

 private:
  static constexpr std::size_t kMaxIntervals = 64;
  mutable std::mutex mutex_;
  std::vector<Interval> intervals_;
};

// Follows one thread's clock reads, yields and note calls.
class WaitTracker {
 public:
  void OnClockRead(double reading, WaitBook& book);
  void OnYield();
  void OnOtherCall(WaitBook& book);

  struct Wake {
    double at;  // absolute clock time at which the yield under way should return
    bool spin;  // a deadline or a probe of one: spin the last moments for precision
  };
  // None when the thread is not inside a wait. The wait may be one not met
  // before that ends before the next known deadline, so a yield never sleeps
  // more than one grid step; the grid's own points are not spun for.
  std::optional<Wake> WakeTarget(const WaitBook& book) const;

  static constexpr double kGrid = 1000.0;    // fallback step for a wait not yet known
  static constexpr double kPrecision = 2.0;  // an interval this narrow is taken as known

 private:
  enum class State { Idle, Candidate, InWait };
  void EndWait(WaitBook& book);

  State state_ = State::Idle;
  bool yieldedSinceRead_ = false;
  double candidate_ = 0;
  double origin_ = 0;
  double lastTest_ = 0;
  std::optional<double> lastTestWithTimeLeft_;
};

}  // namespace fw
