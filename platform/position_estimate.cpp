#include "platform/position_estimate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

static const int64_t kNanosPerSecond = 1000000000;
static const double kSlew = 0.05;               // the line bends toward the reports by up to 5 % of speed
static const double kRebaseSeconds = 0.020;     // reports further ahead than this are taken at once
static const double kWaitSeconds = 0.005;       // ... and further behind than this
static const int64_t kSilentNanos = kNanosPerSecond;          // nothing heard this long: go on by the clock
static const int64_t kFirstSoundNanos = 5 * kNanosPerSecond;  // ... before the first report (servers wake slowly)
static const double kShiftStepMillis = 1.0;     // the clock moves when the time line is this far off
static const double kSkipAgainSeconds = 0.1;    // returning sound further behind the show skips once more

// Output frames in `nanos` (any sign, any size: no 64-bit product).
static double FramesIn(const PositionEstimate& e, int64_t nanos) {
  return double(nanos) * double(e.rate) / double(kNanosPerSecond);
}

void EstimateReset(PositionEstimate* e, int rate, int64_t startFrame) {
  *e = PositionEstimate();
  e->rate = rate;
  e->start = double(startFrame);
  e->last = e->start;
}

void EstimatePlay(PositionEstimate* e, int64_t nanos) {
  if (e->playing) return;
  e->playing = true;
  e->playNanos = e->waitNanos = e->pacedNanos = nanos;
  e->lastNanos = nanos;
}

void EstimatePause(PositionEstimate* e, int64_t now) {
  if (!e->playing || e->paused) return;
  e->paused = true;
  e->pausedNanos = now;
}

void EstimateResume(PositionEstimate* e, int64_t now) {
  if (!e->paused) return;
  e->paused = false;
  // The pause is left out of every wait and count; the line goes on from
  // where the answer held, and waits there for the sound if it comes later.
  const int64_t pause = now - e->pausedNanos;
  e->waitNanos += pause;
  e->pacedNanos += pause;
  e->baseFrame = e->last;
  e->baseNanos = now;
  e->advancedNanos = now;
  e->lastNanos = now;
}

void EstimateSeek(PositionEstimate* e, int64_t frame, int64_t now, uint32_t segment) {
  e->start = e->last = e->followed = e->baseFrame = double(frame);
  e->playNanos = e->waitNanos = e->pacedNanos = e->baseNanos = e->lastNanos = e->advancedNanos = now;
  e->pausedNanos = now;
  e->mode = PositionEstimate::kWaiting;
  e->waitSegment = segment;
  e->skippedAgain = false;
  e->clockShift = 0;
}

static void AskSkip(PositionEstimate* e, double frame, int64_t now) {
  ++e->skipSerial;
  e->skipFrame = int64_t(frame);
  e->skipNanos = now;
}

static void GoOnByTheClock(PositionEstimate* e, int64_t now, const HeardReport* report) {
  const bool firstSound = e->mode == PositionEstimate::kWaiting;
  e->mode = PositionEstimate::kFree;
  e->freeReports = report ? report->count : 0;
  e->baseFrame = e->last;
  e->baseNanos = now;
  std::fprintf(stderr, "velmora-trailer: no sound heard for %s; the show goes on by the clock\n",
               firstSound ? "five seconds" : "a second");
  e->skippedAgain = false;
  AskSkip(e, e->last, now);
}

// The line through (baseFrame, baseNanos) at `now`, following the reports.
static double Follow(PositionEstimate* e, int64_t now, double truth, double cap, int64_t* grewUntil) {
  double predicted = e->baseFrame + FramesIn(*e, now - e->baseNanos);
  // A line past the cap stopped growing when it reached it.
  if (predicted > cap)
    *grewUntil = std::max(e->lastNanos, now - int64_t((predicted - cap) * double(kNanosPerSecond) / e->rate));
  // A line ahead of the sound waits for it (a sink that held, then went on
  // from where it held); one behind catches up by bending, unless far behind.
  const double error = truth - predicted;
  if (error > kRebaseSeconds * e->rate || error < -kWaitSeconds * e->rate) {
    e->baseFrame = truth;
    e->baseNanos = now;
    predicted = truth;
  } else {
    const double limit = kSlew * FramesIn(*e, std::max<int64_t>(0, now - e->lastNanos));
    const double bend = std::clamp(error, -limit, limit);
    e->baseFrame += bend;
    predicted += bend;
  }
  if (predicted > cap) {
    // Held: the output has nothing more to play. Hold the line too, so that
    // the estimate goes on from here, not with a jump, when it does.
    predicted = cap;
    e->baseFrame = cap;
    e->baseNanos = now;
  }
  return predicted;
}

