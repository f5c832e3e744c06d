#pragma once
// From a mode thread's tokens to the figures of the benchmark: which bars
// were played, each wait's overshoot, each bar's excess over its waits.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bench/score_signatures.h"
#include "bench/trace_recorder.h"

namespace bench {

// True when a wait of this length is what these readings show: the last
// test found it over, the one before still found time left.
bool Brackets(const WaitReadings& wait, double length);

// The longest of the program's wait lengths that the readings bracket.
std::optional<double> GuessLength(const WaitReadings& wait);

struct PlayedBar {
  const BarSignature* bar = nullptr;
  std::size_t first = 0, last = 0;  // token indices, inclusive
  double start = 0, end = 0;        // clock of its first and last event
  double Excess() const { return end - start - bar->waitSum; }
};

struct MeasuredWait {
  double length = 0;     // from the score
  double overshoot = 0;  // last reading minus origin minus length
  double origin = 0;
  double previous = 0;  // the test before the last, from the origin
  std::int64_t yields = 0;
};

// One line per wait: origin_us,length_us,overshoot_us,previous_test_us,yields.
bool WriteWaits(const std::string& path, const std::vector<MeasuredWait>& waits);

struct Analysis {
  std::vector<PlayedBar> bars;
  std::vector<MeasuredWait> waits;    // complete waits only, in order
  std::size_t unmatchedTokens = 0;    // not part of a whole bar (a stopped bar, the end pause)
  double idealLength = 0;             // sum of the lengths of the measured waits
  std::vector<double> lengthOfToken;  // the score length of each wait token; -1 when unknown
};

// Finds the bars in a mode thread's tokens; `expected`, when given, is the
// order they must come in.
Analysis Analyse(const std::vector<Token>& tokens,
                 const std::vector<std::string>* expected = nullptr);

// Nearest-rank percentile (0..100) of values; nullopt when empty.
std::optional<double> Percentile(std::vector<double> values, double percent);

struct Distribution {
  std::optional<double> median, p99, max;
};
Distribution Summarise(const std::vector<double>& values);

// "key=value" fields, kept in order.
class SummaryLine {
 public:
  void Add(const std::string& key, const std::string& value);
  void Add(const std::string& key, std::optional<double> value, int decimals = 1);
  void Add(const std::string& key, long long value);
  std::string Text() const;

 private:
  std::string text_;
};

// The wait and bar figures shared by every benchmark program.
void AddTimingFigures(SummaryLine& line, const Analysis& analysis);

}  // namespace bench
