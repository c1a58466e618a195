// The position estimate against a simulated sound server: what the show
// reads, the skip it asks of the sound and the demo clock's shift, through
// holds, jumps, free runs, rejoins and a drifting sink.
#include "platform/position_estimate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

static const int kRate = 44100;
static const int64_t kMs = 1000000;
static const int64_t kEpoch = int64_t(7) * 24 * 3600 * 1000000000;  // a week of uptime

// A server that reports every 10 ms the stream frame heard then. `Heard`
// says what the ear gets at a moment; the estimate is read every millisecond
// as frames read it.
class SimulatedServer : public ::testing::Test {
 protected:
  void SetUp() override {
    EstimateReset(&estimate_, kRate, 0);
    EstimatePlay(&estimate_, kEpoch);
  }
  // Frames in `nanos` at the nominal rate.
  static double Frames(int64_t nanos) { return double(nanos) * kRate / 1e9; }
  // A report at `at` (ns after play) of `frame` heard then, `ahead` frames
  // handed over beyond it, from the sound of skip `segment_`.
  void Report(int64_t at, double frame, double ahead = 0.05 * kRate) {
    report_.moving = report_.count > 0 && segment_ == report_.segment && int64_t(frame) > report_.frame;
    report_.segment = segment_;
    report_.count += 1;
    report_.frame = int64_t(frame);
    report_.nanos = kEpoch + at;
    report_.capFrame = int64_t(frame + ahead);
  }
  double Read(int64_t at) { return EstimateRead(&estimate_, kEpoch + at, &report_); }
  // The demo clock as the show runs it: the counters since play, moved by
  // the shift, never back; in frames.
  double Clock(int64_t at) {
    clock_ = std::max(clock_, Frames(at) + EstimateClockShift(estimate_) * kRate / 1000.0);
    return clock_;
  }
  // From `from` to `to`, a report every 10 ms of what `heard(at)` says and a
  // read every millisecond; fails where the position is more than `slack`
  // frames from what is heard or from the clock, once `settle` has passed.
  template <typename Heard>
  void Run(int64_t from, int64_t to, Heard heard, double slack, int64_t settle = 0) {
    double previous = Read(from);
    for (int64_t at = from; at < to; at += kMs) {
      if ((at / kMs) % 10 == 0) Report(at, heard(at));
      const double position = Read(at);
      ASSERT_GE(position, previous) << at / kMs;
      previous = position;
      const double clock = Clock(at);
      if (at < from + settle) continue;
      ASSERT_NEAR(position, heard(at), slack) << "heard, at " << at / kMs << " ms";
      ASSERT_NEAR(clock, position, slack) << "clock, at " << at / kMs << " ms";
    }
  }

  PositionEstimate estimate_;
  HeardReport report_;
  uint32_t segment_ = 0;
  double clock_ = 0;
};

TEST_F(SimulatedServer, AHealthyRunNeverMovesTheClock) {
  // Reports up to 3 ms early or late, a sink that plays from 200 ms on.
  auto heard = [](int64_t at) { return Frames(at - 200 * kMs + ((at / kMs) % 7 - 3) * kMs); };
  Run(0, 200 * kMs, heard, 1e9);
  Run(200 * kMs, 10000 * kMs, heard, 0.004 * kRate, 100 * kMs);
  // The clock starts when the first frame is heard, then runs on the counters.
  EXPECT_NEAR(EstimateClockShift(estimate_), -200.0, 1.0);
  const double atStart = EstimateClockShift(estimate_);
  Run(10000 * kMs, 20000 * kMs, heard, 0.004 * kRate);
  EXPECT_EQ(EstimateClockShift(estimate_), atStart);
}

TEST_F(SimulatedServer, AHeldSinkHoldsPositionAndClockAndBothGoOnTogether) {
  // Heard from the start; held 0.5 s at 3 s (a sink suspended and woken),
  // then on from where it held.
  auto heard = [](int64_t at) {
    if (at < 3000 * kMs) return Frames(at);
    if (at < 3500 * kMs) return Frames(3000 * kMs);
    return Frames(at - 500 * kMs);
  };
  Run(0, 3000 * kMs, heard, 0.002 * kRate);
  // While held, the reports cap what is heard at what was handed over.
  for (int64_t at = 3000 * kMs; at < 3500 * kMs; at += 10 * kMs) {
    Report(at, heard(at), 0.05 * kRate);
    Read(at);
  }
  Run(3500 * kMs, 6000 * kMs, heard, 0.002 * kRate, 100 * kMs);
  EXPECT_EQ(estimate_.skipSerial, 0u);  // held, never went on without the sound
}

TEST_F(SimulatedServer, AJumpOfTheSinkMovesPositionAndClockAtOnce) {
  // A stalled server that, woken, renders the stretch it missed at once.
  auto heard = [](int64_t at) { return at < 4000 * kMs ? Frames(at) : Frames(at + 1310 * kMs); };
  Run(0, 4000 * kMs, heard, 0.002 * kRate);
  Run(4000 * kMs, 8000 * kMs, heard, 0.002 * kRate, 20 * kMs);
}

