// The audio layer's position against a simulated output whose every pull,
// report and clock reading the test chooses: what is heard, stalls, skips,
// starts partway, delays, pauses and jumps.
#include "platform/bass.h"
#include "tests/support/gl_test.h"
#include "tests/support/tone_mp3.h"
#include "tools/shared_kit/audio_kit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

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

TEST_F(SimulatedOutput, APauseHoldsPositionAndClockAndBothGoOnWhereTheyStood) {
  Open(22050, 2, 5.0);
  int64_t now = 0;
  for (int k = 0; k < 100; ++k) Callback(now += kBufferNanos);
  const uint32_t before = PositionAt(now);
  const double shiftBefore = BASS_GetClockShift();
  ASSERT_TRUE(BASS_ChannelPause(stream_));
  EXPECT_FALSE(BASS_ChannelPause(stream_));  // once is enough
  // Three seconds paused: no pull, no report; no free run either.
  testing::internal::CaptureStderr();
  for (int64_t at = now; at <= now + 3000 * kMs; at += 10 * kMs) EXPECT_EQ(PositionAt(at), before) << at;
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  // The clock's shift took the whole pause: the demo clock stood still too.
  EXPECT_NEAR(BASS_GetClockShift() - shiftBefore, -3000.0, 1.0);
  // Resumed: the position goes on from where it held, at the sound's pace,
  // without a jump either way.
  now += 3000 * kMs;
  ASSERT_TRUE(BASS_ChannelPlay(stream_, 0));
  uint32_t previous = before;
  for (int k = 0; k < 40; ++k) {
    Callback(now);
    previous = ReadSmoothly(now, now + kBufferNanos - kMs, previous);
    now += kBufferNanos;
  }
  EXPECT_NEAR(double(previous - before), 39 * kBufferNanos * 88200.0 / 1e9, 2.0 * 2 * kBuffer);
  EXPECT_NEAR(BASS_GetClockShift() - shiftBefore, -3000.0, 2 * kBufferNanos / 1e6 + 1.0);
}

TEST_F(SimulatedOutput, AJumpPlaysFromItsMomentAndHoldsThereUntilThatIsHeard) {
  // A click at file frame 33075 (1.5 s; stream bytes about 264,600 plus the
  // codecs' delay) is heard right after a jump to 0.1 s before it.
  const int clickFile = 33075;
  const uint32_t clickBytes = uint32_t(4.0 * (clickFile + kCodecDelay));
  Open(22050, 2, 3.0, clickFile);
  int64_t now = 0;
  for (int k = 0; k < 200; ++k) Callback(now += kBufferNanos);  // 2.3 s in
  const uint32_t target = clickBytes - 8820;
  ASSERT_TRUE(BASS_ChannelSetPosition(stream_, target));
  EXPECT_EQ(PositionAt(now), target);
  EXPECT_EQ(BASS_GetClockShift(), 0.0);  // the time line starts again at the jump
  // Until the new sound is heard the position holds there; then it follows
  // it, and the click comes 0.1 s in.
  int64_t clickHeard = -1;
  uint32_t previous = target;
  for (int k = 0; k < 30 && clickHeard < 0; ++k) {
    const int16_t* out = Callback(now += kBufferNanos);
    for (int i = 0; i < kBuffer && clickHeard < 0; ++i)
      if (out[i * 2] > 20000) clickHeard = now + (i + kBuffer) * int64_t(1000000000) / 44100;
    previous = ReadSmoothly(now, now + kBufferNanos - kMs, previous);
  }
  ASSERT_GT(clickHeard, 0);
  Callback(now += kBufferNanos);  // the card goes on as the click plays
  EXPECT_NEAR(double(PositionAt(clickHeard)), double(clickBytes), 2.0 * 88.2);
}
