// The analysis of a run with stalls: finds the notes' onsets in the
// recorder's samples, times them on the recording's frames (or, where the
// frames do not hold, on the reads' monotonic stamps), pairs them with the
// player's calls and prints the delay's course through the stalls.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "bench/analysis.h"
#include "bench/delay_course.h"
#include "bench/frame_line.h"
#include "bench/note_attack.h"
#include "bench/onset_alignment.h"
#include "bench/onset_finder.h"
#include "bench/onset_playing.h"
#include "bench/stall_files.h"
#include "framework/sound/soundfont.h"

namespace {

constexpr const char* kUsage =
    "usage: onset_stalls --samples FILE --reads FILE --rate HZ --calls FILE --stalls LOG\n"
    "                    [--take-ms MS] [--out FILE]\n"
    "Prints the delay's course (onset - call) through the stalls of stall_signals' LOG;\n"
    "--take-ms: the device's take (notes count from max(300 ms, three takes) after a\n"
    "stall); --out writes call_s,onset_s,delay_ms a note (from the first call).\n";

// Reads this long after a stall's end may still be the server catching up.
constexpr double kCatchUpUs = 1e6;
// The frames hold when every read outside the stalls lies this close to their line.
constexpr double kFrameLineHoldsUs = 1000;
// Quieter than this, the recording holds no note at all.
constexpr double kSilentDbfs = -60;

double Dbfs(double magnitude) { return 20.0 * std::log10(std::max(magnitude, 1.0) / 32768.0); }

int Fail(const std::string& why) {
  std::printf("result=FAILED reason=\"%s\"\n", why.c_str());
  return 1;
}

struct Args {
  std::string samples, reads, calls, stalls, out;
  double rate = 0, takeMs = 0;
};

std::optional<Args> Parse(int argc, char** argv) {
  Args args;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i], value = argv[i + 1];
    if (arg == "--samples") args.samples = value;
    if (arg == "--reads") args.reads = value;
    if (arg == "--calls") args.calls = value;
    if (arg == "--stalls") args.stalls = value;
    if (arg == "--out") args.out = value;
    if (arg == "--rate") args.rate = std::atof(value.c_str());
    if (arg == "--take-ms") args.takeMs = std::atof(value.c_str());
  }
  if (args.samples.empty() || args.reads.empty() || args.calls.empty() || args.stalls.empty() ||
      args.rate <= 0) {
    return std::nullopt;
  }
  return args;
}

std::string Fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

double MedianGap(const std::vector<double>& calls) {
  std::vector<double> gaps;
  for (std::size_t i = 1; i < calls.size(); ++i) gaps.push_back(calls[i] - calls[i - 1]);
  return bench::Percentile(gaps, 50).value_or(0);
}

}  // namespace

