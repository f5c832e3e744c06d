#pragma once
// Reads back what the stall run's processes wrote: the recorder's samples and
// reads, the player's calls and the stalls sent. Nullopt when a file cannot
// be read or a line is malformed.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bench/sample_clock.h"
#include "bench/stall_schedule.h"

namespace bench {

std::optional<std::vector<std::int16_t>> ReadSamples(const std::string& path);
// frames,at_us,latency_us,usable a line, after a header.
std::optional<std::vector<ReadStamp>> ReadStamps(const std::string& path);
// The first column of each line after a header (call_us).
std::optional<std::vector<double>> ReadCalls(const std::string& path);
// stall_signals' log: stop_done_us and continue_sent_us of each stall.
std::optional<std::vector<SentStall>> ReadSentStalls(const std::string& path);

}  // namespace bench