TEST_F(SimulatedServer, AfterALongStallTheShowGoesOnThenFollowsTheSoundThatSkippedToIt) {
  auto steady = [](int64_t at) { return Frames(at); };
  Run(0, 2000 * kMs, steady, 0.002 * kRate);
  // Silence: reports stop (a sink suspended for 2.5 s). The position holds
  // at the cap, then goes on by the clock after a second and asks the sound
  // to skip ahead to it.
  const double held = Read(2000 * kMs);
  testing::internal::CaptureStderr();
  for (int64_t at = 2000 * kMs; at < 4500 * kMs; at += kMs) Read(at);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("goes on by the clock"), std::string::npos);
  ASSERT_EQ(estimate_.skipSerial, 1u);
  EXPECT_EQ(estimate_.skipFrame, report_.capFrame);  // where it held: all that was handed over
  EXPECT_NEAR(Read(4500 * kMs), double(report_.capFrame) + Frames(kEpoch + 4500 * kMs - estimate_.skipNanos), 1.0);
  // The sink wakes: first the old sound it still held, then the skipped-ahead
  // sound, heard 29 ms later than the show planned (it queued behind the old).
  const double line = double(estimate_.skipFrame) - Frames(estimate_.skipNanos - kEpoch);
  for (int64_t at = 4500 * kMs; at < 4540 * kMs; at += 10 * kMs) {
    Report(at, held + Frames(at - 4500 * kMs));  // segment 0: not taken
    Read(at);
  }
  auto skipped = [line](int64_t at) { return line + Frames(at - 29 * kMs); };
  segment_ = 1;
  // Together again (the position holds 29 ms), and then for good.
  Run(4540 * kMs, 9000 * kMs, skipped, 0.002 * kRate, 100 * kMs);
}

TEST_F(SimulatedServer, ADriftingSinkIsFollowedByPositionAndClock) {
  // The sink's clock runs 85 ppm slow against the monotonic one.
  auto heard = [](int64_t at) { return Frames(at) * (1.0 - 85e-6); };
  Run(0, 60000 * kMs, heard, 0.002 * kRate);
  EXPECT_NEAR(EstimateClockShift(estimate_), -85e-6 * 60000, 1.0);
}

TEST_F(SimulatedServer, AServerThatNeverAnswersMeansTheClockFromFiveSeconds) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(Read(4900 * kMs), 0.0);
  Read(5001 * kMs);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("five seconds"), std::string::npos);
  EXPECT_NEAR(Read(7001 * kMs), Frames(2000 * kMs), 1.0);
  EXPECT_EQ(estimate_.skipSerial, 1u);
}

TEST_F(SimulatedServer, ReturningSoundIsHeardOnlyOnceItMovesAndNeverHoldsThePictureLong) {
  auto steady = [](int64_t at) { return Frames(at); };
  Run(0, 2000 * kMs, steady, 0.002 * kRate);
  testing::internal::CaptureStderr();
  for (int64_t at = 2000 * kMs; at < 3500 * kMs; at += kMs) Read(at);  // the server is gone
  ASSERT_EQ(estimate_.skipSerial, 1u);
  auto line = [this](int64_t at) { return double(estimate_.skipFrame) + Frames(kEpoch + at - estimate_.skipNanos); };
  // A new server takes the skipped-ahead sound, and its sink stands still
  // for 1.2 s: the show goes on by the clock meanwhile.
  const double waiting = line(3500 * kMs);
  segment_ = 1;
  double previous = Read(3500 * kMs);
  for (int64_t at = 3500 * kMs; at < 4700 * kMs; at += kMs) {
    if ((at / kMs) % 10 == 0) Report(at, waiting);
    const double position = Read(at);
    ASSERT_GE(position, previous) << at / kMs;
    ASSERT_NEAR(position, line(at), 1.0) << at / kMs;
    previous = position;
  }
  // Then it plays, 1.2 s behind the show: it is asked to skip ahead once
  // more, and the show follows that sound, heard 20 ms later than planned.
  for (int64_t at = 4700 * kMs; at < 4800 * kMs && estimate_.skipSerial == 1; at += 10 * kMs) {
    Report(at, waiting + Frames(at - 4700 * kMs));
    ASSERT_NEAR(Read(at), line(at), 1.0) << at / kMs;
  }
  ASSERT_EQ(estimate_.skipSerial, 2u);
  const double planned = double(estimate_.skipFrame) - Frames(estimate_.skipNanos - kEpoch);
  segment_ = 2;
  Run(4800 * kMs, 8000 * kMs, [planned](int64_t at) { return planned + Frames(at - 20 * kMs); }, 0.002 * kRate,
      100 * kMs);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(said.find("goes on by the clock"), said.rfind("goes on by the clock")) << said;
}