int main(int argc, char** argv) {
  const auto args = Parse(argc, argv);
  if (!args) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const auto samples = bench::ReadSamples(args->samples);
  const auto stamps = bench::ReadStamps(args->reads);
  const auto calls = bench::ReadCalls(args->calls);
  const auto stalls = bench::ReadSentStalls(args->stalls);
  if (!samples || !stamps || !calls || !stalls) return Fail("a file of the run is missing");
  if (calls->empty()) return Fail("no note was called");
  const double rate = args->rate;
  const double t0 = calls->front();
  auto seconds = [&](double us) { return (us - t0) / 1e6; };

  // The level first: a silent recording is a failed run, never a good one.
  double loudest = 0;
  for (std::int16_t sample : *samples)
    loudest = std::max(loudest, std::abs(static_cast<double>(sample)));
  const double reference = bench::ReferencePeak(*samples, rate);
  const std::vector<bench::Onset> found = bench::FindOnsets(*samples, rate, reference);
  std::printf("recording: seconds=%.1f peak_dbfs=%.1f note_peak_dbfs=%.1f onsets=%zu calls=%zu\n",
              static_cast<double>(samples->size()) / rate, Dbfs(loudest), Dbfs(reference),
              found.size(), calls->size());
  if (Dbfs(loudest) < kSilentDbfs || found.empty()) return Fail("the recording is silent");
  if (found.size() < calls->size() / 2) return Fail("fewer than half the notes sounded");

  const auto font = fw::sound::FindSoundFont();
  const auto attack = font ? bench::MeasureAttack(*font) : std::nullopt;
  if (!attack) return Fail("the note's attack could not be measured offline");

  std::vector<std::pair<double, double>> stallWindows;
  for (const bench::SentStall& stall : *stalls) {
    stallWindows.emplace_back(stall.stopUs, stall.continueUs + kCatchUpUs);
  }
  const auto line = bench::FrameLine::Fit(*stamps, rate, stallWindows);
  const auto clock = bench::SampleClock::FromStamps(*stamps, rate, bench::kTimelineBreakUs);
  if (!line || !clock) return Fail("the recording has no usable read");
  long long breaks = 0;
  for (double step : clock->Steps()) breaks += std::abs(step) >= bench::kTimelineBreakUs ? 1 : 0;
  const bool framesHold = line->WorstResidual() <= kFrameLineHoldsUs;
  std::vector<double> onsets;
  double methodsDiffer = 0;
  for (const bench::Onset& onset : found) {
    const double frame = static_cast<double>(onset.frame) - attack->seconds * rate;
    const double byFrames = line->Time(frame), byReads = clock->Time(frame);
    const bool inStall = std::any_of(stallWindows.begin(), stallWindows.end(), [&](auto& w) {
      return byFrames >= w.first && byFrames < w.second;
    });
    if (!inStall) methodsDiffer = std::max(methodsDiffer, std::abs(byFrames - byReads));
    onsets.push_back(framesHold ? byFrames : byReads);
  }
  std::sort(onsets.begin(), onsets.end());
  std::printf(
      "timing: on=%s frame_line_resid_ms_max=%.3f frame_line_ppm=%.0f reads=%zu "
      "read_breaks=%lld frames_vs_reads_ms_max=%.3f\n",
      framesHold ? "frames" : "reads", line->WorstResidual() / 1e3, line->Ppm(), stamps->size(),
      breaks, methodsDiffer / 1e3);

  for (std::size_t k = 0; k < stalls->size(); ++k) {
    const bench::SentStall& stall = (*stalls)[k];
    std::printf("stall %zu: stop=%.3f s continue=%.3f s lasted_ms=%.1f\n", k + 1,
                seconds(stall.stopUs), seconds(stall.continueUs),
                (stall.continueUs - stall.stopUs) / 1e3);
  }

  bench::AlignParams align;
  align.skipCost = std::max(100e3, 2 * MedianGap(*calls));
  const auto onsetIndex = bench::AlignOnsets(*calls, onsets, align);
  std::vector<std::optional<double>> onsetOfCall(calls->size());
  std::size_t heard = 0;
  for (std::size_t i = 0; i < calls->size(); ++i) {
    if (onsetIndex[i]) {
      onsetOfCall[i] = onsets[*onsetIndex[i]];
      ++heard;
    }
  }
  bench::CourseParams params;
  params.settleUs = std::max(300e3, 3 * args->takeMs * 1e3);
  const bench::DelayCourse course = bench::TraceDelays(*calls, onsetOfCall, *stalls, params);

  auto delayMs = [&](std::size_t i) { return (*onsetOfCall[i] - (*calls)[i]) / 1e3; };
  std::printf("notes=%zu heard=%zu lost=%zu extra_onsets=%zu bunched=%zu\n", calls->size(), heard,
              course.lost.size(), onsets.size() - heard, course.bunched.size());
  if (course.steady) {
    std::printf("steady: delay_ms=%.2f over %zu notes before the first stall\n",
                *course.steady / 1e3, course.steadyNotes);
  }
  std::printf("course (calls from the first, s; delay = onset - call, ms):\n");
  for (const bench::Stretch& stretch : course.stretches) {
    std::printf("  calls %8.3f - %8.3f  notes=%-4zu delay_ms=%.2f (%.2f .. %.2f)\n",
                seconds((*calls)[stretch.first]), seconds((*calls)[stretch.last]), stretch.heard,
                stretch.medianDelay / 1e3, stretch.minDelay / 1e3, stretch.maxDelay / 1e3);
  }
  for (std::size_t i : course.lost) {
    std::printf("lost: call %.3f s\n", seconds((*calls)[i]));
  }
  for (const bench::Bunch& bunch : course.bunched) {
    std::printf("bunched: calls %.3f and %.3f s (%.1f ms apart) sounded %.1f ms apart\n",
                seconds((*calls)[bunch.earlier]), seconds((*calls)[bunch.later]),
                ((*calls)[bunch.later] - (*calls)[bunch.earlier]) / 1e3,
                (*onsetOfCall[bunch.later] - *onsetOfCall[bunch.earlier]) / 1e3);
  }
  double worstAll = 0;
  bool anyWindow = false;
  for (std::size_t k = 0; k < course.afterStalls.size(); ++k) {
    const bench::AfterStall& after = course.afterStalls[k];
    std::string lastOff = "none";
    if (after.lastOff) {
      char text[64];
      std::snprintf(text, sizeof text, "%.3f s after its end (%.2f ms off)",
                    ((*calls)[*after.lastOff] - (*stalls)[k].continueUs) / 1e6,
                    delayMs(*after.lastOff) - *course.steady / 1e3);
      lastOff = text;
    }
    std::printf(
        "after stall %zu: calls %.3f - %s s notes=%zu heard=%zu worst_off_ms=%s; "
        "last note off > %.0f ms: %s\n",
        k + 1, seconds(after.from),
        std::isinf(after.to) ? "end" : Fixed(seconds(after.to), 3).c_str(), after.notes,
        after.heard, after.worstOff ? Fixed(*after.worstOff / 1e3, 2).c_str() : "none",
        params.offUs / 1e3, lastOff.c_str());
    if (after.worstOff) {
      anyWindow = true;
      worstAll = std::max(worstAll, std::abs(*after.worstOff));
    }
  }
  std::printf(
      "result=ok steady_delay_ms=%.2f worst_after_stall_ms=%s stretches=%zu lost=%zu "
      "bunched=%zu settle_ms=%.0f\n",
      course.steady.value_or(std::numeric_limits<double>::quiet_NaN()) / 1e3,
      anyWindow ? Fixed(worstAll / 1e3, 2).c_str() : "none", course.stretches.size(),
      course.lost.size(), course.bunched.size(), params.settleUs / 1e3);

  if (!args->out.empty()) {
    std::FILE* out = std::fopen(args->out.c_str(), "w");
    if (out == nullptr) return Fail("cannot write " + args->out);
    std::fprintf(out, "call_s,onset_s,delay_ms\n");
    for (std::size_t i = 0; i < calls->size(); ++i) {
      if (onsetOfCall[i]) {
        std::fprintf(out, "%.6f,%.6f,%.3f\n", seconds((*calls)[i]), seconds(*onsetOfCall[i]),
                     delayMs(i));
      } else {
        std::fprintf(out, "%.6f,,\n", seconds((*calls)[i]));
      }
    }
    std::fclose(out);
  }
  return 0;
}
