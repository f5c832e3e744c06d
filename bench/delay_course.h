#pragma once
// The course of the delay (onset − call) through a run with stalls: the
// steady delay before them, the stretches of notes at one delay, the notes
// never heard, the notes that sounded together though called apart, and how
// far off the steady delay the notes stayed once each stall had passed.
#include <cstddef>
#include <optional>
#include <vector>

#include "bench/stall_schedule.h"

namespace bench {

struct CourseParams {
  double stretchSpread = 1.5e3;  // µs: a stretch's delays lie within this of each other
  double bunchCallGap = 90e3;    // two notes called at least this far apart...
  double bunchSoundGap = 30e3;   // ...that sound within this of each other are bunched
  double settleUs = 300e3;       // after a stall's end, before its notes count
  double offUs = 3e3;            // a note this far off the steady delay is off
};

struct Stretch {
  std::size_t first = 0, last = 0;  // call indices of its first and last heard notes
  std::size_t heard = 0;
  double minDelay = 0, maxDelay = 0, medianDelay = 0;
};

struct Bunch {
  std::size_t earlier = 0, later = 0;  // call indices
};

struct AfterStall {
  // The calls that count: settled after the stall, and sounding (at the
  // steady delay) before the next.
  double from = 0, to = 0;
  std::size_t notes = 0, heard = 0;
  std::optional<double> worstOff;  // signed delay − steady of the note furthest off
  // The last note called after the stall's end (and before the next) that was
  // off by more than offUs; nullopt when none was.
  std::optional<std::size_t> lastOff;
};

struct DelayCourse {
  std::optional<double> steady;  // median delay of the notes called before the first stall
  std::size_t steadyNotes = 0;
  std::vector<Stretch> stretches;
  std::vector<std::size_t> lost;  // calls without an onset
  std::vector<Bunch> bunched;
  std::vector<AfterStall> afterStalls;  // one a stall
};

// calls: µs, sorted; onsetOfCall: µs on the same clock, nullopt when unheard,
// in call order; stalls on that clock too, in order.
DelayCourse TraceDelays(const std::vector<double>& calls,
                        const std::vector<std::optional<double>>& onsetOfCall,
                        const std::vector<SentStall>& stalls, const CourseParams& params = {});

}  // namespace bench
