#pragma once
// When each step of a mode begins with ideal timing: the mode's real bar
// operations played on the virtual clock, each wait at its score length.
#include <optional>
#include <string>
#include <vector>

namespace bench {

struct ScoreSteps {
  std::vector<double> starts;  // µs from the first call, one a wait, in order
  std::size_t bars = 0;
};

// mode: one-shot, looped, original or one-shot-with-ending; stopAfter (µs of
// virtual time after the start click) presses stop, which looped needs.
// Resets the runtime before and after, and leaves the real clock in use.
ScoreSteps PlayScoreVirtually(const std::string& mode, std::optional<unsigned> seed,
                              std::optional<double> stopAfter);

}  // namespace bench
