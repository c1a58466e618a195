// Sound outputs: what the audio layer (platform/bass.cpp) plays through.
//
// Words: a frame is one 16-bit stereo sample pair at the output's rate.
// Output frames count every frame the output has pulled since it was opened,
// silence included; they are the output's own timeline. Times are monotonic
// nanoseconds from the output's `now`.
//
// An output is a table of functions, so that the layer drives libpulse, SDL2
// or a test's simulated output alike. The layer owns the callbacks below; the
// output calls them on its own thread (the "audio thread"), with its lock
// held, never from two threads at once.
#pragma once

#include <cstdint>

struct AudioOutputCallbacks {
  // Fills `frames` frames at `stereo` (interleaved, native endian). Copies
  // only: never blocks, never allocates.
  void (*pull)(int16_t* stereo, int frames);
  // Output frame `frame` is reaching the ear at `nanos`. Nothing beyond
  // `capFrame` can be heard until the next report (a stalled output holds
  // there). `frame` may lie before 0 or `nanos` in the future.
  void (*heard)(int64_t frame, int64_t nanos, int64_t capFrame);
  // The output ran dry: something handed over came too late to be heard.
  void (*underrun)();
};

struct AudioOutput {
  const char* name;
  // Main thread. Opens the output at `rate` Hz, silent until `run(true)`.
  // Returns 0 or the audio library's error code (3: no driver). With
  // *clockPaced set the output never calls `heard`: it cannot tell when
  // anything is heard (SDL's dummy and disk drivers), so the layer counts
  // from play by the clock.
  int (*open)(int rate, const AudioOutputCallbacks* callbacks, bool* clockPaced);
  // Main thread: start or stop pulling.
  void (*run)(bool on);
  // Main thread: no callback runs after it returns.
  void (*close)();
  // Main thread: between lock and unlock no callback runs.
  void (*lock)();
  void (*unlock)();
  // Any thread: the clock of the reports, in nanoseconds.
  int64_t (*now)();
  // Main thread, under lock: drops what was handed over and not yet heard
  // (a jump: the old sound must not play on). nullptr where the output keeps
  // too little to matter.
  void (*flush)();
};

// libpulse, when a PulseAudio (or PipeWire-pulse) server answers within a
// few seconds; the server says what is being heard now, its own latency
// included. A server lost while playing is asked again about once a second;
// the show goes on meanwhile.
const AudioOutput* AudioOutputPulse();
// SDL2's audio drivers. SDL reports no latency: one device buffer is assumed.
const AudioOutput* AudioOutputSDL();
// True when the last AudioOutputPulse open found a server that took the
// connection and never answered in time.
bool AudioPulseServerMute();
// The same where libpulse found no server that answers: SDL's drivers but its
// pulseaudio one (and disk), the first that opens; SDL_AUDIODRIVER naming
// PulseAudio is taken as tried. With `serverMute` every driver that plays
// through a server is passed over too (pipewire, jack, sndio, and ALSA, which
// on a desktop plays through that same server and waits half a minute for
// it), and when none opens, SDL's dummy driver, silent and paced by the
// clock. Without a server at all, no driver is an error.
const AudioOutput* AudioOutputSDLFallback(bool serverMute);

// Plays nothing; the layer counts by the clock. Never fails to open.
const AudioOutput* AudioOutputSilent();

// Main thread, before BASS_Init: the output to use; nullptr (the default)
// chooses libpulse when a server answers, else SDL. SDL_AUDIODRIVER set to
// anything but pulseaudio chooses SDL.
void AudioUseOutput(const AudioOutput* output);

// Main thread: opens the output in use (above) at `rate` Hz. Returns it, or
// nullptr with the audio library's error code in *code. The default choice
// takes at most about 3 s: a server or driver that does not answer by then,
// or a stop signal (platform/stop_signal.h) while waiting, gives the silent
// output instead.
const AudioOutput* AudioOpenOutput(int rate, const AudioOutputCallbacks* callbacks, bool* clockPaced, int* code);
// Any thread: true while an open given up by AudioOpenOutput is still under
// way; an output trying one driver after another stops trying.
bool AudioOpenGivenUp();

// CLOCK_MONOTONIC in nanoseconds.
int64_t AudioMonotonicNanos();
// The moment `realNanos` of CLOCK_REALTIME (libpulse's timestamps) on
// CLOCK_MONOTONIC, in nanoseconds.
int64_t AudioMonotonicFromRealtime(int64_t realNanos);
