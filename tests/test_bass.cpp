// The audio layer: error codes, the position on SDL's dummy driver (real
// time), and the position against a simulated output whose every pull, report
// and clock reading the test chooses.
#include "app/time_sources.h"
#include "platform/audio_decode.h"
#include "platform/bass.h"
#include "tools/shared_kit/audio_kit.h"
#include "tools/shared_kit/show_seam.h"
#include "tests/support/gl_test.h"
#include "tools/generators/soundgen/mp3_encode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

// An MP3 of `seconds` of a quiet 440 Hz tone; `clickAt` >= 0 puts a loud
// click of 8 samples from that file frame on.
static std::vector<uint8_t> ToneMp3(int rate, int channels, double seconds, int clickAt = -1) {
  const size_t frames = size_t(seconds * rate);
  std::vector<int16_t> pcm(frames * size_t(channels));
  for (size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      pcm[i * size_t(channels) + size_t(c)] = int16_t(1000.0 * std::sin(2.0 * M_PI * 440.0 * double(i) / rate));
  for (size_t i = size_t(std::max(clickAt, 0)); clickAt >= 0 && i < size_t(clickAt) + 8 && i < frames; ++i)
    for (int c = 0; c < channels; ++c) pcm[i * size_t(channels) + size_t(c)] = 30000;
  std::vector<uint8_t> mp3;
  EXPECT_TRUE(EncodeMp3(pcm.data(), frames, channels, rate, 128, &mp3));
  return mp3;
}

// LAME's encoder delay plus libmpg123's decoder delay, in file frames: the
// layer plays them (they are decoded audio), so a file's first sample of
// music comes that much after position 0.
static const int kCodecDelay = 576 + 529;

static double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(Bass, CallsBeforeInitAnswerCode8) {
  EXPECT_EQ(BASS_GetVersion(), 0x80000u);
  EXPECT_EQ(BASS_Start(), 0);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
  EXPECT_EQ(BASS_StreamCreateFile(0, "TrailerLOW.mp3", 0, 0, 0x20000), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
  EXPECT_EQ(BASS_ChannelGetPosition(1), 0xFFFFFFFFu);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
  EXPECT_EQ(BASS_Stop(), 0);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}

TEST(Bass, ReportsFilesHandlesAndSecondInit) {
  ScratchDir dir;
  ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
  EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);

  EXPECT_EQ(BASS_StreamCreateFile(0, "TrailerLOW.mp3", 0, 0, 0x20000), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);

  dir.Write("text.mp3", std::vector<uint8_t>(3000, 'x'));
  EXPECT_EQ(BASS_StreamCreateFile(0, "text.mp3", 0, 0, 0x20000), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT);
  dir.Write("empty.mp3", {});
  EXPECT_EQ(BASS_StreamCreateFile(0, "empty.mp3", 0, 0, 0x20000), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT);

  EXPECT_EQ(BASS_StreamPlay(7, 0, 4), 0);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_EQ(BASS_ChannelGetPosition(7), 0xFFFFFFFFu);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);

  dir.Write("song.mp3", ToneMp3(22050, 2, 0.5));
  const HSTREAM stream = BASS_StreamCreateFile(0, "song.mp3", 0, 0, 0x20000);
  ASSERT_EQ(BASS_ErrorGetCode(), BASS_OK);
  EXPECT_NE(stream, 0u);
  EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);  // not playing yet
  EXPECT_EQ(BASS_ChannelSetPosition(stream, 88200), 0);  // past the end
  EXPECT_EQ(BASS_StreamFree(stream + 1), 0);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_TRUE(BASS_StreamFree(stream));
  EXPECT_EQ(BASS_StreamFree(stream), 0);  // freed handles stay invalid
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  const HSTREAM again = BASS_StreamCreateFile(0, "song.mp3", 0, 0, 0x20000);
  EXPECT_NE(again, stream);
}

