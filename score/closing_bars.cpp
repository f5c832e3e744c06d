// Bars 25 to 38 as written, and bars 28 to 34 as "one shot" plays them.
#include "score/closing_tables.h"
#include "score/step_player.h"
#include "window/window1.h"

using score::Tempo;

void Window1::barTwentyFive() {
  score::PlayClosingBar(*this, score::kBarTwentyFive, Tempo::AsWritten);
}
void Window1::barTwentySix() {
  score::PlayClosingBar(*this, score::kBarTwentySix, Tempo::AsWritten);
}
void Window1::barTwentySeven() {
  score::PlayClosingBar(*this, score::kBarTwentySeven, Tempo::AsWritten);
}
void Window1::barTwentyEight() {
  score::PlayClosingBar(*this, score::kBarTwentyEight, Tempo::AsWritten);
}
void Window1::barTwentyNine() {
  score::PlayClosingBar(*this, score::kBarTwentyNine, Tempo::AsWritten);
}
void Window1::barThirty() { score::PlayClosingBar(*this, score::kBarThirty, Tempo::AsWritten); }
void Window1::barThirtyOne() {
  score::PlayClosingBar(*this, score::kBarThirtyOne, Tempo::AsWritten);
}
void Window1::barThirtyTwo() {
  score::PlayClosingBar(*this, score::kBarThirtyTwo, Tempo::AsWritten);
}
void Window1::barThirtyThree() {
  score::PlayClosingBar(*this, score::kBarThirtyThree, Tempo::AsWritten);
}
void Window1::barThirtyFour() {
  score::PlayClosingBar(*this, score::kBarThirtyFour, Tempo::AsWritten);
}
void Window1::barThirtyFive() {
  score::PlayClosingBar(*this, score::kBarThirtyFive, Tempo::AsWritten);
}
void Window1::barThirtySix() {
  score::PlayClosingBar(*this, score::kBarThirtySix, Tempo::AsWritten);
}
void Window1::barThirtySeven() {
  score::PlayClosingBar(*this, score::kBarThirtySeven, Tempo::AsWritten);
}
void Window1::barThirtyEight() {
  score::PlayClosingBar(*this, score::kBarThirtyEight, Tempo::AsWritten);
}

void Window1::barTwentyEightOneShot() {
  score::PlayClosingBar(*this, score::kBarTwentyEight, Tempo::OneShotVariant);
}
void Window1::barTwentyNineOneShot() {
  score::PlayClosingBar(*this, score::kBarTwentyNine, Tempo::OneShotVariant);
}
void Window1::barThirtyOneShot() {
  score::PlayClosingBar(*this, score::kBarThirty, Tempo::OneShotVariant);
}
void Window1::barThirtyOneOneShot() {
  score::PlayClosingBar(*this, score::kBarThirtyOne, Tempo::OneShotVariant);
}
void Window1::barThirtyTwoOneShot() {
  score::PlayClosingBar(*this, score::kBarThirtyTwo, Tempo::OneShotVariant);
}
void Window1::barThirtyThreeOneShot() {
  score::PlayClosingBar(*this, score::kBarThirtyThree, Tempo::OneShotVariant);
}
void Window1::barThirtyFourOneShot() {
  score::PlayClosingBar(*this, score::kBarThirtyFour, Tempo::OneShotVariant);
}
