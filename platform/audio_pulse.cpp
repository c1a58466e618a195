// The libpulse output: plays through a PulseAudio server (or PipeWire's
// PulseAudio interface) and asks the server what is being heard.
//
// Threads: libpulse's threaded main loop runs every callback here with its
// lock held. The stream is opened corked and written only once it runs (from
// BASS_Start, silence until the music plays, so that the sink has settled on
// the stream's latency by then). After every write the frame heard now is
// reported with the monotonic clock, and a fresh timing update is asked for.
// Timing is taken as it is (PA_STREAM_NOT_MONOTONIC): the
// stream time libpulse keeps monotonic is poisoned by the nonsense an idle
// sink reports before the stream first plays.
#include "platform/audio_output.h"

#include <pulse/pulseaudio.h>

// Server-side buffer the stream asks for. Measured on a null sink of a busy
// two-core machine: 30 ms underran often; 40 ms was heard within 2 ms of the
// position; 50 to 200 ms were heard 5 to 20 ms later than the server said.
static const int kTargetMillis = 40;
static const int kRequestMillis = 10;  // the server asks for data this often
static const int kStallMillis = 50;    // without a report, the estimate holds this far on

static struct {
  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  pa_stream* stream = nullptr;
  const AudioOutputCallbacks* callbacks = nullptr;
  int rate = 0;           // Hz
  bool running = false;   // written under the loop lock
  int64_t written = 0;    // output frames written to the server; loop thread
} Pulse;

static void Signal(void*) { pa_threaded_mainloop_signal(Pulse.loop, 0); }
static void ContextState(pa_context*, void*) { Signal(nullptr); }
static void StreamState(pa_stream*, void*) { Signal(nullptr); }

// Loop thread (or the main thread holding the loop lock). The frame heard
// now is what was written less what the server still holds (its queue and
// the sink's latency): counted on our own timeline, which the server's read
// index leaves when it runs dry.
static void Report() {
  pa_usec_t usec = 0;
  int negative = 0;
  if (pa_stream_get_latency(Pulse.stream, &usec, &negative) < 0) return;
  const int64_t now = AudioMonotonicNanos();
  const int64_t held = int64_t(usec / 1000000 * uint64_t(Pulse.rate) + usec % 1000000 * uint64_t(Pulse.rate) / 1000000);
  const int64_t frame = Pulse.written - (negative ? -held : held);
  int64_t cap = frame + int64_t(Pulse.rate) * kStallMillis / 1000;
  if (cap > Pulse.written) cap = Pulse.written;
  Pulse.callbacks->heard(frame, now, cap);
}

