#include "bench/score_steps.h"

#include <chrono>
#include <thread>

#include "bench/analysis.h"
#include "bench/midi_file.h"
#include "bench/options.h"
#include "bench/trace_recorder.h"
#include "framework/core/application.h"
#include "framework/core/clock.h"
#include "framework/core/controls.h"
#include "framework/core/misc.h"
#include "framework/core/scheduler.h"
#include "framework/testing/recording_platform.h"
#include "framework/testing/recording_sink.h"
#include "window/control_lookup.h"
#include "window/window1.h"

namespace bench {

ScoreSteps PlayScoreVirtually(const std::string& mode, std::optional<unsigned> seed,
                              std::optional<double> stopAfter) {
  fw::ResetRuntime();
  fw::testing::InstallRecordingPlatform();
  fw::testing::InstallRecordingSink();
  fw::clock::UseVirtualClock(kMicrosPerTick);
  if (seed) fw::random::SetSeed(*seed);
  Recorder recorder;
  recorder.Install();
  MakeDefaultView();
  auto window = accessors::Window1();
  {
    fw::scheduler::EventScope holdBaton;
    LookUpControl<fw::RadioButton>(window.get(), ModeButton(mode)).Click();
    LookUpControl<fw::PushButton>(window.get(), "play").Press();
  }
  if (stopAfter) {
    // Holding the baton, the mode thread makes one yield at a time: it cannot run past the moment.
    fw::scheduler::EventScope holdBaton;
    while (fw::clock::Now() < *stopAfter && fw::scheduler::AnyRunning()) {
      fw::scheduler::LetOthersRun();
    }
    if (fw::scheduler::AnyRunning()) LookUpControl<fw::PushButton>(window.get(), "stop").Press();
  }
  while (fw::scheduler::AnyRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  recorder.Finish();
  Recorder::Uninstall();

  const std::vector<Token> tokens = recorder.ModeTokens();
  const std::vector<std::string> written = WrittenOrder();
  const Analysis analysis = Analyse(tokens, mode == "original" ? &written : nullptr);
  const std::vector<double> times = IdealTokenTimes(tokens, analysis);
  ScoreSteps steps;
  steps.bars = analysis.bars.size();
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].kind == Token::Wait && analysis.lengthOfToken[i] > 0) {
      steps.starts.push_back(times[i]);
    }
  }
  window.reset();
  fw::ResetRuntime();
  fw::clock::UseRealClock();
  return steps;
}

}  // namespace bench
