// Choosing and opening the sound output: the one place that decides what the
// show plays through.
//
// An output chosen by the caller (--silent's silent output, a tool's or a
// test's) is opened as it is. Otherwise libpulse, when a sound server
// answers; SDL_AUDIODRIVER set to anything but PulseAudio asks for SDL's
// driver of that name instead. When libpulse finds no server that answers,
// SDL's other drivers are tried (audio_sdl.cpp: AudioOutputSDLFallback).
#include "platform/audio_output.h"

#include <cstdlib>
#include <cstring>

static const AudioOutput* ChosenOutput = nullptr;  // nullptr: choose at open

void AudioUseOutput(const AudioOutput* output) { ChosenOutput = output; }

static bool SdlDriverAsked() {
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  return driver && *driver && std::strcmp(driver, "pulseaudio") && std::strcmp(driver, "pulse");
}

const AudioOutput* AudioOpenOutput(int rate, const AudioOutputCallbacks* callbacks, bool* clockPaced, int* code) {
  const AudioOutput* output = ChosenOutput;
  if (!output) output = SdlDriverAsked() ? AudioOutputSDL() : AudioOutputPulse();
  *code = output->open(rate, callbacks, clockPaced);
  if (*code != 0 && !ChosenOutput && output == AudioOutputPulse()) {
    // The server that did not answer libpulse will not answer SDL either.
    output = AudioOutputSDLFallback(AudioPulseServerMute());
    *code = output->open(rate, callbacks, clockPaced);
  }
  return *code == 0 ? output : nullptr;
}
