#include "bench/midi_file.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace bench {
namespace {

constexpr int kDivision = 96;  // ticks per quarter note
constexpr std::uint32_t kTempo = static_cast<std::uint32_t>(kDivision * kMicrosPerTick);

void VariableLength(std::vector<std::uint8_t>& out, std::uint32_t value) {
  std::uint8_t bytes[5];
  int count = 0;
  do {
    bytes[count++] = static_cast<std::uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (count > 1) out.push_back(static_cast<std::uint8_t>(bytes[--count] | 0x80));
  out.push_back(bytes[0]);
}

void BigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t Ticks(double t) {
  return static_cast<std::uint32_t>(std::llround(std::max(0.0, t) / kMicrosPerTick));
}

}  // namespace

std::vector<double> IdealTokenTimes(const std::vector<Token>& tokens, const Analysis& analysis) {
  std::vector<double> times{0};
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const bool known = i < analysis.lengthOfToken.size() && analysis.lengthOfToken[i] > 0;
    const bool wait = tokens[i].kind == Token::Wait && known;
    times.push_back(times.back() + (wait ? analysis.lengthOfToken[i] : 0));
  }
  return times;
}

std::vector<MidiEvent> IdealTimeline(const std::vector<Token>& tokens, const Analysis& analysis,
                                     double* end) {
  std::vector<MidiEvent> events;
  const std::vector<double> times = IdealTokenTimes(tokens, analysis);
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    const double now = times[i];
    switch (token.kind) {
      case Token::Note: {
        const bool on = token.velocity > 0;
        events.push_back({on ? MidiEvent::NoteOn : MidiEvent::NoteOff, now, token.note,
                          std::min(token.velocity, 127)});
        break;
      }
      case Token::Instrument:
        events.push_back({MidiEvent::Program, now, token.note - 1, 0});
        break;
      case Token::Wait:
      case Token::PassYield:
        break;
    }
  }
  if (end != nullptr) *end = times.back();
  return events;
}

std::vector<std::uint8_t> EncodeMidiFile(const std::vector<MidiEvent>& events, double end) {
  std::vector<std::uint8_t> track;
  VariableLength(track, 0);
  for (std::uint8_t b : {0xFF, 0x51, 0x03}) track.push_back(b);
  BigEndian(track, kTempo, 3);
  std::uint32_t at = 0;
  for (const MidiEvent& event : events) {
    const std::uint32_t tick = std::max(at, Ticks(event.t));
    VariableLength(track, tick - at);
    at = tick;
    const auto data = static_cast<std::uint8_t>(std::clamp(event.data, 0, 127));
    switch (event.kind) {
      case MidiEvent::NoteOn:
        track.insert(track.end(), {0x90, data, static_cast<std::uint8_t>(event.velocity)});
        break;
      case MidiEvent::NoteOff:
        track.insert(track.end(), {0x80, data, 0});
        break;
      case MidiEvent::Program:
        track.insert(track.end(), {0xC0, data});
        break;
    }
  }
  VariableLength(track, std::max(at, Ticks(end)) - at);
  track.insert(track.end(), {0xFF, 0x2F, 0x00});

  std::vector<std::uint8_t> file{'M', 'T', 'h', 'd'};
  BigEndian(file, 6, 4);
  BigEndian(file, 0, 2);  // format 0
  BigEndian(file, 1, 2);  // one track
  BigEndian(file, kDivision, 2);
  file.insert(file.end(), {'M', 'T', 'r', 'k'});
  BigEndian(file, static_cast<std::uint32_t>(track.size()), 4);
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

bool WriteMidiFile(const std::string& path, const std::vector<MidiEvent>& events, double end) {
  const std::vector<std::uint8_t> bytes = EncodeMidiFile(events, end);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace bench
