#include "tools/shared_kit/audio_loopback.h"

#include "platform/audio_output.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>
#include <cstring>

static double Pace(const TimedSound::Anchor& anchor, int rate) {
  return anchor.nanosPerFrame > 0 ? anchor.nanosPerFrame : 1e9 / rate;
}

double TimedSound::NanosAt(double frame) const {
  if (anchors.empty() || rate <= 0) return 0.0;
  auto after = std::upper_bound(anchors.begin(), anchors.end(), frame,
                                [](double f, const Anchor& anchor) { return f < double(anchor.frame); });
  const Anchor& anchor = after == anchors.begin() ? anchors.front() : *(after - 1);
  return double(anchor.nanos) + (frame - double(anchor.frame)) * Pace(anchor, rate);
}

double TimedSound::FrameAt(double nanos) const {
  if (anchors.empty() || rate <= 0) return 0.0;
  auto after = std::upper_bound(anchors.begin(), anchors.end(), nanos,
                                [](double t, const Anchor& anchor) { return t < double(anchor.nanos); });
  const Anchor& anchor = after == anchors.begin() ? anchors.front() : *(after - 1);
  const double frame = double(anchor.frame) + (nanos - double(anchor.nanos)) / Pace(anchor, rate);
  // While the sound held, the frame stays where it held.
  return after == anchors.end() || after == anchors.begin() ? frame : std::min(frame, double(after->frame));
}

// An anchor at the first of reports [first, end), on their least-squares
// line and at its pace.
static TimedSound::Anchor AnchorOnLine(const std::vector<TimedSound::Anchor>& reports, size_t first, size_t end,
                                       int rate) {
  const TimedSound::Anchor& origin = reports[first];
  double slope = 1e9 / rate;  // nanos per frame
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  const double n = double(end - first);
  for (size_t i = first; i < end; ++i) {
    const double x = double(reports[i].frame - origin.frame), y = double(reports[i].nanos - origin.nanos);
    sx += x, sy += y, sxx += x * x, sxy += x * y;
  }
  // Less than half a second keeps the nominal rate: a few reports would tilt
  // the line.
  const double denominator = n * sxx - sx * sx;
  if (reports[end - 1].frame - origin.frame >= rate / 2 && denominator > 0) slope = (n * sxy - sx * sy) / denominator;
  return {origin.frame, origin.nanos + int64_t(std::llround(sy / n - slope * sx / n)), slope};
}

// Anchors for reports [first, end) of one run, a line for each second: a
// sink's rate against the monotonic clock wanders, and one line through a
// whole run shows that as drift.
static void AnchorOnLines(const std::vector<TimedSound::Anchor>& reports, size_t first, size_t end, int rate,
                          std::vector<TimedSound::Anchor>* anchors) {
  for (size_t from = first, to = first; from < end; from = to) {
    while (to < end && reports[to].frame - reports[from].frame < rate) ++to;
    anchors->push_back(AnchorOnLine(reports, from, to, rate));
  }
}

// Anchors for arrivals [first, end) of one run, one at each: the latest
// moment its frame can have been heard. It came no later than it arrived,
// nor later than a frame after it arrived less the time the sink takes to
// play what lies between (a recorder whose delay grows says nothing of the
// frames before).
static void AnchorBeforeArrivals(const std::vector<TimedSound::Anchor>& arrivals, size_t first, size_t end, int rate,
                                 std::vector<TimedSound::Anchor>* anchors) {
  const size_t base = anchors->size();
  anchors->resize(base + (end - first));
  double bound = 0;
  for (size_t i = end; i-- > first;) {
    const double arrived = double(arrivals[i].nanos);
    bound = i + 1 == end ? arrived
                         : std::min(arrived, bound - double(arrivals[i + 1].frame - arrivals[i].frame) * 1e9 / rate);
    (*anchors)[base + (i - first)] = {arrivals[i].frame, int64_t(std::llround(bound))};
  }
}

