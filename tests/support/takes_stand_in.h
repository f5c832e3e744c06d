#pragma once
// A simulated sound server that takes data from the client's buffer in takes,
// driving the renderer in simulated time. The client renders a callback, then
// writes it, waiting for room as a blocking write does. The
// server plays the frames of each take one after another from the moment it
// took them, after those of the take before; a device with a deep buffer of
// its own plays every frame on its schedule, however late it takes them.
// The server's pattern may change during a performance: stalls of the server
// or of the program, a take late then quick takes to catch up, a new quantum.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "framework/sound/note_delay.h"
#include "framework/sound/note_timeline.h"
#include "framework/sound/timeline_renderer.h"
#include "support/frame_recorder.h"

namespace testing_support {

inline constexpr double kTakesRate = 48000;
inline constexpr double kTakesUsPerFrame = 1e6 / kTakesRate;

// How the server takes data while nothing disturbs it.
struct TakePattern {
  int take = 1024;      // frames the server takes at each wake
  int callback = 1024;  // frames of each of the client's callbacks
  int buffer = 2048;    // the client's buffer
  // The device's rate against the nominal one (0.003: 0.3% faster).
  double rateError = 0;
  double jitterUs = 0;    // each wake up to this much early or late
  double renderUs = 100;  // a callback's render time
  // The server's first wake, after the client has filled its buffer.
  double firstWakeUs = 5000;
  // The server calls the client once a cycle, from the first, and takes its
  // block there and then; it says so before the stream opens.
  bool callsEachCycle = false;
  // The device keeps a buffer of its own and plays every frame on its
  // schedule, whenever the server took it.
  bool deepBuffer = false;
};

struct Disturbance {
  enum class Kind {
    // No wakes for `length`; the server then goes on at its cadence, and the
    // frames it takes play `length` later than they would have.
    ServerStall,
    // No callbacks for `length`; the server wakes on, takes what is there,
    // plays silence once the buffer runs dry, and plays what it takes after
    // from the wake that took it.
    ProgramStall,
    // The wake comes `length` late; quick wakes follow until the server has
    // taken what its cadence would have. The device's schedule does not move.
    LateTake,
    // The server takes `take` frames at each wake from here on.
    NewTake,
  };
  Kind kind;
  double at;  // real clock, µs
  double length = 0;
  int take = 0;
  double End() const { return at + length; }
};

struct HeardNote {
  double call;
  double delay = 0;  // call to the play time of its frame
  bool sounded = false;
  std::int64_t frame = -1;
  // The play time of the first frame of the first callback that rendered
  // after the call: the soonest the note could sound.
  double soonest = std::numeric_limits<double>::infinity();
  double Heard() const { return call + delay; }
};

struct Performance {
  double pacedAfterUs = -1;  // from the first callback
  double longestTakeUs = 0;
  std::vector<HeardNote> notes;  // in call order
  // For each late take: when the server was back on its cadence.
  std::vector<double> caughtUp;
  std::int64_t late = 0;
  std::int64_t dropped = 0;
};

class TakesStandIn {
 public:
  static constexpr double kQuickTakeGapUs = 3000;
  static constexpr double kNever = std::numeric_limits<double>::infinity();
  // How far ahead of the wakes a device with a buffer of its own plays.
  static constexpr double kDeepBufferUs = 200'000;

  TakesStandIn(const TakePattern& pattern, std::vector<Disturbance> disturbances)
      : pattern_(pattern),
        disturbances_(std::move(disturbances)),
        deviceUsPerFrame_(kTakesUsPerFrame / (1 + pattern.rateError)),
        renderer_(timeline_, kTakesRate),
        take_(pattern.take),
        jitter_(-pattern.jitterUs, pattern.jitterUs) {
    renderer_.Restart(kTakesRate);
    if (pattern.callsEachCycle) renderer_.FirstCallbackKeepsPace();
    std::sort(disturbances_.begin(), disturbances_.end(),
              [](const Disturbance& a, const Disturbance& b) { return a.at < b.at; });
    applied_.assign(disturbances_.size(), false);
  }

