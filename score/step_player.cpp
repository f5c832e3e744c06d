#include "score/step_player.h"

#include "framework/core/note_player.h"
#include "framework/core/tarnwick.h"
#include "framework/core/thread.h"
#include "window/control_lookup.h"

namespace score {
namespace {

// Each note call looks the note player up anew; nothing is held between calls.
void NoteCall(const fw::Window& window, int note, int velocity) {
  LookUpControl<fw::NotePlayer>(&window, "NotePlayer1").PlayNote(note, velocity);
}

void Start(const fw::Window& window, const NoteList<NoteStart>& starts) {
  for (const NoteStart& start : starts) NoteCall(window, start.note, start.velocity);
}

void Release(const fw::Window& window, const NoteList<int>& notes) {
  for (int note : notes) NoteCall(window, note, 0);
}

void PlayFigurationRow(const fw::Window& window, const FigurationRow& row) {
  Start(window, row.starts);
  TimedWait(row.wait);
  Release(window, row.releases);
}

}  // namespace

void TimedWait(double d) {
  const double origin = Tarnwick::Microseconds();
  while (Tarnwick::Microseconds() - origin < d) fw::RuntimeBackgroundTask();
}

void PlayFigurationBar(const fw::Window& window, const FigurationBar& bar) {
  if (bar.form == FigurationForm::WrittenOut) {
    for (const FigurationRow& row : bar.rows) PlayFigurationRow(window, row);
    return;
  }
  for (std::int32_t pass = 1; !(2 < pass); ++pass) {
    for (const FigurationRow& row : bar.rows) PlayFigurationRow(window, row);
    fw::RuntimeBackgroundTask();
  }
}

void PlayClosingBar(const fw::Window& window, const ClosingBar& bar, Tempo tempo) {
  for (const ClosingRow& step : bar.steps) {
    Release(window, step.releases);
    Start(window, step.starts);
    TimedWait(tempo == Tempo::AsWritten ? step.wait : step.variantWait);
  }
  Release(window, bar.endReleases);
}

}  // namespace score
