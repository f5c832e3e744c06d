#include "framework/sound/timeline_renderer.h"

#include <algorithm>
#include <cmath>

namespace fw::sound {

TimelineRenderer::TimelineRenderer(NoteTimeline& timeline, double sampleRate)
    : timeline_(timeline), clock_(sampleRate), sampleRate_(sampleRate) {
  due_.reserve(256);
}

void TimelineRenderer::Restart() {
  clock_.Restart();
  paced_.store(false);
  assumePace_.store(false);
  longest_.store(0);
  takeGap_.store(0);
  wasPaced_ = false;
  dropBefore_ = -std::numeric_limits<double>::infinity();
  streamFrames_ = 0;
}

void TimelineRenderer::Restart(double sampleRate) {
  clock_.Restart(sampleRate);
  sampleRate_.store(sampleRate);
  Restart();
}

double TimelineRenderer::LevelAt(double time) const {
  const double elapsed = time - fadeStart_.load();
  if (!(elapsed > 0)) return 1;
  if (elapsed >= kFadeUs) return 0;
  return std::pow(10.0, -60.0 * elapsed / kFadeUs / 20.0);
}

float TimelineRenderer::Render(BlockSynth& synth, int frames, double now) {
  clock_.Observe(streamFrames_, frames, now);
  if (assumePace_.load() && !clock_.Paced()) clock_.AssumePaced();
  // A note placed by a clock that is not yet paced would sound early or late.
  const bool paced = clock_.Paced();
  paced_.store(paced);
  longest_.store(clock_.LongestCallback());
  takeGap_.store(clock_.TakeGap());
  timeline_.AllowForTakeGap(clock_.TakeGap());
  // The device took up again on a later timeline: what it passed over is
  // gone, and so are the notes that would start right after what it still
  // held from before, which plays late.
  if (paced && wasPaced_ && clock_.TimeOf(streamFrames_) > nextTime_ + kPassedOverUs) {
    dropBefore_ = clock_.TimeOf(streamFrames_) + kPassedOverUs;
  }
  float peak = 0;
  for (int offset = 0; offset < frames;) {
    const int intoBlock = static_cast<int>(synthFrames_ % kBlock);
    const int count = std::min(frames - offset, kBlock - intoBlock);
    // Mid-block the synthesiser has already rendered the block; notes wait for the next.
    if (intoBlock == 0) {
      const std::int64_t start = streamFrames_ + offset;
      const double startTime = clock_.TimeOf(start);
      // Stale: long past the block's moment.
      const double stale = startTime - NoteTimeline::kStaleAfterUs;
      // While a thread is adding notes, they are taken at the next block.
      due_.clear();
      if (paced &&
          timeline_.TakeDue(clock_.TimeOf(start + kBlock), std::max(stale, dropBefore_), due_)) {
        dropBefore_ = -std::numeric_limits<double>::infinity();
      }
      for (const TimedNote& note : due_) {
        // Within a block of its moment a note is as exact as any: blocks are the grid.
        if (note.due < startTime - kBlock * clock_.FrameLength()) late_.fetch_add(1);
        synth.Apply(note);
      }
      if (const double level = LevelAt(startTime); level != level_) {
        level_ = level;
        synth.SetLevel(level);
      }
    }
    peak = std::max(peak, synth.Render(offset, count));
    offset += count;
    synthFrames_ += count;
  }
  streamFrames_ += frames;
  wasPaced_ = paced;
  nextTime_ = clock_.TimeOf(streamFrames_);
  return peak;
}

}  // namespace fw::sound
