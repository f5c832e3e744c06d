// Stress: start and stop at random moments of every mode, quit while a mode
// plays, and the roads on which a finished or killed run overlaps a new one.
//
// The clock is virtual, so a moment is chosen in virtual time. A trace hook
// holds the mode thread at its first yield of the wanted kind at or after that
// moment until the test thread is about to click, so the click lands there.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "framework/core/application.h"
#include "framework/core/clock.h"
#include "framework/core/controls.h"
#include "framework/core/menu.h"
#include "framework/core/misc.h"
#include "framework/core/note_player.h"
#include "framework/core/platform.h"
#include "framework/core/scheduler.h"
#include "framework/core/trace.h"
#include "support/player_fixture.h"

namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

constexpr std::uint32_t kDefaultSeed = 17052024;
constexpr double kEndPause = 3000000.0;
// The stop's notes-off sweep: notes 1 to 127, a yield after each.
constexpr int kSweepPasses = 127;
// Any wait of the test for the program; beyond it the program is taken as hung.
constexpr auto kPatience = 60s;

enum Mode { kOneShot, kLooped, kOriginal, kOneShotEnd };
struct ModeInfo {
  const char* button;
  const char* caption;
  bool endsItself;
};
constexpr std::array<ModeInfo, 4> kModes = {{{"OneShotButton", "one shot", true},
                                             {"LoopedButton", "looped", false},
                                             {"OriginalButton", "original", true},
                                             {"OneShotEndButton", "one shot with ending", true}}};

// Where the test aims the click.
enum class Moment { Immediate, InBar, BetweenBars, EndPause, EndPauseTail, AfterEnd, BoxOpen };
const char* Name(Moment m) {
  switch (m) {
    case Moment::Immediate:
      return "right after start";
    case Moment::InBar:
      return "inside a bar";
    case Moment::BetweenBars:
      return "between bars or passes";
    case Moment::EndPause:
      return "in the end pause";
    case Moment::EndPauseTail:
      return "in the last 0.75 s of the end pause";
    case Moment::AfterEnd:
      return "after the mode's own end";
    case Moment::BoxOpen:
      return "while the mode's farewell box is open";
  }
  return "?";
}

// Where the click was seen to land, from the calls around it.
enum class Landed {
  BeforeFirstCall,
  InBar,
  BetweenPasses,
  EndPause,
  PauseRanOutInSweep,
  AfterOwnEnd
};
constexpr int kLandedKinds = 6;
const char* Name(Landed l) {
  switch (l) {
    case Landed::BeforeFirstCall:
      return "before the mode's first call";
    case Landed::InBar:
      return "inside a bar (a timed wait with notes sounding)";
    case Landed::BetweenPasses:
      return "at a yield between passes or bars";
    case Landed::EndPause:
      return "in the end pause";
    case Landed::PauseRanOutInSweep:
      return "end pause ran out during the sweep";
    case Landed::AfterOwnEnd:
      return "after the mode had ended by itself";
  }
  return "?";
}

enum class GateKind { AnyYield, WaitYield, PassYield };

const char* Name(fw::trace::Kind kind) {
  switch (kind) {
    case fw::trace::Kind::Note:
      return "a note call";
    case fw::trace::Kind::ClockRead:
      return "a clock reading";
    case fw::trace::Kind::Yield:
      return "a yield";
    case fw::trace::Kind::Instrument:
      return "an instrument change";
  }
  return "?";
}

std::uint32_t SeedFromEnvironment() {
  if (const char* text = std::getenv("VELUMBRA_STRESS_SEED")) {
    return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
  }
  return kDefaultSeed;
}

// Sanitized builds run a quarter of the cycles: ThreadSanitizer slows every yield tenfold.
int CyclesFromEnvironment() {
  if (const char* text = std::getenv("VELUMBRA_STRESS_CYCLES")) return std::atoi(text);
  return kSanitized ? 250 : 1000;
}

// Ends the process with a diagnosis when a step of the test does not come back:
// a deadlock must fail the run, not stall it.
class Watchdog {
 public:
  Watchdog() : thread_([this] { Watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  void Pet(std::string what) {
    std::lock_guard lock(mutex_);
    what_ = std::move(what);
    deadline_ = Steady::now() + 2 * kPatience;
  }

 private:
  void Watch() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      if (Steady::now() > deadline_) {
        std::fprintf(stderr, "stress: no progress for %lld s, hung at: %s\n",
                     static_cast<long long>(std::chrono::seconds(2 * kPatience).count()),
                     what_.c_str());
        std::fflush(stderr);
        std::abort();
      }
      changed_.wait_for(lock, 200ms);
    }
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string what_ = "start";
  Steady::time_point deadline_ = Steady::now() + 2 * kPatience;
  bool stop_ = false;
  std::thread thread_;
};

// A recording platform whose farewell boxes of mode threads can be held open,
// as a real box stays open until closed or until the runtime shuts down.
class BoxPlatform : public fw::testing::RecordingPlatform {
 public:
  void ShowMessage(const std::string& text) override {
    RecordingPlatform::ShowMessage(text);
    std::unique_lock lock(boxMutex_);
    if (!holdBoxes_ || shutDown_ || fw::scheduler::CurrentRun() == nullptr) return;
    const int generation = closeGeneration_;
    ++opened_;
    boxChanged_.notify_all();
    if (!boxChanged_.wait_for(lock, kPatience,
                              [&] { return shutDown_ || closeGeneration_ != generation; })) {
      neverClosed_ = true;
    }
    ++closed_;
    boxChanged_.notify_all();
  }
  void Shutdown() override {
    {
      std::lock_guard lock(boxMutex_);
      shutDown_ = true;
    }
    boxChanged_.notify_all();
    RecordingPlatform::Shutdown();
  }

