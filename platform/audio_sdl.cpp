// The SDL2 output: the fallback where no sound server answers, and SDL's
// dummy driver for headless runs.
//
// SDL reports no output latency, so a sound card is taken to play the buffer
// it is handed right after the one it is playing: each callback's first frame
// is heard one buffer after the callback. The dummy and disk drivers hear
// nothing and call back at whole-millisecond sleeps (a few percent fast), so
// there the layer counts by the clock instead.
#include "platform/audio_output.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

static const int kBufferFrames = 512;  // per callback: 11.6 ms at 44.1 kHz

static struct {
  SDL_AudioDeviceID device = 0;
  const AudioOutputCallbacks* callbacks = nullptr;
  int bufferFrames = 0;  // output frames per callback
  int64_t pulled = 0;    // output frames pulled since open; audio thread
} Sdl;

// SDL's audio thread, with the device lock held.
static void SDLCALL Callback(void*, Uint8* out, int bytes) {
  const int64_t now = AudioMonotonicNanos();
  const int frames = bytes / 4;
  const int64_t first = Sdl.pulled;
  Sdl.callbacks->pull(reinterpret_cast<int16_t*>(out), frames);
  Sdl.pulled += frames;
  Sdl.callbacks->heard(first - Sdl.bufferFrames, now, first + frames - Sdl.bufferFrames);
}

static void SilentCallback(void*, Uint8* out, int bytes) {
  Sdl.callbacks->pull(reinterpret_cast<int16_t*>(out), bytes / 4);
}

static int OpenDevice(int rate, const AudioOutputCallbacks* callbacks, bool* clockPaced) {
  const char* driver = SDL_GetCurrentAudioDriver();
  *clockPaced = driver && (!std::strcmp(driver, "dummy") || !std::strcmp(driver, "disk"));
  SDL_AudioSpec want = {}, have = {};
  want.freq = rate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = kBufferFrames;
  want.callback = *clockPaced ? SilentCallback : Callback;
  Sdl.callbacks = callbacks;
  Sdl.pulled = 0;
  // No changes allowed: SDL converts to whatever the hardware takes.
  Sdl.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (!Sdl.device) return 3;
  Sdl.bufferFrames = have.samples;
  return 0;
}

static int Open(int rate, const AudioOutputCallbacks* callbacks, bool* clockPaced) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 3;
  if (OpenDevice(rate, callbacks, clockPaced) == 0) return 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return 3;
}

static bool ServerMute = false;

// Drivers that play through a sound server, as the one that took libpulse's
// connection and never answered may well be (SDL waits for ever on such a
// server); a desktop's ALSA plays through it too, and waits 30 s.
static bool ThroughServer(const char* name) {
  for (const char* server : {"pulseaudio", "pipewire", "jack", "sndio", "alsa"})
    if (!SDL_strcmp(name, server)) return true;
  return false;
}

// SDL's drivers in its order but pulseaudio (libpulse asked its server
// already, SDL_AUDIODRIVER=pulseaudio too) and disk (a file, not sound).
// Behind a mute server, every driver through a server is passed over too,
// then dummy: the show goes on silently rather than wait for a server that
// may never answer. With no server at all, no output is an error the user
// is told about. An open given up (audio_open.cpp) tries no more drivers.
static int OpenFallback(int rate, const AudioOutputCallbacks* callbacks, bool* clockPaced) {
  const int count = SDL_GetNumAudioDrivers();
  for (int pass = 0; pass < (ServerMute ? 2 : 1); ++pass) {
    for (int i = 0; i < count && !AudioOpenGivenUp(); ++i) {
      const char* name = SDL_GetAudioDriver(i);
      if (!name || (pass == 0) == !SDL_strcmp(name, "dummy") || !SDL_strcmp(name, "pulseaudio") ||
          !SDL_strcmp(name, "disk") || (ServerMute && ThroughServer(name)))
        continue;
      SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, name, SDL_HINT_OVERRIDE);
      const int code = Open(rate, callbacks, clockPaced);
      SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, nullptr, SDL_HINT_OVERRIDE);
      if (code == 0) {
        if (*clockPaced && !AudioOpenGivenUp())
          std::fprintf(stderr, "velmora-trailer: no sound output; the show goes on silently\n");
        return 0;
      }
    }
  }
  return 3;
}

static void Run(bool on) { SDL_PauseAudioDevice(Sdl.device, on ? 0 : 1); }

static void Close() {
  SDL_CloseAudioDevice(Sdl.device);
  Sdl.device = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

static void Lock() { SDL_LockAudioDevice(Sdl.device); }
static void Unlock() { SDL_UnlockAudioDevice(Sdl.device); }

static const AudioOutput kSdlOutput = {"sdl", Open, Run, Close, Lock, Unlock, AudioMonotonicNanos, nullptr};

const AudioOutput* AudioOutputSDL() { return &kSdlOutput; }

static const AudioOutput kSdlFallbackOutput = {"sdl",  OpenFallback,        Run,    Close,
                                                Lock,   Unlock, AudioMonotonicNanos, nullptr};

const AudioOutput* AudioOutputSDLFallback(bool serverMute) {
  ServerMute = serverMute;
  return &kSdlFallbackOutput;
}
