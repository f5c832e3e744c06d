#include "support/call_trace.h"

#include <gtest/gtest.h>

#include <sstream>

namespace testing_support {

std::ostream& operator<<(std::ostream& out, const Token& token) {
  switch (token.kind) {
    case Token::Note:
      return out << "note " << token.note << " v" << token.velocity;
    case Token::Wait:
      return out << "wait " << token.length << " (" << token.yields << " yields)";
    case Token::PassYield:
      return out << "yield";
    case Token::Instrument:
      return out << "instrument " << token.note;
  }
  return out;
}

std::string Describe(const std::vector<Token>& tokens, std::size_t from, std::size_t count) {
  std::ostringstream out;
  for (std::size_t i = from; i < tokens.size() && i < from + count; ++i) {
    out << "  [" << i << "] " << tokens[i] << "\n";
  }
  return out.str();
}

CallTrace::CallTrace() {
  fw::trace::SetHook([this](const fw::trace::Event& event) {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
  });
}

CallTrace::~CallTrace() { fw::trace::SetHook(nullptr); }

std::vector<fw::trace::Event> CallTrace::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

void CallTrace::Clear() {
  std::lock_guard lock(mutex_);
  events_.clear();
}

std::vector<Token> CallTrace::Tokens(Threads threads) const {
  using fw::trace::Kind;
  // Calls of other threads interleave at yields; each thread's calls read alone.
  std::vector<fw::trace::Event> events;
  for (const auto& e : Events()) {
    if (threads == Threads::All || (threads == Threads::Modes) == (e.run != 0)) events.push_back(e);
  }
  std::vector<Token> tokens;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const auto& e = events[i];
    if (e.kind == Kind::Note) {
      tokens.push_back({Token::Note, e.note, e.velocity});
    } else if (e.kind == Kind::Instrument) {
      tokens.push_back({Token::Instrument, e.note});
    } else if (e.kind == Kind::Yield) {
      tokens.push_back({Token::PassYield});
    } else {
      // A wait: the origin, then a test, then (yield, test) pairs.
      const double origin = e.clock;
      if (i + 1 >= events.size() || events[i + 1].kind != Kind::ClockRead) {
        ADD_FAILURE() << "clock read at event " << i << " is not followed by a test";
        return tokens;
      }
      ++i;
      double last = events[i].clock;
      int yields = 0;
      while (i + 2 < events.size() && events[i + 1].kind == Kind::Yield &&
             events[i + 2].kind == Kind::ClockRead) {
        i += 2;
        ++yields;
        last = events[i].clock;
      }
      Token wait{Token::Wait};
      wait.length = last - origin;
      wait.yields = yields;
      tokens.push_back(wait);
    }
  }
  return tokens;
}

}  // namespace testing_support
