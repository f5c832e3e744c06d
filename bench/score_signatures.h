#pragma once
// What each bar operation asks of the runtime, read from the score tables:
// its note calls, its waits (with their lengths) and its yields, in order.
#include <string>
#include <string_view>
#include <vector>

namespace bench {

struct Step {
  enum Kind { Note, Wait, Yield } kind;
  int note = 0;
  int velocity = 0;
  double length = 0;  // Wait only
};

struct BarSignature {
  std::string name;  // the bar operation's name
  std::vector<Step> steps;
  double waitSum = 0;
};

// The 45 bar operations of the main window.
const std::vector<BarSignature>& AllBars();
// Null for an unknown name.
const BarSignature* BarNamed(std::string_view name);

// Every wait length the program uses, the end pause included, longest first.
const std::vector<double>& KnownWaitLengths();

// Bars 1 to 38 as written: what "original" plays.
std::vector<std::string> WrittenOrder();

}  // namespace bench