  void HoldBoxes() {
    std::lock_guard lock(boxMutex_);
    holdBoxes_ = true;
  }
  void CloseBoxes() {
    {
      std::lock_guard lock(boxMutex_);
      ++closeGeneration_;
    }
    boxChanged_.notify_all();
  }
  bool AwaitBoxesOpened(int count) {
    std::unique_lock lock(boxMutex_);
    return boxChanged_.wait_for(lock, kPatience, [&] { return opened_ >= count; });
  }
  bool AwaitBoxesClosed(int count) {
    std::unique_lock lock(boxMutex_);
    return boxChanged_.wait_for(lock, kPatience, [&] { return closed_ >= count; });
  }
  bool NeverClosed() const {
    std::lock_guard lock(boxMutex_);
    return neverClosed_;
  }

 private:
  mutable std::mutex boxMutex_;
  std::condition_variable boxChanged_;
  bool holdBoxes_ = false;
  bool shutDown_ = false;
  bool neverClosed_ = false;
  int closeGeneration_ = 0;
  int opened_ = 0;
  int closed_ = 0;
};

// What the trace and the message boxes tell about the runs, and the gate that
// holds a mode thread at a chosen yield.
class Probe {
 public:
  struct Landing {
    double time = 0;  // virtual time of the sweep's first note call
    bool runHadCalls = false;
    std::optional<bool> lastYieldInWait;
    bool ownEndBefore = false;
    int notesStartedInSweep = 0;
    int notesStartedBehindSweep = 0;
  };
  enum class Outcome { Held, OwnEnd, Gone, Timeout };

  // ownEndAt: the virtual time at which the run's end pause runs out, if it has one.
  void BeginCycle(int mode, double ownEndAt = std::numeric_limits<double>::infinity()) {
    std::lock_guard lock(mutex_);
    cycleMode_ = mode;
    ownEndAt_ = ownEndAt;
    pauseRanOut_ = false;
    cycleRun_ = 0;
    cycleRunYield_.reset();
    cycleRunMessage_ = false;
    cycleMessageTime_ = 0;
    stopping_ = false;
    slow_ = false;
    landing_ = {};
  }

  // onHold runs on the held mode thread, which holds the baton: the place to
  // look at the window before the run can go on.
  void Arm(double at, GateKind kind, std::function<void()> onHold = nullptr) {
    std::lock_guard lock(mutex_);
    onHold_ = std::move(onHold);
    armed_ = true;
    target_ = at;
    gateKind_ = kind;
    held_ = false;
    released_ = false;
  }

  // Waits until the gate holds the mode thread, or the cycle's run shows its
  // own farewell, or no thread runs any more.
  Outcome Await() {
    const auto deadline = Steady::now() + kPatience;
    std::unique_lock lock(mutex_);
    for (;;) {
      if (held_) return Outcome::Held;
      if (cycleRunMessage_) return Outcome::OwnEnd;
      if (Steady::now() > deadline) return Outcome::Timeout;
      changed_.wait_for(lock, 5ms);
      if (held_ || cycleRunMessage_) continue;
      lock.unlock();
      const bool running = fw::scheduler::AnyRunning();
      lock.lock();
      if (!running && !held_ && !cycleRunMessage_) return Outcome::Gone;
    }
  }

  // Lets a held mode thread go on to its yield, where the click that follows
  // takes over. Until a stop's sweep begins, the run is slowed to a crawl in
  // real time, so a test thread that the system keeps waiting still lands near
  // the moment instead of after the rest of the piece.
  void Release(bool slowUntilStop = true) {
    {
      std::lock_guard lock(mutex_);
      armed_ = false;
      held_ = false;
      released_ = true;
      slow_ = slowUntilStop;
    }
    changed_.notify_all();
  }

  Landing EndStop() {
    std::lock_guard lock(mutex_);
    Landing result = landing_;
    stopping_ = false;
    slow_ = false;
    sweepYields_ = 0;
    grace_ = false;
    landing_ = {};
    return result;
  }

  // Empty unless a run made a program call after a stop had killed it.
  std::string CallsAfterKill() const {
    std::lock_guard lock(mutex_);
    if (callsAfterKill_ == 0) return "";
    return std::to_string(callsAfterKill_) +
           " calls after the kill, the first: " + firstCallAfterKill_;
  }

