// Counters behind the demo clock: the stand-ins for Win32's performance
// counter and the multimedia timer.
//
// The performance counter counts nanoseconds of the monotonic clock. Offline
// tools and tests can pin it (see platform/show_seam.h), make it report that it
// does not exist, or feed the millisecond timer from a source of their own.
#pragma once

#include <cstdint>

// Counts per second of the performance counter; false when there is none.
bool QueryPerformanceFrequency(int64_t* frequency);
// The counter's current value; false when there is none.
bool QueryPerformanceCounter(int64_t* count);
// Milliseconds of the multimedia timer; wraps around at 2^32.
uint32_t timeGetTime();

// Test support.
void PerfCounterSimulateMissing(bool missing);          // no performance counter
void TimeGetTimeSetSource(uint32_t (*millisSource)());  // nullptr: the real clock
