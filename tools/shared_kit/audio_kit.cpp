#include "tools/shared_kit/audio_kit.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

// ---------------------------------------------------------------------------
// The simulated card (test thread only)
// ---------------------------------------------------------------------------
static struct {
  int failCode = 0;
  const AudioOutputCallbacks* callbacks = nullptr;
  bool running = false;
  int64_t clock = 0;        // ns
  int64_t pulled = 0;       // output frames
  std::vector<int16_t> buffer;
} Sim;

static int SimOpen(int, const AudioOutputCallbacks* callbacks, bool* clockPaced) {
  *clockPaced = false;
  if (Sim.failCode) return Sim.failCode;
  Sim.callbacks = callbacks;
  Sim.pulled = 0;
  return 0;
}
static void SimRun(bool on) { Sim.running = on; }
static void SimClose() { Sim.callbacks = nullptr; }
static void SimNothing() {}
static int64_t SimNow() { return Sim.clock; }

static const AudioOutput kSimOutput = {"simulated", SimOpen,    SimRun, SimClose,
                                       SimNothing,  SimNothing, SimNow, nullptr};

const AudioOutput* KitSimulatedOutput(int failCode) {
  Sim.failCode = failCode;
  return &kSimOutput;
}

void KitSimSetClock(int64_t nanos) { Sim.clock = nanos; }

const int16_t* KitSimPull(int frames) {
  Sim.buffer.assign(size_t(frames) * 2, 0);
  if (Sim.callbacks && Sim.running) {
    Sim.callbacks->pull(Sim.buffer.data(), frames);
    Sim.pulled += frames;
  }
  return Sim.buffer.data();
}

void KitSimReport(int64_t frame, int64_t nanos, int64_t capFrame) {
  if (Sim.callbacks && Sim.running) Sim.callbacks->heard(frame, nanos, capFrame);
}

const int16_t* KitSimCallback(int64_t nanos, int bufferFrames, int latencyFrames) {
  Sim.clock = nanos;
  const int64_t first = Sim.pulled;
  const int16_t* buffer = KitSimPull(bufferFrames);
  KitSimReport(first - latencyFrames, nanos, first + bufferFrames - latencyFrames);
  return buffer;
}

int64_t KitSimPulled() { return Sim.pulled; }

// ---------------------------------------------------------------------------
// The live card
// ---------------------------------------------------------------------------
static struct {
  int bufferFrames = 0;
  int latencyFrames = 0;
  const AudioOutputCallbacks* callbacks = nullptr;
  std::mutex lock;                    // held around every callback
  std::atomic<bool> running{false};
  std::atomic<bool> quit{false};
  std::thread thread;
  int rate = 0;
} Live;

static void LiveLoop() {
  std::vector<int16_t> buffer(size_t(Live.bufferFrames) * 2);
  int64_t pulled = 0;
  int64_t due = AudioMonotonicNanos();
  const int64_t period = int64_t(Live.bufferFrames) * 1000000000 / Live.rate;
  while (!Live.quit.load()) {
    due += period;
    const int64_t wait = due - AudioMonotonicNanos();
    if (wait > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
    if (!Live.running.load()) continue;
    std::lock_guard<std::mutex> guard(Live.lock);
    const int64_t now = AudioMonotonicNanos();
    Live.callbacks->pull(buffer.data(), Live.bufferFrames);
    Live.callbacks->heard(pulled - Live.latencyFrames, now, pulled + Live.bufferFrames - Live.latencyFrames);
    pulled += Live.bufferFrames;
  }
}

static int LiveOpen(int rate, const AudioOutputCallbacks* callbacks, bool* clockPaced) {
  *clockPaced = false;
  Live.rate = rate;
  Live.callbacks = callbacks;
  Live.quit = false;
  Live.thread = std::thread(LiveLoop);
  return 0;
}
static void LiveRun(bool on) { Live.running = on; }
static void LiveClose() {
  Live.quit = true;
  if (Live.thread.joinable()) Live.thread.join();
}
static void LiveLock() { Live.lock.lock(); }
static void LiveUnlock() { Live.lock.unlock(); }

static const AudioOutput kLiveOutput = {"live",   LiveOpen,   LiveRun, LiveClose, LiveLock,
                                        LiveUnlock, AudioMonotonicNanos, nullptr};

const AudioOutput* KitLiveOutput(int bufferFrames, int latencyFrames) {
  Live.bufferFrames = bufferFrames;
  Live.latencyFrames = latencyFrames;
  return &kLiveOutput;
}

// ---------------------------------------------------------------------------
// The observer
// ---------------------------------------------------------------------------
static struct {
  const AudioOutput* inner = nullptr;
  KitAudioObserver observer = nullptr;
  const AudioOutputCallbacks* callbacks = nullptr;
  int64_t pulled = 0;  // audio thread
} Observed;

static void ObservedPull(int16_t* stereo, int frames) {
  const int64_t now = Observed.inner->now();
  Observed.callbacks->pull(stereo, frames);
  Observed.observer(now, Observed.pulled, stereo, frames);
  Observed.pulled += frames;
}
static void ObservedHeard(int64_t frame, int64_t nanos, int64_t capFrame) {
  Observed.callbacks->heard(frame, nanos, capFrame);
}
static void ObservedUnderrun() { Observed.callbacks->underrun(); }
static const AudioOutputCallbacks kObservedCallbacks = {ObservedPull, ObservedHeard, ObservedUnderrun};

static int ObservedOpen(int rate, const AudioOutputCallbacks* callbacks, bool* clockPaced) {
  Observed.callbacks = callbacks;
  Observed.pulled = 0;
  return Observed.inner->open(rate, &kObservedCallbacks, clockPaced);
}
static void ObservedRun(bool on) { Observed.inner->run(on); }
static void ObservedClose() { Observed.inner->close(); }
static void ObservedLock() { Observed.inner->lock(); }
static void ObservedUnlock() { Observed.inner->unlock(); }
static int64_t ObservedNow() { return Observed.inner->now(); }

static const AudioOutput kObservedOutput = {"observed",   ObservedOpen,   ObservedRun, ObservedClose,
                                            ObservedLock, ObservedUnlock, ObservedNow, nullptr};

const AudioOutput* KitObservedOutput(const AudioOutput* inner, KitAudioObserver observer) {
  Observed.inner = inner;
  Observed.observer = observer;
  return &kObservedOutput;
}
