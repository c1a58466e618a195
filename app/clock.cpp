#include "app/clock.h"

#include "app/time_sources.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
static struct {
  int64_t countsPerSecond;     // counter frequency; 1000 for the fallback
  float secondsPerCount;       // 1 / countsPerSecond, kept in single precision
  uint32_t startMillis;        // timeGetTime() at start (fallback only)
  bool usePerformanceCounter;  // false: the millisecond timer is in use
  int64_t startCount;          // counter at start (performance counter only)
  bool held;                   // TimerHold: the clock stands at heldMillis
  float heldMillis;
  double shiftAtStart;         // the soundtrack's clock shift at start, ms
  float lastShifted;           // the last reading, ms: the clock never reads less
} timer;

// How far the soundtrack's time line has moved since play, in ms.
static double ClockShift() { return TimeSources().clockShift ? TimeSources().clockShift() : 0.0; }

// The counters' reading moved with the soundtrack's time line. While the
// music holds (a sleeping sink, a stalled server) the line falls behind the
// counters and the clock holds with it rather than going back. Every reading
// is kept, unshifted ones too: a hold that began just before a read moves
// the shift past that read's value at the next one.
static float Shifted(double millis) {
  if (timer.countsPerSecond == 0) return float(millis);  // not started
  const float value = std::max(float(millis + (ClockShift() - timer.shiftAtStart)), timer.lastShifted);
  timer.lastShifted = value;
  return value;
}

void TimerInit() {
  std::memset(&timer, 0, sizeof timer);
  timer.shiftAtStart = ClockShift();
  if (!TimeSources().counterFrequency(&timer.countsPerSecond)) {
    timer.usePerformanceCounter = false;
    timer.startMillis = TimeSources().millisecondTimer();
    timer.secondsPerCount = 0.001f;
    timer.countsPerSecond = 1000;
    return;
  }
  TimeSources().counter(&timer.startCount);
  timer.usePerformanceCounter = true;
  // Rounded to single precision on purpose: the clock is scaled by the float
  // nearest to 1 / frequency, not by the exact ratio.
  timer.secondsPerCount = float(1.0 / double(timer.countsPerSecond));
}

float TimerGetTime() {
  if (timer.held) return timer.heldMillis;
  if (timer.usePerformanceCounter) {
    int64_t now = 0;
    TimeSources().counter(&now);
    const int64_t elapsed = now - timer.startCount;
    return Shifted(double(elapsed) * double(timer.secondsPerCount) * 1000.0);
  }
  // Unsigned 32-bit difference, so a wrap of the timer between start and now
  // still gives the right elapsed time.
  const uint32_t elapsed = TimeSources().millisecondTimer() - timer.startMillis;
  return Shifted(double(uint64_t(elapsed)) * double(timer.secondsPerCount) * 1000.0);
}

void TimerSeek(float millis) {
  TimerInit();
  TimerAdvance(millis);
}

void TimerAdvance(float millis) {
  if (timer.usePerformanceCounter)
    timer.startCount -= int64_t(double(millis) / 1000.0 * double(timer.countsPerSecond));
  else
    timer.startMillis -= uint32_t(int64_t(millis));
}

void TimerHold(float millis) {
  timer.held = true;
  timer.heldMillis = millis;
}