  // Its farewell may reach the platform after the stop has returned: the box
  // opens without the baton.
  bool AwaitCycleRunFarewell() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return cycleRunMessage_; });
  }
  bool PauseRanOut() const {
    std::lock_guard lock(mutex_);
    return pauseRanOut_;
  }
  bool CycleRunShowedFarewell() const {
    std::lock_guard lock(mutex_);
    return cycleRunMessage_;
  }
  double CycleMessageTime() const {
    std::lock_guard lock(mutex_);
    return cycleMessageTime_;
  }
  std::uint64_t CycleRun() const {
    std::lock_guard lock(mutex_);
    return cycleRun_;
  }
  int StopMessages() const {
    std::lock_guard lock(mutex_);
    return stopMessages_;
  }
  int RunMessages() const {
    std::lock_guard lock(mutex_);
    int total = 0;
    for (const auto& [run, count] : runMessages_) total += count;
    return total;
  }
  // Runs that showed more than one farewell, or a looped run that showed any.
  std::string FarewellProblems() const {
    std::lock_guard lock(mutex_);
    std::ostringstream out;
    for (const auto& [run, count] : runMessages_) {
      auto mode = runMode_.find(run);
      const bool looped = mode != runMode_.end() && mode->second == kLooped;
      if (count > 1 || looped) out << "run " << run << " showed " << count << " farewell(s); ";
    }
    return out.str();
  }

  void OnEvent(const fw::trace::Event& e) {
    const std::uint64_t run = fw::scheduler::CurrentRunId();
    std::unique_lock lock(mutex_);
    if (run == 0) {
      OnStopCall(e);
      return;
    }
    if (runMode_.try_emplace(run, cycleMode_).second) cycleRun_ = run;
    if (doomed_.count(run) != 0) {
      // After the sweep's last yield the playing run may go on to its next
      // yield, where the stop takes the baton back to kill it; nothing after.
      if (!grace_) {
        if (callsAfterKill_++ == 0) {
          firstCallAfterKill_ = "run " + std::to_string(run) + ", " + Name(e.kind) + " at " +
                                std::to_string(e.clock) + " us";
        }
      } else if (e.kind == fw::trace::Kind::Yield) {
        grace_ = false;
      }
    }
    const bool afterRead = lastRun_ == run && lastKind_ == fw::trace::Kind::ClockRead;
    lastRun_ = run;
    lastKind_ = e.kind;
    // The read that ends the end pause; the idle state and the farewell follow without a yield.
    if (e.kind == fw::trace::Kind::ClockRead && run == cycleRun_ && e.clock >= ownEndAt_) {
      pauseRanOut_ = true;
    }
    if (e.kind == fw::trace::Kind::Note && e.velocity > 0 && stopping_) {
      ++landing_.notesStartedInSweep;
      if (e.note < sweepNote_) ++landing_.notesStartedBehindSweep;
    }
    if (e.kind != fw::trace::Kind::Yield) return;
    if (run == cycleRun_) cycleRunYield_ = afterRead;
    const bool kindMatches =
        gateKind_ == GateKind::AnyYield || (gateKind_ == GateKind::WaitYield) == afterRead;
    if (!armed_ || e.clock < target_ || !kindMatches) {
      if (slow_) {
        lock.unlock();
        std::this_thread::sleep_for(200us);
      }
      return;
    }
    armed_ = false;
    if (onHold_) {
      auto onHold = std::move(onHold_);
      onHold_ = nullptr;
      lock.unlock();
      onHold();
      lock.lock();
    }
    held_ = true;
    changed_.notify_all();
    changed_.wait_for(lock, kPatience, [&] { return released_; });
    lock.unlock();
    // Time for the clicking thread to queue for the baton before this yield passes it on.
    std::this_thread::sleep_for(kSanitized ? 3ms : 1ms);
  }

  void OnMessage() {
    const std::uint64_t run = fw::scheduler::CurrentRunId();
    {
      std::lock_guard lock(mutex_);
      if (run == 0) {
        ++stopMessages_;
      } else {
        ++runMessages_[run];
        if (run == cycleRun_) {
          cycleRunMessage_ = true;
          cycleMessageTime_ = fw::clock::Now();
        }
      }
    }
    changed_.notify_all();
  }

 private:
  // The GUI thread calls notes only in the stop's sweep.
  void OnStopCall(const fw::trace::Event& e) {
    if (e.kind == fw::trace::Kind::Yield && stopping_ && ++sweepYields_ == kSweepPasses) {
      // Every run known now is killed before the stop's next yield.
      for (const auto& [run, mode] : runMode_) doomed_.insert(run);
      grace_ = true;
    }
    if (e.kind != fw::trace::Kind::Note) return;
    if (!stopping_) {
      stopping_ = true;
      slow_ = false;
      landing_.time = e.clock;
      landing_.runHadCalls = cycleRun_ != 0;
      landing_.lastYieldInWait = cycleRunYield_;
      landing_.ownEndBefore = cycleRunMessage_;
    }
    sweepNote_ = e.note;
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int cycleMode_ = 0;
  double ownEndAt_ = 0;
  bool pauseRanOut_ = false;
  std::uint64_t cycleRun_ = 0;
  std::optional<bool> cycleRunYield_;
  bool cycleRunMessage_ = false;
  double cycleMessageTime_ = 0;
  std::uint64_t lastRun_ = 0;
  fw::trace::Kind lastKind_ = fw::trace::Kind::Instrument;
  std::map<std::uint64_t, int> runMode_;
  std::map<std::uint64_t, int> runMessages_;
  int stopMessages_ = 0;
  bool armed_ = false;
  bool held_ = false;
  bool released_ = false;
  double target_ = 0;
  GateKind gateKind_ = GateKind::AnyYield;
  std::function<void()> onHold_;
  bool stopping_ = false;
  bool slow_ = false;
  int sweepNote_ = 0;
  int sweepYields_ = 0;
  std::set<std::uint64_t> doomed_;
  bool grace_ = false;
  long callsAfterKill_ = 0;
  std::string firstCallAfterKill_;
  Landing landing_;
};

