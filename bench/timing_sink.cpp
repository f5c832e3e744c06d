#include "bench/timing_sink.h"

#include "framework/core/clock.h"

namespace bench {

// The time is taken before the call: what we report is when the synthesiser was asked.
template <typename Call>
void TimingSink::Timed(SinkCall::Kind kind, int note, Call call) {
  const double before = fw::clock::RealNow();
  if (inner_) call(*inner_);
  const double after = fw::clock::RealNow();
  std::lock_guard lock(mutex_);
  calls_.push_back({kind, note, before, after - before});
}

void TimingSink::NoteOn(int note, int velocity) {
  Timed(SinkCall::On, note, [&](fw::NoteSink& sink) { sink.NoteOn(note, velocity); });
}

void TimingSink::NoteOff(int note) {
  Timed(SinkCall::Off, note, [&](fw::NoteSink& sink) { sink.NoteOff(note); });
}

void TimingSink::ProgramChange(int program) {
  Timed(SinkCall::Program, program, [&](fw::NoteSink& sink) { sink.ProgramChange(program); });
}

std::vector<SinkCall> TimingSink::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::optional<double> FirstNoteOnAfter(const std::vector<SinkCall>& calls, double from) {
  if (from < 0) return std::nullopt;
  for (const SinkCall& call : calls) {
    if (call.kind == SinkCall::On && call.t >= from) return (call.t - from) / 1e3;
  }
  return std::nullopt;
}

std::optional<double> LastReleaseAfter(const std::vector<SinkCall>& calls, double from,
                                       double until) {
  std::optional<double> last;
  for (const SinkCall& call : calls) {
    if (call.kind == SinkCall::Off && call.t >= from && call.t <= until)
      last = (call.t - from) / 1e3;
  }
  return last;
}

long long NoteOnsAfter(const std::vector<SinkCall>& calls, double from) {
  long long count = 0;
  for (const SinkCall& call : calls) count += call.kind == SinkCall::On && call.t >= from;
  return count;
}

std::vector<double> Durations(const std::vector<SinkCall>& calls) {
  std::vector<double> durations;
  for (const SinkCall& call : calls) durations.push_back(call.duration);
  return durations;
}

}  // namespace bench
