// The audio stream's life, on a stand-in device whose render thread runs ten
// times faster than real time: open for a start or a note, closed once
// silent, a lost device (not a stalled one) reported once and tried again at
// once only by a start, quietly now and then while notes come. Where a test
// needs something to happen while the stream is at a step, the stand-in holds
// that step rather than the test relying on how fast the threads run.
#include "framework/sound/audio_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;
constexpr int kRate = 48000;

struct DeviceControls {
  std::atomic<bool> answers{true};
  std::atomic<bool> loud{false};
  std::atomic<bool> stalls{false};
  std::atomic<bool> dies{false};
  std::atomic<int> opens{0};
  // Attempts that try every output, and quiet ones with the output that worked.
  std::atomic<int> probes{0};
  std::atomic<int> retries{0};
  std::atomic<int> closes{0};
  std::atomic<int> losses{0};
  std::atomic<bool> openBlocks{false};
  std::atomic<bool> closeBlocks{false};
  std::atomic<bool> closedFromRenderThread{false};
  std::atomic<int> rate{kRate};
  // Frames it renders before it stalls for good; negative: no end.
  std::atomic<int> framesLeft{-1};
};

class StandInDevice : public fw::sound::AudioDevice {
 public:
  explicit StandInDevice(DeviceControls& controls) : controls_(controls) {}
  ~StandInDevice() override { Close(); }

  bool Open(fw::sound::AudioStream& stream, std::string* why, bool again) override {
    ++(again ? controls_.retries : controls_.probes);
    ++controls_.opens;
    // A sound server slow to answer.
    while (controls_.openBlocks) std::this_thread::sleep_for(1ms);
    if (!controls_.answers) {
      *why = "nothing answers";
      return false;
    }
    running_ = true;
    render_ = std::thread([this, &stream] {
      renderThread_ = std::this_thread::get_id();
      while (running_) {
        if (controls_.dies) {
          std::lock_guard lock(mutex_);
          messages_.push_back("connection terminated");
          return;
        }
        if (!controls_.stalls && controls_.framesLeft != 0) {
          int frames = controls_.rate / 100;
          if (controls_.framesLeft > 0) {
            frames = std::min(frames, controls_.framesLeft.load());
            controls_.framesLeft -= frames;
          }
          stream.Rendered(frames, controls_.loud ? 0.5f : 0.0f);
        }
        std::this_thread::sleep_for(1ms);
      }
    });
    return true;
  }

  void Close() override {
    if (!render_.joinable()) return;
    if (std::this_thread::get_id() == renderThread_) controls_.closedFromRenderThread = true;
    ++controls_.closes;
    // A frozen sound server: the driver's thread is stuck in a write.
    while (controls_.closeBlocks) std::this_thread::sleep_for(1ms);
    running_ = false;
    render_.join();
  }

  std::vector<std::string> TakeMessages() override {
    std::lock_guard lock(mutex_);
    return std::exchange(messages_, {});
  }
  double SampleRate() const override { return controls_.rate; }
  void Lost() override { ++controls_.losses; }

 private:
  DeviceControls& controls_;
  std::thread render_;
  std::atomic<bool> running_{false};
  std::atomic<std::thread::id> renderThread_{};
  std::mutex mutex_;
  std::vector<std::string> messages_;
};

class AudioStreamTest : public ::testing::Test {
 protected:
  AudioStreamTest()
      : stream_(std::make_unique<StandInDevice>(device_), {50ms, 100ms, 5ms, 200ms},
                [this](const std::string& line) {
                  std::lock_guard lock(mutex_);
                  reports_.push_back(line);
                }) {}

  // Bounds a hang only; nothing here is a timing requirement.
  static bool Eventually(const std::function<bool()>& condition) {
    for (auto until = std::chrono::steady_clock::now() + 5s;
         std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(1ms)) {
      if (condition()) return true;
    }
    return condition();
  }
  // The music sounds throughout, so the stream is never closed as idle
  // however long this thread is held up.
  bool OpenWhileSounding() {
    device_.loud = true;
    stream_.Prepare();
    return Eventually([&] { return stream_.IsOpen(); });
  }
  std::vector<std::string> Reports() {
    std::lock_guard lock(mutex_);
    return reports_;
  }