// Reports cut into runs wherever one lands more than `toleranceNanos` off
// the nominal rate from the report a tenth of a second before it (a stall, or
// a sink that plays a missed stretch at once), each run anchored by `anchor`.
template <typename AnchorRun>
static std::vector<TimedSound::Anchor> AnchorsByRuns(const std::vector<TimedSound::Anchor>& reports, int rate,
                                                     double toleranceNanos, AnchorRun anchor) {
  std::vector<TimedSound::Anchor> anchors;
  if (rate <= 0) return anchors;
  const double nanosPerFrame = 1e9 / rate;
  size_t first = 0, reference = 0;
  for (size_t i = 1; i <= reports.size(); ++i) {
    if (i < reports.size()) {
      // Measured against a report a tenth of a second back, so that a stall
      // shows however often it is reported, and a sink's drift does not.
      while (reference + 1 < i && reports[i].frame - reports[reference + 1].frame >= rate / 10) ++reference;
      const double expected = nanosPerFrame * double(reports[i].frame - reports[reference].frame);
      if (std::fabs(double(reports[i].nanos - reports[reference].nanos) - expected) <= toleranceNanos) continue;
    }
    anchor(reports, first, i, rate, &anchors);
    first = reference = i;
  }
  return anchors;
}

std::vector<TimedSound::Anchor> AnchorsFromReports(const std::vector<TimedSound::Anchor>& reports, int rate) {
  return AnchorsByRuns(reports, rate, 500000, AnchorOnLines);
}

std::vector<TimedSound::Anchor> AnchorsFromArrivals(const std::vector<TimedSound::Anchor>& arrivals, int rate) {
  // A busy machine delays reads by milliseconds; only a stall or a burst is cut.
  return AnchorsByRuns(arrivals, rate, 5000000, AnchorBeforeArrivals);
}

// ---------------------------------------------------------------------------
// Recording
// ---------------------------------------------------------------------------
static struct {
  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  pa_stream* stream = nullptr;
  int rate = 0;
  std::vector<int16_t> stereo;   // loop thread while recording
  std::vector<TimedSound::Anchor> reports;  // frame being captured at a moment; loop thread while recording
  int64_t streamBase = 0;        // frames recorded before the current stream began
  bool recording = false;        // past LoopbackStart: a lost server is asked again
  pa_time_event* retry = nullptr;
  timeval measured = {};         // the server's moment of the timing last reported
} Rec;

static void Signal(void*) { pa_threaded_mainloop_signal(Rec.loop, 0); }
static void ContextState(pa_context* context, void*);
static void StreamState(pa_stream* stream, void*);

// Each new measurement of the server's, as it is (libpulse's smoothed time
// re-converges slowly after a stall): the frame the sink was playing at the
// server's moment of measuring. The monitor holds what the sink has
// rendered: the source's latency ahead of what reached our queue, the sink's
// latency ahead of what is heard.
static void Report(pa_stream* stream) {
  const pa_timing_info* timing = pa_stream_get_timing_info(stream);
  if (!timing || timing->write_index_corrupt) return;
  if (timing->timestamp.tv_sec == Rec.measured.tv_sec && timing->timestamp.tv_usec == Rec.measured.tv_usec) return;
  Rec.measured = timing->timestamp;
  const double usec = double(timing->source_usec) - double(timing->sink_usec);
  const int64_t frame = Rec.streamBase + timing->write_index / 4 + int64_t(std::llround(usec * Rec.rate / 1e6));
  const int64_t measured = int64_t(Rec.measured.tv_sec) * 1000000000 + int64_t(Rec.measured.tv_usec) * 1000;
  Rec.reports.push_back({frame, AudioMonotonicFromRealtime(measured)});
}

