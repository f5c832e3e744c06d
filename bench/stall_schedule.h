#pragma once
// The stalls of a run: when each begins (from the first note's planned
// moment) and how long it lasts, as given, and when each stop and continue
// was really sent, as logged.
#include <optional>
#include <string>
#include <vector>

namespace bench {

struct PlannedStall {
  double atUs = 0;      // from the first note's planned moment
  double lengthUs = 0;  // from the stop to the continue
};

// "3:30,7:100": at 3 s for 30 ms, then at 7 s for 100 ms. Empty text: no
// stall. Nullopt (and *error) for a malformed list or stalls that overlap.
std::optional<std::vector<PlannedStall>> ParseStalls(const std::string& text, std::string* error);

struct SentStall {
  double stopUs = 0;      // monotonic, once every stop had been sent
  double continueUs = 0;  // monotonic, just before the first continue was sent
};

}  // namespace bench