// The fuzzer's limits cut a decode short; without them a damaged file is read
// on past its damage, as the show reads it.
TEST(Bass, FuzzerLimitsCutTheDecodeTheShowReadsPastDamage) {
  std::vector<uint8_t> mp3 = ToneMp3(22050, 2, 1.0);
  // Over a frame header (its frames are 418 bytes), short of the decoder's 1024-byte resync limit.
  std::fill_n(mp3.begin() + long(mp3.size() / 3), 500, uint8_t(0x55));
  std::vector<int16_t> whole, stopped, capped;
  long rate = 0;
  ASSERT_EQ(DecodeMp3Memory(mp3.data(), mp3.size(), 44100, &whole, &rate), 0);
  ASSERT_EQ(DecodeMp3Memory(mp3.data(), mp3.size(), 44100, &stopped, &rate, {true, 0}), 0);
  EXPECT_GT(whole.size(), 44100u * 2 * 9 / 10);
  EXPECT_GT(stopped.size(), 0u);
  EXPECT_LT(stopped.size(), whole.size() / 2);
  ASSERT_EQ(DecodeMp3Memory(mp3.data(), mp3.size(), 44100, &capped, &rate, {false, 576}), 0);
  ASSERT_EQ(capped.size(), 576u * 2 * 2);  // twice the frames at twice the rate, stereo
  EXPECT_TRUE(std::equal(capped.begin(), capped.begin() + 1024, whole.begin()));
}

TEST(Bass, AFailingOutputReportsItsCode) {
  AudioUseOutput(KitSimulatedOutput(BASS_ERROR_DRIVER));
  EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DRIVER);
  AudioUseOutput(KitSimulatedOutput());
  EXPECT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
}

TEST(Bass, PinnedPositionWinsWithOrWithoutStream) {
  SeamPinStreamPosition(5359744);
  EXPECT_EQ(TimeSources().streamPosition(0), 5359744u);  // no library, no stream
  ScratchDir dir;
  dir.Write("song.mp3", ToneMp3(22050, 2, 0.5));
  ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
  const HSTREAM stream = BASS_StreamCreateFile(0, "song.mp3", 0, 0, 0x20000);
  ASSERT_TRUE(BASS_StreamPlay(stream, 0, 4));
  EXPECT_EQ(TimeSources().streamPosition(stream), 5359744u);
  SeamReleaseStreamPosition();
  EXPECT_LT(TimeSources().streamPosition(stream), 88200u);
}

// Dummy driver: real time, whatever the file's rate, and on past its end.
class DummyDriverPosition : public ::testing::TestWithParam<int> {};