class StressTest : public testing_support::PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    auto boxes = std::make_unique<BoxPlatform>();
    boxPlatform = boxes.get();
    platform = boxes.get();
    fw::InstallPlatform(std::move(boxes));
    // The fixture's call recorder would keep every call of a thousand runs.
    trace.reset();
    probe = std::make_unique<Probe>();
    fw::trace::SetHook([p = probe.get()](const fw::trace::Event& e) { p->OnEvent(e); });
    platform->OnMessage([p = probe.get()](const std::string&) { p->OnMessage(); });
  }

  void TearDown() override {
    if (boxPlatform != nullptr) boxPlatform->Shutdown();
    if (probe) probe->Release(false);
    fw::ResetRuntime();
    fw::trace::SetHook(nullptr);
    if (platform != nullptr) platform->OnMessage(nullptr);
    probe.reset();
    boxPlatform = nullptr;
    PlayerTest::TearDown();
  }

  void Restart() {
    TearDown();
    SetUp();
  }

  // The stop click, reading under the same hold of the baton whether stop could be pressed.
  bool PressStop() {
    bool enabled = false;
    AsEvent([&] {
      auto& stop = Control<fw::PushButton>("stop");
      enabled = stop.Enabled();
      stop.Press();
    });
    return enabled;
  }

  // Empty when the window shows the idle state.
  std::string IdleProblems() {
    std::string problems;
    AsEvent([&] {
      if (!Control<fw::PushButton>("play").Enabled()) problems += "play disabled; ";
      if (Control<fw::PushButton>("stop").Enabled()) problems += "stop enabled; ";
      if (Control<fw::ProgressWheel>("ProgressWheel1").Visible()) problems += "wheel visible; ";
      for (const ModeInfo& mode : kModes) {
        if (!Control<fw::RadioButton>(mode.button).Enabled()) {
          problems += std::string(mode.button) + " disabled; ";
        }
      }
    });
    return problems;
  }

  // For the baton holder.
  bool ShowsPlayingState() {
    return !Control<fw::PushButton>("play").Enabled() &&
           Control<fw::PushButton>("stop").Enabled() &&
           Control<fw::ProgressWheel>("ProgressWheel1").Visible();
  }

  // A box of a mode thread waits for this (GUI) thread to show it.
  bool AwaitWaitingBox() {
    const auto deadline = Steady::now() + kPatience;
    while (!platform->HasWaitingMessage()) {
      if (Steady::now() > deadline) return false;
      std::this_thread::sleep_for(1ms);
    }
    return true;
  }

  // Stop, for a run that may have reached its own end meanwhile (the clock is
  // virtual: a run left alone plays to its end within moments).
  void StopOrSeeItsOwnEnd() {
    if (!PressStop()) {
      EXPECT_TRUE(probe->AwaitCycleRunFarewell())
          << "stop disabled, yet the run did not end by itself";
    }
    probe->EndStop();
  }

  std::string SoundingProblems() {
    std::ostringstream out;
    const auto left = sink->Sounding();
    if (!left.empty()) {
      out << "synthesiser still sounds";
      for (int note : left) out << " " << note;
      out << "; ";
    }
    if (const int count = fw::sound::SoundingCount(); count != 0) {
      out << "note player counts " << count << " sounding; ";
    }
    return out.str();
  }

  // Virtual time from start to the mode's own farewell (the end of its end
  // pause): the same for every run of a mode, whatever order it shuffles.
  const std::array<double, 4>& OwnEnds() {
    static std::array<double, 4> ends{};
    static bool measured = false;
    if (measured) return ends;
    for (int mode = 0; mode < 4; ++mode) {
      if (!kModes[mode].endsItself) continue;
      probe->BeginCycle(mode);
      Select(kModes[mode].button);
      const double t0 = fw::clock::Now();
      Click("play");
      EXPECT_EQ(probe->Await(), Probe::Outcome::OwnEnd) << kModes[mode].caption;
      ends[mode] = probe->CycleMessageTime() - t0;
      EXPECT_TRUE(WaitUntilNoThreadRuns());
    }
    measured = true;
    return ends;
  }

  std::unique_ptr<Probe> probe;
  BoxPlatform* boxPlatform = nullptr;
  Watchdog watchdog;
};

struct Aim {
  Moment moment;
  std::optional<GateKind> gate;
  double at = 0;  // virtual time after start
};

// A moment of `moment`'s kind in a run of `mode`; looped has no end of its own.
Aim Choose(Moment moment, int mode, const std::array<double, 4>& ownEnds, std::mt19937& rng) {
  const bool ends = kModes[mode].endsItself;
  const double end = ownEnds[mode];
  const double pause = end - kEndPause;
  const double span = ends ? pause : 60e6;
  // "original" and the ending of "one shot with ending" call bars 25 to 38
  // back to back, and those bars have no pass yields: aim before them.
  const double passSpan = mode == kOriginal || mode == kOneShotEnd ? 24 * 2.8e6 : span;
  auto uniform = [&](double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(rng);
  };
  if (!ends && (moment == Moment::EndPause || moment == Moment::EndPauseTail ||
                moment == Moment::AfterEnd || moment == Moment::BoxOpen)) {
    moment = std::bernoulli_distribution(0.5)(rng) ? Moment::InBar : Moment::BetweenBars;
  }
  switch (moment) {
    case Moment::Immediate:
      return {moment, std::nullopt, 0};
    case Moment::InBar:
      return {moment, GateKind::WaitYield, uniform(0, span)};
    case Moment::BetweenBars:
      return {moment, GateKind::PassYield, uniform(0, passSpan)};
    case Moment::EndPause:
      return {moment, GateKind::AnyYield, uniform(pause, end)};
    case Moment::EndPauseTail:
      return {moment, GateKind::AnyYield, uniform(end - 750000, end)};
    case Moment::AfterEnd:
    case Moment::BoxOpen:
      return {moment, std::nullopt, end};
  }
  return {moment, std::nullopt, 0};
}

