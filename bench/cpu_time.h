#pragma once
// CPU time and peak memory of this process; CPU time of another one (the
// sound server) read from /proc.
#include <optional>
#include <string>

namespace bench {

// µs of user and system time this process has used.
double OwnCpuMicros();
// Largest resident set this process has had, in MB.
double OwnPeakRssMb();
// µs of user and system time process pid has used; nullopt if it cannot be read.
std::optional<double> ProcessCpuMicros(int pid);
// The utime and stime fields of a /proc/<pid>/stat line, in clock ticks.
std::optional<long long> CpuTicksOfStatLine(const std::string& line);

}  // namespace bench
