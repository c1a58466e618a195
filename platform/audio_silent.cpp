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

static int Open(int, const AudioOutputCallbacks*, bool* clockPaced) {
  *clockPaced = true;
  return 0;
}

static void Run(bool) {}
static void Close() {}
static void Lock() {}
static void Unlock() {}

static const AudioOutput kSilentOutput = {"silent", Open, Run, Close, Lock, Unlock, AudioMonotonicNanos};

const AudioOutput* AudioOutputSilent() { return &kSilentOutput; }
