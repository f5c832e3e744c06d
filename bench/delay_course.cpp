#include "bench/delay_course.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace bench {
namespace {

double Median(std::vector<double> values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

std::vector<Stretch> FindStretches(const std::vector<std::optional<double>>& onsetOfCall,
                                   const std::vector<double>& calls, double spread) {
  std::vector<Stretch> stretches;
  std::vector<double> delays;
  auto close = [&] {
    if (delays.empty()) return;
    stretches.back().medianDelay = Median(delays);
    delays.clear();
  };
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (!onsetOfCall[i]) continue;
    const double delay = *onsetOfCall[i] - calls[i];
    if (!delays.empty()) {
      Stretch& current = stretches.back();
      const double low = std::min(current.minDelay, delay),
                   high = std::max(current.maxDelay, delay);
      if (high - low <= spread) {
        current.minDelay = low;
        current.maxDelay = high;
        current.last = i;
        ++current.heard;
        delays.push_back(delay);
        continue;
      }
      close();
    }
    stretches.push_back({i, i, 1, delay, delay, delay});
    delays.push_back(delay);
  }
  close();
  return stretches;
}

std::vector<Bunch> FindBunches(const std::vector<std::optional<double>>& onsetOfCall,
                               const std::vector<double>& calls, const CourseParams& params) {
  std::vector<Bunch> bunched;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (!onsetOfCall[i]) continue;
    for (std::size_t k = i + 1; k < calls.size(); ++k) {
      if (!onsetOfCall[k]) continue;
      if (*onsetOfCall[k] - *onsetOfCall[i] > params.bunchSoundGap) break;
      if (calls[k] - calls[i] >= params.bunchCallGap) bunched.push_back({i, k});
    }
  }
  return bunched;
}

AfterStall Settle(const std::vector<double>& calls,
                  const std::vector<std::optional<double>>& onsetOfCall, double steady,
                  double stallEnd, double nextStall, const CourseParams& params) {
  AfterStall after;
  after.from = stallEnd + params.settleUs;
  // A note called less than the steady delay before the next stall sounds in it.
  after.to = nextStall - steady;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i] < stallEnd || calls[i] >= after.to) continue;
    const std::optional<double> off =
        onsetOfCall[i] ? std::optional<double>(*onsetOfCall[i] - calls[i] - steady) : std::nullopt;
    if (off && std::abs(*off) > params.offUs) after.lastOff = i;
    if (calls[i] < after.from) continue;
    ++after.notes;
    if (!off) continue;
    ++after.heard;
    if (!after.worstOff || std::abs(*off) > std::abs(*after.worstOff)) after.worstOff = off;
  }
  return after;
}

}  // namespace

DelayCourse TraceDelays(const std::vector<double>& calls,
                        const std::vector<std::optional<double>>& onsetOfCall,
                        const std::vector<SentStall>& stalls, const CourseParams& params) {
  DelayCourse course;
  const double firstStall =
      stalls.empty() ? std::numeric_limits<double>::infinity() : stalls.front().stopUs;
  std::vector<double> before;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (!onsetOfCall[i]) {
      course.lost.push_back(i);
    } else if (calls[i] < firstStall) {
      before.push_back(*onsetOfCall[i] - calls[i]);
    }
  }
  course.steadyNotes = before.size();
  if (!before.empty()) course.steady = Median(before);
  course.stretches = FindStretches(onsetOfCall, calls, params.stretchSpread);
  course.bunched = FindBunches(onsetOfCall, calls, params);
  if (!course.steady) return course;
  for (std::size_t k = 0; k < stalls.size(); ++k) {
    const double next =
        k + 1 < stalls.size() ? stalls[k + 1].stopUs : std::numeric_limits<double>::infinity();
    course.afterStalls.push_back(
        Settle(calls, onsetOfCall, *course.steady, stalls[k].continueUs, next, params));
  }
  return course;
}

}  // namespace bench
