// The audio layer: error codes, the position on SDL's dummy driver (real
// time), and the position paced by a simulated sound card, where every
// callback's time is chosen by the test.
#include "app/time_sources.h"
#include "platform/bass.h"
#include "platform/bass_probe.h"
#include "tools/kit/show_seam.h"
#include "tests/support/gl_test.h"
#include "tools/soundgen/mp3_encode.h"

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
  EXPECT_EQ(BASS_StreamFree(stream + 1), 0);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_TRUE(BASS_StreamFree(stream));
  EXPECT_EQ(BASS_StreamFree(stream), 0);  // freed handles stay invalid
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  const HSTREAM again = BASS_StreamCreateFile(0, "song.mp3", 0, 0, 0x20000);
  EXPECT_NE(again, stream);
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
  EXPECT_EQ(BassProbeRead().fileRate, rate);
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
  EXPECT_GT(last, 88200u * 3 / 2);
  EXPECT_TRUE(BassProbeRead().endOfFile);
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

// A simulated sound card: 512-frame buffers at 44,100 Hz, each heard one
// buffer after it was handed over. Times in nanoseconds.
class SimulatedCard : public ::testing::Test {
 protected:
  static constexpr int kBuffer = 512;
  static constexpr int64_t kBufferNanos = int64_t(kBuffer) * 1000000000 / 44100;  // 11.6 ms

  void Open(int rate, int channels, double seconds, int clickAt = -1) {
    dir_.Write("song.mp3", ToneMp3(rate, channels, seconds, clickAt));
    BassProbeSimulateDevice(kBuffer, kBuffer);
    BassProbeSetClock(1000);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
    stream_ = BASS_StreamCreateFile(0, "song.mp3", 0, 0, 0x20000);
    ASSERT_EQ(BASS_ErrorGetCode(), BASS_OK);
    ASSERT_TRUE(BASS_StreamPlay(stream_, 0, 4));
  }
  // Runs one callback at `now`; returns its buffer.
  const std::vector<int16_t>& Callback(int64_t now) {
    buffer_.assign(size_t(kBuffer) * 2, -1);
    BassProbeRunCallback(reinterpret_cast<uint8_t*>(buffer_.data()), kBuffer * 4, now);
    return buffer_;
  }
  uint32_t PositionAt(int64_t now) {
    BassProbeSetClock(now);
    return BASS_ChannelGetPosition(stream_);
  }

  ScratchDir dir_;
  HSTREAM stream_ = 0;
  std::vector<int16_t> buffer_;
};

TEST_F(SimulatedCard, PositionIsWhatIsHeardInterpolatedBetweenCallbacks) {
  Open(22050, 2, 1.0);
  EXPECT_EQ(PositionAt(2000), 0u);  // nothing handed over yet
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

TEST_F(SimulatedCard, JitteredCallbacksNeverGoBackwards) {
  Open(22050, 2, 1.0);
  int64_t now = 0;
  uint32_t previous = 0;
  for (int k = 0; k < 400; ++k) {
    // Callbacks early and late by up to 3 ms, reads in between.
    now += kBufferNanos + ((k * 7919) % 7 - 3) * 1000000;
    Callback(now);
    for (int r = 0; r < 8; ++r) {
      const uint32_t position = PositionAt(now + r * kBufferNanos / 8);
      ASSERT_GE(position, previous);
      previous = position;
    }
  }
}

TEST_F(SimulatedCard, A44100HzFileKeeps88200BytesPerSecond) {
  Open(44100, 2, 1.0);
  for (int k = 1; k <= 40; ++k) Callback(k * kBufferNanos);
  EXPECT_EQ(PositionAt(40 * kBufferNanos), uint32_t(2 * kBuffer * 38));  // 38 heard
  // ...while it played as many of its own frames as the device did.
  EXPECT_GE(BassProbeRead().fileFramesDecoded, uint64_t(40 * kBuffer));
}

TEST_F(SimulatedCard, TheFileStartsAtPositionZeroAndSilenceFollowsItsEnd) {
  // A click at file frames 2205 to 2212 (0.1 s) must be heard at output
  // frames 4410 to 4425: gapless decoding, and no shift from the rate
  // conversion.
  Open(22050, 2, 0.3, 2205);
  int64_t clickFrame = -1, lastSound = -1;
  int loudest = 0;
  int64_t now = 0;
  for (int k = 0; k < 100; ++k) {  // 1.16 s of a 0.3 s file
    now += kBufferNanos;
    const std::vector<int16_t>& out = Callback(now);
    for (int i = 0; i < kBuffer; ++i) {
      const int64_t frame = int64_t(k) * kBuffer + i;
      if (out[size_t(i) * 2] > loudest) {
        loudest = out[size_t(i) * 2];
        clickFrame = frame;
      }
      if (out[size_t(i) * 2] != 0) lastSound = frame;
    }
  }
  EXPECT_NEAR(double(clickFrame), 4417.0, 8.0);
  EXPECT_NEAR(double(lastSound), 0.3 * 44100, 60.0);
  EXPECT_TRUE(BassProbeRead().endOfFile);
  // Past the end the position goes on at the same rate.
  EXPECT_EQ(PositionAt(now), uint32_t(2 * kBuffer * 98));
  EXPECT_EQ(BassProbeRead().fileFramesDecoded, uint64_t(0.3 * 22050));
  EXPECT_GT(PositionAt(now), uint32_t(0.3 * 88200 * 3));
}
