// The silent output: nothing is played, and the layer counts the position
// from play by the clock, at the pace a sound card would keep. For a machine
// without any sound (--silent); it never fails to open.
#include "platform/audio_output.h"

#include <ctime>

int64_t AudioMonotonicNanos() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t AudioMonotonicFromRealtime(int64_t realNanos) {
  // Both clocks read back to back; a read split by a preemption is read again.
  int64_t before = 0, after = 0, real = 0;
  for (int attempt = 0; attempt < 3 && (attempt == 0 || after - before > 100000); ++attempt) {
    timespec now;
    before = AudioMonotonicNanos();
    clock_gettime(CLOCK_REALTIME, &now);
    after = AudioMonotonicNanos();
    real = int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
  }
  return before + (after - before) / 2 - (real - realNanos);
}

static int Open(int, const AudioOutputCallbacks*, bool* clockPaced) {
  *clockPaced = true;
  return 0;
}

static void Run(bool) {}
static void Close() {}
static void Lock() {}
static void Unlock() {}

static const AudioOutput kSilentOutput = {"silent", Open, Run, Close, Lock, Unlock, AudioMonotonicNanos, nullptr};

const AudioOutput* AudioOutputSilent() { return &kSilentOutput; }