  static std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += "[" + line + "] ";
    return all;
  }

  DeviceControls device_;
  std::mutex mutex_;
  std::vector<std::string> reports_;
  fw::sound::AudioStream stream_;
};

TEST_F(AudioStreamTest, OpensForAStartStaysWhileSoundingClosesWhenSilentOpensForTheNextNote) {
  EXPECT_FALSE(stream_.IsOpen()) << "nothing is opened before it is wanted";
  ASSERT_TRUE(OpenWhileSounding());
  std::this_thread::sleep_for(300ms);  // six times the idle time
  EXPECT_TRUE(stream_.IsOpen()) << "closed while sounding";
  device_.loud = false;
  EXPECT_TRUE(Eventually([&] { return !stream_.IsOpen(); })) << "still open after the sound ended";
  stream_.NoteStarted();
  EXPECT_TRUE(Eventually([&] { return device_.opens == 2; }));
  EXPECT_FALSE(device_.closedFromRenderThread);
  EXPECT_EQ(device_.losses, 0) << "an idle close was taken for a lost output";
  EXPECT_TRUE(Reports().empty());
}

TEST_F(AudioStreamTest, SilenceIsCountedAtTheOpenStreamsOwnRate) {
  // 300 silent frames, then nothing: 62.5 ms at this rate, over the idle
  // time, but 6.25 ms at the usual 48 kHz.
  device_.rate = 4800;
  device_.framesLeft = 300;
  stream_.Prepare();
  ASSERT_TRUE(Eventually([&] { return device_.opens == 1; }));
  EXPECT_TRUE(Eventually([&] { return !stream_.IsOpen(); })) << "silence counted at another rate";
}

