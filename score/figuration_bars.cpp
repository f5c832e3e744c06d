// Bars 1 to 24: two-voice figuration, one operation per bar.
#include "score/figuration_tables.h"
#include "score/step_player.h"
#include "window/window1.h"

void Window1::barOne() { score::PlayFigurationBar(*this, score::kBarOne); }
void Window1::barTwo() { score::PlayFigurationBar(*this, score::kBarTwo); }
void Window1::barThree() { score::PlayFigurationBar(*this, score::kBarThree); }
void Window1::barFour() { score::PlayFigurationBar(*this, score::kBarFour); }
void Window1::barFive() { score::PlayFigurationBar(*this, score::kBarFive); }
void Window1::barSix() { score::PlayFigurationBar(*this, score::kBarSix); }
void Window1::barSeven() { score::PlayFigurationBar(*this, score::kBarSeven); }
void Window1::barEight() { score::PlayFigurationBar(*this, score::kBarEight); }
void Window1::barNine() { score::PlayFigurationBar(*this, score::kBarNine); }
void Window1::barTen() { score::PlayFigurationBar(*this, score::kBarTen); }
void Window1::barEleven() { score::PlayFigurationBar(*this, score::kBarEleven); }
void Window1::barTwelve() { score::PlayFigurationBar(*this, score::kBarTwelve); }
void Window1::barThirteen() { score::PlayFigurationBar(*this, score::kBarThirteen); }
void Window1::barFourteen() { score::PlayFigurationBar(*this, score::kBarFourteen); }
void Window1::barFifteen() { score::PlayFigurationBar(*this, score::kBarFifteen); }
void Window1::barSixteen() { score::PlayFigurationBar(*this, score::kBarSixteen); }
void Window1::barSeventeen() { score::PlayFigurationBar(*this, score::kBarSeventeen); }
void Window1::barEighteen() { score::PlayFigurationBar(*this, score::kBarEighteen); }
void Window1::barNineteen() { score::PlayFigurationBar(*this, score::kBarNineteen); }
void Window1::barTwenty() { score::PlayFigurationBar(*this, score::kBarTwenty); }
void Window1::barTwentyOne() { score::PlayFigurationBar(*this, score::kBarTwentyOne); }
void Window1::barTwentyTwo() { score::PlayFigurationBar(*this, score::kBarTwentyTwo); }
void Window1::barTwentyThree() { score::PlayFigurationBar(*this, score::kBarTwentyThree); }
void Window1::barTwentyFour() { score::PlayFigurationBar(*this, score::kBarTwentyFour); }
