#include "framework/testing/recording_sink.h"

namespace fw::testing {

void RecordingSink::NoteOn(int note, int velocity) {
  std::lock_guard lock(mutex_);
  sounding_.insert(note);
  messages_.push_back({Message::On, note, velocity});
}

void RecordingSink::NoteOff(int note) {
  std::lock_guard lock(mutex_);
  sounding_.erase(note);
  messages_.push_back({Message::Off, note, 0});
}

void RecordingSink::ProgramChange(int program) {
  std::lock_guard lock(mutex_);
  messages_.push_back({Message::Program, program, 0});
}

void RecordingSink::Anticipate() {
  std::lock_guard lock(mutex_);
  ++anticipations_;
}

int RecordingSink::Anticipations() const {
  std::lock_guard lock(mutex_);
  return anticipations_;
}

std::set<int> RecordingSink::Sounding() const {
  std::lock_guard lock(mutex_);
  return sounding_;
}

std::vector<RecordingSink::Message> RecordingSink::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::shared_ptr<RecordingSink> InstallRecordingSink() {
  auto sink = std::make_shared<RecordingSink>();
  sound::InstallSink(sink);
  return sink;
}

}  // namespace fw::testing
