#include "framework/core/tarnwick.h"

#include "framework/core/clock.h"
#include "framework/core/platform.h"
#include "framework/core/scheduler.h"
#include "framework/core/trace.h"

namespace Tarnwick {

double Microseconds() {
  const double now = fw::clock::Read();
  fw::scheduler::NoteClockRead(now);
  if (fw::trace::Active()) fw::trace::Emit({fw::trace::Kind::ClockRead, 0, 0, now});
  return now;
}

std::shared_ptr<fw::EndOfLine> EndOfLine() { return std::make_shared<fw::EndOfLine>(); }

void MsgBox(const std::string& text) {
  fw::scheduler::WithoutBaton([&] { fw::CurrentPlatform().ShowMessage(text); });
}

}  // namespace Tarnwick
