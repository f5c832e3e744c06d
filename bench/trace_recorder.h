#pragma once
// Turns the runtime's trace (note calls, clock reads, yields) into tokens as
// it happens, one stream per thread: a timed wait is a read (its origin), a
// read (the first test) and then (yield, read) pairs. Only the readings that
// matter are kept, so a spinning yield costs no memory.
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "framework/core/trace.h"

namespace bench {

struct WaitReadings {
  double origin = 0;
  double previous = 0;  // the last test that found time left (the origin when none did)
  double last = 0;      // the test that ended the wait
  std::int64_t yields = 0;
  // False when the stream ended inside a yield of the wait (the thread was killed).
  bool complete = true;

  double Length() const { return last - origin; }
  double PreviousLength() const { return previous - origin; }
};

struct Token {
  enum Kind { Note, Wait, PassYield, Instrument } kind;
  int note = 0;
  int velocity = 0;
  double t = 0;  // the call's clock time; for a wait, its origin
  WaitReadings wait;
  // When the token's last event happened.
  double End() const { return kind == Wait ? wait.last : t; }
};

// One thread's stream.
class Tokenizer {
 public:
  explicit Tokenizer(std::vector<Token>* out) : out_(out) {}
  void OnRead(double reading);
  void OnYield(double t);
  void OnNote(int note, int velocity, double t);
  void OnInstrument(int instrument, double t);
  void Finish();

 private:
  enum class State { Idle, Origin, InWait, InWaitYielded };
  void Close();
  void EmitWait(bool complete);

  std::vector<Token>* out_;
  State state_ = State::Idle;
  WaitReadings wait_;
  double pendingYield_ = 0;
};

// The CPU time of a mode thread between its first and last note call.
struct ThreadCpu {
  double firstWall = 0, firstCpu = 0, lastWall = 0, lastCpu = 0;
  int policy = 0;
};

class Recorder {
 public:
  Recorder();

  // thread: 0 for the GUI thread, the run id for a mode thread.
  void OnEvent(const fw::trace::Event& event, std::uint64_t thread);
  void Finish();

  // Installs this recorder as the runtime's trace hook (until Uninstall).
  void Install();
  static void Uninstall();

  const std::vector<Token>& Tokens(std::uint64_t thread);
  std::vector<std::uint64_t> Threads() const;
  // Every mode thread's tokens, thread after thread.
  std::vector<Token> ModeTokens();
  // Every note call of every thread, in time order.
  std::vector<Token> NoteCalls();
  std::map<std::uint64_t, ThreadCpu> Cpu() const;

 private:
  struct Stream {
    std::vector<Token> tokens;
    Tokenizer tokenizer{&tokens};
  };
  mutable std::mutex mutex_;
  std::map<std::uint64_t, Stream> streams_;
  // Memory for the first mode thread's tokens, touched in advance: growing
  // (and faulting in) memory on the mode thread would show as note-call time.
  std::vector<Token> spare_;
  std::map<std::uint64_t, ThreadCpu> cpu_;
};

}  // namespace bench
