#pragma once
// The audio stream, open only while something can sound: a running stream
// costs the program and the sound server CPU even when silent. A worker
// thread opens and closes the device, so that neither the GUI nor a mode
// thread waits for it and a device is never closed from its own render thread.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fw::sound {

class AudioStream;

// What the stream opens and closes: an output whose own thread renders
// blocks and tells the stream about each through AudioStream::Rendered.
class AudioDevice {
 public:
  virtual ~AudioDevice() = default;
  // False when no output answered; *why then says what the first one said.
  // `again`: a quiet retry with the output that worked before, if any.
  virtual bool Open(AudioStream& stream, std::string* why, bool again) = 0;
  // Returns once the render thread has ended.
  virtual void Close() = 0;
  // What the render thread reported since the last call.
  virtual std::vector<std::string> TakeMessages() = 0;
  // Frames a second of the stream last opened.
  virtual double SampleRate() const = 0;
  // The stream was lost, its output gone away: what was learned of the
  // output may not hold when it comes back. Called before Close().
  virtual void Lost() {}
};

struct StreamTiming {
  // Silence (and no new note) for this long closes the stream.
  std::chrono::milliseconds idleBeforeClose{1500};
  // A stream that renders nothing for this long after its render thread
  // reported an error has lost its device.
  std::chrono::milliseconds stalledBeforeLost{200};
  std::chrono::milliseconds checkEvery{50};
  // While music goes on without a stream, it is tried again this often.
  std::chrono::milliseconds retryEvery{2000};
};

class AudioStream {
 public:
  using Report = std::function<void(const std::string& line)>;
  // Report gets each line for a person to read (default: stderr).
  AudioStream(std::unique_ptr<AudioDevice> device, StreamTiming timing = {}, Report report = {});
  ~AudioStream();
  AudioStream(const AudioStream&) = delete;
  AudioStream& operator=(const AudioStream&) = delete;

  // Something is about to play: open, even if the last attempt failed, and
  // open anew if the stream turns out to have been lost.
  void Prepare();
  // A note starts: open unless the last attempt failed (no device is
  // probed again per note: while notes come, a quiet retry every retryEvery).
  void NoteStarted();
  // Something may play soon: a closed stream opens, quietly should no output
  // answer. After a failure nothing is tried: a start probes, and says so.
  void Anticipate();
  // From the render thread after each block; peak is its loudest sample.
  void Rendered(int frames, float peak);

  bool IsOpen() const;
  // From a request that leads to an attempt to open until that attempt has
  // ended: after a Prepare(), wait while this holds, then IsOpen() or
  // Answered() says how it went. False once shutting down.
  bool Opening() const;
  // True when the last attempt to open found a device.
  bool Answered() const;
  // Real clock (µs) when the device last opened; negative before that.
  double OpenedAt() const;
  // Closes the stream and ends the worker; false if that took longer than
  // limit (a sound server that does not answer), and then this object must
  // be left alive: the worker still uses it.
  bool Shutdown(std::chrono::milliseconds limit);

 private:
  // Closing is an idle stream's close; a lost one is Failed while it closes.
  enum class State { Closed, Opening, Open, Closing, Failed };
  // A note, a start, or a guess that something may start (Anticipate).
  enum class Asker { Note, Start, Guess };
  void Request(Asker asker);
  void Run();
  // While the music plays on without a stream, a quiet retry is due.
  bool RetryDue(std::chrono::steady_clock::time_point now) const;
  void OpenDevice(std::unique_lock<std::mutex>& lock, bool again);
  // One look at an open stream; closes it when idle or lost.
  void Check(std::unique_lock<std::mutex>& lock);
  void CloseDevice(std::unique_lock<std::mutex>& lock, bool lost);

  std::unique_ptr<AudioDevice> device_;
  // The open stream's, for its silence in time.
  double sampleRate_ = 0;
  const StreamTiming timing_;
  Report report_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finishedChanged_;
  State state_ = State::Closed;
  bool wanted_ = false;
  // What is wanted is only an anticipation: a failure to open goes unsaid.
  bool quietlyWanted_ = false;
  bool quit_ = false;
  bool finished_ = false;
  // A loss or a failure was reported: the next stream that opens says so.
  bool silenceReported_ = false;
  bool answered_ = false;
  // The attempt under way is a quiet retry, with one output only.
  bool retrying_ = false;
  double openedAt_ = -1;
  std::chrono::steady_clock::time_point lastRequest_{};
  std::chrono::steady_clock::time_point lastProgress_{};
  std::chrono::steady_clock::time_point lastAttempt_{};
  std::int64_t framesAtCheck_ = 0;
  // Render-thread messages taken at the last check, printed once the stream
  // has rendered on after them; folded into the line if the stream is lost.
  std::vector<std::string> pending_;

  std::atomic<std::int64_t> frames_{0};
  std::atomic<std::int64_t> lastAudibleFrame_{0};
  std::thread worker_;
};

}  // namespace fw::sound
