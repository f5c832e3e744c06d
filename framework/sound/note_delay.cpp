#include "framework/sound/note_delay.h"

#include <algorithm>

namespace fw::sound {
namespace {
// Room for the line to move earlier than it stood when a note was called
// (a take that shows the device wanted its frames sooner, a device a little
// fast) without the note arriving after its block has been rendered.
constexpr double kLineSlackUs = 6'000;
}  // namespace

double NoteDelayUs(double sampleRate, int longestCallback) {
  // A callback renders all its frames at once: a device that asks for more
  // than a period at a time needs its notes that much sooner.
  const int frames = std::max(kPeriodFrames, longestCallback);
  return 1e6 * frames / sampleRate + kLineSlackUs;
}

}  // namespace fw::sound
