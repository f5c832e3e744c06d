#include "bench/onset_files.h"

#include <cstdio>
#include <fstream>
#include <memory>

namespace bench {
namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File Open(const std::string& path) { return File(std::fopen(path.c_str(), "w"), std::fclose); }

bool Close(File file) { return std::fclose(file.release()) == 0; }

void Little(std::ofstream& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

bool WriteOnsetCsv(const std::string& path, const std::vector<double>& calls,
                   const OnsetMatch& match) {
  File file = Open(path);
  if (!file) return false;
  std::fprintf(file.get(), "call_us,onset_us,delay_us\n");
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const auto& onset = match.onsetOfCall[i];
    if (onset) {
      std::fprintf(file.get(), "%.1f,%.1f,%.1f\n", calls[i] - calls[0], *onset - calls[0],
                   *onset - calls[i]);
    } else {
      std::fprintf(file.get(), "%.1f,,\n", calls[i] - calls[0]);
    }
  }
  return Close(std::move(file));
}

bool WriteColdStartCsv(const std::string& path, const std::vector<ColdStart>& starts,
                       const std::vector<StartRecord>& records) {
  File file = Open(path);
  if (!file) return false;
  std::fprintf(file.get(), "start,await_ms,awaited,notes,heard,sounded,reference,reference_ms");
  for (std::size_t k = 1; k <= kLeadNotes; ++k) std::fprintf(file.get(), ",lead%zu_off_ms", k);
  std::fprintf(file.get(), ",late_notes,dropped_notes\n");
  for (std::size_t i = 0; i < starts.size() && i < records.size(); ++i) {
    const ColdStart& start = starts[i];
    std::fprintf(file.get(), "%zu,%.1f,%d,%zu,%zu,%zu,%s,%.3f", i + 1, records[i].awaitMs,
                 records[i].awaited ? 1 : 0, start.notes, start.heard, start.sounded,
                 start.fromLaterNotes ? "later" : "typical", start.reference / 1e3);
    for (std::size_t k = 0; k < kLeadNotes; ++k) {
      if (k < start.leadOffsets.size() && start.leadOffsets[k]) {
        std::fprintf(file.get(), ",%.3f", *start.leadOffsets[k] / 1e3);
      } else {
        std::fprintf(file.get(), ",");
      }
    }
    std::fprintf(file.get(), ",%lld,%lld\n", static_cast<long long>(records[i].lateNotes),
                 static_cast<long long>(records[i].droppedNotes));
  }
  return Close(std::move(file));
}

bool WriteReads(const std::string& path, const std::vector<ReadStamp>& stamps) {
  File file = Open(path);
  if (!file) return false;
  std::fprintf(file.get(), "frames,at_us,latency_us,usable\n");
  for (const ReadStamp& stamp : stamps) {
    std::fprintf(file.get(), "%lld,%.1f,%.0f,%d\n", static_cast<long long>(stamp.frames), stamp.at,
                 stamp.latency, stamp.usable ? 1 : 0);
  }
  return Close(std::move(file));
}

bool WriteWav(const std::string& path, const std::vector<std::int16_t>& samples, int rate) {
  std::ofstream out(path, std::ios::binary);
  const auto bytes = static_cast<std::uint32_t>(samples.size() * sizeof(std::int16_t));
  out.write("RIFF", 4);
  Little(out, 36 + bytes, 4);
  out.write("WAVEfmt ", 8);
  Little(out, 16, 4);  // format chunk size
  Little(out, 1, 2);   // PCM
  Little(out, 1, 2);   // mono
  Little(out, static_cast<std::uint32_t>(rate), 4);
  Little(out, static_cast<std::uint32_t>(rate) * 2, 4);  // bytes a second
  Little(out, 2, 2);                                     // bytes a frame
  Little(out, 16, 2);
  out.write("data", 4);
  Little(out, bytes, 4);
  for (std::int16_t sample : samples) Little(out, static_cast<std::uint16_t>(sample), 2);
  return static_cast<bool>(out);
}

}  // namespace bench
