#pragma once
// What onset_timing writes besides its summary line.
#include <cstdint>
#include <string>
#include <vector>

#include "bench/onset_matcher.h"
#include "bench/sample_clock.h"

namespace bench {

// call_us,onset_us,delay_us a call, times from the first call; an unmatched call has no onset.
bool WriteOnsetCsv(const std::string& path, const std::vector<double>& calls,
                   const OnsetMatch& match);
// frames,at_us,latency_us,usable a read.
bool WriteReads(const std::string& path, const std::vector<ReadStamp>& stamps);
// A 16-bit mono WAV file.
bool WriteWav(const std::string& path, const std::vector<std::int16_t>& samples, int rate);

}  // namespace bench
