#include "bench/level_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "framework/sound/soundfont.h"

namespace bench {
namespace {

constexpr int kChunkFrames = 4096;
constexpr double kTail = 3e6;  // µs after the last wait: the last release and the reverb

}  // namespace

void Level::Add(float sample) {
  const float magnitude = std::abs(sample);
  peak = std::max(peak, magnitude);
  sumSquares += static_cast<double>(sample) * sample;
  ++samples;
  if (magnitude >= 1.0f) ++clipped;
}

void Level::Add(const Level& other) {
  peak = std::max(peak, other.peak);
  sumSquares += other.sumSquares;
  samples += other.samples;
  clipped += other.clipped;
}

double Level::Rms() const {
  return samples > 0 ? std::sqrt(sumSquares / static_cast<double>(samples)) : 0.0;
}

double Dbfs(double amplitude) { return 20.0 * std::log10(amplitude); }

std::vector<Level> RenderLevels(fw::sound::FluidSynthSink& synth,
                                const std::vector<MidiEvent>& events,
                                const std::vector<double>& starts, double until) {
  const double rate = synth.SampleRate();
  auto frameAt = [rate](double t) { return std::llround(t * rate / 1e6); };
  std::vector<Level> levels(starts.size());
  std::vector<float> left(kChunkFrames), right(kChunkFrames);
  long long done = 0;
  std::size_t span = 0;
  auto renderTo = [&](long long frame) {
    while (done < frame) {
      while (span + 1 < starts.size() && frameAt(starts[span + 1]) <= done) ++span;
      long long stop = std::min<long long>(frame, done + kChunkFrames);
      if (span + 1 < starts.size()) stop = std::min(stop, frameAt(starts[span + 1]));
      const int count = static_cast<int>(stop - done);
      synth.Render(left.data(), right.data(), count);
      for (int i = 0; i < count; ++i) {
        levels[span].Add(left[static_cast<std::size_t>(i)]);
        levels[span].Add(right[static_cast<std::size_t>(i)]);
      }
      done = stop;
    }
  };
  for (const MidiEvent& event : events) {
    renderTo(frameAt(event.t));
    switch (event.kind) {
      case MidiEvent::NoteOn:
        synth.NoteOn(event.data, event.velocity);
        break;
      case MidiEvent::NoteOff:
        synth.NoteOff(event.data);
        break;
      case MidiEvent::Program:
        synth.ProgramChange(event.data);
        break;
    }
  }
  renderTo(frameAt(until));
  return levels;
}

bool MeasureLevels(const std::vector<Token>& tokens, const Analysis& analysis,
                   const std::string& path, SummaryLine& line) {
  const auto font = fw::sound::FindSoundFont();
  if (!font) return false;
  fw::sound::FluidSynthSink synth(*font, fw::sound::FluidSynthSink::Output::None);
  if (!synth.WaitUntilLoaded()) return false;

  const std::vector<double> times = IdealTokenTimes(tokens, analysis);
  double end = 0;
  const std::vector<MidiEvent> events = IdealTimeline(tokens, analysis, &end);
  std::vector<double> starts{0};
  std::vector<std::string> names{analysis.bars.empty() ? "-" : analysis.bars[0].bar->name};
  for (std::size_t i = 1; i < analysis.bars.size(); ++i) {
    starts.push_back(times[analysis.bars[i].first]);
    names.push_back(analysis.bars[i].bar->name);
  }
  const std::vector<Level> levels = RenderLevels(synth, events, starts, end + kTail);

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path.c_str(), "w"), std::fclose);
  if (!out) return false;
  Level whole;
  std::size_t loudest = 0;
  for (std::size_t i = 0; i < levels.size(); ++i) {
    std::fprintf(out.get(), "%s,%.3f,%.2f,%.2f,%lld\n", names[i].c_str(), starts[i] / 1e6,
                 Dbfs(levels[i].peak), Dbfs(levels[i].Rms()),
                 static_cast<long long>(levels[i].clipped));
    whole.Add(levels[i]);
    if (levels[i].peak > levels[loudest].peak) loudest = i;
  }
  line.Add("peak_dbfs", Dbfs(whole.peak), 2);
  line.Add("rms_dbfs", Dbfs(whole.Rms()), 2);
  line.Add("clipped", static_cast<long long>(whole.clipped));
  line.Add("loudest_bar", names[loudest]);
  return std::fclose(out.release()) == 0;
}

}  // namespace bench
