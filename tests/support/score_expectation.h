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
