#include "framework/sound/audio_stream.h"

#include <cstdio>

#include "framework/core/clock.h"

namespace fw::sound {
namespace {
// -80 dBFS: nothing a person could hear.
constexpr float kAudible = 1e-4f;

void PrintLine(const std::string& line) { std::fprintf(stderr, "velumbra17: %s\n", line.c_str()); }
}  // namespace

AudioStream::AudioStream(std::unique_ptr<AudioDevice> device, StreamTiming timing, Report report)
    : device_(std::move(device)),
      timing_(timing),
      report_(report ? std::move(report) : Report(PrintLine)) {
  worker_ = std::thread([this] { Run(); });
}

AudioStream::~AudioStream() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  worker_.join();
}

bool AudioStream::Shutdown(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  quit_ = true;
  wake_.notify_all();
  return finishedChanged_.wait_for(lock, limit, [&] { return finished_; });
}

void AudioStream::Prepare() { Request(Asker::Start); }

void AudioStream::NoteStarted() { Request(Asker::Note); }

void AudioStream::Anticipate() { Request(Asker::Guess); }

void AudioStream::Request(Asker asker) {
  std::lock_guard lock(mutex_);
  // After a failure a guess is no request: it neither tries nor keeps the
  // quiet retries going; a start probes, and says so.
  if (state_ == State::Failed && asker == Asker::Guess) return;
  lastRequest_ = std::chrono::steady_clock::now();
  if (state_ == State::Open) return;
  const bool start = asker == Asker::Start;
  // An attempt answers what is asked while it runs, but a quiet retry tries
  // one output only: should it fail, a start still probes them all.
  if (state_ == State::Opening && !(start && retrying_)) return;
  // After a failure only a start tries at once; the notes get the quiet retries.
  if (state_ == State::Failed && !start) return;
  // Only a guess fails unsaid; an attempt asked for in earnest stays so.
  quietlyWanted_ = asker == Asker::Guess && (!wanted_ || quietlyWanted_);
  wanted_ = true;
  wake_.notify_all();
}

void AudioStream::Rendered(int frames, float peak) {
  const std::int64_t total = frames_.fetch_add(frames, std::memory_order_relaxed) + frames;
  if (peak > kAudible) lastAudibleFrame_.store(total, std::memory_order_relaxed);
}

bool AudioStream::IsOpen() const {
  std::lock_guard lock(mutex_);
  return state_ == State::Open;
}

bool AudioStream::Opening() const {
  std::lock_guard lock(mutex_);
  return !quit_ && (wanted_ || state_ == State::Opening);
}

bool AudioStream::Answered() const {
  std::lock_guard lock(mutex_);
  return answered_;
}

double AudioStream::OpenedAt() const {
  std::lock_guard lock(mutex_);
  return openedAt_;
}

bool AudioStream::RetryDue(std::chrono::steady_clock::time_point now) const {
  return state_ == State::Failed && now - lastRequest_ < timing_.retryEvery &&
         now - lastAttempt_ >= timing_.retryEvery;
}

void AudioStream::Run() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    if (state_ == State::Open) {
      wake_.wait_for(lock, timing_.checkEvery, [&] { return quit_; });
      if (!quit_) Check(lock);
    } else if (state_ == State::Failed) {
      wake_.wait_for(lock, timing_.checkEvery, [&] { return quit_ || wanted_; });
      if (quit_) break;
      if (wanted_) {
        OpenDevice(lock, false);
      } else if (RetryDue(std::chrono::steady_clock::now())) {
        OpenDevice(lock, true);
      }
    } else {
      wake_.wait(lock, [&] { return quit_ || wanted_; });
      if (!quit_) OpenDevice(lock, quietlyWanted_);
    }
  }
  if (state_ == State::Open) CloseDevice(lock, false);
  finished_ = true;
  finishedChanged_.notify_all();
}

void AudioStream::OpenDevice(std::unique_lock<std::mutex>& lock, bool again) {
  // This attempt answers the requests made so far.
  wanted_ = false;
  quietlyWanted_ = false;
  state_ = State::Opening;
  retrying_ = again;
  lastAttempt_ = std::chrono::steady_clock::now();
  lock.unlock();
  std::string why;
  const bool opened = device_->Open(*this, &why, again);
  const double at = clock::RealNow();
  lock.lock();
  answered_ = opened;
  if (!opened) {
    state_ = State::Failed;
    if (!again) {
      report_("no usable audio device (" + why + "); playing silently");
      silenceReported_ = true;
    }
    return;
  }
  if (silenceReported_) report_("the sound is back");
  silenceReported_ = false;
  wanted_ = false;  // a start that came during a retry has its stream
  state_ = State::Open;
  sampleRate_ = device_->SampleRate();
  openedAt_ = at;
  framesAtCheck_ = frames_.load();
  lastAudibleFrame_.store(framesAtCheck_);
  lastProgress_ = std::chrono::steady_clock::now();
}

void AudioStream::Check(std::unique_lock<std::mutex>& lock) {
  const auto now = std::chrono::steady_clock::now();
  // Messages before frames: a block counted after this was rendered after them.
  std::vector<std::string> messages = device_->TakeMessages();
  const std::int64_t frames = frames_.load();
  if (frames != framesAtCheck_) {
    lastProgress_ = now;
    // The render thread went on after reporting these, so they did not end it.
    for (const std::string& message : pending_) report_(message);
    pending_.clear();
  }
  framesAtCheck_ = frames;
  for (std::string& message : messages) pending_.push_back(std::move(message));

  // A stall alone is no loss (a sound server may be slow to take a new
  // stream); a render thread that reported an error and rendered nothing since is.
  if (!pending_.empty() && now - lastProgress_ >= timing_.stalledBeforeLost) {
    CloseDevice(lock, true);
    return;
  }
  const auto silentMs = static_cast<std::int64_t>(
      static_cast<double>(frames - lastAudibleFrame_.load()) * 1000 / sampleRate_);
  if (silentMs >= timing_.idleBeforeClose.count() &&
      now - lastRequest_ >= timing_.idleBeforeClose) {
    CloseDevice(lock, false);
  }
}

void AudioStream::CloseDevice(std::unique_lock<std::mutex>& lock, bool lost) {
  // Notes that come while a lost stream closes wait for the quiet retry like
  // those after it; a start tries again at once.
  state_ = lost ? State::Failed : State::Closing;
  lock.unlock();
  if (lost) device_->Lost();
  device_->Close();
  std::vector<std::string> last = device_->TakeMessages();
  lock.lock();
  pending_.insert(pending_.end(), last.begin(), last.end());
  if (lost) {
    report_("the audio stream stopped (" + pending_.front() + "); trying to open it again");
    silenceReported_ = true;
  } else {
    for (const std::string& message : pending_) report_(message);
    state_ = State::Closed;
  }
  pending_.clear();
}

}  // namespace fw::sound