TEST_P(DummyDriverPosition, AdvancesAt88200BytesPerSecondAndNeverBack) {
  ScratchDir dir;
  const int rate = GetParam();
  dir.Write("song.mp3", ToneMp3(rate, rate == 44100 ? 1 : 2, 1.0));
  ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
  BASS_Start();
  const HSTREAM stream = BASS_StreamCreateFile(0, "song.mp3", 0, 0, 0x20000);
  ASSERT_EQ(BASS_ErrorGetCode(), BASS_OK);
  // One second of music and the codecs' delay, in stream bytes whatever the rate.
  EXPECT_NEAR(double(BASS_StreamGetLength(stream)), 88200.0 * (1.0 + double(kCodecDelay) / rate), 88200.0 * 0.03);
  ASSERT_TRUE(BASS_StreamPlay(stream, 0, 4));
  const auto start = std::chrono::steady_clock::now();
  const uint32_t first = BASS_ChannelGetPosition(stream);

  // Many reads in a row, as a frame makes them, then pauses like frames.
  uint32_t previous = first;
  while (SecondsSince(start) < 2.0) {
    for (int i = 0; i < 1000; ++i) {
      const uint32_t now = BASS_ChannelGetPosition(stream);
      ASSERT_GE(now, previous);
      previous = now;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
  }
  const uint32_t last = BASS_ChannelGetPosition(stream);
  const double elapsed = SecondsSince(start);
  // Two seconds of a one-second file: the position went on past the end.
  EXPECT_NEAR(double(last - first) / elapsed, 88200.0, 882.0);
  EXPECT_GT(last, BASS_StreamGetLength(stream) * 3 / 2);
}

INSTANTIATE_TEST_SUITE_P(FileRates, DummyDriverPosition, ::testing::Values(22050, 44100));

TEST(Bass, StopFreezesThePosition) {
  ScratchDir dir;
  dir.Write("song.mp3", ToneMp3(22050, 2, 0.5));
  ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
  const HSTREAM stream = BASS_StreamCreateFile(0, "song.mp3", 0, 0, 0x20000);
  ASSERT_TRUE(BASS_StreamPlay(stream, 0, 4));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(BASS_Stop());
  const uint32_t stopped = BASS_ChannelGetPosition(stream);
  EXPECT_GT(stopped, 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(BASS_ChannelGetPosition(stream), stopped);
}

// A simulated output at 44,100 Hz. Times in nanoseconds, from an uptime of
// `epoch_` (a week, so that any product of uptime and rate would overflow).
class SimulatedOutput : public ::testing::Test {
 protected:
  static constexpr int kBuffer = 512;
  static constexpr int64_t kBufferNanos = int64_t(kBuffer) * 1000000000 / 44100;  // 11.6 ms
  static constexpr int64_t kMs = 1000000;
  static constexpr int64_t kWeek = int64_t(7) * 24 * 3600 * 1000000000;

  void Open(int rate, int channels, double seconds, int clickAt = -1, uint32_t startBytes = 0) {
    dir_.Write("song.mp3", ToneMp3(rate, channels, seconds, clickAt));
    AudioUseOutput(KitSimulatedOutput());
    KitSimSetClock(epoch_);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
    BASS_Start();
    stream_ = BASS_StreamCreateFile(0, "song.mp3", 0, 0, 0x20000);
    ASSERT_EQ(BASS_ErrorGetCode(), BASS_OK);
    if (startBytes) {
      ASSERT_TRUE(BASS_ChannelSetPosition(stream_, startBytes));
    }
    ASSERT_TRUE(BASS_StreamPlay(stream_, 0, 4));
  }
  // A card's callback `at` nanoseconds after the epoch, heard a buffer later.
  const int16_t* Callback(int64_t at) { return KitSimCallback(epoch_ + at, kBuffer, kBuffer); }
  uint32_t PositionAt(int64_t at) {
    KitSimSetClock(epoch_ + at);
    return BASS_ChannelGetPosition(stream_);
  }
  // Reads every millisecond from `from` to `to`: never backwards, no step
  // larger than 2 ms of sound; returns the last position.
  uint32_t ReadSmoothly(int64_t from, int64_t to, uint32_t previous) {
    for (int64_t at = from; at <= to; at += kMs) {
      const uint32_t position = PositionAt(at);
      EXPECT_GE(position, previous) << at;
      EXPECT_LE(position - previous, 2u * 88u + 2u) << at;
      previous = position;
    }
    return previous;
  }

  int64_t epoch_ = kWeek;
  ScratchDir dir_;
  HSTREAM stream_ = 0;
};

TEST_F(SimulatedOutput, PositionIsWhatIsHeardInterpolatedBetweenCallbacks) {
  Open(22050, 2, 1.0);
  EXPECT_EQ(PositionAt(2000), 0u);  // nothing handed over yet, a week of uptime
  Callback(10000);
  EXPECT_EQ(PositionAt(10000 + kBufferNanos / 2), 0u);  // first buffer still queued behind the device's
  int64_t now = 10000;
  for (int k = 1; k <= 20; ++k) {
    now += kBufferNanos;
    Callback(now);
    // At the callback the device starts hearing the buffer handed before.
    EXPECT_NEAR(double(PositionAt(now)), 2.0 * kBuffer * (k - 1), 4.0);
    // Halfway, halfway through it.
    EXPECT_NEAR(double(PositionAt(now + kBufferNanos / 2)), 2.0 * kBuffer * (k - 1) + kBuffer, 4.0);
  }
  // A stalled device: the estimate stops at what was handed over.
  const uint32_t stalled = PositionAt(now + 10 * kBufferNanos);
  EXPECT_EQ(stalled, uint32_t(2 * kBuffer * 20));
  // A callback that comes late must not pull the position back.
  Callback(now + 10 * kBufferNanos);
  EXPECT_GE(PositionAt(now + 10 * kBufferNanos), stalled);
}

TEST_F(SimulatedOutput, JitteredCallbacksGiveASmoothPosition) {
  Open(22050, 2, 1.0);
  // Callbacks early and late by up to 3 ms, reads every millisecond.
  int64_t next = kBufferNanos;
  uint32_t previous = 0;
  for (int k = 1; k <= 400; ++k) {
    Callback(next);
    const int64_t following = (k + 1) * kBufferNanos + ((k * 7919) % 7 - 3) * kMs;
    previous = ReadSmoothly(next - next % kMs + kMs, following - 1, previous);
    next = following;
  }
  EXPECT_NEAR(double(previous), 2.0 * kBuffer * 398, 2.0 * 441 * 4);
}

TEST_F(SimulatedOutput, BurstyPullsFollowTheServersReport) {
  // A sound server that takes 4096 frames at a time, each burst at a slightly
  // different moment, and reports exactly what the sink is playing.
  Open(22050, 2, 3.0);
  const int64_t playing = 250 * kMs;  // the sink plays the first frame here
  uint32_t previous = 0;
  for (int64_t at = 0; at < 2500 * kMs;) {
    KitSimSetClock(epoch_ + at);
    KitSimPull(4096);
    const int64_t heard = (at - playing) * 44100 / 1000000000;
    KitSimReport(heard, epoch_ + at, KitSimPulled());
    const int64_t next = at + 4096 * 1000000000LL / 44100 + ((at / kMs) % 5 - 2) * kMs;
    previous = ReadSmoothly(at, next - kMs, previous);
    // Within a millisecond of what the sink plays.
    const double truth = std::max<double>(0.0, double(next - kMs - playing) * 88200.0 / 1e9);
    EXPECT_NEAR(double(previous), truth, 88.2 + 2.0);
    at = next;
  }
}

TEST_F(SimulatedOutput, AStallHoldsThenTheShowGoesOnByTheClockAndTheSoundCatchesUp) {
  Open(22050, 2, 5.0);
  int64_t now = 0;
  for (int k = 0; k < 50; ++k) Callback(now += kBufferNanos);
  const uint32_t before = PositionAt(now);
  // The device stops taking sound: the position holds at what it was given.
  const uint32_t held = PositionAt(now + 500 * kMs);
  EXPECT_EQ(held, uint32_t(2 * kBuffer * 49));
  EXPECT_GE(held, before);
  EXPECT_EQ(PositionAt(now + 900 * kMs), held);
  // After a second without sound, on by the clock.
  testing::internal::CaptureStderr();
  PositionAt(now + 1100 * kMs);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("goes on by the clock"), std::string::npos);
  const int64_t freeFrom = now + 1100 * kMs;
  const uint32_t running = ReadSmoothly(freeFrom, freeFrom + 400 * kMs, held);
  EXPECT_NEAR(double(running - held), 0.4 * 88200, 200.0);
  // The device takes sound again: it plays from where the show is, and the
  // position follows the device from there without going back.
  now = freeFrom + 400 * kMs;
  uint32_t previous = running;
  for (int k = 0; k < 20; ++k) {
    Callback(now);
    previous = ReadSmoothly(now, now + kBufferNanos - kMs, previous);
    now += kBufferNanos;
  }
  EXPECT_NEAR(double(previous), double(running) + 20 * kBufferNanos * 88200.0 / 1e9, 2 * 2 * kBuffer + 200.0);
}

TEST_F(SimulatedOutput, AServerThatWakesLateKeepsTheStartUntilHeard) {
  Open(22050, 2, 3.0);
  // The server takes sound at once but plays its first frame 1.5 s later.
  const int64_t wake = 1500 * kMs;
  uint32_t previous = 0;
  for (int64_t at = 0; at < 2000 * kMs; at += 10 * kMs) {
    KitSimSetClock(epoch_ + at);
    if (KitSimPulled() < 44100 * (at + 50 * kMs - wake) / 1000000000 + 4410 || at < wake) KitSimPull(441);
    KitSimReport((at - wake) * 44100 / 1000000000, epoch_ + at, KitSimPulled());
    const uint32_t position = ReadSmoothly(at, at + 9 * kMs, previous);
    if (at + 9 * kMs < wake) {
      EXPECT_EQ(position, 0u) << at;
    }
    previous = position;
  }
  EXPECT_NEAR(double(previous), 0.499 * 88200, 200.0);
}

TEST_F(SimulatedOutput, TheFileStartsAtPositionZeroAndSilenceFollowsItsEnd) {
  // A click at file frames 2205 to 2212 (0.1 s) must be heard at output
  // frames 4410 to 4425 after the codecs' delay: no shift from the rate
  // conversion.
  Open(22050, 2, 0.3, 2205);
  int64_t clickFrame = -1;
  int loudest = 0;
  int64_t now = 0;
  for (int k = 0; k < 100; ++k) {  // 1.16 s of a 0.3 s file
    now += kBufferNanos;
    const int16_t* out = Callback(now);
    for (int i = 0; i < kBuffer; ++i)
      if (out[i * 2] > loudest) {
        loudest = out[i * 2];
        clickFrame = int64_t(k) * kBuffer + i;
      }
  }
  EXPECT_NEAR(double(clickFrame), 4417.0 + 2 * kCodecDelay, 8.0);
  // Past the end the position goes on at the same rate.
  EXPECT_EQ(PositionAt(now), uint32_t(2 * kBuffer * 98));
  EXPECT_GT(PositionAt(now), BASS_StreamGetLength(stream_) * 2);
}

TEST_F(SimulatedOutput, AStreamSetPartwayPlaysAndCountsFromThere) {
  // Set at 0.5 s of stream bytes: the click at file frame 16537 (0.75 s,
  // with the codecs' delay before it) comes 0.25 s into playback.
  const uint32_t from = 44100;
  Open(22050, 2, 1.0, 16537 - kCodecDelay, from);
  EXPECT_EQ(PositionAt(0), from);
  int64_t clickFrame = -1;
  int loudest = 0;
  int64_t now = 0;
  for (int k = 0; k < 40; ++k) {
    now += kBufferNanos;
    const int16_t* out = Callback(now);
    for (int i = 0; i < kBuffer; ++i)
      if (out[i * 2] > loudest) {
        loudest = out[i * 2];
        clickFrame = int64_t(k) * kBuffer + i;
      }
  }
  EXPECT_NEAR(double(clickFrame), 0.25 * 44100, 8.0);
  EXPECT_EQ(PositionAt(now), from + uint32_t(2 * kBuffer * 38));
}

TEST_F(SimulatedOutput, AnOutputDelayHoldsThePictureBack) {
  // The sound reaches the ear 100 ms after the server says.
  dir_.Write("song.mp3", ToneMp3(22050, 2, 1.0));
  AudioUseOutput(KitSimulatedOutput());
  KitSimSetClock(epoch_);
  ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
  ASSERT_TRUE(BASS_SetOutputDelay(100));
  stream_ = BASS_StreamCreateFile(0, "song.mp3", 0, 0, 0x20000);
  ASSERT_TRUE(BASS_StreamPlay(stream_, 0, 4));
  int64_t now = 0;
  for (int k = 0; k < 9; ++k) Callback(now += kBufferNanos);
  EXPECT_EQ(PositionAt(now), 0u);  // 81 ms heard by the server's count
  for (int k = 0; k < 20; ++k) Callback(now += kBufferNanos);
  EXPECT_NEAR(double(PositionAt(now)), 2.0 * kBuffer * 27 - 8820.0, 4.0);
}

// A live output: a thread of its own paced by the buffers it plays, read
// from this thread as the show does. Also the ThreadSanitizer's case.
TEST(LiveAudio, PlaysReadsStopsAndFreesWhileTheThreadRuns) {
  ScratchDir dir;
  dir.Write("song.mp3", ToneMp3(22050, 2, 1.0));
  AudioUseOutput(KitLiveOutput(256, 512));
  ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
  BASS_Start();
  const HSTREAM stream = BASS_StreamCreateFile(0, "song.mp3", 0, 0, 0x20000);
  ASSERT_EQ(BASS_ErrorGetCode(), BASS_OK);
  ASSERT_TRUE(BASS_StreamPlay(stream, 0, 4));
  const auto start = std::chrono::steady_clock::now();
  uint32_t previous = 0, first = 0;
  while (SecondsSince(start) < 1.5) {
    const uint32_t position = BASS_ChannelGetPosition(stream);
    ASSERT_GE(position, previous);
    if (!first && position) first = position;
    previous = position;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  // Heard about 17 ms after play, then at the rate of real time (generous:
  // a busy machine delays the thread).
  EXPECT_GT(previous, uint32_t(88200 * 1.2));
  EXPECT_LT(previous, uint32_t(88200 * 1.6));
  EXPECT_TRUE(BASS_Stop());
  EXPECT_TRUE(BASS_StreamFree(stream));
  EXPECT_TRUE(BASS_Free());
}

TEST_F(SimulatedOutput, ASecondStartInOneProcessFollowsTheOutputLikeTheFirst) {
  Open(22050, 2, 1.0);
  int64_t now = 0;
  for (int k = 0; k < 50; ++k) Callback(now += kBufferNanos);
  ASSERT_TRUE(BASS_Free());
  Open(22050, 2, 1.0);
  const int64_t played = now;
  for (int k = 0; k < 20; ++k) Callback(now += kBufferNanos);
  EXPECT_NEAR(double(PositionAt(now)), 2.0 * kBuffer * 18, 4.0);  // the first buffer is heard a buffer late
  EXPECT_GT(PositionAt(now + 5 * kMs), PositionAt(played));
}

TEST_F(SimulatedOutput, AfterAStallTheSoundSkipsToTheShowByWhatTheServerHolds) {
  // A server that holds 40 ms between hand-over and ear, and reports only
  // what it was handed as its cap (as PulseAudio does with short buffers).
  // A click at stream frame 114,217 (2.59 s) is heard after the stall.
  const int clickFile = 56000;
  const double clickStream = 2.0 * clickFile + 7 + 2 * kCodecDelay;
  Open(22050, 2, 4.0, clickFile);
  const int64_t held = 1764;
  int64_t now = 0;
  auto serve = [&](int64_t at) {
    KitSimSetClock(epoch_ + at);
    const int64_t first = KitSimPulled();
    const int16_t* out = KitSimPull(kBuffer);
    KitSimReport(first - held, epoch_ + at, KitSimPulled());
    for (int i = 0; i < kBuffer; ++i)
      if (out[i * 2] > 20000) return at + (i + held) * int64_t(1000000000) / 44100;  // when the click is heard
    return int64_t(-1);
  };
  for (int k = 0; k < 100; ++k) {
    serve(now += kBufferNanos);
    PositionAt(now);
  }
  // Silence for two seconds: the show goes on by the clock after one.
  testing::internal::CaptureStderr();
  for (int64_t at = now; at < now + 2000 * kMs; at += kMs) PositionAt(at);
  testing::internal::GetCapturedStderr();
  now += 2000 * kMs;
  // The server takes sound again; the click must be heard as the position
  // reaches it.
  int64_t clickHeard = -1;
  for (int k = 0; k < 100 && clickHeard < 0; ++k) {
    clickHeard = serve(now += kBufferNanos);
    PositionAt(now);
  }
  ASSERT_GT(clickHeard, 0);
  EXPECT_NEAR(double(PositionAt(clickHeard)), 2.0 * clickStream, 2.0 * 88.2);
}
