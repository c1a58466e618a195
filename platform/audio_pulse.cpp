// The libpulse output: plays through a PulseAudio server (or PipeWire's
// PulseAudio interface) and asks the server what is being heard.
//
// Threads: libpulse's threaded main loop runs every callback here with its
// lock held. The stream is opened corked and written only once it runs (from
// BASS_Start, silence until the music plays, so that the sink has settled on
// the stream's latency by then). After every write a fresh timing update is
// asked for, and each one that arrives is reported as it is: the frame the
// sink was playing at the server's own moment of measuring, moved to the
// monotonic clock. libpulse's smoothed time is not used: after a stalled
// server catches up it re-converges over seconds, while the position
// estimate already runs on between reports and bends toward them.
//
// Faults: opening has a deadline, so a server that accepts and never answers
// cannot hold the show up. Once open, a context or stream that fails (the
// server killed, restarted, or the stream's sink gone) is dropped and a new
// connection is tried about once a second, on the loop thread; meanwhile
// nothing is reported, so the layer goes on by the clock. Output frames go on
// counting across connections: they are the layer's timeline, not the
// server's.
#include "platform/audio_output.h"

#include <pulse/pulseaudio.h>

#include <cstdio>

// Server-side buffer the stream asks for, and how often it asks for more. The
// server keeps half of what is left after two requests in the sink, so only
// two requests stand between a late thread and an underrun: the request
// size is the margin. Measured with the show in a window on Xvfb, 33 s of it,
// beside four busy loops and a video export on a two-core machine that other
// builds kept busy too (load 10 to 13): 40 ms in 10 ms requests ran dry 16 to
// 20 times, 100 ms in 10 ms 5 to 13 times, 200 ms in 10 ms twice (and twice
// on a quiet machine), 100 ms in 25 ms never, 200 ms in 40 ms never in four
// runs and a whole show (8 times in a whole show with a build beside it; the
// old 40 ms, 4 and 36 times). The position follows the server's reports
// whatever the buffer, so the picture keeps its place in the music.
static const int kTargetMillis = 200;
static const int kRequestMillis = 40;
static const int kStallMillis = 50;     // without a report, the estimate holds this far on
static const int kOpenMillis = 2500;    // a server that has not answered by then is given up
static const int kRetryMillis = 1000;   // a lost server is asked again this often

static struct {
  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  pa_stream* stream = nullptr;
  timeval measured = {};   // the server's moment of the timing last reported
  const AudioOutputCallbacks* callbacks = nullptr;
  int rate = 0;            // Hz
  bool running = false;    // written under the loop lock
  int64_t written = 0;     // output frames written to the server; loop thread
  bool open = false;       // past Open: failures are recovered from
  bool lost = false;       // the connection failed and a new one is not yet playing
  bool deadlinePassed = false;  // Open's wait is over
  pa_time_event* timer = nullptr;  // Open's deadline, then the next reconnection
} Pulse;

static void Signal() { pa_threaded_mainloop_signal(Pulse.loop, 0); }

static int64_t FramesIn(pa_usec_t usec) {
  return int64_t(usec / 1000000 * uint64_t(Pulse.rate) + usec % 1000000 * uint64_t(Pulse.rate) / 1000000);
}

