// The recorder's timing: what `velmora-trailer-tool sync` measures the show against.
#include "tools/shared_kit/audio_loopback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

// Reports that hold for half a second at the start (a fresh PulseAudio
// server's monitor did), then a sink 80 ppm fast: one line through every
// report tilted by 0.8 % and put the first marks 50 ms off.
TEST(Loopback, AStallAtTheStartLeavesTheRestOnTheSinksOwnClock) {
  const int rate = 44100;
  const double nanosPerFrame = 1e9 / rate / 1.00008;
  const int64_t stallFrame = 5000, stallNanos = 500000000, start = 1000000000;
  std::vector<TimedSound::Anchor> reports;
  auto truth = [&](int64_t frame) {
    return start + double(frame) * 1e9 / rate + (frame >= stallFrame ? stallNanos : 0) +
           (frame >= stallFrame ? double(frame - stallFrame) * (nanosPerFrame - 1e9 / rate) : 0);
  };
  for (int64_t frame = 0; frame < stallFrame; frame += 441) reports.push_back({frame, int64_t(truth(frame))});
  // Reported every millisecond while it holds: a line through everything
  // then meets the stall for certain, and so do cuts between neighbours alone.
  for (int64_t t = 0; t < stallNanos; t += 1000000)
    reports.push_back({stallFrame, int64_t(truth(stallFrame - 1) + 1e9 / rate) + t});
  for (int64_t frame = stallFrame; frame < 13 * rate; frame += 441) reports.push_back({frame, int64_t(truth(frame))});

  TimedSound heard;
  heard.rate = rate;
  heard.anchors = AnchorsFromReports(reports, rate);
  // Within a tenth of a millisecond: the anchors lie a second apart at the nominal rate.
  for (int64_t frame : {int64_t(stallFrame + 100), int64_t(rate), int64_t(6 * rate + 17), int64_t(12 * rate)}) {
    EXPECT_NEAR(heard.NanosAt(double(frame)), truth(frame), 100000) << "frame " << frame;
    EXPECT_NEAR(heard.FrameAt(truth(frame)), double(frame), 4.5) << "frame " << frame;
  }
  // While the sink held, the held frame is what is heard.
  EXPECT_NEAR(heard.FrameAt(truth(stallFrame) - stallNanos / 2), double(stallFrame), 1.0);
}

// A sink whose rate against the monotonic clock wanders by 300 ppm every
// three seconds (PipeWire's does): one line through all of it puts frames
// 0.2 ms off, and reads as drift.
TEST(Loopback, ASinkWhoseRateWandersIsFollowedSecondBySecond) {
  const int rate = 44100;
  auto truth = [rate](int64_t frame) {
    double nanos = 0;
    for (int64_t from = 0; from < frame; from += 3 * rate) {
      const double ppm = (from / (3 * rate)) % 2 ? -300e-6 : 300e-6;
      nanos += double(std::min<int64_t>(frame - from, 3 * rate)) * 1e9 / rate * (1.0 + ppm);
    }
    return 2e9 + nanos;
  };
  std::vector<TimedSound::Anchor> reports;
  for (int64_t frame = 0; frame < 12 * rate; frame += 441) reports.push_back({frame, int64_t(truth(frame))});
  TimedSound heard;
  heard.rate = rate;
  heard.anchors = AnchorsFromReports(reports, rate);
  for (int64_t frame = 0; frame < 12 * rate; frame += rate / 4)
    EXPECT_NEAR(heard.NanosAt(double(frame)), truth(frame), 100000) << "frame " << frame;
}