static void Read(pa_stream* stream, size_t, void*) {
  while (pa_stream_readable_size(stream) > 0) {
    const void* data = nullptr;
    size_t bytes = 0;
    if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) break;
    const size_t samples = bytes / 2;
    if (data) {
      const int16_t* pcm = static_cast<const int16_t*>(data);
      Rec.stereo.insert(Rec.stereo.end(), pcm, pcm + samples);
    } else {
      Rec.stereo.insert(Rec.stereo.end(), samples, 0);  // a hole
    }
    pa_stream_drop(stream);
  }
  Report(stream);
  // Fresh timing for the next report: libpulse's own updates come up to 1.5 s
  // apart, and a monitor's time holds the sink's latency as of the last one.
  // When the show's stream lowers that latency, a stale report puts what is
  // heard up to 50 ms early.
  if (pa_operation* op = pa_stream_update_timing_info(stream, nullptr, nullptr)) pa_operation_unref(op);
}

static void Drop() {
  if (Rec.stream) {
    pa_stream_set_state_callback(Rec.stream, nullptr, nullptr);
    pa_stream_set_read_callback(Rec.stream, nullptr, nullptr);
    pa_stream_disconnect(Rec.stream);
    pa_stream_unref(Rec.stream);
  }
  if (Rec.context) {
    pa_context_set_state_callback(Rec.context, nullptr, nullptr);
    pa_context_disconnect(Rec.context);
    pa_context_unref(Rec.context);
  }
  Rec.context = nullptr;
  Rec.stream = nullptr;
}

static void Release() {
  if (Rec.loop) {
    pa_threaded_mainloop_lock(Rec.loop);
    Rec.recording = false;
    if (Rec.retry) pa_threaded_mainloop_get_api(Rec.loop)->time_free(Rec.retry);
    Rec.retry = nullptr;
    Drop();
    pa_threaded_mainloop_unlock(Rec.loop);
    pa_threaded_mainloop_stop(Rec.loop);
    pa_threaded_mainloop_free(Rec.loop);
  }
  Rec.loop = nullptr;
}

