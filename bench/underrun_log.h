#pragma once
// The sound server's own count of underruns, from its debug log (pulseaudio
// --log-level=debug --log-time=1): a playback stream's queue ran dry. The
// server logs when that happens and again when data comes back. Two belong to
// opening and closing a stream rather than to playing: one while its first
// buffer plays, before the client sent the next; one it never recovers from,
// because the client stopped writing to close it. The rest are dropouts.
// Streams are taken to play one at a time.
#include <istream>

namespace bench {

struct UnderrunCounts {
  long long streams = 0;
  long long edge = 0;  // at a stream's start or end
  long long mid = 0;   // in between
};

UnderrunCounts CountUnderruns(std::istream& log);

}  // namespace bench
