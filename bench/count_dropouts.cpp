// Counts dropouts for scripts/dropouts_vs_midi_player.sh, one key=value line on stdout:
//   count_dropouts gaps FILE RATE CHANNELS   a raw recording of native float samples
//   count_dropouts underruns LOG             the sound server's debug log
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "bench/analysis.h"
#include "bench/silence_gaps.h"
#include "bench/underrun_log.h"

namespace {

constexpr float kAudible = 0.001f;  // -60 dBFS: quieter is the reverb's last breath
// Where the histogram's bins start, in ms; the first is the shortest gap, the last is open.
constexpr int kBinStarts[] = {1, 2, 5, 10, 20, 50};
constexpr std::size_t kBins = std::size(kBinStarts);

int Gaps(const char* path, double rate, int channels) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr || rate <= 0 || channels <= 0) {
    std::fprintf(stderr, "count_dropouts: cannot read %s\n", path);
    return 1;
  }
  bench::SilenceGapFinder finder(channels, kAudible);
  std::vector<float> block(static_cast<std::size_t>(channels) * 4096);
  std::size_t frames = 0;
  while ((frames = std::fread(block.data(), sizeof(float) * channels, 4096, file)) > 0) {
    finder.Add(block.data(), frames);
  }
  std::fclose(file);
  const bench::SilenceGaps found = finder.Result();

  long long gaps = 0, shorter = 0;
  double longest = 0, total = 0;
  long long bins[kBins] = {};
  for (const bench::ZeroRun& run : found.runs) {
    const double ms = static_cast<double>(run.frames) * 1e3 / rate;
    if (ms < kBinStarts[0]) {
      ++shorter;
      continue;
    }
    ++gaps;
    total += ms;
    longest = std::max(longest, ms);
    std::size_t bin = kBins - 1;
    while (ms < kBinStarts[bin]) --bin;
    ++bins[bin];
  }
  std::string histogram;  // "1-2:4,2-5:7,...,50-:0"
  for (std::size_t bin = 0; bin < kBins; ++bin) {
    if (bin > 0) histogram += ',';
    histogram += std::to_string(kBinStarts[bin]) + "-" +
                 (bin + 1 < kBins ? std::to_string(kBinStarts[bin + 1]) : "") + ":" +
                 std::to_string(bins[bin]);
  }

  auto seconds = [&](long long frame) {
    return frame >= 0 ? std::optional<double>(static_cast<double>(frame) / rate) : std::nullopt;
  };
  bench::SummaryLine line;
  line.Add("first_audible_s", seconds(found.firstAudible), 3);
  line.Add("last_audible_s", seconds(found.lastAudible), 3);
  line.Add("gaps", gaps);
  line.Add("gap_max_ms", longest, 2);
  line.Add("gap_total_ms", total, 1);
  line.Add("gap_ms_histogram", histogram);
  line.Add("zero_runs_under_1ms", shorter);
  std::printf("%s\n", line.Text().c_str());
  return 0;
}

int Underruns(const char* path) {
  std::ifstream log(path);
  if (!log) {
    std::fprintf(stderr, "count_dropouts: cannot read %s\n", path);
    return 1;
  }
  const bench::UnderrunCounts counts = bench::CountUnderruns(log);
  bench::SummaryLine line;
  line.Add("streams", counts.streams);
  line.Add("underruns_mid", counts.mid);
  line.Add("underruns_edge", counts.edge);
  std::printf("%s\n", line.Text().c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "gaps" && argc == 5) return Gaps(argv[2], std::atof(argv[3]), std::atoi(argv[4]));
  if (command == "underruns" && argc == 3) return Underruns(argv[2]);
  std::fprintf(stderr,
               "usage: count_dropouts gaps RAW_FLOAT_FILE RATE CHANNELS\n"
               "       count_dropouts underruns PULSEAUDIO_DEBUG_LOG\n");
  return 2;
}