Moment RandomMoment(std::mt19937& rng) {
  static constexpr Moment kMoments[] = {Moment::Immediate,    Moment::InBar,
                                        Moment::BetweenBars,  Moment::EndPause,
                                        Moment::EndPauseTail, Moment::AfterEnd};
  std::discrete_distribution<int> pick({5, 35, 25, 15, 8, 12});
  return kMoments[pick(rng)];
}

Landed Classify(const Probe::Landing& landing, bool stopWasEnabled, bool pauseRanOut, double t0,
                double pause, bool endsItself) {
  if (!stopWasEnabled || landing.ownEndBefore) return Landed::AfterOwnEnd;
  if (pauseRanOut) return Landed::PauseRanOutInSweep;
  if (!landing.runHadCalls) return Landed::BeforeFirstCall;
  if (endsItself && landing.time - t0 >= pause) return Landed::EndPause;
  if (landing.lastYieldInWait.value_or(true)) return Landed::InBar;
  return Landed::BetweenPasses;
}

TEST_F(StressTest, StartAndStopAtRandomMomentsOfEveryModeEndInSilenceAndIdle) {
  const std::uint32_t seed = SeedFromEnvironment();
  const int cycles = CyclesFromEnvironment();
  std::printf("[ stress   ] seed %u (VELUMBRA_STRESS_SEED=%u replays it), %d cycles\n", seed, seed,
              cycles);
  fw::random::SetSeed(seed);
  std::mt19937 rng(seed);
  const auto& ownEnds = OwnEnds();
  ASSERT_FALSE(HasFailure());

  std::array<std::array<int, kLandedKinds>, 4> landed{};
  int stopsPressed = 0, ownEndings = 0, restartsWhileUnwinding = 0, doubleStops = 0;
  long notesInSweeps = 0, notesBehindSweeps = 0;
  std::uint64_t previousRun = 0;
  bool previousEndedItself = false;

  for (int cycle = 0; cycle < cycles && !HasFailure(); ++cycle) {
    const int mode = std::uniform_int_distribution<int>(0, 3)(rng);
    const Aim aim = Choose(RandomMoment(rng), mode, ownEnds, rng);
    const bool restartAtOnce = std::bernoulli_distribution(0.5)(rng);
    const bool doubleStop = std::bernoulli_distribution(0.1)(rng);
    const bool playAndStopInOneEvent = std::bernoulli_distribution(0.5)(rng);
    std::ostringstream what;
    what << "seed " << seed << " cycle " << cycle << ": \"" << kModes[mode].caption << "\", stop "
         << Name(aim.moment) << " (" << aim.at << " us after start)";
    SCOPED_TRACE(what.str());
    watchdog.Pet(what.str());

    // A run that ended by itself may still be closing its farewell; starting
    // it again then is a case of its own (StartAsSoonAsTheModesOwnFarewellCloses).
    if (previousEndedItself) {
      ASSERT_TRUE(WaitUntilNoThreadRuns(kPatience)) << "previous run hangs";
    } else if (previousRun != 0) {
      restartsWhileUnwinding += fw::scheduler::AnyRunning();
    }

    Select(kModes[mode].button);
    const double t0 = fw::clock::Now();
    probe->BeginCycle(mode, kModes[mode].endsItself ? t0 + ownEnds[mode]
                                                    : std::numeric_limits<double>::infinity());
    if (aim.gate) probe->Arm(t0 + aim.at, *aim.gate);
    const int messagesBefore = static_cast<int>(platform->Messages().size());
    const int stopMessagesBefore = probe->StopMessages();

    bool stopWasEnabled = false;
    if (aim.moment == Moment::Immediate && playAndStopInOneEvent) {
      // The sweep begins before the new thread has made a call.
      AsEvent([&] {
        Control<fw::PushButton>("play").Press();
        auto& stop = Control<fw::PushButton>("stop");
        stopWasEnabled = stop.Enabled();
        stop.Press();
      });
    } else {
      ASSERT_NO_THROW(Click("play"));
      if (aim.moment != Moment::Immediate) {
        const auto outcome = probe->Await();
        ASSERT_NE(outcome, Probe::Outcome::Timeout)
            << "the mode neither reached the moment nor ended";
        ASSERT_NE(outcome, Probe::Outcome::Gone) << "the mode thread ended without its farewell";
        probe->Release();
      }
      stopWasEnabled = PressStop();
    }
    if (doubleStop) {
      ++doubleStops;
      EXPECT_FALSE(PressStop()) << "stop still enabled after a stop";
    }
    const Probe::Landing landing = probe->EndStop();
    stopsPressed += stopWasEnabled;

    EXPECT_EQ(SoundingProblems(), "");
    EXPECT_EQ(IdleProblems(), "");
    EXPECT_EQ(probe->CallsAfterKill(), "");
    const int stopAdded = probe->StopMessages() - stopMessagesBefore;
    EXPECT_EQ(stopAdded, stopWasEnabled ? 1 : 0) << "farewells shown by the stop";
    const bool pauseRanOut = probe->PauseRanOut();
    if (!stopWasEnabled) {
      // Stop could not be pressed: the mode had ended by itself.
      EXPECT_TRUE(kModes[mode].endsItself);
      EXPECT_TRUE(pauseRanOut);
    }
    if (pauseRanOut) {
      EXPECT_TRUE(probe->AwaitCycleRunFarewell()) << "the end pause ran out but no farewell came";
    }
    // The mode's own farewell comes once when its end pause ran out, even
    // during the sweep, and never otherwise.
    const int added = static_cast<int>(platform->Messages().size()) - messagesBefore;
    EXPECT_EQ(added, stopAdded + (pauseRanOut ? 1 : 0)) << "farewells in all";

    const Landed where = Classify(landing, stopWasEnabled, pauseRanOut, t0,
                                  ownEnds[mode] - kEndPause, kModes[mode].endsItself);
    ++landed[mode][static_cast<int>(where)];
    ownEndings += where == Landed::AfterOwnEnd || where == Landed::PauseRanOutInSweep;
    notesInSweeps += landing.notesStartedInSweep;
    notesBehindSweeps += landing.notesStartedBehindSweep;

    previousRun = probe->CycleRun();
    previousEndedItself = pauseRanOut;
    if (!restartAtOnce) {
      ASSERT_TRUE(WaitUntilNoThreadRuns(kPatience)) << "a thread hangs after stop";
    }
  }

  ASSERT_TRUE(WaitUntilNoThreadRuns(kPatience));
  EXPECT_EQ(SoundingProblems(), "");
  EXPECT_EQ(probe->CallsAfterKill(), "");
  EXPECT_EQ(probe->FarewellProblems(), "");
  EXPECT_EQ(static_cast<int>(platform->Messages().size()),
            probe->StopMessages() + probe->RunMessages());

  std::printf(
      "[ stress   ] %d stops pressed (%d cycles, %d with a second stop), %d modes ended "
      "by themselves, %d starts while a killed thread was still unwinding\n",
      stopsPressed, cycles, doubleStops, ownEndings, restartsWhileUnwinding);
  std::printf(
      "[ stress   ] the modes started %ld notes during stop sweeps, %ld of them below the "
      "sweep's position; none was left sounding\n",
      notesInSweeps, notesBehindSweeps);
  for (int mode = 0; mode < 4; ++mode) {
    std::printf("[ stress   ] \"%s\":", kModes[mode].caption);
    for (int kind = 0; kind < kLandedKinds; ++kind) {
      std::printf(" %s %d%s", Name(static_cast<Landed>(kind)), landed[mode][kind],
                  kind + 1 < kLandedKinds ? ";" : "\n");
    }
  }
  // The moments were really reached: every kind of landing occurred.
  if (cycles >= 200 && !HasFailure()) {
    for (Landed kind : {Landed::InBar, Landed::BetweenPasses, Landed::EndPause,
                        Landed::PauseRanOutInSweep, Landed::AfterOwnEnd}) {
      int total = 0;
      for (const auto& counts : landed) total += counts[static_cast<int>(kind)];
      EXPECT_GT(total, 0) << "no stop landed " << Name(kind);
    }
    EXPECT_GT(notesBehindSweeps, 0) << "no note was ever started behind a sweep";
  }
}