// Loop thread (or the main thread holding the loop lock), for each new
// measurement of the server's. The frame heard then is what was written less
// what the server still held (its queue and the sink's latency): counted on
// our own timeline, which the server's read index leaves when it runs dry.
// A stream the server is not playing holds where it is.
static void Report() {
  const pa_timing_info* timing = Pulse.stream ? pa_stream_get_timing_info(Pulse.stream) : nullptr;
  if (!timing || timing->read_index_corrupt || timing->write_index_corrupt) return;
  if (timing->timestamp.tv_sec == Pulse.measured.tv_sec && timing->timestamp.tv_usec == Pulse.measured.tv_usec)
    return;
  Pulse.measured = timing->timestamp;
  const int64_t queued = (timing->write_index - timing->read_index) / 4;
  const int64_t frame = Pulse.written - queued - FramesIn(timing->sink_usec);
  int64_t cap = timing->playing ? frame + int64_t(Pulse.rate) * kStallMillis / 1000 : frame;
  if (cap > Pulse.written) cap = Pulse.written;
  const int64_t measured = int64_t(timing->timestamp.tv_sec) * 1000000000 + int64_t(timing->timestamp.tv_usec) * 1000;
  Pulse.callbacks->heard(frame, AudioMonotonicFromRealtime(measured), cap);
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

static void Cork(bool corked) {
  if (pa_operation* op = pa_stream_cork(Pulse.stream, corked ? 1 : 0, nullptr, nullptr)) pa_operation_unref(op);
}

static void AskTiming() {
  if (pa_operation* op = pa_stream_update_timing_info(Pulse.stream, nullptr, nullptr)) pa_operation_unref(op);
}

// Answers what the server asked for while corked or before we ran.
static void FillWritable() {
  const size_t writable = pa_stream_writable_size(Pulse.stream);
  if (writable != size_t(-1)) Fill(writable);
  AskTiming();
}

static void Write(pa_stream* stream, size_t bytes, void*) {
  if (!Pulse.running || stream != Pulse.stream) return;
  Fill(bytes);
  Report();
  AskTiming();
}

static void LatencyUpdate(pa_stream* stream, void*) {
  if (Pulse.running && stream == Pulse.stream) Report();
}

static void Underflow(pa_stream* stream, void*) {
  if (Pulse.running && stream == Pulse.stream) Pulse.callbacks->underrun();
}

static void Moved(pa_stream* stream, void*) {
  if (stream == Pulse.stream) AskTiming();
}

// ---------------------------------------------------------------------------
// Connections
// ---------------------------------------------------------------------------
static void ContextState(pa_context* context, void*);
static void StreamState(pa_stream* stream, void*);

static void CancelTimer() {
  if (!Pulse.timer) return;
  pa_threaded_mainloop_get_api(Pulse.loop)->time_free(Pulse.timer);
  Pulse.timer = nullptr;
}

static void Arm(int millis, pa_time_event_cb_t callback) {
  CancelTimer();
  timeval when;
  pa_gettimeofday(&when);
  pa_timeval_add(&when, pa_usec_t(millis) * 1000);
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(Pulse.loop);
  Pulse.timer = api->time_new(api, &when, callback, nullptr);
}

// Drops the stream, connected or not; no callback of its comes afterwards.
static void DropStream() {
  if (!Pulse.stream) return;
  pa_stream_set_state_callback(Pulse.stream, nullptr, nullptr);
  pa_stream_set_write_callback(Pulse.stream, nullptr, nullptr);
  pa_stream_set_latency_update_callback(Pulse.stream, nullptr, nullptr);
  pa_stream_set_underflow_callback(Pulse.stream, nullptr, nullptr);
  pa_stream_set_moved_callback(Pulse.stream, nullptr, nullptr);
  pa_stream_disconnect(Pulse.stream);
  pa_stream_unref(Pulse.stream);
  Pulse.stream = nullptr;
}

// Drops the stream and the context; no callback of theirs comes afterwards.
static void Drop() {
  DropStream();
  if (Pulse.context) {
    pa_context_set_state_callback(Pulse.context, nullptr, nullptr);
    pa_context_disconnect(Pulse.context);
    pa_context_unref(Pulse.context);
    Pulse.context = nullptr;
  }
}

static bool Connect() {
  Pulse.context = pa_context_new(pa_threaded_mainloop_get_api(Pulse.loop), "Velmora One, The Trailer");
  if (!Pulse.context) return false;
  pa_context_set_state_callback(Pulse.context, ContextState, nullptr);
  // Never start a server: without one the show plays through SDL.
  return pa_context_connect(Pulse.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
}

static bool ConnectStream() {
  const pa_sample_spec format = {PA_SAMPLE_S16NE, uint32_t(Pulse.rate), 2};
  Pulse.stream = pa_stream_new(Pulse.context, "Soundtrack", &format, nullptr);
  if (!Pulse.stream) return false;
  pa_buffer_attr attr;
  attr.maxlength = uint32_t(-1);
  attr.tlength = uint32_t(Pulse.rate * 4 * kTargetMillis / 1000);
  // No prebuffering: after an underrun the server plays on, and what came
  // late is dropped, so the music keeps its time (and the demo clock's)
  // instead of starting again later.
  attr.prebuf = 0;
  attr.minreq = uint32_t(Pulse.rate * 4 * kRequestMillis / 1000);
  attr.fragsize = uint32_t(-1);
  pa_stream_set_state_callback(Pulse.stream, StreamState, nullptr);
  pa_stream_set_write_callback(Pulse.stream, Write, nullptr);
  pa_stream_set_latency_update_callback(Pulse.stream, LatencyUpdate, nullptr);
  pa_stream_set_underflow_callback(Pulse.stream, Underflow, nullptr);
  pa_stream_set_moved_callback(Pulse.stream, Moved, nullptr);
  // A stream made again while the show plays starts at once.
  const int corked = Pulse.running ? 0 : PA_STREAM_START_CORKED;
  const pa_stream_flags_t flags =
      pa_stream_flags_t(corked | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
  return pa_stream_connect_playback(Pulse.stream, nullptr, &attr, flags, nullptr, nullptr) >= 0;
}

// Loop thread: try again now, and once more a second later unless this one
// plays by then.
static void Reconnect(pa_mainloop_api* api, pa_time_event* timer, const struct timeval*, void*) {
  api->time_free(timer);
  Pulse.timer = nullptr;
  Drop();
  if (!Connect()) Drop();
  Arm(kRetryMillis, Reconnect);
}

static void Lose() {
  if (Pulse.lost) return;  // a reconnection is already under way
  Pulse.lost = true;
  std::fprintf(stderr, "velmora-trailer: the sound server went away; the show goes on and asks again every second\n");
  Arm(kRetryMillis, Reconnect);
}

static void ContextState(pa_context* context, void*) {
  Signal();
  if (!Pulse.open || context != Pulse.context) return;
  const pa_context_state_t state = pa_context_get_state(context);
  if (state == PA_CONTEXT_READY && Pulse.lost && !Pulse.stream) {
    if (!ConnectStream()) DropStream();  // the timer tries again
  } else if (!PA_CONTEXT_IS_GOOD(state) && !Pulse.lost) {
    Lose();
  }
}

static void StreamState(pa_stream* stream, void*) {
  Signal();
  if (!Pulse.open || stream != Pulse.stream) return;
  const pa_stream_state_t state = pa_stream_get_state(stream);
  if (state == PA_STREAM_READY && Pulse.lost) {
    Pulse.lost = false;
    CancelTimer();
    std::fprintf(stderr, "velmora-trailer: the sound server answers again; the music plays on\n");
    // Made corked while stopped, the stream plays if Run(true) came since.
    Cork(!Pulse.running);
    if (Pulse.running) FillWritable();
  } else if (!PA_STREAM_IS_GOOD(state) && !Pulse.lost) {
    Lose();
  }
}

// ---------------------------------------------------------------------------
// The output
// ---------------------------------------------------------------------------
static void Close() {
  if (!Pulse.loop) return;
  pa_threaded_mainloop_lock(Pulse.loop);
  Pulse.open = false;
  CancelTimer();
  Drop();
  pa_threaded_mainloop_unlock(Pulse.loop);
  pa_threaded_mainloop_stop(Pulse.loop);
  pa_threaded_mainloop_free(Pulse.loop);
  Pulse.loop = nullptr;
}

static void DeadlinePassed(pa_mainloop_api* api, pa_time_event* timer, const struct timeval*, void*) {
  api->time_free(timer);
  Pulse.timer = nullptr;
  Pulse.deadlinePassed = true;
  Signal();
}

// Waits, with the loop locked, until `ready` or a failed state or the deadline.
static bool WaitContext() {
  for (;;) {
    const pa_context_state_t state = pa_context_get_state(Pulse.context);
    if (state == PA_CONTEXT_READY) return true;
    if (!PA_CONTEXT_IS_GOOD(state) || Pulse.deadlinePassed) return false;
    pa_threaded_mainloop_wait(Pulse.loop);
  }
}

static bool WaitStream() {
  for (;;) {
    const pa_stream_state_t state = pa_stream_get_state(Pulse.stream);
    if (state == PA_STREAM_READY) return true;
    if (!PA_STREAM_IS_GOOD(state) || Pulse.deadlinePassed) return false;
    pa_threaded_mainloop_wait(Pulse.loop);
  }
}

static int Open(int rate, const AudioOutputCallbacks* callbacks, bool* clockPaced) {
  *clockPaced = false;
  Pulse.callbacks = callbacks;
  Pulse.rate = rate;
  Pulse.running = false;
  Pulse.written = 0;
  Pulse.open = false;
  Pulse.lost = false;
  Pulse.deadlinePassed = false;
  Pulse.measured = timeval();
  Pulse.loop = pa_threaded_mainloop_new();
  if (!Pulse.loop) return 3;
  if (pa_threaded_mainloop_start(Pulse.loop) < 0) {
    pa_threaded_mainloop_free(Pulse.loop);
    Pulse.loop = nullptr;
    return 3;
  }
  pa_threaded_mainloop_lock(Pulse.loop);
  bool ok = Connect();
  if (ok) Arm(kOpenMillis, DeadlinePassed);
  ok = ok && WaitContext() && ConnectStream() && WaitStream();
  if (!ok && Pulse.deadlinePassed)
    std::fprintf(stderr, "velmora-trailer: the sound server did not answer within %.1f s; trying other outputs\n",
                 kOpenMillis / 1000.0);
  CancelTimer();
  Pulse.open = ok;
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
  // A stream not READY yet is corked as `running` says when it is.
  if (Pulse.stream && pa_stream_get_state(Pulse.stream) == PA_STREAM_READY) {
    Cork(!on);
    if (on) FillWritable();
  }
  pa_threaded_mainloop_unlock(Pulse.loop);
}

static void Lock() { pa_threaded_mainloop_lock(Pulse.loop); }
static void Unlock() { pa_threaded_mainloop_unlock(Pulse.loop); }

// A jump: what the server holds of the old sound goes, so the new sound is
// heard after the sink's latency alone. Output frames go on counting: the
// dropped ones are never reported as heard.
static void Flush() {
  if (!Pulse.stream || pa_stream_get_state(Pulse.stream) != PA_STREAM_READY) return;
  if (pa_operation* op = pa_stream_flush(Pulse.stream, nullptr, nullptr)) pa_operation_unref(op);
  AskTiming();
}

static const AudioOutput kPulseOutput = {"pulse", Open, Run, Close, Lock, Unlock, AudioMonotonicNanos, Flush};

const AudioOutput* AudioOutputPulse() { return &kPulseOutput; }

bool AudioPulseServerMute() { return Pulse.deadlinePassed; }
