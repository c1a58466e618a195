// The demo clock: both counter paths, the timer's wrap-around, the pinned
// moments the offline tool renders, the soundtrack's time line, and jumps.
#include "app/clock.h"
#include "app/time_sources.h"
#include "platform/position_estimate.h"
#include "tools/shared_kit/show_seam.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

static uint32_t FakeMillis = 0;
static uint32_t ReadFakeMillis() { return FakeMillis; }
static bool NoCounter(int64_t* value) {
  *value = 0;
  return false;
}

// A machine without a performance counter, its millisecond timer set by hand.
class FallbackClock : public ::testing::Test {
 protected:
  void SetUp() override {
    ShowTimeSources sources = RealTimeSources();
    sources.counterFrequency = NoCounter;
    sources.counter = NoCounter;
    sources.millisecondTimer = ReadFakeMillis;
    SetTimeSources(&sources);
  }
  void TearDown() override { SetTimeSources(nullptr); }
};

TEST(Clock, ReadsZeroBeforeInit) { EXPECT_EQ(TimerGetTime(), 0.0f); }

TEST(Clock, StartsNearZeroAndNeverGoesBack) {
  TimerInit();
  float previous = TimerGetTime();
  EXPECT_LT(previous, 50.0f);
  for (int i = 0; i < 10000; ++i) {
    const float now = TimerGetTime();
    ASSERT_GE(now, previous);
    previous = now;
  }
}

TEST(Clock, CountsMilliseconds) {
  TimerInit();
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  const float elapsed = TimerGetTime();
  EXPECT_GE(elapsed, 119.0f);
  EXPECT_LT(elapsed, 2000.0f);  // generous: shared machines stall
}

TEST(Clock, ConvertsCountsToMilliseconds) {
  SeamPinCounter(0);
  TimerInit();
  SeamPinCounter(1500000000);  // 1.5 s of nanosecond counts
  EXPECT_FLOAT_EQ(TimerGetTime(), 1500.0f);
  SeamReleaseCounter();
}

TEST(Clock, PinnedMomentNeverReadsShort) {
  for (double ms : {0.0, 1.0, 1300.0, 1800.0, 61300.0, 106459.0, 133200.0}) {
    SeamPinMoment(0, ms);
    EXPECT_GE(double(TimerGetTime()), ms);
    EXPECT_LT(double(TimerGetTime()), ms + 0.01);
  }
  SeamReleaseCounter();
  SeamReleaseStreamPosition();
}

static int64_t FakeNanos = 0;
static double FakeShift = 0;
static bool NanosecondFrequency(int64_t* value) {
  *value = 1000000000;
  return true;
}
static bool ReadFakeNanos(int64_t* value) {
  *value = FakeNanos;
  return true;
}
static double ReadFakeShift() { return FakeShift; }

// A nanosecond counter at FakeNanos, the soundtrack's shift from `shift`.
static void UseFakeCounter(double (*shift)()) {
  ShowTimeSources sources = RealTimeSources();
  sources.counterFrequency = NanosecondFrequency;
  sources.counter = ReadFakeNanos;
  sources.clockShift = shift;
  SetTimeSources(&sources);
}

TEST(Clock, MovesWithTheSoundtracksTimeLineAndHoldsRatherThanGoBack) {
  UseFakeCounter(ReadFakeShift);
  FakeShift = -1200.0;  // the music was first heard 1.2 s after play
  FakeNanos = 0;
  TimerInit();
  FakeNanos = 1000000000;
  EXPECT_FLOAT_EQ(TimerGetTime(), 1000.0f);  // a steady time line: the counters alone
  FakeShift += 1310.0;  // the music jumped 1.31 s ahead
  EXPECT_FLOAT_EQ(TimerGetTime(), 2310.0f);
  FakeShift -= 500.0;  // then held half a second
  FakeNanos = 1200000000;
  EXPECT_FLOAT_EQ(TimerGetTime(), 2310.0f);
  FakeNanos = 1800000000;
  EXPECT_FLOAT_EQ(TimerGetTime(), 2610.0f);
  SetTimeSources(nullptr);
}

// The real estimate behind the clock's shift, fed by a simulated server that
// reports every 10 ms; the show reads once a frame, every 16.7 ms.
static PositionEstimate Estimate;
static double ReadEstimateShift() { return EstimateClockShift(Estimate); }

TEST(Clock, NeverGoesBackWhenTheSoundHoldsJustBeforeARead) {
  UseFakeCounter(ReadEstimateShift);
  const int rate = 44100;
  const int64_t frameNanos = 16666667;
  // Held from every offset within a millisecond before a read, one at a time.
  for (int64_t early = 50000; early < 1000000; early += 150000) {
    EstimateReset(&Estimate, rate, 0);
    EstimatePlay(&Estimate, 0);
    FakeNanos = 0;
    TimerInit();
    const int64_t holdAt = 60 * frameNanos - early;  // the server stops taking sound here
    const double holdFrame = double(holdAt) * rate / 1e9;
    HeardReport report;
    float previous = 0;
    for (int64_t at = 0, nextReport = 0; at < 1500000000; at += frameNanos) {
      for (; nextReport <= at; nextReport += 10000000) {
        report.count += 1;
        report.frame = int64_t(std::min(double(nextReport) * rate / 1e9, holdFrame));
        report.nanos = nextReport;
        report.capFrame = nextReport < holdAt ? report.frame + rate / 20 : int64_t(holdFrame);
      }
      EstimateRead(&Estimate, at, &report);
      FakeNanos = at;
      const float clock = TimerGetTime();
      ASSERT_GE(clock, previous) << "held " << early << " ns before a read, at " << at / 1000000 << " ms";
      previous = clock;
    }
  }
  SetTimeSources(nullptr);
}

TEST(Clock, AJumpReadsItsMomentAndThenHoldsWithTheSoundUntilHeard) {
  UseFakeCounter(ReadFakeShift);
  FakeShift = 0;
  FakeNanos = 0;
  TimerInit();
  FakeNanos = 90000000000;  // 90 s in
  EXPECT_FLOAT_EQ(TimerGetTime(), 90000.0f);
  // A jump back to 30 s: the estimate's time line starts again at 0.
  FakeShift = 0;
  TimerSeek(30000.0f);
  EXPECT_FLOAT_EQ(TimerGetTime(), 30000.0f);
  // The new sound is heard 0.2 s later: the time line held meanwhile.
  FakeNanos += 200000000;
  FakeShift = -200.0;
  EXPECT_FLOAT_EQ(TimerGetTime(), 30000.0f);
  FakeNanos += 100000000;
  EXPECT_FLOAT_EQ(TimerGetTime(), 30100.0f);
  SetTimeSources(nullptr);
}

TEST_F(FallbackClock, CountsTimerMilliseconds) {
  FakeMillis = 5000;
  TimerInit();
  EXPECT_EQ(TimerGetTime(), 0.0f);
  FakeMillis = 6234;
  // The fallback's period is the float 0.001, a hair above a millisecond.
  EXPECT_FLOAT_EQ(TimerGetTime(), 1234.0f);
}

TEST_F(FallbackClock, SurvivesTheTimersWrapAround) {
  FakeMillis = 0xFFFFFF00u;  // 256 ms before the wrap
  TimerInit();
  FakeMillis = 0x00000100u;  // 256 ms after it
  EXPECT_FLOAT_EQ(TimerGetTime(), 512.0f);
}

TEST_F(FallbackClock, BeforeInitReadsZero) {
  FakeMillis = 777;
  EXPECT_EQ(TimerGetTime(), 0.0f);
}
