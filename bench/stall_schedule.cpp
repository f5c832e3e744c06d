#include "bench/stall_schedule.h"

#include <cstdlib>
#include <sstream>

namespace bench {

std::optional<std::vector<PlannedStall>> ParseStalls(const std::string& text, std::string* error) {
  std::vector<PlannedStall> stalls;
  if (!text.empty() && text.back() == ',') {
    *error = "a stall list ends in a stall, not a comma";
    return std::nullopt;
  }
  std::stringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    const auto colon = item.find(':');
    char* atEnd = nullptr;
    char* lengthEnd = nullptr;
    const std::string at = item.substr(0, colon);
    const std::string length = colon == std::string::npos ? "" : item.substr(colon + 1);
    const double seconds = std::strtod(at.c_str(), &atEnd);
    const double ms = std::strtod(length.c_str(), &lengthEnd);
    if (at.empty() || length.empty() || *atEnd != '\0' || *lengthEnd != '\0' || seconds < 0 ||
        ms <= 0) {
      *error = "a stall is SECONDS:MS, not \"" + item + "\"";
      return std::nullopt;
    }
    const PlannedStall stall{seconds * 1e6, ms * 1e3};
    if (!stalls.empty() && stall.atUs < stalls.back().atUs + stalls.back().lengthUs) {
      *error = "stall \"" + item + "\" begins before the one before it has ended";
      return std::nullopt;
    }
    stalls.push_back(stall);
  }
  return stalls;
}

}  // namespace bench
