#pragma once
// The expected calls of each bar operation, built from a transcription of
// the score kept apart from the program's own tables.
#include <map>
#include <string>
#include <vector>

#include "support/call_trace.h"

namespace testing_support {

struct ExpectedBar {
  std::string name;
  std::vector<Token> tokens;
};

// Every plain bar and every one-shot variant, by operation name.
std::map<std::string, ExpectedBar> LoadExpectedScore();

// Operation names in bar order (plain), 1-based: index 0 is empty.
const std::vector<std::string>& PlainBarNames();

}  // namespace testing_support

namespace testing_support {

struct PlayedBars {
  std::vector<std::string> names;               // bars recognised, in playing order
  std::vector<int> yieldsBetween;               // yields outside bars after each bar
  std::vector<Token> rest;                      // what followed the last bar
  std::size_t unmatchedAt = std::string::npos;  // where no bar matched, if anywhere
};

// Splits a mode's tokens (after its instrument setting) into the bars played.
PlayedBars MatchBars(const std::vector<Token>& tokens,
                     const std::map<std::string, ExpectedBar>& score);

}  // namespace testing_support
