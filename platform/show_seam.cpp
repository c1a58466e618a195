#include "platform/show_seam.h"

#include "app/clock.h"

#include <cmath>

static struct {
  bool positionPinned = false;
  uint32_t position = 0;      // stream bytes
  bool counterPinned = false;
  int64_t counter = 0;        // nanoseconds
} Pins;

void SeamPinStreamPosition(uint32_t bytes) {
  Pins.positionPinned = true;
  Pins.position = bytes;
}

void SeamReleaseStreamPosition() { Pins.positionPinned = false; }

bool SeamPinnedStreamPosition(uint32_t* bytes) {
  if (Pins.positionPinned) *bytes = Pins.position;
  return Pins.positionPinned;
}

void SeamPinCounter(int64_t nanoseconds) {
  Pins.counterPinned = true;
  Pins.counter = nanoseconds;
}

void SeamReleaseCounter() { Pins.counterPinned = false; }

bool SeamPinnedCounter(int64_t* nanoseconds) {
  if (Pins.counterPinned) *nanoseconds = Pins.counter;
  return Pins.counterPinned;
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
