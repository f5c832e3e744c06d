#pragma once
// How long after its call a note is stamped to sound: the renderer must find
// it on the timeline before the callback that renders its block.

namespace fw::sound {

// Frames the device is asked for at a time: the least a callback renders.
inline constexpr int kPeriodFrames = 1024;

// Microseconds from a note's call to its moment on the timeline, for a stream
// at `sampleRate` whose callbacks asked for at most `longestCallback` frames
// (0 before the first).
double NoteDelayUs(double sampleRate, int longestCallback);

}  // namespace fw::sound
