#include "tools/shared_kit/show_seam.h"

#include "app/clock.h"
#include "app/time_sources.h"

#include <cmath>

static struct {
  bool positionPinned = false;
  uint32_t position = 0;      // stream bytes
  bool counterPinned = false;
  int64_t counter = 0;        // nanoseconds
} Pins;

static uint32_t PinnedOrRealPosition(uint32_t stream) {
  return Pins.positionPinned ? Pins.position : RealTimeSources().streamPosition(stream);
}

static bool PinnedOrRealCounter(int64_t* count) {
  if (!Pins.counterPinned) return RealTimeSources().counter(count);
  *count = Pins.counter;
  return true;
}

// The show reads through the pins while either is set, and through the real
// sources once both are released.
static void InstallPins() {
  if (!Pins.positionPinned && !Pins.counterPinned) {
    SetTimeSources(nullptr);
    return;
  }
  ShowTimeSources sources = RealTimeSources();
  sources.streamPosition = PinnedOrRealPosition;
  sources.counter = PinnedOrRealCounter;
  if (Pins.counterPinned) sources.clockShift = nullptr;  // a pinned moment is the moment asked for
  SetTimeSources(&sources);
}

void SeamPinStreamPosition(uint32_t bytes) {
  Pins.positionPinned = true;
  Pins.position = bytes;
  InstallPins();
}

void SeamReleaseStreamPosition() {
  Pins.positionPinned = false;
  InstallPins();
}

void SeamPinCounter(int64_t nanoseconds) {
  Pins.counterPinned = true;
  Pins.counter = nanoseconds;
  InstallPins();
}

void SeamReleaseCounter() {
  Pins.counterPinned = false;
  InstallPins();
}

int64_t SeamCounterForMillis(double millis) {
  // The clock scales counts by the float nearest 1e-9, a hair below it, so
  // round up: a pinned clock must never read a millisecond short.
  const double millisPerCount = double(float(1.0 / 1e9)) * 1000.0;
  int64_t count = int64_t(std::ceil(millis / millisPerCount));
  while (double(count) * millisPerCount < millis) ++count;
  return count;
}

void SeamPinMoment(uint32_t streamBytes, double clockMillis) {
  SeamPinCounter(0);
  TimerInit();
  SeamPinCounter(SeamCounterForMillis(clockMillis));
  SeamPinStreamPosition(streamBytes);
}
