#include "bench/trace_recorder.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <algorithm>

#include "framework/core/clock.h"
#include "framework/core/scheduler.h"

namespace bench {

void Tokenizer::EmitWait(bool complete) {
  Token token{Token::Wait, 0, 0, 0, {}};
  token.t = wait_.origin;
  token.wait = wait_;
  token.wait.complete = complete;
  out_->push_back(token);
}

// Ends whatever is open before a call that cannot belong to a wait.
void Tokenizer::Close() {
  switch (state_) {
    case State::Idle:
    case State::Origin:  // a lone read: not the start of a wait after all
      break;
    case State::InWait:
      EmitWait(true);
      break;
    case State::InWaitYielded:
      EmitWait(true);
      out_->push_back({Token::PassYield, 0, 0, pendingYield_, {}});
      break;
  }
  state_ = State::Idle;
}

void Tokenizer::OnRead(double reading) {
  switch (state_) {
    case State::Idle:
      wait_ = {};
      wait_.origin = reading;
      state_ = State::Origin;
      break;
    case State::Origin:
      wait_.previous = wait_.origin;
      wait_.last = reading;
      state_ = State::InWait;
      break;
    case State::InWait:
      // A read with no yield since the last test: the wait ended, a new one begins.
      EmitWait(true);
      wait_ = {};
      wait_.origin = reading;
      state_ = State::Origin;
      break;
    case State::InWaitYielded:
      wait_.previous = wait_.last;
      wait_.last = reading;
      ++wait_.yields;
      state_ = State::InWait;
      break;
  }
}

void Tokenizer::OnYield(double t) {
  switch (state_) {
    case State::InWait:
      state_ = State::InWaitYielded;
      pendingYield_ = t;
      return;
    case State::InWaitYielded:
      Close();
      break;
    default:
      state_ = State::Idle;
      break;
  }
  out_->push_back({Token::PassYield, 0, 0, t, {}});
}

void Tokenizer::OnNote(int note, int velocity, double t) {
  Close();
  out_->push_back({Token::Note, note, velocity, t, {}});
}

void Tokenizer::OnInstrument(int instrument, double t) {
  Close();
  out_->push_back({Token::Instrument, instrument, 0, t, {}});
}

void Tokenizer::Finish() {
  // Killed inside a yield: the wait never saw its end.
  if (state_ == State::InWaitYielded) {
    EmitWait(false);
    state_ = State::Idle;
  }
  Close();
}

namespace {
double ThreadCpuMicros() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}
}  // namespace

namespace {
constexpr std::size_t kReservedTokens = 1 << 15;  // a whole mode needs about 3000
}  // namespace

Recorder::Recorder() {
  spare_.resize(kReservedTokens);
  spare_.clear();
}

void Recorder::OnEvent(const fw::trace::Event& event, std::uint64_t thread) {
  using fw::trace::Kind;
  std::lock_guard lock(mutex_);
  auto [stream, newStream] = streams_.try_emplace(thread);
  if (newStream && thread != 0 && spare_.capacity() != 0) stream->second.tokens.swap(spare_);
  Tokenizer& tokenizer = stream->second.tokenizer;
  switch (event.kind) {
    case Kind::ClockRead:
      tokenizer.OnRead(event.clock);
      break;
    case Kind::Yield:
      tokenizer.OnYield(event.clock);
      break;
    case Kind::Instrument:
      tokenizer.OnInstrument(event.note, event.clock);
      break;
    case Kind::Note: {
      tokenizer.OnNote(event.note, event.velocity, event.clock);
      if (thread == 0) break;
      // Sampled at note calls only: a few a second, so the sampling costs nothing.
      const double cpu = ThreadCpuMicros();
      const double wall = fw::clock::RealNow();
      auto [it, fresh] = cpu_.try_emplace(thread);
      if (fresh) {
        it->second.firstWall = wall;
        it->second.firstCpu = cpu;
        it->second.policy = sched_getscheduler(0);
      }
      it->second.lastWall = wall;
      it->second.lastCpu = cpu;
      break;
    }
  }
}

void Recorder::Finish() {
  std::lock_guard lock(mutex_);
  for (auto& [thread, stream] : streams_) stream.tokenizer.Finish();
}

void Recorder::Install() {
  fw::trace::SetHook(
      [this](const fw::trace::Event& event) { OnEvent(event, fw::scheduler::CurrentRunId()); });
}

void Recorder::Uninstall() { fw::trace::SetHook(nullptr); }

const std::vector<Token>& Recorder::Tokens(std::uint64_t thread) {
  std::lock_guard lock(mutex_);
  return streams_[thread].tokens;
}

std::vector<std::uint64_t> Recorder::Threads() const {
  std::lock_guard lock(mutex_);
  std::vector<std::uint64_t> ids;
  for (const auto& [thread, stream] : streams_) ids.push_back(thread);
  return ids;
}

std::vector<Token> Recorder::ModeTokens() {
  std::lock_guard lock(mutex_);
  std::vector<Token> tokens;
  for (const auto& [thread, stream] : streams_) {
    if (thread != 0) tokens.insert(tokens.end(), stream.tokens.begin(), stream.tokens.end());
  }
  return tokens;
}

std::vector<Token> Recorder::NoteCalls() {
  std::lock_guard lock(mutex_);
  std::vector<Token> notes;
  for (const auto& [thread, stream] : streams_) {
    for (const Token& token : stream.tokens) {
      if (token.kind == Token::Note) notes.push_back(token);
    }
  }
  std::stable_sort(notes.begin(), notes.end(),
                   [](const Token& a, const Token& b) { return a.t < b.t; });
  return notes;
}

std::map<std::uint64_t, ThreadCpu> Recorder::Cpu() const {
  std::lock_guard lock(mutex_);
  return cpu_;
}

}  // namespace bench