TEST_F(StressTest, QuitAtRandomMomentsOfEveryModeEndsEveryThreadInSilence) {
  const std::uint32_t seed = SeedFromEnvironment() + 1;
  std::printf("[ stress   ] seed %u\n", seed);
  fw::random::SetSeed(seed);
  std::mt19937 rng(seed);
  const std::array<double, 4> ownEnds = OwnEnds();
  ASSERT_FALSE(HasFailure());
  const int rounds = kSanitized ? 1 : 3;
  int quits = 0;

  for (int round = 0; round < rounds; ++round) {
    for (int mode = 0; mode < 4; ++mode) {
      for (Moment moment : {Moment::Immediate, Moment::InBar, Moment::BetweenBars, Moment::EndPause,
                            Moment::AfterEnd, Moment::BoxOpen}) {
        if (!kModes[mode].endsItself && moment >= Moment::EndPause) continue;
        Restart();
        const Aim aim = Choose(moment, mode, ownEnds, rng);
        std::ostringstream what;
        what << "seed " << seed << ": quit \"" << kModes[mode].caption << "\" " << Name(moment)
             << " (" << aim.at << " us after start)";
        SCOPED_TRACE(what.str());
        watchdog.Pet(what.str());
        if (moment == Moment::BoxOpen) boxPlatform->HoldBoxes();
        std::shared_ptr<fw::QuitMenuItem> quit;
        AsEvent([&] { quit = window->FileQuit(); });
        ASSERT_NE(quit, nullptr);

        // The real road: events on the event loop, Quit from the menu, then RuntimeExit.
        Probe::Outcome outcome = Probe::Outcome::Held;
        const char* button = kModes[mode].button;
        platform->Post(
            [&] { fw::DeliverEvent([&] { Control<fw::RadioButton>(button).Click(); }); });
        platform->Post([&] {
          probe->BeginCycle(mode);
          if (aim.gate) probe->Arm(fw::clock::Now() + aim.at, *aim.gate);
          fw::DeliverEvent([&] { Control<fw::PushButton>("play").Press(); });
        });
        platform->Post([&] {
          if (moment == Moment::BoxOpen) {
            if (!boxPlatform->AwaitBoxesOpened(1)) outcome = Probe::Outcome::Timeout;
          } else if (moment != Moment::Immediate) {
            outcome = probe->Await();
            probe->Release(false);
          }
        });
        platform->Post([&] { fw::DeliverEvent([&] { fw::ChooseMenuItem(*quit); }); });
        try {
          fw::RunEventLoop();
        } catch (...) {
          fw::UnhandledException(std::current_exception());
        }
        EXPECT_EQ(fw::RuntimeExit(), 0);
        ++quits;
        EXPECT_NE(outcome, Probe::Outcome::Timeout);
        EXPECT_NE(outcome, Probe::Outcome::Gone);
        EXPECT_FALSE(fw::scheduler::AnyRunning()) << "a thread outlived RuntimeExit";
        EXPECT_EQ(SoundingProblems(), "");
        EXPECT_FALSE(boxPlatform->NeverClosed()) << "the farewell box was not closed at quit";
        EXPECT_EQ(probe->StopMessages(), 0);
        EXPECT_EQ(probe->FarewellProblems(), "");
        if (HasFailure()) return;
      }
    }
  }
  std::printf("[ stress   ] %d quits\n", quits);
}

