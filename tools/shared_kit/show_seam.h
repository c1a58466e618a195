// The seam through which offline tools and tests decide what the show reads
// as "now".
//
// The show reads two things each frame through its table of time sources
// (app/time_sources.h): the soundtrack's stream position and the performance
// counter behind the demo clock. Pinning either makes it answer a fixed value
// until it is released, whether or not a soundtrack is playing; the show's
// code cannot tell the difference. Main thread only.
#pragma once

#include <cstdint>

// Stream position, in bytes of decoded audio (88,200 per second).
void SeamPinStreamPosition(uint32_t bytes);
void SeamReleaseStreamPosition();

// Performance counter, in nanoseconds. Pin it at 0, call TimerInit, then pin
// it at SeamCounterForMillis(ms) and TimerGetTime reads `ms` (never less).
void SeamPinCounter(int64_t nanoseconds);
void SeamReleaseCounter();
int64_t SeamCounterForMillis(double millis);

// Both at once, for rendering the frame of one moment of the show: pins the
// counter at 0, starts the demo clock, then pins position and counter.
void SeamPinMoment(uint32_t streamBytes, double clockMillis);
