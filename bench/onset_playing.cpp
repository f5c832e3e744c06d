#include "bench/onset_playing.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "bench/sample_clock.h"
#include "framework/core/clock.h"

namespace bench {
namespace {

constexpr double kSpinUs = 2000;  // sleep to this close to a call, then spin
// The stream closes after 1.5 s of silence, once the note's reverb has died away.
constexpr double kCloseLimitUs = 20e6;

void SleepUntil(double realUs) {
  const double left = realUs - fw::clock::RealNow();
  if (left > 0)
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(left)));
}

bool WaitForStreamClosed(const fw::sound::FluidSynthSink& sink) {
  const double from = fw::clock::RealNow();
  while (sink.StreamOpen()) {
    if (fw::clock::RealNow() - from > kCloseLimitUs) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // Not open is also still closing (tens of ms): a start then waits for the
  // close too, which a person pressing start seconds later never sees.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  return true;
}

}  // namespace

// With the library's extrapolated latency, the reported latency stood still
// for half a second about a second after a stream started, then caught up by
// 30-570 ms: hence fresh reads, and two seconds of them without a break.
bool WaitForSteadyTimeline(const Recording& recorder, fw::sound::FluidSynthSink& sink, double rate,
                           bool keepStreamOpen) {
  const auto reads =
      static_cast<std::size_t>(std::max(4.0, std::round(2.0 / recorder.FragmentSeconds())));
  for (int tries = 0; tries < 300; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (keepStreamOpen) sink.Prepare();
    const auto recent = recorder.RecentStamps(reads);
    const auto clock = SampleClock::FromStamps(recent, rate, kTimelineBreakUs);
    if (recent.size() < reads || !clock || clock->Used() < reads * 9 / 10) continue;
    const auto& steps = clock->Steps();
    if (std::all_of(steps.begin(), steps.end(),
                    [](double step) { return std::abs(step) < kTimelineBreakUs; })) {
      return true;
    }
  }
  return false;
}

void PlayAt(fw::sound::FluidSynthSink& sink, const std::vector<double>& starts, double origin,
            Played& played) {
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const double due = origin + starts[i];
    SleepUntil(due - kSpinUs);
    while (fw::clock::RealNow() < due) {
    }
    if (i > 0) sink.NoteOff(kWoodblockNote);
    const double at = fw::clock::RealNow();
    sink.NoteOn(kWoodblockNote, kWoodblockVelocity);
    played.calls.push_back(at);
    played.late.push_back(at - due);
  }
}

std::vector<StartRecord> PlayColdStarts(fw::sound::FluidSynthSink& sink,
                                        const std::vector<double>& starts, int count,
                                        std::size_t notes, Played& played) {
  const auto length = static_cast<std::ptrdiff_t>(std::min(notes, starts.size()));
  const std::vector<double> first(starts.begin(), starts.begin() + length);
  std::vector<StartRecord> records;
  std::int64_t lateBefore = 0, droppedBefore = 0;
  // What a start's notes came to is known once its stream has gone.
  auto closeStart = [&] {
    if (!WaitForStreamClosed(sink)) return false;
    if (!records.empty()) {
      records.back().lateNotes = sink.LateNotes() - lateBefore;
      records.back().droppedNotes = sink.DroppedNotes() - droppedBefore;
    }
    lateBefore = sink.LateNotes();
    droppedBefore = sink.DroppedNotes();
    return true;
  };
  for (int start = 0; start < count; ++start) {
    if (!closeStart()) return {};
    StartRecord record;
    const double before = fw::clock::RealNow();
    sink.Prepare();
    record.awaited = sink.AwaitOutput(kOutputWait);
    const double origin = fw::clock::RealNow();
    record.awaitMs = (origin - before) / 1e3;
    PlayAt(sink, first, origin, played);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sink.NoteOff(kWoodblockNote);
    records.push_back(record);
  }
  if (!closeStart()) return {};
  return records;
}

}  // namespace bench