  // Calls notes at `gaps` (cycling) from the moment the stream is paced until
  // `until`, and plays on a second after.
  Performance Play(double until, const std::vector<double>& gaps) {
    until_ = until;
    gaps_ = gaps;
    // The client fills its buffer back to back before the server first wakes.
    const double fill = (pattern_.buffer / pattern_.callback + 1) * pattern_.renderUs;
    nominal_ = pattern_.callsEachCycle ? pattern_.firstWakeUs : fill + pattern_.firstWakeUs;
    playEnd_ = nominal_ + (pattern_.deepBuffer ? kDeepBufferUs : 0);
    while (true) {
      const double wake = NextWake();
      if (wake > until + 1e6) break;
      if (pattern_.callsEachCycle) {
        Callback(wake);
        delivered_ = written_;
      } else {
        RunClientUntil(wake);
      }
      Take(wake);
    }
    return Judge();
  }

 private:
  struct Segment {
    std::int64_t first;
    std::int64_t count;
    double playStart;
  };
  struct CallbackStart {
    double at;
    std::int64_t first;
  };

  // A server whose quantum outgrows the client's buffer makes room for one.
  int Buffer() const { return std::max(pattern_.buffer, take_); }

  // Moves a moment of the client's out of a program stall.
  double AfterProgramStalls(double time) const {
    for (const Disturbance& d : disturbances_) {
      if (d.kind == Disturbance::Kind::ProgramStall && time >= d.at && time < d.End()) {
        time = d.End();
      }
    }
    return time;
  }

  // The server's next wake on the real clock; sets the cadence it is on.
  double NextWake() {
    if (catchingUp_) {
      const double quick = lastWake_ + kQuickTakeGapUs;
      if (nominal_ < quick) {
        wakeNominal_ = quick;
        return quick;
      }
      catchingUp_ = false;
      caughtUp_.push_back(lastWake_);
    }
    double late = 0;
    for (std::size_t i = 0; i < disturbances_.size(); ++i) {
      const Disturbance& d = disturbances_[i];
      if (applied_[i] || d.at > nominal_) continue;
      applied_[i] = true;
      switch (d.kind) {
        case Disturbance::Kind::ServerStall:
          nominal_ += d.length;
          break;
        case Disturbance::Kind::LateTake:
          late = d.length;
          catchingUp_ = true;
          break;
        case Disturbance::Kind::NewTake:
          take_ = d.take;
          break;
        case Disturbance::Kind::ProgramStall:
          break;
      }
    }
    wakeNominal_ = nominal_;
    const double jitter = pattern_.jitterUs > 0 ? jitter_(random_) : 0;
    return nominal_ + late + jitter;
  }

  void Take(double wake) {
    const std::int64_t count = std::min<std::int64_t>(take_, delivered_ - taken_);
    longestTakeUs_ = std::max(longestTakeUs_, take_ * kTakesUsPerFrame);
    // A device without a buffer of its own that ran dry starts again from
    // the wake that took its next frames.
    const double start = pattern_.deepBuffer ? playEnd_ : std::max(playEnd_, wakeNominal_);
    if (count > 0) segments_.push_back({taken_, count, start});
    playEnd_ = start + count * deviceUsPerFrame_;
    taken_ += count;
    nominal_ += take_ * deviceUsPerFrame_;
    lastWake_ = wake;
  }

  // The client renders and writes until the server's next wake.
  void RunClientUntil(double wake) {
    while (true) {
      if (pendingWrite_) {
        // The write goes on as far as there is room: once the callback has
        // rendered, then at each wake that makes room, never in a stall.
        const double at = AfterProgramStalls(std::max(renderedAt_, lastWake_));
        if (at >= wake) return;
        delivered_ = std::min(written_, taken_ + Buffer());
        if (delivered_ < written_) return;
        pendingWrite_ = false;
        nextStart_ = at;
      }
      const double start = AfterProgramStalls(nextStart_);
      if (start >= wake) return;
      Callback(start);
      renderedAt_ = start + pattern_.renderUs;
      // A render that a program stall interrupts ends that much later.
      for (const Disturbance& d : disturbances_) {
        if (d.kind == Disturbance::Kind::ProgramStall && d.at > start && d.at < renderedAt_) {
          renderedAt_ += d.length;
        }
      }
      renderer_.Finished(renderedAt_);
      pendingWrite_ = true;
    }
  }

