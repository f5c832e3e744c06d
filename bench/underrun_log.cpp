#include "bench/underrun_log.h"

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace bench {
namespace {

struct Underrun {
  double at = 0;
  bool recovered = false;
};

struct Stream {
  double bytesPerSecond = 0;
  double bufferSeconds = -1;  // its target fill, once logged
  double firstData = -1;
  std::vector<Underrun> underruns;
};

bool Has(const std::string& line, const char* text) { return line.find(text) != std::string::npos; }

// "(  12.345|   0.001) D: ..." : seconds since the server started.
std::optional<double> TimeOf(const std::string& line) {
  if (line.empty() || line[0] != '(') return std::nullopt;
  char* end = nullptr;
  const double seconds = std::strtod(line.c_str() + 1, &end);
  if (end == line.c_str() + 1 || *end != '|') return std::nullopt;
  return seconds;
}

int BytesPerSample(const std::string& format) {
  if (format.starts_with("u8") || format.starts_with("alaw") || format.starts_with("ulaw")) {
    return 1;
  }
  if (format.starts_with("s16")) return 2;
  if (format.starts_with("s24-32")) return 4;
  if (format.starts_with("s24")) return 3;
  return 4;  // s32, float32
}

// "... with sample spec float32le 2ch 44100Hz and channel map ..."
double BytesPerSecond(const std::string& line) {
  const std::size_t at = line.find("sample spec ");
  if (at == std::string::npos) return 0;
  std::istringstream spec(line.substr(at + 12));
  std::string format;
  int channels = 0, rate = 0;
  std::string unit;
  if (!(spec >> format >> channels >> unit >> rate)) return 0;
  return static_cast<double>(BytesPerSample(format)) * channels * rate;
}

// "tlength=768," -> 768
std::optional<long long> Field(const std::string& line, const std::string& key) {
  const std::size_t at = line.find(" " + key + "=");
  if (at == std::string::npos) return std::nullopt;
  return std::atoll(line.c_str() + at + key.size() + 2);
}

void Count(const Stream& stream, UnderrunCounts& counts) {
  for (std::size_t i = 0; i < stream.underruns.size(); ++i) {
    const Underrun& underrun = stream.underruns[i];
    const bool inFirstBuffer = i == 0 && stream.firstData >= 0 && stream.bufferSeconds >= 0 &&
                               underrun.at - stream.firstData <= stream.bufferSeconds;
    ++(inFirstBuffer || !underrun.recovered ? counts.edge : counts.mid);
  }
}

}  // namespace

UnderrunCounts CountUnderruns(std::istream& log) {
  UnderrunCounts counts;
  std::optional<Stream> stream;
  auto close = [&] {
    if (stream) Count(*stream, counts);
    stream.reset();
  };
  std::string line;
  while (std::getline(log, line)) {
    const auto at = TimeOf(line);
    if (!at) continue;
    if (Has(line, "Created input ")) {
      close();
      stream = Stream{};
      stream->bytesPerSecond = BytesPerSecond(line);
      ++counts.streams;
    } else if (Has(line, "Freeing input ")) {
      close();
    } else if (Has(line, "Implicit underrun of '") || Has(line, "Actual underrun of '")) {
      if (!stream) stream = Stream{};  // the log began inside a stream
      // The server logs an underrun only once data has come back after the last one.
      if (!stream->underruns.empty()) stream->underruns.back().recovered = true;
      stream->underruns.push_back({*at, false});
    } else if (!stream) {
      continue;
    } else if (Has(line, "due to end of underrun") || Has(line, "due to rewrite")) {
      // Data came: after the queue ran dry, or late, for a place already played.
      if (stream->firstData < 0) stream->firstData = *at;
      if (!stream->underruns.empty()) stream->underruns.back().recovered = true;
    } else if (Has(line, "memblockq requested:") && stream->bufferSeconds < 0) {
      // The stream's own queue is the first one logged after it with a target length.
      const auto target = Field(line, "tlength");
      if (target && *target > 0 && stream->bytesPerSecond > 0) {
        stream->bufferSeconds = static_cast<double>(*target) / stream->bytesPerSecond;
      }
    }
  }
  close();
  return counts;
}

}  // namespace bench
