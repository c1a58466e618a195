#include "platform/perf_counter.h"

#include <time.h>

static int64_t MonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

bool QueryPerformanceFrequency(int64_t* frequency) {
  *frequency = 1000000000;
  return true;
}

bool QueryPerformanceCounter(int64_t* count) {
  *count = MonotonicNanoseconds();
  return true;
}

uint32_t timeGetTime() { return uint32_t(MonotonicNanoseconds() / 1000000); }
