#include "bench/score_signatures.h"

#include <algorithm>

#include "score/closing_tables.h"
#include "score/figuration_tables.h"

namespace bench {
namespace {

constexpr double kEndPause = 3000000.0;  // the pause before the farewell message

void AddWait(BarSignature& bar, double length) {
  bar.steps.push_back({Step::Wait, 0, 0, length});
  bar.waitSum += length;
}

void AddNote(BarSignature& bar, int note, int velocity) {
  bar.steps.push_back({Step::Note, note, velocity, 0});
}

BarSignature Figuration(std::string name, const score::FigurationBar& table) {
  BarSignature bar{std::move(name), {}, 0};
  const int passes = table.form == score::FigurationForm::TwoPasses ? 2 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    for (const score::FigurationRow& row : table.rows) {
      for (const score::NoteStart& start : row.starts) AddNote(bar, start.note, start.velocity);
      AddWait(bar, row.wait);
      for (int note : row.releases) AddNote(bar, note, 0);
    }
    if (passes == 2) bar.steps.push_back({Step::Yield});
  }
  return bar;
}

BarSignature Closing(std::string name, const score::ClosingBar& table, bool variant) {
  BarSignature bar{std::move(name), {}, 0};
  for (const score::ClosingRow& step : table.steps) {
    for (int note : step.releases) AddNote(bar, note, 0);
    for (const score::NoteStart& start : step.starts) AddNote(bar, start.note, start.velocity);
    AddWait(bar, variant ? step.variantWait : step.wait);
  }
  for (int note : table.endReleases) AddNote(bar, note, 0);
  return bar;
}

std::vector<BarSignature> Build() {
  using namespace score;
  std::vector<BarSignature> bars;
  const std::pair<const char*, const FigurationBar*> figuration[] = {
      {"barOne", &kBarOne},
      {"barTwo", &kBarTwo},
      {"barThree", &kBarThree},
      {"barFour", &kBarFour},
      {"barFive", &kBarFive},
      {"barSix", &kBarSix},
      {"barSeven", &kBarSeven},
      {"barEight", &kBarEight},
      {"barNine", &kBarNine},
      {"barTen", &kBarTen},
      {"barEleven", &kBarEleven},
      {"barTwelve", &kBarTwelve},
      {"barThirteen", &kBarThirteen},
      {"barFourteen", &kBarFourteen},
      {"barFifteen", &kBarFifteen},
      {"barSixteen", &kBarSixteen},
      {"barSeventeen", &kBarSeventeen},
      {"barEighteen", &kBarEighteen},
      {"barNineteen", &kBarNineteen},
      {"barTwenty", &kBarTwenty},
      {"barTwentyOne", &kBarTwentyOne},
      {"barTwentyTwo", &kBarTwentyTwo},
      {"barTwentyThree", &kBarTwentyThree},
      {"barTwentyFour", &kBarTwentyFour},
  };
  for (const auto& [name, table] : figuration) bars.push_back(Figuration(name, *table));
  const std::pair<const char*, const ClosingBar*> closing[] = {
      {"barTwentyFive", &kBarTwentyFive},   {"barTwentySix", &kBarTwentySix},
      {"barTwentySeven", &kBarTwentySeven}, {"barTwentyEight", &kBarTwentyEight},
      {"barTwentyNine", &kBarTwentyNine},   {"barThirty", &kBarThirty},
      {"barThirtyOne", &kBarThirtyOne},     {"barThirtyTwo", &kBarThirtyTwo},
      {"barThirtyThree", &kBarThirtyThree}, {"barThirtyFour", &kBarThirtyFour},
      {"barThirtyFive", &kBarThirtyFive},   {"barThirtySix", &kBarThirtySix},
      {"barThirtySeven", &kBarThirtySeven}, {"barThirtyEight", &kBarThirtyEight},
  };
  for (const auto& [name, table] : closing) bars.push_back(Closing(name, *table, false));
  const std::pair<const char*, const ClosingBar*> variants[] = {
      {"barTwentyEightOneShot", &kBarTwentyEight}, {"barTwentyNineOneShot", &kBarTwentyNine},
      {"barThirtyOneShot", &kBarThirty},           {"barThirtyOneOneShot", &kBarThirtyOne},
      {"barThirtyTwoOneShot", &kBarThirtyTwo},     {"barThirtyThreeOneShot", &kBarThirtyThree},
      {"barThirtyFourOneShot", &kBarThirtyFour},
  };
  for (const auto& [name, table] : variants) bars.push_back(Closing(name, *table, true));
  return bars;
}

}  // namespace

const std::vector<BarSignature>& AllBars() {
  static const std::vector<BarSignature> bars = Build();
  return bars;
}

const BarSignature* BarNamed(std::string_view name) {
  for (const BarSignature& bar : AllBars()) {
    if (bar.name == name) return &bar;
  }
  return nullptr;
}

const std::vector<double>& KnownWaitLengths() {
  static const std::vector<double> lengths = [] {
    std::vector<double> all{kEndPause};
    for (const BarSignature& bar : AllBars()) {
      for (const Step& step : bar.steps) {
        if (step.kind == Step::Wait) all.push_back(step.length);
      }
    }
    std::sort(all.begin(), all.end(), std::greater<>());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    return all;
  }();
  return lengths;
}

std::vector<std::string> WrittenOrder() {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < 38; ++i) names.push_back(AllBars()[i].name);
  return names;
}

}  // namespace bench