static void StartFollowing(PositionEstimate* e, int64_t now, double truth) {
  // From a free run whose line lies near what is heard, go on along the line
  // and bend toward the sound: no jump for a near miss.
  const bool near = e->mode == PositionEstimate::kFree &&
                    std::abs(truth - (e->baseFrame + FramesIn(*e, now - e->baseNanos))) <= kRebaseSeconds * e->rate;
  e->mode = PositionEstimate::kFollowing;
  if (!near) {
    e->baseFrame = truth;
    e->baseNanos = now;
  }
  e->followed = truth;
  e->advancedNanos = now;
}

// The sound that skipped ahead moves again: follow it, or, once, when it
// moves far behind the show (its stream stood still after the skip), ask it
// to skip ahead again.
static void Rejoin(PositionEstimate* e, int64_t now, double truth, uint32_t count) {
  const double line = e->baseFrame + FramesIn(*e, now - e->baseNanos);
  if (!e->skippedAgain && line - truth > kSkipAgainSeconds * e->rate) {
    e->skippedAgain = true;
    e->freeReports = count;
    AskSkip(e, line, now);
    return;
  }
  StartFollowing(e, now, truth);
}

// Where the time line stands against one that started at play and ran on
// the monotonic clock; the clock takes it in whole steps, so the reports'
// jitter never reaches it.
static void MoveClockShift(PositionEstimate* e, int64_t now) {
  const double shift = (e->last - e->start - FramesIn(*e, now - e->playNanos)) * 1000.0 / e->rate;
  if (std::fabs(shift - e->clockShift) >= kShiftStepMillis) e->clockShift = shift;
}

double EstimateRead(PositionEstimate* e, int64_t now, const HeardReport* report) {
  if (e->frozen || !e->playing) return e->last;
  if (e->paused) {
    MoveClockShift(e, now);  // the clock holds with the answer
    return e->last;
  }

  bool heard = true;
  double truth, cap;
  if (!report) {
    truth = cap = e->start + FramesIn(*e, now - e->pacedNanos);
  } else {
    heard = report->count > 0 && (e->mode != PositionEstimate::kWaiting || report->segment == e->waitSegment);
    cap = double(report->capFrame);
    truth = std::min(double(report->frame) + FramesIn(*e, now - report->nanos), cap);
  }

  // Sound again after a free run, from the sound that skipped ahead to the
  // show, and moving.
  if (e->mode == PositionEstimate::kFree && report && report->moving && report->count != e->freeReports &&
      report->segment == e->skipSerial)
    Rejoin(e, now, truth, report->count);
  if (e->mode == PositionEstimate::kWaiting && heard && truth >= e->start) StartFollowing(e, now, truth);

  double value = e->last;
  int64_t grewUntil = now;
  switch (e->mode) {
    case PositionEstimate::kWaiting:
      value = e->start;
      if (now - e->waitNanos > kFirstSoundNanos) GoOnByTheClock(e, now, report);
      break;
    case PositionEstimate::kFree:
      value = e->baseFrame + FramesIn(*e, now - e->baseNanos);
      break;
    case PositionEstimate::kFollowing:
      value = Follow(e, now, truth, cap, &grewUntil);
      break;
  }
  if (e->mode == PositionEstimate::kFollowing) {
    if (value > e->followed) e->advancedNanos = grewUntil;
    else if (now - e->advancedNanos > kSilentNanos) GoOnByTheClock(e, now, report);
    e->followed = value;
  }
  e->last = std::max(e->last, value);
  e->lastNanos = now;
  MoveClockShift(e, now);
  return e->last;
}
