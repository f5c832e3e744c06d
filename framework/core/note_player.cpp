#include "framework/core/note_player.h"

#include <algorithm>
#include <array>
#include <mutex>

#include "framework/core/clock.h"
#include "framework/core/scheduler.h"
#include "framework/core/trace.h"

namespace fw {
namespace sound {
namespace {
constexpr std::uint64_t kSilent = ~std::uint64_t{0};
std::mutex sinkMutex;
std::shared_ptr<NoteSink> sink;
// Which run started each sounding note (0: the GUI thread).
std::array<std::uint64_t, 128> owner = [] {
  std::array<std::uint64_t, 128> a{};
  a.fill(kSilent);
  return a;
}();

void Off(int note) {
  if (owner[note] == kSilent) return;
  owner[note] = kSilent;
  if (sink) sink->NoteOff(note);
}
}  // namespace

void InstallSink(std::shared_ptr<NoteSink> newSink) {
  std::lock_guard lock(sinkMutex);
  sink = std::move(newSink);
  owner.fill(kSilent);
}

std::shared_ptr<NoteSink> CurrentSink() {
  std::lock_guard lock(sinkMutex);
  return sink;
}

void Prepare() {
  std::lock_guard lock(sinkMutex);
  if (sink) sink->Prepare();
}

void Anticipate() {
  std::lock_guard lock(sinkMutex);
  if (sink) sink->Anticipate();
}

void AwaitOutput(const std::function<bool()>& cancelled) {
  // Not under the lock: the wait takes a period or more.
  if (auto current = CurrentSink()) current->AwaitOutput(kOutputWaitLimit, cancelled);
}

bool IsSounding(int note) {
  std::lock_guard lock(sinkMutex);
  return note >= 0 && note < 128 && owner[note] != kSilent;
}

int SoundingCount() {
  std::lock_guard lock(sinkMutex);
  return static_cast<int>(
      std::count_if(owner.begin(), owner.end(), [](std::uint64_t o) { return o != kSilent; }));
}

void ReleaseNotesOf(std::uint64_t runId) {
  std::lock_guard lock(sinkMutex);
  for (int note = 0; note < 128; ++note) {
    if (owner[note] == runId) Off(note);
  }
}

void ReleaseAll() {
  std::lock_guard lock(sinkMutex);
  for (int note = 0; note < 128; ++note) Off(note);
}

void DropPending() {
  std::lock_guard lock(sinkMutex);
  if (sink) sink->DropPending();
}

void SilenceForExit() {
  DropPending();
  ReleaseAll();
  // Not under the lock: the fade takes tens of milliseconds.
  if (auto current = CurrentSink()) current->FadeOut();
}

void Play(int note, int velocity) {
  std::lock_guard lock(sinkMutex);
  if (velocity == 0) {
    Off(note);
    return;
  }
  owner[note] = scheduler::CurrentRunId();
  if (sink) sink->NoteOn(note, velocity);
}

void Program(int program) {
  std::lock_guard lock(sinkMutex);
  if (sink) sink->ProgramChange(program);
}
}  // namespace sound

void NotePlayer::SetProperty(std::string_view name, const PropertyValue& value) {
  Property p{name, value};
  if (name == "Instrument") {
    Instrument(AsInt(p));
  } else if (name == "Name" || name == "Index" || name == "TabPanelIndex") {
    // identification only
  } else {
    Object::SetProperty(name, value);
  }
}

void NotePlayer::PlayNote(int note, int velocity) {
  scheduler::NoteProgramCall();
  if (trace::Active()) trace::Emit({trace::Kind::Note, note, velocity, clock::Now()});
  // MIDI carries 0..127; anything else is not a note and is ignored.
  if (note < 0 || note > 127 || velocity < 0) return;
  sound::Play(note, std::min(velocity, 127));
}

void NotePlayer::Instrument(int instrument) {
  scheduler::NoteProgramCall();
  instrument_ = std::clamp(instrument, 1, 128);
  if (trace::Active()) trace::Emit({trace::Kind::Instrument, instrument_, 0, clock::Now()});
  sound::Program(instrument_ - 1);
}

}  // namespace fw