TEST_F(StressTest, StartInTheSameEventAsStopWhileTheKilledThreadUnwinds) {
  // Stop kills the thread; start, handled before the killed thread has held the
  // baton again, runs the same thread control anew.
  const std::uint32_t seed = SeedFromEnvironment() + 2;
  std::printf("[ stress   ] seed %u\n", seed);
  fw::random::SetSeed(seed);
  std::mt19937 rng(seed);
  const auto& ownEnds = OwnEnds();
  ASSERT_FALSE(HasFailure());
  // Whether the killed thread is still unwinding at the start depends on who
  // wins the baton while the stop's farewell is open: go on until it was seen.
  const int rounds = kSanitized ? 10 : 40;
  int unwinding = 0;
  int round = 0;
  for (; (round < rounds || unwinding < 3) && round < 10 * rounds && !HasFailure(); ++round) {
    const int mode = round % 4;
    const Aim aim = Choose(round % 8 < 4 ? Moment::InBar : Moment::BetweenBars, mode, ownEnds, rng);
    std::ostringstream what;
    what << "seed " << seed << " round " << round << ": \"" << kModes[mode].caption << "\" at "
         << aim.at << " us";
    SCOPED_TRACE(what.str());
    watchdog.Pet(what.str());

    probe->BeginCycle(mode);
    Select(kModes[mode].button);
    probe->Arm(fw::clock::Now() + aim.at, *aim.gate);
    Click("play");
    ASSERT_EQ(probe->Await(), Probe::Outcome::Held);
    const std::uint64_t killed = probe->CycleRun();
    probe->Release();
    const int stopMessagesBefore = probe->StopMessages();
    bool playingAtFirstYield = false;
    ASSERT_NO_THROW(AsEvent([&] {
      Control<fw::PushButton>("stop").Press();
      unwinding += fw::scheduler::AnyRunning();
      probe->Arm(fw::clock::Now(), GateKind::AnyYield,
                 [&] { playingAtFirstYield = ShowsPlayingState(); });
      Control<fw::PushButton>("play").Press();
    }));
    EXPECT_EQ(probe->StopMessages() - stopMessagesBefore, 1);
    ASSERT_EQ(probe->Await(), Probe::Outcome::Held) << "start right after stop did not start";
    EXPECT_NE(probe->CycleRun(), killed) << "no new run played";
    EXPECT_TRUE(playingAtFirstYield);
    probe->Release();
    StopOrSeeItsOwnEnd();
    EXPECT_EQ(SoundingProblems(), "");
    EXPECT_EQ(IdleProblems(), "");
    ASSERT_TRUE(WaitUntilNoThreadRuns(kPatience));
    EXPECT_EQ(SoundingProblems(), "");
    EXPECT_EQ(probe->CallsAfterKill(), "");
  }
  EXPECT_EQ(probe->FarewellProblems(), "");
  std::printf("[ stress   ] %d rounds, %d with the killed thread still unwinding at start\n", round,
              unwinding);
  EXPECT_GT(unwinding, 0) << "start never overlapped a killed thread's unwinding";
}

TEST_F(StressTest, StartAsSoonAsTheModesOwnFarewellCloses) {
  // The finishing sequence enables start before its farewell box; a start
  // delivered the moment that box closes, before the mode thread has run
  // again, must start the mode anew like any other start.
  fw::random::SetSeed(SeedFromEnvironment() + 3);
  boxPlatform->HoldBoxes();
  int boxes = 0;
  for (int mode : {kOneShot, kOriginal, kOneShotEnd}) {
    SCOPED_TRACE(kModes[mode].caption);
    watchdog.Pet(std::string("start after the farewell of ") + kModes[mode].caption);
    probe->BeginCycle(mode);
    Select(kModes[mode].button);
    Click("play");
    ASSERT_TRUE(boxPlatform->AwaitBoxesOpened(++boxes)) << "the mode did not end by itself";
    const std::uint64_t ended = probe->CycleRun();
    EXPECT_EQ(IdleProblems(), "") << "start cannot be pressed while the farewell is open";
    bool playingAtFirstYield = false;
    AsEvent([&] {
      boxPlatform->CloseBoxes();
      ASSERT_TRUE(boxPlatform->AwaitBoxesClosed(boxes));
      // The mode thread now waits for the baton, which this click holds.
      std::this_thread::sleep_for(5ms);
      probe->BeginCycle(mode);  // the run that start makes is the cycle's now
      probe->Arm(fw::clock::Now(), GateKind::AnyYield,
                 [&] { playingAtFirstYield = ShowsPlayingState(); });
      EXPECT_NO_THROW(Control<fw::PushButton>("play").Press());
    });
    EXPECT_EQ(probe->Await(), Probe::Outcome::Held) << "start did not start the mode again";
    EXPECT_NE(probe->CycleRun(), ended);
    EXPECT_TRUE(playingAtFirstYield);
    probe->Release();
    StopOrSeeItsOwnEnd();
    ASSERT_TRUE(WaitUntilNoThreadRuns(kPatience));
    EXPECT_EQ(SoundingProblems(), "");
    EXPECT_EQ(IdleProblems(), "");
  }
}

