#include "platform/perf_counter.h"

#include "platform/show_seam.h"

#include <time.h>

static struct {
  bool counterMissing = false;           // tests: pretend there is no counter
  uint32_t (*millisSource)() = nullptr;  // tests: replaces the real timer
} Counters;

static int64_t MonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

bool QueryPerformanceFrequency(int64_t* frequency) {
  if (Counters.counterMissing) {
    *frequency = 0;
    return false;
  }
  *frequency = 1000000000;
  return true;
}

bool QueryPerformanceCounter(int64_t* count) {
  if (Counters.counterMissing) {
    *count = 0;
    return false;
  }
  if (SeamPinnedCounter(count)) return true;
  *count = MonotonicNanoseconds();
  return true;
}

uint32_t timeGetTime() {
  if (Counters.millisSource) return Counters.millisSource();
  return uint32_t(MonotonicNanoseconds() / 1000000);
}

void PerfCounterSimulateMissing(bool missing) { Counters.counterMissing = missing; }
void TimeGetTimeSetSource(uint32_t (*millisSource)()) { Counters.millisSource = millisSource; }
