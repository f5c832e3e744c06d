// Start and stop, and what the modes share with stop: the playing and idle
// states, the farewell message and the finishing sequence.
#include <string>

#include "framework/core/controls.h"
#include "framework/core/note_player.h"
#include "framework/core/tarnwick.h"
#include "framework/core/thread.h"
#include "score/step_player.h"
#include "window/window1.h"

namespace {
constexpr double kEndPause = 3000000.0;
constexpr const char* kModeButtons[] = {"OneShotButton", "LoopedButton", "OriginalButton",
                                        "OneShotEndButton"};
constexpr const char* kModeThreads[] = {"OneShot", "Looped", "Original", "OneShotEnd"};
}  // namespace

void Window1::SetPlayingState() {
  ControlNamed<fw::PushButton>("play").Enabled(false);
  ControlNamed<fw::PushButton>("stop").Enabled(true);
  ControlNamed<fw::ProgressWheel>("ProgressWheel1").Visible(true);
  for (const char* button : kModeButtons) ControlNamed<fw::RadioButton>(button).Enabled(false);
}

void Window1::SetIdleState() {
  ControlNamed<fw::ProgressWheel>("ProgressWheel1").Visible(false);
  ControlNamed<fw::PushButton>("stop").Enabled(false);
  ControlNamed<fw::PushButton>("play").Enabled(true);
  for (const char* button : kModeButtons) ControlNamed<fw::RadioButton>(button).Enabled(true);
}

void Window1::ShowFarewellMessage() {
  auto lineEnd = Tarnwick::EndOfLine();
  if (!lineEnd) fw::RaiseNilObjectException();
  std::string text = "Thanks for listening to this velumbra.";
  text = lineEnd->Operator_AddRight(text) +
         "If you enjoyed it and would like to make a donation of 49p (\u00A30.49) then please "
         "visit";
  text =
      lineEnd->Operator_AddRight(text) + "www.orrinvale.example/velumbraweb/velumbrapayment.html";
  text = lineEnd->Operator_AddRight(text) + "Thank you.";
  Tarnwick::MsgBox(text);
}

void Window1::FinishingSequence() {
  score::TimedWait(kEndPause);
  SetIdleState();
  ShowFarewellMessage();
}

void Window1::play_Action() {
  SetPlayingState();
  // Four separate tests, each reading its button when its turn comes.
  for (int mode = 0; mode < 4; ++mode) {
    if (ControlNamed<fw::RadioButton>(kModeButtons[mode]).Value()) {
      ControlNamed<fw::Thread>(kModeThreads[mode]).Run();
    }
  }
}

void Window1::stop_Action() {
  for (int note = 1; note <= 127; ++note) {
    ControlNamed<fw::NotePlayer>("NotePlayer1").PlayNote(note, 0);
    fw::RuntimeBackgroundTask();
  }
  for (const char* thread : kModeThreads) ControlNamed<fw::Thread>(thread).Kill();
  SetIdleState();
  ShowFarewellMessage();
}
