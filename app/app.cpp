#include "app/app.h"

#include <array>
#include <string>

#include "framework/core/tarnwick.h"

namespace {
const std::array<const char*, 10> kAboutLines = {
    "Velumbra 17",
    "Velumbra 17 is based on Quendrel\u2019s Prelude 2 from Book 1 of Forty-eight Preludes and "
    "Fugues.",
    "It has four options for performance.",
    "One shot \u2013 this will play all 35 bars of the original work once only but in a random "
    "order.",
    "Looped \u2013 this will play any of the first 32 bars of the original work and will run "
    "indefinitely until stopped by the user.",
    "One shot with ending \u2013 this will play the first 32 bars of the original work once only "
    "and finish with bars 33 \u2013 35 from the original.",
    "Original \u2013 this plays the piece as it was written.",
    "Programmed by Orrin Vale",
    "orrin.vale@orrinvale.example",
    "www.orrinvale.example",
};
}  // namespace

bool App::_aboutvelumbra17_Action() {
  std::array<std::shared_ptr<fw::EndOfLine>, 9> lineEnds;
  for (auto& lineEnd : lineEnds) {
    lineEnd = Tarnwick::EndOfLine();
    if (!lineEnd) fw::RaiseNilObjectException();
  }
  std::string text = kAboutLines[0];
  for (std::size_t line = 1; line < kAboutLines.size(); ++line) {
    text = lineEnds[line - 1]->Operator_AddRight(text) + kAboutLines[line];
  }
  Tarnwick::MsgBox(text);
  return false;
}

namespace accessors {
std::shared_ptr<::App> App() { return fw::RuntimeCheckCast<::App>(Tarnwick::GetAppObject()); }
}  // namespace accessors
