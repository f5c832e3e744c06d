#pragma once
// Carries out the score tables on the window's note player.
#include "framework/core/window.h"
#include "score/score_table.h"

namespace score {

// Busy-waits d microseconds from a clock reading taken now, yielding at
// every test that finds time left and never before the first test.
void TimedWait(double d);

void PlayFigurationBar(const fw::Window& window, const FigurationBar& bar);

enum class Tempo { AsWritten, OneShotVariant };
void PlayClosingBar(const fw::Window& window, const ClosingBar& bar, Tempo tempo);

}  // namespace score
