// The four performance modes, each the Run handler of its mode thread.
#include <array>
#include <memory>

#include "framework/core/controls.h"
#include "framework/core/misc.h"
#include "framework/core/note_player.h"
#include "framework/core/thread.h"
#include "window/window1.h"

namespace {

constexpr std::array<const char*, 39> kPlainBars = {
    "",
    "barOne",
    "barTwo",
    "barThree",
    "barFour",
    "barFive",
    "barSix",
    "barSeven",
    "barEight",
    "barNine",
    "barTen",
    "barEleven",
    "barTwelve",
    "barThirteen",
    "barFourteen",
    "barFifteen",
    "barSixteen",
    "barSeventeen",
    "barEighteen",
    "barNineteen",
    "barTwenty",
    "barTwentyOne",
    "barTwentyTwo",
    "barTwentyThree",
    "barTwentyFour",
    "barTwentyFive",
    "barTwentySix",
    "barTwentySeven",
    "barTwentyEight",
    "barTwentyNine",
    "barThirty",
    "barThirtyOne",
    "barThirtyTwo",
    "barThirtyThree",
    "barThirtyFour",
    "barThirtyFive",
    "barThirtySix",
    "barThirtySeven",
    "barThirtyEight",
};

// Bars 28 to 34 as "one shot" plays them: the same notes at the base step.
const char* OneShotVariant(int barNumber) {
  switch (barNumber) {
    case 28:
      return "barTwentyEightOneShot";
    case 29:
      return "barTwentyNineOneShot";
    case 30:
      return "barThirtyOneShot";
    case 31:
      return "barThirtyOneOneShot";
    case 32:
      return "barThirtyTwoOneShot";
    case 33:
      return "barThirtyThreeOneShot";
    case 34:
      return "barThirtyFourOneShot";
    default:
      return nullptr;
  }
}

constexpr int kFirstClosingBar = 25;
constexpr int kLastBar = 38;
constexpr int kFigurationBars = 24;

}  // namespace

void Window1::PlayBarNumber(int barNumber, bool oneShotVariants) {
  if (barNumber < 1 || barNumber > kLastBar) {
    throw fw::OutOfBoundsException("no bar numbered " + std::to_string(barNumber));
  }
  const char* variant = oneShotVariants ? OneShotVariant(barNumber) : nullptr;
  BarOperation operation = BarOperationNamed(variant ? variant : kPlainBars[barNumber]);
  (this->*operation)();
}

namespace {
// Bar numbers 1 to count, index k - 1 holding k.
std::shared_ptr<fw::IntegerList> BarsUpTo(int count) {
  auto bars = fw::CreateArray(count - 1);
  for (int bar = 1; bar <= count; ++bar) bars->Store(bar, bar - 1);
  return bars;
}
}  // namespace

void Window1::PlayEachOnceShuffled(fw::IntegerList& remainingBars, bool oneShotVariants) {
  // Every pass draws from a fresh permutation of all the bars still to come.
  const int passes = remainingBars.UpperBound() + 1;
  for (int pass = 1; pass <= passes; ++pass) {
    remainingBars.Shuffle();
    PlayBarNumber(remainingBars.At(0), oneShotVariants);
    remainingBars.Remove(0);
    fw::RuntimeBackgroundTask();
  }
}

void Window1::OneShot_Run() {
  auto remainingBars = BarsUpTo(kLastBar);
  ControlNamed<fw::NotePlayer>("NotePlayer1").Instrument(1);
  PlayEachOnceShuffled(*remainingBars, true);
  FinishingSequence();
}

void Window1::Original_Run() {
  ControlNamed<fw::NotePlayer>("NotePlayer1").Instrument(1);
  for (int bar = 1; bar <= kLastBar; ++bar) PlayBarNumber(bar, false);
  FinishingSequence();
}

void Window1::Looped_Run() {
  ControlNamed<fw::NotePlayer>("NotePlayer1").Instrument(1);
  std::shared_ptr<fw::Random> random;
  // The stop button's Enabled state is the run flag.
  while (ControlNamed<fw::PushButton>("stop").Enabled()) {
    random = std::make_shared<fw::Random>();
    PlayBarNumber(random->InRange(1, kFigurationBars), false);
    fw::RuntimeBackgroundTask();
  }
  ControlNamed<fw::ProgressWheel>("ProgressWheel1").Visible(false);
  ControlNamed<fw::PushButton>("stop").Enabled(false);
  ControlNamed<fw::PushButton>("play").Enabled(true);
  ControlNamed<fw::Thread>("Looped").Kill();
}

void Window1::OneShotEnd_Run() {
  auto remainingBars = BarsUpTo(kFigurationBars);
  ControlNamed<fw::NotePlayer>("NotePlayer1").Instrument(1);
  PlayEachOnceShuffled(*remainingBars, false);
  for (int bar = kFirstClosingBar; bar <= kLastBar; ++bar) PlayBarNumber(bar, false);
  FinishingSequence();
}
