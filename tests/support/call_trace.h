#pragma once
// Records what program code asks of the runtime and reduces it to the terms
// of a score: note calls, timed waits and yields outside waits.
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "framework/core/trace.h"

namespace testing_support {

struct Token {
  enum Kind { Note, Wait, PassYield, Instrument } kind;
  int note = 0;
  int velocity = 0;
  double length = 0;  // Wait: last reading minus origin
  int yields = 0;     // Wait: yields made inside it

  bool operator==(const Token& other) const {
    return kind == other.kind && note == other.note && velocity == other.velocity &&
           length == other.length;
  }
};

std::ostream& operator<<(std::ostream& out, const Token& token);
std::string Describe(const std::vector<Token>& tokens, std::size_t from, std::size_t count);

class CallTrace {
 public:
  CallTrace();
  ~CallTrace();
  CallTrace(const CallTrace&) = delete;
  CallTrace& operator=(const CallTrace&) = delete;

  std::vector<fw::trace::Event> Events() const;
  void Clear();
  // Fails the test (and returns what it could read) when the events do not
  // have the shape of timed waits.
  enum class Threads { All, Modes, Gui };
  std::vector<Token> Tokens(Threads threads = Threads::Modes) const;

 private:
  mutable std::mutex mutex_;
  std::vector<fw::trace::Event> events_;
};

}  // namespace testing_support
