#pragma once
// Where the onset finder puts a woodblock note's onset, counted from the
// note's first frame, measured on the note rendered offline with the
// program's synthesiser settings.
#include <optional>
#include <string>

namespace bench {

struct Attack {
  double seconds = 0;  // from the note's start to the sample the finder takes as its onset
  double peak = 0;
};

std::optional<Attack> MeasureAttack(const std::string& soundFont);

}  // namespace bench
