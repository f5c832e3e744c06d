#include "bench/cpu_time.h"

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace bench {

double OwnCpuMicros() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto micros = [](const timeval& tv) {
    return static_cast<double>(tv.tv_sec) * 1e6 + static_cast<double>(tv.tv_usec);
  };
  return micros(usage.ru_utime) + micros(usage.ru_stime);
}

double OwnPeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

std::optional<long long> CpuTicksOfStatLine(const std::string& line) {
  // The command name may hold spaces and parentheses: fields count from the last ')'.
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(line.substr(close + 1));
  std::string field;
  long long utime = 0, stime = 0;
  // After the name: state is field 3, utime 14, stime 15.
  for (int index = 3; index <= 15; ++index) {
    if (!(fields >> field)) return std::nullopt;
    try {
      if (index == 14) utime = std::stoll(field);
      if (index == 15) stime = std::stoll(field);
    } catch (...) {
      return std::nullopt;
    }
  }
  return utime + stime;
}

std::optional<double> ProcessCpuMicros(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return std::nullopt;
  const auto ticks = CpuTicksOfStatLine(line);
  if (!ticks) return std::nullopt;
  return static_cast<double>(*ticks) * 1e6 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace bench
