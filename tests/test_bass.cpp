// The audio layer: error codes, the position on SDL's dummy driver and on a
// live output of the test's (real time). The position against a simulated
// output is in test_bass_simulated.cpp.
#include "app/time_sources.h"
#include "platform/audio_decode.h"
#include "platform/bass.h"
#include "tools/shared_kit/audio_kit.h"
#include "tools/shared_kit/show_seam.h"
#include "tests/support/gl_test.h"
#include "tests/support/tone_mp3.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

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
