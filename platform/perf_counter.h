// Counters behind the demo clock: the stand-ins for Win32's performance
// counter and the multimedia timer. The show reads them through the table of
// app/time_sources.h.
#pragma once

#include <cstdint>

// Counts per second of the performance counter (nanoseconds of the monotonic
// clock); false when there is none.
bool QueryPerformanceFrequency(int64_t* frequency);
// The counter's current value; false when there is none.
bool QueryPerformanceCounter(int64_t* count);
// Milliseconds of the multimedia timer; wraps around at 2^32.
uint32_t timeGetTime();
