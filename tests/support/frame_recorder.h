#pragma once
// A synthesiser for the renderer that plays nothing: it keeps the stream
// frame at which each note was applied, and the level last set.
#include <cstdint>
#include <vector>

#include "framework/sound/timeline_renderer.h"

namespace testing_support {

class FrameRecorder : public fw::sound::BlockSynth {
 public:
  struct Applied {
    fw::sound::TimedNote note;
    std::int64_t frame;
  };
  void Apply(const fw::sound::TimedNote& note) override { applied.push_back({note, frame}); }
  void SetLevel(double newLevel) override { level = newLevel; }
  float Render(int, int frames) override {
    frame += frames;
    return 0;
  }
  std::vector<Applied> applied;
  std::int64_t frame = 0;
  double level = 1;
};

}  // namespace testing_support
