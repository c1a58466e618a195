// Choosing and opening the sound output: the one place that decides what the
// show plays through.
//
// An output chosen by the caller (--silent's silent output, a tool's or a
// test's) is opened as it is. Otherwise libpulse, when a sound server
// answers; SDL_AUDIODRIVER set to anything but PulseAudio asks for SDL's
// driver of that name instead. When libpulse finds no server that answers,
// SDL's other drivers are tried (audio_sdl.cpp: AudioOutputSDLFallback).
//
// That whole chain runs on a helper thread, which the main thread waits for
// at most kOpenMillis, looking for a stop signal meanwhile: a server or a
// driver that never answers (SDL's own wait for ever) cannot hold the show
// up, and SIGINT or SIGTERM ends start-up at once. An open given up is left
// to finish on its own: it closes whatever it opened then, and its output
// never reaches the show's callbacks; the show plays silently.
#include "platform/audio_output.h"

#include "platform/stop_signal.h"

#include <pthread.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

// The whole chain, libpulse's 2.5 s included: with the song's decoding and a
// window after it, the show appears within 4 s on a busy machine.
static const int kOpenMillis = 2750;
static const int kLookMillis = 20;    // how often the main thread looks for a stop

enum OpenPhase { kIdle, kOpening, kOpened, kGivenUp };

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
static struct {
  const AudioOutput* chosen = nullptr;          // the caller's; nullptr: choose at open
  std::atomic<int> phase{kIdle};                // of the open on the helper thread
  std::atomic<bool> adopted{false};             // the show took the helper's output
  const AudioOutputCallbacks* show = nullptr;   // the show's callbacks, behind the gate
  // The helper's answer, written before it leaves kOpening.
  int rate = 0;                                 // Hz
  const AudioOutput* output = nullptr;          // nullptr: none opened
  int code = 0;                                 // the audio library's error code
  bool clockPaced = false;
} Opening;

void AudioUseOutput(const AudioOutput* output) { Opening.chosen = output; }

bool AudioOpenGivenUp() { return Opening.phase.load() == kGivenUp; }

// The helper's output calls the show only once the show has taken it.
static void GatedPull(int16_t* stereo, int frames) {
  if (Opening.adopted.load(std::memory_order_acquire)) Opening.show->pull(stereo, frames);
  else std::memset(stereo, 0, size_t(frames) * 4);
}
static void GatedHeard(int64_t frame, int64_t nanos, int64_t capFrame) {
  if (Opening.adopted.load(std::memory_order_acquire)) Opening.show->heard(frame, nanos, capFrame);
}
static void GatedUnderrun() {
  if (Opening.adopted.load(std::memory_order_acquire)) Opening.show->underrun();
}
static const AudioOutputCallbacks kGated = {GatedPull, GatedHeard, GatedUnderrun};

static bool SdlDriverAsked() {
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  return driver && *driver && std::strcmp(driver, "pulseaudio") && std::strcmp(driver, "pulse");
}

// The helper thread: the show's own choice, then SDL's other drivers.
static void* OpenChosenByShow(void*) {
  const AudioOutput* output = SdlDriverAsked() ? AudioOutputSDL() : AudioOutputPulse();
  bool clockPaced = false;
  int code = output->open(Opening.rate, &kGated, &clockPaced);
  if (code != 0 && output == AudioOutputPulse() && !AudioOpenGivenUp()) {
    // The server that did not answer libpulse will not answer SDL either.
    output = AudioOutputSDLFallback(AudioPulseServerMute());
    code = output->open(Opening.rate, &kGated, &clockPaced);
  }
  Opening.output = code == 0 ? output : nullptr;
  Opening.code = code;
  Opening.clockPaced = clockPaced;
  int opening = kOpening;
  if (!Opening.phase.compare_exchange_strong(opening, kOpened)) {
    // Given up: nobody plays through what was opened this late.
    if (Opening.output) Opening.output->close();
    Opening.phase.store(kIdle);
  }
  return nullptr;
}

static void Sleep(int millis) {
  const timespec pause = {0, long(millis) * 1000000};
  nanosleep(&pause, nullptr);
}

// The main thread takes the helper's answer.
static const AudioOutput* Adopt(bool* clockPaced, int* code) {
  Opening.adopted.store(true, std::memory_order_release);
  Opening.phase.store(kIdle);
  *clockPaced = Opening.clockPaced;
  *code = Opening.code;
  return Opening.output;
}

static const AudioOutput* OpenSilent(int rate, const AudioOutputCallbacks* callbacks, bool* clockPaced, int* code) {
  *code = AudioOutputSilent()->open(rate, callbacks, clockPaced);
  return AudioOutputSilent();
}

const AudioOutput* AudioOpenOutput(int rate, const AudioOutputCallbacks* callbacks, bool* clockPaced, int* code) {
  if (const AudioOutput* chosen = Opening.chosen) {
    *code = chosen->open(rate, callbacks, clockPaced);
    return *code == 0 ? chosen : nullptr;
  }
  int idle = kIdle;
  if (!Opening.phase.compare_exchange_strong(idle, kOpening)) {
    // An open given up earlier in this process still hangs in a driver.
    std::fprintf(stderr, "velmora-trailer: the sound output still does not answer; the show goes on silently\n");
    return OpenSilent(rate, callbacks, clockPaced, code);
  }
  Opening.show = callbacks;
  Opening.adopted.store(false);
  Opening.rate = rate;
  pthread_attr_t attributes;
  pthread_t helper;
  const bool started = pthread_attr_init(&attributes) == 0 &&
                       pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0 &&
                       pthread_create(&helper, &attributes, OpenChosenByShow, nullptr) == 0;
  pthread_attr_destroy(&attributes);
  if (!started) OpenChosenByShow(nullptr);  // no thread to spare: open here, without a deadline

  for (int waited = 0;; waited += kLookMillis) {
    if (Opening.phase.load() == kOpened) return Adopt(clockPaced, code);
    const bool stop = StopSignalled();
    if (stop || waited >= kOpenMillis) {
      int opening = kOpening;
      if (!Opening.phase.compare_exchange_strong(opening, kGivenUp)) return Adopt(clockPaced, code);
      // Asked to end: the show ends before a sound would be heard.
      if (!stop)
        std::fprintf(stderr, "velmora-trailer: no sound output answered within %g s; the show goes on silently\n",
                     kOpenMillis / 1000.0);
      return OpenSilent(rate, callbacks, clockPaced, code);
    }
    Sleep(kLookMillis);
  }
}
