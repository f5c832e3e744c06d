#pragma once
// What onset_timing writes besides its summary line.
#include <cstdint>
#include <string>
#include <vector>

#include "bench/onset_cold_starts.h"
#include "bench/onset_matcher.h"
#include "bench/onset_playing.h"
#include "bench/sample_clock.h"

namespace bench {

// call_us,onset_us,delay_us a call, times from the first call; an unmatched call has no onset.
bool WriteOnsetCsv(const std::string& path, const std::vector<double>& calls,
                   const OnsetMatch& match);
// One line a cold start: start,await_ms,awaited,notes,heard,sounded,reference,reference_ms,
// lead1_off_ms..lead4_off_ms (empty when unheard),late_notes,dropped_notes.
bool WriteColdStartCsv(const std::string& path, const std::vector<ColdStart>& starts,
                       const std::vector<StartRecord>& records);
// frames,at_us,latency_us,usable a read.
bool WriteReads(const std::string& path, const std::vector<ReadStamp>& stamps);
// A 16-bit mono WAV file.
bool WriteWav(const std::string& path, const std::vector<std::int16_t>& samples, int rate);

}  // namespace bench