  void Callback(double now) {
    CallNotesUntil(now);
    callbacks_.push_back({now, written_});
    renderer_.Render(synth_, pattern_.callback, now);
    written_ += pattern_.callback;
    if (callbacks_.size() == 1) firstCallback_ = now;
    if (pacedAt_ < 0 && renderer_.Paced()) {
      pacedAt_ = now;
      nextCall_ = now;
    }
  }

  // Notes called since the last callback reach the timeline before this one.
  void CallNotesUntil(double now) {
    if (pacedAt_ < 0) return;
    for (; nextCall_ <= now && nextCall_ < until_;
         nextCall_ += gaps_[calls_.size() % gaps_.size()]) {
      const int index = static_cast<int>(calls_.size());
      const double due =
          nextCall_ + fw::sound::NoteDelayUs(kTakesRate, renderer_.LongestCallback());
      timeline_.Add({due, fw::sound::TimedNote::Kind::On, index % 128, 1 + index / 128}, nextCall_);
      calls_.push_back(nextCall_);
    }
  }

  double PlayTime(std::int64_t frame) const {
    const auto after =
        std::upper_bound(segments_.begin(), segments_.end(), frame,
                         [](std::int64_t f, const Segment& s) { return f < s.first; });
    if (after == segments_.begin()) return kNever;
    const Segment& s = *(after - 1);
    if (frame >= s.first + s.count) return kNever;
    return s.playStart + static_cast<double>(frame - s.first) * deviceUsPerFrame_;
  }

  Performance Judge() const {
    Performance p;
    p.pacedAfterUs = pacedAt_ < 0 ? -1 : pacedAt_ - firstCallback_;
    p.longestTakeUs = longestTakeUs_;
    p.caughtUp = caughtUp_;
    p.late = renderer_.LateNotes();
    p.dropped = timeline_.Dropped();
    std::size_t next = 0;
    for (const double call : calls_) {
      HeardNote note{call};
      while (next < callbacks_.size() && callbacks_[next].at < call) ++next;
      if (next < callbacks_.size()) note.soonest = PlayTime(callbacks_[next].first);
      p.notes.push_back(note);
    }
    for (const auto& [note, frame] : synth_.applied) {
      HeardNote& heard = p.notes[note.note + 128 * (note.velocity - 1)];
      const double play = PlayTime(frame);
      if (play == kNever) continue;
      heard.sounded = true;
      heard.frame = frame;
      heard.delay = play - heard.call;
    }
    return p;
  }

  const TakePattern pattern_;
  std::vector<Disturbance> disturbances_;
  std::vector<bool> applied_;
  const double deviceUsPerFrame_;
  fw::sound::NoteTimeline timeline_;
  fw::sound::TimelineRenderer renderer_;
  FrameRecorder synth_;

  // The server.
  int take_;
  double nominal_ = 0;      // its next wake by its cadence
  double wakeNominal_ = 0;  // the cadence's time of the current wake
  double lastWake_ = 0;
  bool catchingUp_ = false;
  std::vector<double> caughtUp_;
  std::int64_t taken_ = 0;
  double playEnd_ = 0;
  std::vector<Segment> segments_;
  double longestTakeUs_ = 0;
  std::mt19937 random_{11};
  std::uniform_real_distribution<double> jitter_;

  // The client.
  std::int64_t written_ = 0;    // rendered
  std::int64_t delivered_ = 0;  // in the server's buffer, or taken
  bool pendingWrite_ = false;
  double renderedAt_ = 0;
  double nextStart_ = 0;
  std::vector<CallbackStart> callbacks_;
  double firstCallback_ = 0;
  double pacedAt_ = -1;

  // The notes.
  double until_ = 0;
  std::vector<double> gaps_;
  double nextCall_ = 0;
  std::vector<double> calls_;
};

}  // namespace testing_support
