#pragma once
#include "score/score_table.h"

// Bars 1 to 24: two voices, one row per written step.

// clang-format off
namespace score {

// Bar 1.
inline constexpr FigurationRow kBarOneRows[] = {
    {{72, 48}, 175000, {72, 48}},
    {{63, 55}, 175000, {63, 55}},
    {{62, 53}, 175000, {62, 53}},
    {{63, 55}, 175000, {63, 55}},
    {{60, 51}, 175000, {60, 51}},
    {{63, 55}, 175000, {63, 55}},
    {{62, 53}, 175000, {62, 53}},
    {{63, 55}, 175000, {63, 55}},
};
inline constexpr FigurationBar kBarOne{FigurationForm::TwoPasses, kBarOneRows};

// Bar 2.
inline constexpr FigurationRow kBarTwoRows[] = {
    {{68, 48}, 175000, {68, 48}},
    {{65, 56}, 175000, {65, 56}},
    {{64, 55}, 175000, {64, 55}},
    {{65, 56}, 175000, {65, 56}},
    {{60, 53}, 175000, {60, 53}},
    {{65, 56}, 175000, {65, 56}},
    {{64, 55}, 175000, {64, 55}},
    {{65, 56}, 175000, {65, 56}},
};
inline constexpr FigurationBar kBarTwo{FigurationForm::TwoPasses, kBarTwoRows};

// Bar 3.
inline constexpr FigurationRow kBarThreeRows[] = {
    {{71, 48}, 175000, {71, 48}},
    {{65, 56}, 175000, {65, 56}},
    {{63, 55}, 175000, {63, 55}},
    {{65, 56}, 175000, {65, 56}},
    {{62, 53}, 175000, {62, 53}},
    {{65, 56}, 175000, {65, 56}},
    {{63, 55}, 175000, {63, 55}},
    {{65, 56}, 175000, {65, 56}},
};
inline constexpr FigurationBar kBarThree{FigurationForm::TwoPasses, kBarThreeRows};

// Bar 4.
inline constexpr FigurationRow kBarFourRows[] = {
    {{72, 48}, 175000, {72, 48}},
    {{67, 51}, 175000, {67, 51}},
    {{65, 50}, 175000, {65, 50}},
    {{67, 51}, 175000, {67, 51}},
    {{63, 55}, 175000, {63, 55}},
    {{67, 51}, 175000, {67, 51}},
    {{65, 50}, 175000, {65, 50}},
    {{67, 51}, 175000, {67, 51}},
};
inline constexpr FigurationBar kBarFour{FigurationForm::TwoPasses, kBarFourRows};

// Bar 5.
inline constexpr FigurationRow kBarFiveRows[] = {
    {{75, 48}, 175000, {75, 48}},
    {{68, 60}, 175000, {68, 60}},
    {{67, 58}, 175000, {67, 58}},
    {{68, 60}, 175000, {68, 60}},
    {{63, 56}, 175000, {63, 56}},
    {{68, 60}, 175000, {68, 60}},
    {{67, 58}, 175000, {67, 58}},
    {{68, 60}, 175000, {68, 60}},
};
inline constexpr FigurationBar kBarFive{FigurationForm::TwoPasses, kBarFiveRows};

// Bar 6.
inline constexpr FigurationRow kBarSixRows[] = {
    {{74, 48}, 175000, {74, 48}},
    {{66, 57}, 175000, {66, 57}},
    {{64, 55}, 175000, {64, 55}},
    {{66, 57}, 175000, {66, 57}},
    {{62, 54}, 175000, {62, 54}},
    {{66, 57}, 175000, {66, 57}},
    {{64, 55}, 175000, {64, 55}},
    {{66, 57}, 175000, {66, 57}},
};
inline constexpr FigurationBar kBarSix{FigurationForm::TwoPasses, kBarSixRows};

// Bar 7.
inline constexpr FigurationRow kBarSevenRows[] = {
    {{74, 46}, 175000, {74, 46}},
    {{67, 58}, 175000, {67, 58}},
    {{66, 57}, 175000, {66, 57}},
    {{67, 58}, 175000, {67, 58}},
    {{62, 55}, 175000, {62, 55}},
    {{67, 58}, 175000, {67, 58}},
    {{66, 57}, 175000, {66, 57}},
    {{67, 58}, 175000, {67, 58}},
};
inline constexpr FigurationBar kBarSeven{FigurationForm::TwoPasses, kBarSevenRows};

// Bar 8.
inline constexpr FigurationRow kBarEightRows[] = {
    {{72, 46}, 175000, {72, 46}},
    {{64, 55}, 175000, {64, 55}},
    {{62, 53}, 175000, {62, 53}},
    {{64, 55}, 175000, {64, 55}},
    {{60, 52}, 175000, {60, 52}},
    {{64, 55}, 175000, {64, 55}},
    {{62, 53}, 175000, {62, 53}},
    {{64, 55}, 175000, {64, 55}},
};
inline constexpr FigurationBar kBarEight{FigurationForm::TwoPasses, kBarEightRows};

// Bar 9.
inline constexpr FigurationRow kBarNineRows[] = {
    {{72, 44}, 175000, {72, 44}},
    {{65, 56}, 175000, {65, 56}},
    {{64, 55}, 175000, {64, 55}},
    {{65, 56}, 175000, {65, 56}},
    {{60, 53}, 175000, {60, 53}},
    {{65, 56}, 175000, {65, 56}},
    {{64, 55}, 175000, {64, 55}},
    {{65, 56}, 175000, {65, 56}},
};
inline constexpr FigurationBar kBarNine{FigurationForm::TwoPasses, kBarNineRows};

// Bar 10.
inline constexpr FigurationRow kBarTenRows[] = {
    {{70, 44}, 175000, {70, 44}},
    {{65, 50}, 175000, {65, 50}},
    {{63, 48}, 175000, {63, 48}},
    {{65, 50}, 175000, {65, 50}},
    {{62, 53}, 175000, {62, 53}},
    {{65, 50}, 175000, {65, 50}},
    {{63, 48}, 175000, {63, 48}},
    {{65, 50}, 175000, {65, 50}},
};
inline constexpr FigurationBar kBarTen{FigurationForm::TwoPasses, kBarTenRows};

// Bar 11.
inline constexpr FigurationRow kBarElevenRows[] = {
    {{70, 43}, 175000, {70, 43}},
    {{67, 51}, 175000, {67, 51}},
    {{65, 50}, 175000, {65, 50}},
    {{67, 51}, 175000, {67, 51}},
    {{63, 55}, 175000, {63, 55}},
    {{67, 51}, 175000, {67, 51}},
    {{65, 50}, 175000, {65, 50}},
    {{67, 51}, 175000, {67, 51}},
};
inline constexpr FigurationBar kBarEleven{FigurationForm::TwoPasses, kBarElevenRows};

// Bar 12.
inline constexpr FigurationRow kBarTwelveRows[] = {
    {{68, 48}, 175000, {68, 48}},
    {{67, 51}, 175000, {67, 51}},
    {{65, 50}, 175000, {65, 50}},
    {{67, 51}, 175000, {67, 51}},
    {{63, 56}, 175000, {63, 56}},
    {{67, 51}, 175000, {67, 51}},
    {{65, 50}, 175000, {65, 50}},
    {{67, 51}, 175000, {67, 51}},
};
inline constexpr FigurationBar kBarTwelve{FigurationForm::TwoPasses, kBarTwelveRows};

// Bar 13.
inline constexpr FigurationRow kBarThirteenRows[] = {
    {{68, 50}, 175000, {68, 50}},
    {{62, 53}, 175000, {62, 53}},
    {{60, 51}, 175000, {60, 51}},
    {{62, 53}, 175000, {62, 53}},
    {{58, 56}, 175000, {58, 56}},
    {{62, 53}, 175000, {62, 53}},
    {{60, 51}, 175000, {60, 51}},
    {{62, 53}, 175000, {62, 53}},
};
inline constexpr FigurationBar kBarThirteen{FigurationForm::TwoPasses, kBarThirteenRows};

// Bar 14.
inline constexpr FigurationRow kBarFourteenRows[] = {
    {{67, 51}, 175000, {67, 51}},
    {{58, 55}, 175000, {58, 55}},
    {{56, 53}, 175000, {56, 53}},
    {{58, 55}, 175000, {58, 55}},
    {{63, 56}, 175000, {63, 56}},
    {{58, 55}, 175000, {58, 55}},
    {{56, 53}, 175000, {56, 53}},
    {{58, 55}, 175000, {58, 55}},
};
inline constexpr FigurationBar kBarFourteen{FigurationForm::TwoPasses, kBarFourteenRows};

// Bar 15.
inline constexpr FigurationRow kBarFifteenRows[] = {
    {{65, 51}, 175000, {65, 51}},
    {{60, 57}, 175000, {60, 57}},
    {{58, 55}, 175000, {58, 55}},
    {{60, 57}, 175000, {60, 57}},
    {{57, 53}, 175000, {57, 53}},
    {{60, 57}, 175000, {60, 57}},
    {{58, 55}, 175000, {58, 55}},
    {{60, 57}, 175000, {60, 57}},
};
inline constexpr FigurationBar kBarFifteen{FigurationForm::TwoPasses, kBarFifteenRows};

// Bar 16.
inline constexpr FigurationRow kBarSixteenRows[] = {
    {{65, 50}, 175000, {65, 50}},
    {{62, 53}, 175000, {62, 53}},
    {{60, 51}, 175000, {60, 51}},
    {{62, 53}, 175000, {62, 53}},
    {{59, 56}, 175000, {59, 56}},
    {{62, 53}, 175000, {62, 53}},
    {{60, 51}, 175000, {60, 51}},
    {{62, 53}, 175000, {62, 53}},
};
inline constexpr FigurationBar kBarSixteen{FigurationForm::TwoPasses, kBarSixteenRows};

// Bar 17.
inline constexpr FigurationRow kBarSeventeenRows[] = {
    {{65, 48}, 175000, {65, 48}},
    {{62, 53}, 175000, {62, 53}},
    {{60, 52}, 175000, {60, 52}},
    {{62, 53}, 175000, {62, 53}},
    {{59, 56}, 175000, {59, 56}},
    {{62, 53}, 175000, {62, 53}},
    {{60, 51}, 175000, {60, 51}},
    {{62, 53}, 175000, {62, 53}},
};
inline constexpr FigurationBar kBarSeventeen{FigurationForm::TwoPasses, kBarSeventeenRows};

// Bar 18.
inline constexpr FigurationRow kBarEighteenRows[] = {
    {{63, 48}, 175000, {63, 48}},
    {{60, 51}, 175000, {60, 51}},
    {{59, 50}, 175000, {59, 50}},
    {{60, 51}, 175000, {60, 51}},
    {{55, 53}, 175000, {55, 53}},
    {{60, 51}, 175000, {60, 51}},
    {{59, 50}, 175000, {59, 50}},
    {{60, 51}, 175000, {60, 51}},
    {{63, 46}, 175000, {63, 46}},
    {{60, 51}, 175000, {60, 51}},
    {{59, 50}, 175000, {59, 50}},
    {{60, 51}, 175000, {60, 51}},
    {{55, 53}, 175000, {55, 53}},
    {{60, 51}, 175000, {60, 51}},
    {{59, 50}, 175000, {59, 50}},
    {{60, 51}, 175000, {60, 51}},
};
inline constexpr FigurationBar kBarEighteen{FigurationForm::WrittenOut, kBarEighteenRows};

// Bar 19.
inline constexpr FigurationRow kBarNineteenRows[] = {
    {{53, 44}, 175000, {53, 44}},
    {{63, 48}, 175000, {63, 48}},
    {{62, 47}, 175000, {62, 47}},
    {{63, 48}, 175000, {63, 48}},
    {{65, 50}, 175000, {65, 50}},
    {{63, 48}, 175000, {63, 48}},
    {{62, 47}, 175000, {62, 47}},
    {{63, 48}, 175000, {63, 48}},
};
inline constexpr FigurationBar kBarNineteen{FigurationForm::TwoPasses, kBarNineteenRows};

// Bar 20.
inline constexpr FigurationRow kBarTwentyRows[] = {
    {{54, 45}, 175000, {54, 45}},
    {{60, 51}, 175000, {60, 51}},
    {{59, 50}, 175000, {59, 50}},
    {{60, 51}, 175000, {60, 51}},
    {{63, 48}, 175000, {63, 48}},
    {{60, 51}, 175000, {60, 51}},
    {{59, 50}, 175000, {59, 50}},
    {{60, 51}, 175000, {60, 51}},
};
inline constexpr FigurationBar kBarTwenty{FigurationForm::TwoPasses, kBarTwentyRows};

// Bar 21.
inline constexpr FigurationRow kBarTwentyOneRows[] = {
    {{63, 43}, 175000, {63, 43}},
    {{60, 51}, 175000, {60, 51}},
    {{59, 50}, 175000, {59, 50}},
    {{60, 51}, 175000, {60, 51}},
    {{55, 53}, 175000, {55, 53}},
    {{60, 51}, 175000, {60, 51}},
    {{59, 50}, 175000, {59, 50}},
    {{60, 51}, 175000, {60, 51}},
};
inline constexpr FigurationBar kBarTwentyOne{FigurationForm::TwoPasses, kBarTwentyOneRows};

// Bar 22.
inline constexpr FigurationRow kBarTwentyTwoRows[] = {
    {{66, 43}, 175000, {66, 43}},
    {{60, 51}, 175000, {60, 51}},
    {{59, 50}, 175000, {59, 50}},
    {{60, 51}, 175000, {60, 51}},
    {{57, 60}, 175000, {57, 60}},
    {{60, 51}, 175000, {60, 51}},
    {{59, 50}, 175000, {59, 50}},
    {{60, 51}, 175000, {60, 51}},
};
inline constexpr FigurationBar kBarTwentyTwo{FigurationForm::TwoPasses, kBarTwentyTwoRows};

// Bar 23.
inline constexpr FigurationRow kBarTwentyThreeRows[] = {
    {{67, 43}, 175000, {67, 43}},
    {{60, 51}, 175000, {60, 51}},
    {{59, 50}, 175000, {59, 50}},
    {{60, 51}, 175000, {60, 51}},
    {{62, 53}, 175000, {62, 53}},
    {{60, 51}, 175000, {60, 51}},
    {{59, 50}, 175000, {59, 50}},
    {{60, 51}, 175000, {60, 51}},
};
inline constexpr FigurationBar kBarTwentyThree{FigurationForm::TwoPasses, kBarTwentyThreeRows};

// Bar 24.
inline constexpr FigurationRow kBarTwentyFourRows[] = {
    {{68, 43}, 175000, {68, 43}},
    {{60, 51}, 175000, {60, 51}},
    {{59, 50}, 175000, {59, 50}},
    {{60, 51}, 175000, {60, 51}},
    {{62, 53}, 175000, {62, 53}},
    {{60, 51}, 175000, {60, 51}},
    {{59, 50}, 175000, {59, 50}},
    {{60, 51}, 175000, {60, 51}},
};
inline constexpr FigurationBar kBarTwentyFour{FigurationForm::TwoPasses, kBarTwentyFourRows};

}  // namespace score
// clang-format on