TEST_F(AudioStreamTest, ALostDeviceComesBackByItselfWhileNotesComeAndSaysSoOnce) {
  ASSERT_TRUE(OpenWhileSounding());
  device_.stalls = true;  // a server slow to take the stream has not gone
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(stream_.IsOpen()) << "a stall was taken for a lost device";
  device_.stalls = false;
  device_.answers = false;
  device_.dies = true;
  ASSERT_TRUE(Eventually([&] { return !stream_.IsOpen(); }));
  EXPECT_EQ(device_.losses, 1) << "the output was not told it was lost";
  device_.dies = false;
  // The music goes on: its notes get a quiet retry now and then, not one each.
  const auto lost = std::chrono::steady_clock::now();
  for (int note = 0; note < 100; ++note) {
    stream_.NoteStarted();
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_TRUE(Eventually([&] {
    stream_.NoteStarted();
    return device_.retries >= 1;
  })) << "no retry while the music went on";
  const auto intervals = (std::chrono::steady_clock::now() - lost) / 200ms;
  EXPECT_LE(device_.retries, intervals + 2) << "the notes probed the device each time";
  EXPECT_EQ(device_.probes, 1) << "a note probed every output";
  ASSERT_EQ(Reports().size(), 1u) << "a failed retry is quiet: " << Joined(Reports());
  EXPECT_NE(Reports()[0].find("connection terminated"), std::string::npos) << Reports()[0];
  device_.answers = true;
  EXPECT_TRUE(Eventually([&] {
    stream_.NoteStarted();
    return stream_.IsOpen();
  })) << "the sound did not come back by itself";
  ASSERT_EQ(Reports().size(), 2u) << Joined(Reports());
  EXPECT_NE(Reports()[1].find("the sound is back"), std::string::npos) << Reports()[1];
}

TEST_F(AudioStreamTest, WhileALostStreamClosesANoteWaitsForTheQuietRetryAStartTriesAtOnce) {
  ASSERT_TRUE(OpenWhileSounding());
  device_.answers = false;
  device_.closeBlocks = true;  // so that the note comes while the lost stream closes
  device_.dies = true;
  ASSERT_TRUE(Eventually([&] { return device_.closes == 1; }));
  device_.dies = false;
  stream_.NoteStarted();
  device_.closeBlocks = false;
  ASSERT_TRUE(Eventually([&] {
    stream_.NoteStarted();
    return device_.opens >= 2;  // more if this thread was held up
  }));
  ASSERT_TRUE(Eventually([&] { return !stream_.Opening(); }));
  EXPECT_EQ(device_.probes, 1) << "a note probed every output";
  ASSERT_EQ(Reports().size(), 1u) << Joined(Reports());
  EXPECT_NE(Reports()[0].find("connection terminated"), std::string::npos) << Reports()[0];

  // The quiet retry brings it back; then it is lost again, and a start comes
  // while it closes.
  device_.answers = true;
  ASSERT_TRUE(Eventually([&] {
    stream_.NoteStarted();
    return stream_.IsOpen();
  }));
  device_.closeBlocks = true;
  device_.dies = true;
  ASSERT_TRUE(Eventually([&] { return device_.closes == 2; }));
  device_.dies = false;
  stream_.Prepare();
  device_.closeBlocks = false;
  EXPECT_TRUE(Eventually([&] { return device_.probes == 2; })) << "the start waited for a retry";
}

TEST_F(AudioStreamTest, AStartDuringAQuietRetryProbesEveryOutputIfTheRetryFails) {
  ASSERT_TRUE(OpenWhileSounding());
  device_.answers = false;
  device_.openBlocks = true;  // the start comes while the retry waits for an answer
  device_.dies = true;
  ASSERT_TRUE(Eventually([&] {
    stream_.NoteStarted();
    return device_.retries == 1;
  }));
  device_.dies = false;
  stream_.Prepare();
  device_.openBlocks = false;
  ASSERT_TRUE(Eventually([&] { return !stream_.Opening(); }));
  EXPECT_EQ(device_.probes, 2) << "the failed retry was taken for the start's attempt";
  ASSERT_EQ(Reports().size(), 2u) << Joined(Reports());
  EXPECT_NE(Reports()[1].find("nothing answers"), std::string::npos) << Reports()[1];

  // A retry that opens answers the start: nothing more is tried.
  device_.answers = true;
  device_.openBlocks = true;
  ASSERT_TRUE(Eventually([&] {
    stream_.NoteStarted();
    return device_.retries == 2;
  }));
  stream_.Prepare();
  device_.openBlocks = false;
  ASSERT_TRUE(Eventually([&] { return !stream_.Opening(); })) << "a start left pending";
  EXPECT_TRUE(stream_.Answered());
  EXPECT_EQ(device_.probes, 2);
}

TEST_F(AudioStreamTest, WithoutNotesOnlyAStartOpensAgainAndItTriesAtOnce) {
  ASSERT_TRUE(OpenWhileSounding());
  device_.dies = true;
  ASSERT_TRUE(Eventually([&] { return Reports().size() == 1; })) << "the loss was not reported";
  device_.dies = false;
  std::this_thread::sleep_for(500ms);  // over two retry intervals, with no music
  EXPECT_EQ(device_.opens, 1) << "tried again with nothing to play";
  stream_.Prepare();
  EXPECT_TRUE(Eventually([&] { return stream_.IsOpen(); }));
  EXPECT_EQ(device_.retries, 0) << "a start probes every output, not the quiet retry";
}

TEST_F(AudioStreamTest, ShutdownGivesUpOnADeviceThatDoesNotClose) {
  ASSERT_TRUE(OpenWhileSounding());
  device_.closeBlocks = true;
  EXPECT_FALSE(stream_.Shutdown(100ms)) << "reported closed while the device still held on";
  device_.closeBlocks = false;  // the server wakes up; the worker can end
  EXPECT_TRUE(stream_.Shutdown(5s));
}

TEST_F(AudioStreamTest, ADeviceThatDoesNotAnswerIsReportedOncePerStartNotPerNote) {
  device_.answers = false;
  stream_.Prepare();
  ASSERT_TRUE(Eventually([&] { return Reports().size() == 1; }));
  for (int note = 0; note < 20; ++note) stream_.NoteStarted();
  std::this_thread::sleep_for(50ms);
  // A quiet retry is due if this thread was held up for a retry interval.
  EXPECT_EQ(device_.probes, 1) << "the notes probed every output again";
  stream_.Prepare();
  ASSERT_TRUE(Eventually([&] { return Reports().size() >= 2; }));
  EXPECT_EQ(device_.probes, 2);
  ASSERT_EQ(Reports().size(), 2u);
  EXPECT_NE(Reports()[1].find("nothing answers"), std::string::npos) << Reports()[1];
  EXPECT_FALSE(stream_.Answered());
}

TEST_F(AudioStreamTest, ABestGuessOpensAClosedStreamQuietlyAndLeavesAFailureToTheStart) {
  // Nothing answers the guess, quietly; the start after it probes again and
  // says so, once.
  device_.answers = false;
  stream_.Anticipate();
  ASSERT_TRUE(Eventually([&] { return device_.opens == 1 && !stream_.Opening(); }));
  EXPECT_TRUE(Reports().empty()) << Joined(Reports());
  stream_.Prepare();
  ASSERT_TRUE(Eventually([&] { return device_.opens == 2 && !stream_.Opening(); }));
  EXPECT_EQ(device_.probes, 1);
  ASSERT_EQ(Reports().size(), 1u) << Joined(Reports());
  EXPECT_NE(Reports()[0].find("nothing answers"), std::string::npos) << Reports()[0];
  // After a failure a guess tries nothing, even once a retry would be due:
  // only a start, or notes that play on, do.
  std::this_thread::sleep_for(250ms);
  stream_.Anticipate();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(device_.opens, 2);
  EXPECT_EQ(Reports().size(), 1u) << Joined(Reports());

  // With an output, a stream closed as idle opens on a guess alone.
  device_.answers = true;
  stream_.Prepare();
  ASSERT_TRUE(Eventually([&] { return stream_.IsOpen(); }));
  ASSERT_TRUE(Eventually([&] { return !stream_.IsOpen(); }));
  const int opens = device_.opens;
  const std::size_t reports = Reports().size();
  stream_.Anticipate();
  EXPECT_TRUE(Eventually([&] { return device_.opens == opens + 1; }));
  EXPECT_EQ(Reports().size(), reports) << Joined(Reports());
}

TEST_F(AudioStreamTest, OpeningHoldsFromAStartUntilItsAttemptHasOpenedOrFailed) {
  EXPECT_FALSE(stream_.Opening());
  device_.answers = false;
  device_.openBlocks = true;  // the attempt cannot end before it is looked at
  stream_.Prepare();
  EXPECT_TRUE(stream_.Opening()) << "a start to be tried";
  ASSERT_TRUE(Eventually([&] { return device_.opens == 1; }));
  EXPECT_TRUE(stream_.Opening()) << "while the attempt runs";
  device_.openBlocks = false;
  ASSERT_TRUE(Eventually([&] { return !stream_.Opening(); }));
  EXPECT_FALSE(stream_.Answered());
  EXPECT_EQ(Reports().size(), 1u) << "the attempt looked over before it was reported";

  device_.answers = true;
  device_.openBlocks = true;
  stream_.Prepare();
  EXPECT_TRUE(stream_.Opening()) << "a start after a failure is tried at once";
  device_.openBlocks = false;
  ASSERT_TRUE(Eventually([&] { return !stream_.Opening(); }));
  EXPECT_TRUE(stream_.Answered());

  EXPECT_TRUE(stream_.Shutdown(5s));
  stream_.Prepare();
  EXPECT_FALSE(stream_.Opening()) << "a wait for a stream that has shut down never ends";
}

}  // namespace