static bool Connect() {
  Rec.context = pa_context_new(pa_threaded_mainloop_get_api(Rec.loop), "velmora-trailer-tool sync");
  if (!Rec.context) return false;
  pa_context_set_state_callback(Rec.context, ContextState, nullptr);
  return pa_context_connect(Rec.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
}

static bool ConnectStream() {
  const pa_sample_spec format = {PA_SAMPLE_S16NE, uint32_t(Rec.rate), 2};
  Rec.stream = pa_stream_new(Rec.context, "Monitor", &format, nullptr);
  if (!Rec.stream) return false;
  // Small fragments: a null sink renders, and its monitor delivers, in blocks
  // of the latency its streams ask for, and with the show's 100 ms buffer
  // those blocks made what was heard look 20 ms late. The sink's blocks get
  // small; the show's stream still holds its own buffer.
  pa_buffer_attr attr;
  attr.maxlength = uint32_t(-1);
  attr.tlength = attr.prebuf = attr.minreq = uint32_t(-1);
  attr.fragsize = uint32_t(Rec.rate * 4 / 200);  // 5 ms
  pa_stream_set_state_callback(Rec.stream, StreamState, nullptr);
  pa_stream_set_read_callback(Rec.stream, Read, nullptr);
  const pa_stream_flags_t flags = pa_stream_flags_t(PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
  return pa_stream_connect_record(Rec.stream, "@DEFAULT_MONITOR@", &attr, flags) >= 0;
}

// Loop thread: a server that went away is asked again every 200 ms; the new
// recording goes on after what was recorded, its time from its own reports.
static void Retry(pa_mainloop_api* api, pa_time_event* timer, const struct timeval*, void*) {
  api->time_free(timer);
  Rec.retry = nullptr;
  Drop();
  if (Connect()) return;
  Drop();
  timeval when;
  pa_gettimeofday(&when);
  pa_timeval_add(&when, 200000);
  Rec.retry = api->time_new(api, &when, Retry, nullptr);
}

static void Lost() {
  if (!Rec.recording || Rec.retry) return;
  timeval when;
  pa_gettimeofday(&when);
  pa_timeval_add(&when, 200000);
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(Rec.loop);
  Rec.retry = api->time_new(api, &when, Retry, nullptr);
}

static void ContextState(pa_context* context, void*) {
  Signal(nullptr);
  if (!Rec.recording || context != Rec.context) return;
  const pa_context_state_t state = pa_context_get_state(context);
  if (state == PA_CONTEXT_READY && !Rec.stream) {
    Rec.streamBase = int64_t(Rec.stereo.size() / 2);
    if (!ConnectStream()) Lost();
  } else if (!PA_CONTEXT_IS_GOOD(state)) {
    Lost();
  }
}

static void StreamState(pa_stream* stream, void*) {
  Signal(nullptr);
  if (Rec.recording && stream == Rec.stream && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) Lost();
}

bool LoopbackStart(int rate) {
  Rec.rate = rate;
  Rec.stereo.clear();
  Rec.reports.clear();
  Rec.streamBase = 0;
  Rec.measured = timeval();
  Rec.recording = false;
  Rec.stereo.reserve(size_t(rate) * 2 * 200);
  Rec.loop = pa_threaded_mainloop_new();
  if (!Rec.loop || pa_threaded_mainloop_start(Rec.loop) < 0) {
    if (Rec.loop) pa_threaded_mainloop_free(Rec.loop);
    Rec.loop = nullptr;
    return false;
  }
  pa_threaded_mainloop_lock(Rec.loop);
  bool ok = Connect();
  while (ok && pa_context_get_state(Rec.context) != PA_CONTEXT_READY) {
    ok = PA_CONTEXT_IS_GOOD(pa_context_get_state(Rec.context));
    if (ok) pa_threaded_mainloop_wait(Rec.loop);
  }
  ok = ok && ConnectStream();
  while (ok && pa_stream_get_state(Rec.stream) != PA_STREAM_READY) {
    ok = PA_STREAM_IS_GOOD(pa_stream_get_state(Rec.stream));
    if (ok) pa_threaded_mainloop_wait(Rec.loop);
  }
  Rec.recording = ok;
  pa_threaded_mainloop_unlock(Rec.loop);
  if (!ok) Release();
  return ok;
}

bool LoopbackStop(TimedSound* recording) {
  if (!Rec.loop) return false;
  Release();
  recording->rate = Rec.rate;
  recording->stereo.swap(Rec.stereo);
  recording->anchors = AnchorsFromReports(Rec.reports, Rec.rate);
  return !recording->anchors.empty();
}

// ---------------------------------------------------------------------------
// Matching
// ---------------------------------------------------------------------------
static double Mono(const std::vector<int16_t>& stereo, int64_t frame) {
  if (frame < 0 || size_t(frame) * 2 + 1 >= stereo.size()) return 0.0;
  return double(stereo[size_t(frame) * 2]) + double(stereo[size_t(frame) * 2 + 1]);
}

// Normalised correlation of needle[from, from + count) with haystack at `at`,
// every `stride`-th frame.
static double Match(const std::vector<int16_t>& needle, int64_t from, int64_t count,
                    const std::vector<int16_t>& haystack, int64_t at, int stride) {
  double cross = 0, a = 0, b = 0;
  for (int64_t i = 0; i < count; i += stride) {
    const double x = Mono(needle, from + i), y = Mono(haystack, at + i);
    cross += x * y;
    a += x * x;
    b += y * y;
  }
  return a > 0 && b > 0 ? cross / std::sqrt(a * b) : 0.0;
}

int64_t FindSound(const std::vector<int16_t>& needle, int64_t from, int64_t count, const std::vector<int16_t>& haystack,
                  int64_t near, int64_t span, double minScore) {
  // Every lag on every fourth frame, then every frame around the best.
  int64_t best = -1;
  double bestScore = 0.5;
  for (int64_t at = near - span; at <= near + span; ++at) {
    const double score = Match(needle, from, count, haystack, at, 4);
    if (score > bestScore) {
      bestScore = score;
      best = at;
    }
  }
  if (best < 0) return -1;
  const int64_t coarse = best;
  bestScore = -1.0;
  for (int64_t at = coarse - 2; at <= coarse + 2; ++at) {
    const double score = Match(needle, from, count, haystack, at, 1);
    if (score > bestScore) {
      bestScore = score;
      best = at;
    }
  }
  return bestScore >= minScore ? best : -1;
}
