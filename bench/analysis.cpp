#include "bench/analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace bench {

bool Brackets(const WaitReadings& wait, double length) {
  if (!(wait.Length() >= length)) return false;
  return wait.yields == 0 || wait.PreviousLength() < length;
}

std::optional<double> GuessLength(const WaitReadings& wait) {
  if (!wait.complete) return std::nullopt;
  for (double length : KnownWaitLengths()) {  // longest first
    if (Brackets(wait, length)) return length;
  }
  return std::nullopt;
}

namespace {

bool Fits(const Step& step, const Token& token) {
  switch (step.kind) {
    case Step::Note:
      return token.kind == Token::Note && token.note == step.note &&
             token.velocity == step.velocity;
    case Step::Wait:
      return token.kind == Token::Wait && Brackets(token.wait, step.length);
    case Step::Yield:
      return token.kind == Token::PassYield;
  }
  return false;
}

bool MatchesAt(const BarSignature& bar, const std::vector<Token>& tokens, std::size_t at) {
  if (at + bar.steps.size() > tokens.size()) return false;
  for (std::size_t i = 0; i < bar.steps.size(); ++i) {
    if (!Fits(bar.steps[i], tokens[at + i])) return false;
  }
  return true;
}

}  // namespace

Analysis Analyse(const std::vector<Token>& tokens, const std::vector<std::string>* expected) {
  Analysis result;
  std::vector<double> lengthOf(tokens.size(), -1);  // score length of each wait token
  std::size_t next = 0;                             // index into expected
  std::size_t i = 0;
  while (i < tokens.size()) {
    const BarSignature* found = nullptr;
    if (tokens[i].kind == Token::Note) {
      if (expected != nullptr) {
        const BarSignature* want = next < expected->size() ? BarNamed((*expected)[next]) : nullptr;
        if (want != nullptr && MatchesAt(*want, tokens, i)) found = want;
      } else {
        for (const BarSignature& bar : AllBars()) {
          if (MatchesAt(bar, tokens, i)) {
            found = &bar;
            break;
          }
        }
      }
    }
    if (found == nullptr) {
      if (tokens[i].kind != Token::PassYield && tokens[i].kind != Token::Instrument) {
        ++result.unmatchedTokens;
      }
      ++i;
      continue;
    }
    PlayedBar played{found, i, i + found->steps.size() - 1, 0, 0};
    played.start = tokens[played.first].t;
    played.end = tokens[played.last].End();
    for (std::size_t s = 0; s < found->steps.size(); ++s) {
      if (found->steps[s].kind == Step::Wait) lengthOf[i + s] = found->steps[s].length;
    }
    result.bars.push_back(played);
    ++next;
    i = played.last + 1;
  }
  for (std::size_t t = 0; t < tokens.size(); ++t) {
    if (tokens[t].kind != Token::Wait) continue;
    std::optional<double> length;
    if (lengthOf[t] >= 0) {
      length = lengthOf[t];
    } else {
      length = GuessLength(tokens[t].wait);
    }
    if (!length) continue;  // cut short by a stop
    lengthOf[t] = *length;
    const WaitReadings& readings = tokens[t].wait;
    result.waits.push_back({*length, readings.Length() - *length, readings.origin,
                            readings.PreviousLength(), readings.yields});
    result.idealLength += *length;
  }
  result.lengthOfToken = std::move(lengthOf);
  return result;
}

bool WriteWaits(const std::string& path, const std::vector<MeasuredWait>& waits) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  for (const MeasuredWait& wait : waits) {
    std::fprintf(file, "%.1f,%.0f,%.1f,%.1f,%lld\n", wait.origin, wait.length, wait.overshoot,
                 wait.previous, static_cast<long long>(wait.yields));
  }
  return std::fclose(file) == 0;
}

std::optional<double> Percentile(std::vector<double> values, double percent) {
  if (values.empty()) return std::nullopt;
  std::sort(values.begin(), values.end());
  const double rank = std::ceil(percent / 100.0 * static_cast<double>(values.size()));
  const std::size_t index = rank < 1 ? 0 : static_cast<std::size_t>(rank) - 1;
  return values[std::min(index, values.size() - 1)];
}

Distribution Summarise(const std::vector<double>& values) {
  return {Percentile(values, 50), Percentile(values, 99), Percentile(values, 100)};
}

void SummaryLine::Add(const std::string& key, const std::string& value) {
  if (!text_.empty()) text_ += ' ';
  text_ += key + "=" + value;
}

void SummaryLine::Add(const std::string& key, std::optional<double> value, int decimals) {
  if (!value || !std::isfinite(*value)) {
    Add(key, std::string("-"));
    return;
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, *value);
  Add(key, std::string(buffer));
}

void SummaryLine::Add(const std::string& key, long long value) { Add(key, std::to_string(value)); }

std::string SummaryLine::Text() const { return text_; }

void AddTimingFigures(SummaryLine& line, const Analysis& analysis) {
  std::vector<double> excess, overshoot;
  for (const PlayedBar& bar : analysis.bars) excess.push_back(bar.Excess());
  long long late = 0;
  for (const MeasuredWait& wait : analysis.waits) {
    overshoot.push_back(wait.overshoot);
    if (wait.overshoot > 1000.0) ++late;
  }
  const Distribution bars = Summarise(excess);
  const Distribution waits = Summarise(overshoot);
  line.Add("bars", static_cast<long long>(analysis.bars.size()));
  line.Add("bar_excess_us_median", bars.median);
  line.Add("bar_excess_us_p99", bars.p99);
  line.Add("bar_excess_us_max", bars.max);
  line.Add("waits", static_cast<long long>(analysis.waits.size()));
  line.Add("overshoot_us_median", waits.median);
  line.Add("overshoot_us_p99", waits.p99);
  line.Add("overshoot_us_max", waits.max);
  line.Add("late_waits", late);
  if (!analysis.bars.empty()) {
    // How far the bars, end to end, ran behind the sum of their waits.
    double waitSum = 0;
    for (const PlayedBar& bar : analysis.bars) waitSum += bar.bar->waitSum;
    const double played = analysis.bars.back().end - analysis.bars.front().start;
    line.Add("bars_waits_s", waitSum / 1e6, 3);
    line.Add("bars_played_s", played / 1e6, 3);
    line.Add("drift_ms", (played - waitSum) / 1e3, 2);
  }
}

}  // namespace bench