TEST_F(StressTest, StartBeforeTheModesOwnFarewellIsShownShowsItThenStartsTheMode) {
  // As on a screen, a mode thread's farewell box waits for the GUI thread to
  // show it, and the idle state comes first: a start handled in between (start
  // is enabled) waits for a run that cannot end before this thread shows its box.
  fw::random::SetSeed(SeedFromEnvironment() + 5);
  platform->BoxesWaitForGuiThread();
  for (int mode : {kOneShot, kOriginal, kOneShotEnd}) {
    SCOPED_TRACE(kModes[mode].caption);
    watchdog.Pet(std::string("start before the farewell of ") + kModes[mode].caption);
    const int messagesBefore = static_cast<int>(platform->Messages().size());
    probe->BeginCycle(mode);
    Select(kModes[mode].button);
    Click("play");
    ASSERT_TRUE(AwaitWaitingBox()) << "the mode did not end by itself";
    const std::uint64_t ended = probe->CycleRun();
    EXPECT_EQ(IdleProblems(), "");

    bool playingAtFirstYield = false;
    bool farewellShownFirst = false;
    probe->BeginCycle(mode);
    probe->Arm(fw::clock::Now(), GateKind::AnyYield, [&] {
      playingAtFirstYield = ShowsPlayingState();
      farewellShownFirst = !platform->HasWaitingMessage();
    });
    AsEvent([&] { EXPECT_NO_THROW(Control<fw::PushButton>("play").Press()); });
    ASSERT_FALSE(HasFailure());
    ASSERT_EQ(probe->Await(), Probe::Outcome::Held) << "start did not start the mode again";
    EXPECT_NE(probe->CycleRun(), ended);
    EXPECT_TRUE(playingAtFirstYield);
    EXPECT_TRUE(farewellShownFirst);
    probe->Release(false);

    // The new run plays to its own end and shows its own farewell.
    ASSERT_TRUE(AwaitWaitingBox()) << "the new run did not end by itself";
    EXPECT_EQ(IdleProblems(), "");
    EXPECT_TRUE(platform->ShowWaitingMessage());
    ASSERT_TRUE(WaitUntilNoThreadRuns(kPatience));
    EXPECT_EQ(SoundingProblems(), "");
    EXPECT_EQ(static_cast<int>(platform->Messages().size()), messagesBefore + 2);
  }
  EXPECT_EQ(probe->StopMessages(), 0);
  EXPECT_EQ(probe->FarewellProblems(), "");
}

TEST_F(StressTest, LoopedModeEndsItsOwnThreadWhenItsRunFlagDrops) {
  // Stop disabled without a kill: the loop ends at its next check and the mode
  // kills its own thread, leaving the mode buttons as they are.
  const std::uint32_t seed = SeedFromEnvironment() + 4;
  std::printf("[ stress   ] seed %u\n", seed);
  fw::random::SetSeed(seed);
  std::mt19937 rng(seed);
  Select("LoopedButton");
  const int rounds = kSanitized ? 6 : 20;
  for (int round = 0; round < rounds && !HasFailure(); ++round) {
    const double at = std::uniform_real_distribution<double>(0, 30e6)(rng);
    std::ostringstream what;
    what << "seed " << seed << " round " << round << ": run flag drops at " << at << " us";
    SCOPED_TRACE(what.str());
    watchdog.Pet(what.str());
    probe->BeginCycle(kLooped);
    const int messagesBefore = static_cast<int>(platform->Messages().size());
    probe->Arm(fw::clock::Now() + at, round % 2 ? GateKind::PassYield : GateKind::WaitYield);
    ASSERT_NO_THROW(Click("play"));
    ASSERT_EQ(probe->Await(), Probe::Outcome::Held);
    probe->Release(false);
    AsEvent([&] { Control<fw::PushButton>("stop").Enabled(false); });
    ASSERT_TRUE(WaitUntilNoThreadRuns(kPatience)) << "looped did not end its own thread";
    EXPECT_EQ(SoundingProblems(), "");
    EXPECT_EQ(static_cast<int>(platform->Messages().size()), messagesBefore);
    AsEvent([&] {
      EXPECT_TRUE(Control<fw::PushButton>("play").Enabled());
      EXPECT_FALSE(Control<fw::PushButton>("stop").Enabled());
      EXPECT_FALSE(Control<fw::ProgressWheel>("ProgressWheel1").Visible());
      for (const ModeInfo& mode : kModes)
        EXPECT_FALSE(Control<fw::RadioButton>(mode.button).Enabled());
    });
    if (round % 2 == 1) {
      // Start works again on the thread that killed itself; stop then ends it.
      ASSERT_NO_THROW(Click("play"));
      bool playing = false;
      AsEvent([&] { playing = ShowsPlayingState(); });
      EXPECT_TRUE(playing);
      EXPECT_TRUE(PressStop());
      probe->EndStop();
      EXPECT_EQ(SoundingProblems(), "");
      EXPECT_EQ(IdleProblems(), "");
      EXPECT_EQ(static_cast<int>(platform->Messages().size()), messagesBefore + 1);
      ASSERT_TRUE(WaitUntilNoThreadRuns(kPatience));
    }
  }
  EXPECT_EQ(probe->RunMessages(), 0);
}

}  // namespace