static void Fill(size_t bytes) {
  while (bytes >= 4) {
    void* data = nullptr;
    size_t chunk = bytes;
    if (pa_stream_begin_write(Pulse.stream, &data, &chunk) < 0 || !data || chunk < 4) return;
    chunk -= chunk % 4;
    Pulse.callbacks->pull(static_cast<int16_t*>(data), int(chunk / 4));
    if (pa_stream_write(Pulse.stream, data, chunk, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
    Pulse.written += int64_t(chunk / 4);
    bytes -= chunk;
  }
}

static void AskTiming() {
  if (pa_operation* op = pa_stream_update_timing_info(Pulse.stream, nullptr, nullptr)) pa_operation_unref(op);
}

static void Write(pa_stream*, size_t bytes, void*) {
  if (!Pulse.running) return;
  Fill(bytes);
  Report();
  AskTiming();
}

static void LatencyUpdate(pa_stream*, void*) {
  if (Pulse.running) Report();
}

static void Close() {
  if (!Pulse.loop) return;
  pa_threaded_mainloop_lock(Pulse.loop);
  if (Pulse.stream) {
    pa_stream_disconnect(Pulse.stream);
    pa_stream_unref(Pulse.stream);
  }
  if (Pulse.context) {
    pa_context_disconnect(Pulse.context);
    pa_context_unref(Pulse.context);
  }
  pa_threaded_mainloop_unlock(Pulse.loop);
  pa_threaded_mainloop_stop(Pulse.loop);
  pa_threaded_mainloop_free(Pulse.loop);
  Pulse.loop = nullptr;
  Pulse.context = nullptr;
  Pulse.stream = nullptr;
}

// Waits, with the loop locked, until `ready` or a failed state.
static bool WaitContext() {
  for (;;) {
    const pa_context_state_t state = pa_context_get_state(Pulse.context);
    if (state == PA_CONTEXT_READY) return true;
    if (!PA_CONTEXT_IS_GOOD(state)) return false;
    pa_threaded_mainloop_wait(Pulse.loop);
  }
}

static bool WaitStream() {
  for (;;) {
    const pa_stream_state_t state = pa_stream_get_state(Pulse.stream);
    if (state == PA_STREAM_READY) return true;
    if (!PA_STREAM_IS_GOOD(state)) return false;
    pa_threaded_mainloop_wait(Pulse.loop);
  }
}

static int Open(int rate, const AudioOutputCallbacks* callbacks, bool* clockPaced) {
  *clockPaced = false;
  Pulse.callbacks = callbacks;
  Pulse.rate = rate;
  Pulse.running = false;
  Pulse.written = 0;
  Pulse.loop = pa_threaded_mainloop_new();
  if (!Pulse.loop) return 3;
  if (pa_threaded_mainloop_start(Pulse.loop) < 0) {
    pa_threaded_mainloop_free(Pulse.loop);
    Pulse.loop = nullptr;
    return 3;
  }
  pa_threaded_mainloop_lock(Pulse.loop);
  Pulse.context = pa_context_new(pa_threaded_mainloop_get_api(Pulse.loop), "Velmora One, The Trailer");
  bool ok = Pulse.context != nullptr;
  if (ok) {
    pa_context_set_state_callback(Pulse.context, ContextState, nullptr);
    // Never start a server: without one the show plays through SDL.
    ok = pa_context_connect(Pulse.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 && WaitContext();
  }
  if (ok) {
    const pa_sample_spec format = {PA_SAMPLE_S16NE, uint32_t(rate), 2};
    Pulse.stream = pa_stream_new(Pulse.context, "Soundtrack", &format, nullptr);
    ok = Pulse.stream != nullptr;
  }
  if (ok) {
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(rate * 4 * kTargetMillis / 1000);
    // No prebuffering: after an underrun the server plays on, and what came
    // late is dropped, so the music keeps its time (and the demo clock's)
    // instead of starting again later.
    attr.prebuf = 0;
    attr.minreq = uint32_t(rate * 4 * kRequestMillis / 1000);
    attr.fragsize = uint32_t(-1);
    pa_stream_set_state_callback(Pulse.stream, StreamState, nullptr);
    pa_stream_set_write_callback(Pulse.stream, Write, nullptr);
    pa_stream_set_latency_update_callback(Pulse.stream, LatencyUpdate, nullptr);
    const pa_stream_flags_t flags = pa_stream_flags_t(PA_STREAM_START_CORKED | PA_STREAM_INTERPOLATE_TIMING |
                                                      PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY |
                                                      PA_STREAM_NOT_MONOTONIC);
    ok = pa_stream_connect_playback(Pulse.stream, nullptr, &attr, flags, nullptr, nullptr) >= 0 && WaitStream();
  }
  pa_threaded_mainloop_unlock(Pulse.loop);
  if (!ok) {
    Close();
    return 3;
  }
  return 0;
}

static void Run(bool on) {
  pa_threaded_mainloop_lock(Pulse.loop);
  Pulse.running = on;
  if (pa_operation* op = pa_stream_cork(Pulse.stream, on ? 0 : 1, nullptr, nullptr)) pa_operation_unref(op);
  if (on) {
    // The server asked for data while corked; answer now.
    const size_t writable = pa_stream_writable_size(Pulse.stream);
    if (writable != size_t(-1)) Fill(writable);
    AskTiming();
  }
  pa_threaded_mainloop_unlock(Pulse.loop);
}

static void Lock() { pa_threaded_mainloop_lock(Pulse.loop); }
static void Unlock() { pa_threaded_mainloop_unlock(Pulse.loop); }

static const AudioOutput kPulseOutput = {"pulse", Open, Run, Close, Lock, Unlock, AudioMonotonicNanos};

const AudioOutput* AudioOutputPulse() { return &kPulseOutput; }
