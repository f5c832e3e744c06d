#pragma once
// The note player control and the sound sink behind it.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "framework/core/object.h"

namespace fw {

// Where notes go: the synthesiser, or a recorder in tests.
class NoteSink {
 public:
  virtual ~NoteSink() = default;
  virtual void NoteOn(int note, int velocity) = 0;
  virtual void NoteOff(int note) = 0;
  virtual void ProgramChange(int program) = 0;
  // Something is about to play: get the output ready.
  virtual void Prepare() {}
  // Something may play soon (a button is down): get the output ready if
  // that costs no second probe and no message.
  virtual void Anticipate() {}
  // After Prepare: waits until the output takes sound at its own pace, so
  // that the first notes neither sound early nor get lost on a device slow
  // to begin; gives up at `limit`, when there is no output, or once
  // `cancelled` holds. True when the output is ready.
  virtual bool AwaitOutput(std::chrono::milliseconds /*limit*/,
                           const std::function<bool()>& /*cancelled*/) {
    return true;
  }
  // Stopped: notes called but not yet sounding never sound.
  virtual void DropPending() {}
  // The program is about to end: bring what still sounds down to silence
  // instead of letting the end of the stream cut it.
  virtual void FadeOut() {}
};

class NotePlayer : public Object {
 public:
  const char* ClassName() const override { return "NotePlayer"; }
  void SetProperty(std::string_view name, const PropertyValue& value) override;

  // Velocity 0 releases; releasing a silent note does nothing.
  void PlayNote(int note, int velocity);
  int Instrument() const { return instrument_; }
  // Instrument n is General MIDI program n - 1.
  void Instrument(int instrument);

 private:
  int instrument_ = 1;
};

namespace sound {
void InstallSink(std::shared_ptr<NoteSink> sink);
std::shared_ptr<NoteSink> CurrentSink();
void Prepare();
void Anticipate();
// The start of a performance waits for the output this long at most: a
// device may take 2 s after it opens to begin, and opening takes a little.
inline constexpr std::chrono::milliseconds kOutputWaitLimit{2500};
// On a mode thread, without the baton, before its first note.
void AwaitOutput(const std::function<bool()>& cancelled);
bool IsSounding(int note);
int SoundingCount();
// Releases the notes that a run started and left sounding.
void ReleaseNotesOf(std::uint64_t runId);
void ReleaseAll();
// A stop or quit: what was called but does not sound yet is dropped.
void DropPending();
// The program ends: what waits is dropped, and what sounds is released and
// faded to silence.
void SilenceForExit();
}  // namespace sound

}  // namespace fw
