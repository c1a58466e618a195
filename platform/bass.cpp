// The audio library stand-in: libmpg123 decodes the whole file at load, an
// output (libpulse or SDL2) plays it, and the position is what the output
// says is being heard, smoothed for the main thread.
//
// Threads: the output's audio thread runs Pull (copies from memory) and Heard
// (turns the output's report into stream frames and publishes it as an
// anchor). The main thread changes what Pull reads only under the output's
// lock. The anchor is shared through a seqlock of atomics, so a position read
// takes no lock; the estimate built from the anchors is the main thread's own.
//
// Units here: "stream frames" are output frames of the decoded file (frame 0
// is its first sample); positions are stream bytes (88,200 per second).
#include "platform/bass.h"

#include "platform/audio_decode.h"
#include "platform/audio_output.h"
#include "platform/position_estimate.h"
#include "platform/win_files.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------
static const DWORD kVersion = 0x80000;          // 0.8
static const int64_t kPositionBytesPerSecond = kStreamBytesPerSecond;
static const int64_t kNanosPerSecond = 1000000000;

// Codes beyond those the header names.
static const int kErrorPosition = 7;      // "Invalif playback position"
static const int kErrorNoChannel = 18;    // "Can't get a free channel"
static const int kErrorIllegalParam = 20;
static const int kErrorDevice = 23;       // "Illegal device number"
static const int kErrorFrequency = 25;    // "Illegal sample rate"

struct Stream {
  HSTREAM handle = 0;          // 0: slot free
  std::vector<int16_t> pcm;    // the whole file, interleaved stereo at the output rate
  int64_t frames = 0;          // stream frames in pcm
  uint32_t startBytes = 0;     // stream bytes where playback starts
  int64_t startFrame = 0;      // the same in stream frames
};

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
static struct {
  bool initialised = false;
  int error = BASS_OK;                  // code of the last call
  const AudioOutput* output = nullptr;
  bool clockPaced = false;              // the output cannot tell what is heard
  int rate = 0;                         // output frames per second
  HSTREAM lastHandle = 0;               // handles are never reused
  int delayMillis = 0;                  // how much later than reported the ear hears
  Stream stream;                        // the one stream the show needs; changed under the output's lock
} Bass;

// What the audio thread plays. The main thread writes it only under the
// output's lock, or while no callback runs.
struct DeckState {
  bool playing = false;
  bool startPending = false;            // the next pull starts the stream's first segment
  int64_t readFrame = 0;                // next stream frame to hand over
  int64_t pulled = 0;                   // output frames pulled since the output opened
  // Where the stream frames lie on the output's timeline: segment k starts at
  // output frame segmentOutput[k] with stream frame segmentStream[k]; [0] is
  // the newest. A new segment begins when the sound skips ahead to catch up
  // with a show that went on without it; segmentSkip says which skip.
  int64_t segmentOutput[2] = {0, 0};
  int64_t segmentStream[2] = {0, 0};
  uint32_t segmentSkip[2] = {0, 0};
  int segments = 0;
  int64_t heldFrames = 0;               // what the output will hold before the next pull is heard, at the latest report
  int lastPull = 0;                     // frames in the latest pull
  uint32_t skipsSeen = 0;
};
static DeckState Deck;

// The latest report in stream frames (seqlock), and the main thread's request
// that the sound skip ahead. Written by the audio thread, read by the main
// thread; reset by the main thread under the output's lock.
static struct {
  std::atomic<uint32_t> sequence{0};    // odd while the anchor is being written
  std::atomic<uint32_t> reports{0};     // reports since play; 0: nothing heard yet
  std::atomic<int64_t> frame{0};        // stream frame reaching the ear at `nanos`
  std::atomic<int64_t> nanos{0};
  std::atomic<int64_t> capFrame{0};     // nothing beyond is heard before the next report
  std::atomic<uint32_t> segment{0};     // the skip `frame` was played after
  std::atomic<uint32_t> skipSerial{0};  // main thread: a new request
  std::atomic<int64_t> skipFrame{0};    // the stream frame the show is at ...
  std::atomic<int64_t> skipNanos{0};    // ... at this moment
  std::atomic<uint32_t> underruns{0};   // times the output ran dry while the stream played
} Anchor;

// The position estimate (platform/position_estimate.h): main thread only.
static PositionEstimate Estimate;

// ---------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------
static BOOL Fail(int code) {
  Bass.error = code;
  return 0;
}

static BOOL Succeed() {
  Bass.error = BASS_OK;
  return 1;
}

// Output frames in `nanos` (any sign, any size: no 64-bit product).
static double FramesIn(int64_t nanos) { return double(nanos) * double(Bass.rate) / double(kNanosPerSecond); }

static void Lock() {
  if (Bass.output) Bass.output->lock();
}

static void Unlock() {
  if (Bass.output) Bass.output->unlock();
}

// The segment output frame `output` falls in (before the first: the oldest).
static int SegmentAt(int64_t output) {
  for (int k = 0; k < Deck.segments; ++k)
    if (output >= Deck.segmentOutput[k]) return k;
  return Deck.segments - 1;
}

static int64_t StreamFrameAt(int64_t output) {
  const int k = SegmentAt(output);
  return Deck.segmentStream[k] + (output - Deck.segmentOutput[k]);
}

static void StartSegment(int64_t streamFrame, uint32_t skip) {
  Deck.segmentOutput[1] = Deck.segmentOutput[0];
  Deck.segmentStream[1] = Deck.segmentStream[0];
  Deck.segmentSkip[1] = Deck.segmentSkip[0];
  Deck.segmentOutput[0] = Deck.pulled;
  Deck.segmentStream[0] = streamFrame;
  Deck.segmentSkip[0] = skip;
  Deck.segments = std::min(Deck.segments + 1, 2);
  Deck.readFrame = streamFrame;
}

// ---------------------------------------------------------------------------
// The audio thread
// ---------------------------------------------------------------------------
static void Pull(int16_t* stereo, int frames) {
  const Stream& stream = Bass.stream;
  Deck.lastPull = frames;
  if (!stream.handle || !Deck.playing) {
    std::memset(stereo, 0, size_t(frames) * 4);
    Deck.pulled += frames;
    return;
  }
  if (Deck.startPending) {
    Deck.startPending = false;
    StartSegment(Deck.readFrame, Deck.skipsSeen);
  }
  const uint32_t skips = Anchor.skipSerial.load(std::memory_order_acquire);
  if (skips != Deck.skipsSeen) {
    Deck.skipsSeen = skips;
    // Hand over what the show will be at when this buffer is heard: after
    // what the server said it holds, never its queue as we count it (a
    // server that has just woken holds more than it asks for). A show behind
    // the sound does not pull it back: it catches up by the rejoin.
    const int64_t now = Bass.output->now();
    const int64_t target = Anchor.skipFrame.load(std::memory_order_relaxed) +
                           int64_t(FramesIn(now - Anchor.skipNanos.load(std::memory_order_relaxed))) +
                           Deck.heldFrames;
    StartSegment(std::max(target, Deck.readFrame), skips);
  }
  const int64_t available = std::clamp<int64_t>(stream.frames - Deck.readFrame, 0, frames);
  if (available > 0) std::memcpy(stereo, &stream.pcm[size_t(Deck.readFrame) * 2], size_t(available) * 4);
  std::memset(stereo + available * 2, 0, size_t(frames - available) * 4);
  Deck.readFrame += frames;
  Deck.pulled += frames;
}

static void Heard(int64_t frame, int64_t nanos, int64_t capFrame) {
  // What the output holds less the pull just made: by the next pull it has
  // played about that much. Up to two seconds is a queue; more is a server
  // that has not started playing yet.
  const int64_t held = Deck.pulled - Deck.lastPull - frame;
  if (held >= 0 && held <= 2 * int64_t(Bass.rate)) Deck.heldFrames = held;
  if (!Deck.playing || Deck.segments == 0) return;
  // Seqlock without fences: each field is released after the odd count, and
  // read with acquire before the count is read again.
  const uint32_t sequence = Anchor.sequence.load(std::memory_order_relaxed);
  Anchor.sequence.store(sequence + 1, std::memory_order_relaxed);
  Anchor.frame.store(StreamFrameAt(frame), std::memory_order_release);
  Anchor.nanos.store(nanos, std::memory_order_release);
  Anchor.capFrame.store(std::min(StreamFrameAt(capFrame), Deck.readFrame), std::memory_order_release);
  Anchor.segment.store(Deck.segmentSkip[SegmentAt(frame)], std::memory_order_release);
  Anchor.reports.store(Anchor.reports.load(std::memory_order_relaxed) + 1, std::memory_order_release);
  Anchor.sequence.store(sequence + 2, std::memory_order_release);
}

static void Underrun() {
  if (Deck.playing) Anchor.underruns.fetch_add(1, std::memory_order_relaxed);
}

static const AudioOutputCallbacks kCallbacks = {Pull, Heard, Underrun};

// ---------------------------------------------------------------------------
// The main thread's side
// ---------------------------------------------------------------------------
static HeardReport ReadReport() {
  HeardReport report;
  uint32_t before, after;
  do {
    before = Anchor.sequence.load(std::memory_order_acquire);
    report.count = Anchor.reports.load(std::memory_order_acquire);
    report.frame = Anchor.frame.load(std::memory_order_acquire);
    report.nanos = Anchor.nanos.load(std::memory_order_acquire);
    report.capFrame = Anchor.capFrame.load(std::memory_order_acquire);
    report.segment = Anchor.segment.load(std::memory_order_acquire);
    after = Anchor.sequence.load(std::memory_order_relaxed);
  } while ((before & 1) || before != after);
  return report;
}

// Main thread, with no callback playing the stream (or under the lock).
static void ResetPosition() {
  Anchor.reports.store(0);
  Anchor.frame.store(0);
  Anchor.nanos.store(0);
  Anchor.capFrame.store(0);
  Anchor.segment.store(0);
  Anchor.skipSerial.store(0);
  Deck.skipsSeen = 0;
  EstimateReset(&Estimate, Bass.rate, Bass.stream.startFrame);
}

// Everything the layer keeps about an output, as before the first BASS_Init.
static void ResetOutputState() {
  Deck = DeckState();
  Anchor.underruns.store(0);
  ResetPosition();
}

// Stream frame heard at `now`, as the show should see it; passes a new skip
// request on to the audio thread.
static double EstimateAt(int64_t now) {
  const HeardReport report = Bass.clockPaced ? HeardReport() : ReadReport();
  const uint32_t skips = Estimate.skipSerial;
  const double value = EstimateRead(&Estimate, now, Bass.clockPaced ? nullptr : &report);
  if (Estimate.skipSerial != skips) {
    Anchor.skipFrame.store(Estimate.skipFrame, std::memory_order_relaxed);
    Anchor.skipNanos.store(Estimate.skipNanos, std::memory_order_relaxed);
    Anchor.skipSerial.store(Estimate.skipSerial, std::memory_order_release);
  }
  return value;
}

// ---------------------------------------------------------------------------
// The library's calls
// ---------------------------------------------------------------------------
DWORD BASS_GetVersion() { return kVersion; }

BOOL BASS_Init(int device, DWORD freq, DWORD, void*) {
  if (Bass.initialised) return Fail(BASS_ERROR_ALREADY);
  if (device != -1) return Fail(kErrorDevice);
  if (freq < 8000 || freq > 192000) return Fail(kErrorFrequency);
  Bass.rate = int(freq);
  // Whatever a previous run in this process left is gone before any callback.
  ResetOutputState();
  bool clockPaced = false;
  int code = BASS_ERROR_DRIVER;
  const AudioOutput* output = AudioOpenOutput(int(freq), &kCallbacks, &clockPaced, &code);
  if (!output) return Fail(code);
  // The audio thread must be gone before the decoded sound is destroyed.
  static const bool closedAtExit = std::atexit([] { BASS_Free(); }) == 0;
  (void)closedAtExit;
  Bass.output = output;
  Bass.clockPaced = clockPaced;
  Bass.initialised = true;
  return Succeed();
}

BOOL BASS_Start() {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  Bass.output->run(true);
  return Succeed();
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD) {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  // Only whole files by name: the show opens nothing else.
  if (mem || !file || offset || length) return Fail(kErrorIllegalParam);
  if (Bass.stream.handle) return Fail(kErrorNoChannel);
  std::string path;
  if (!ResolveShowFile(static_cast<const char*>(file), &path)) return Fail(BASS_ERROR_FILEOPEN);

  Stream stream;
  long fileRate = 0;
  const int code = DecodeMp3File(path.c_str(), Bass.rate, &stream.pcm, &fileRate);
  if (code != BASS_OK) return Fail(code);
  stream.frames = int64_t(stream.pcm.size() / 2);
  stream.handle = ++Bass.lastHandle;
  if (stream.handle == 0) stream.handle = ++Bass.lastHandle;  // after a wrap
  Lock();
  Bass.stream.pcm.swap(stream.pcm);
  Bass.stream.handle = stream.handle;
  Bass.stream.frames = stream.frames;
  Bass.stream.startBytes = 0;
  Bass.stream.startFrame = 0;
  Deck.playing = false;
  Deck.readFrame = 0;
  Deck.segments = 0;
  ResetPosition();
  Unlock();
  Bass.error = BASS_OK;
  return Bass.stream.handle;
}

int BASS_ErrorGetCode() { return Bass.error; }

BOOL BASS_StreamPlay(HSTREAM handle, BOOL, DWORD) {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  if (!handle || handle != Bass.stream.handle) return Fail(BASS_ERROR_HANDLE);
  if (Estimate.playing) return Succeed();  // played once from its start; never restarted
  Lock();
  ResetPosition();
  Deck.readFrame = Bass.stream.startFrame;
  Deck.startPending = true;
  Deck.segments = 0;
  Deck.playing = true;
  EstimatePlay(&Estimate, Bass.output->now());
  Unlock();
  Bass.output->run(true);
  return Succeed();
}

DWORD BASS_ChannelGetPosition(DWORD handle) {
  // Errors answer -1, as the library does: past every mark, so a show
  // without its clock ends instead of waiting forever on a black screen.
  if (!Bass.initialised) {
    Fail(BASS_ERROR_INIT);
    return 0xFFFFFFFFu;
  }
  if (!handle || handle != Bass.stream.handle) {
    Fail(BASS_ERROR_HANDLE);
    return 0xFFFFFFFFu;
  }
  const double start = double(Bass.stream.startFrame);
  double value = EstimateAt(Bass.output->now());
  if (value > start) value = std::max(start, value - double(Bass.delayMillis) * Bass.rate / 1000.0);
  const int64_t heard = int64_t(value) - Bass.stream.startFrame;
  Bass.error = BASS_OK;
  // Unsigned 32 bits, wrapping like the library's DWORD.
  return DWORD(Bass.stream.startBytes + uint64_t(heard) * kPositionBytesPerSecond / uint64_t(Bass.rate));
}

BOOL BASS_ChannelSetPosition(DWORD handle, DWORD bytes) {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  if (!handle || handle != Bass.stream.handle) return Fail(BASS_ERROR_HANDLE);
  // Only before playback: the stream is played once, from where it was set.
  if (Estimate.playing) return Fail(kErrorPosition);
  const int64_t frame = int64_t(bytes) * Bass.rate / kPositionBytesPerSecond;
  if (frame > Bass.stream.frames) return Fail(kErrorPosition);
  Lock();
  Bass.stream.startBytes = bytes;
  Bass.stream.startFrame = frame;
  Deck.readFrame = frame;
  ResetPosition();
  Unlock();
  return Succeed();
}

BOOL BASS_SetOutputDelay(int ms) {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  if (Estimate.playing) return Fail(kErrorIllegalParam);
  Bass.delayMillis = ms;
  return Succeed();
}

DWORD BASS_StreamGetLength(HSTREAM handle) {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  if (!handle || handle != Bass.stream.handle) return Fail(BASS_ERROR_HANDLE);
  Bass.error = BASS_OK;
  return DWORD(uint64_t(Bass.stream.frames) * kPositionBytesPerSecond / uint64_t(Bass.rate));
}

BOOL BASS_Stop() {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  if (Estimate.playing && !Estimate.frozen) {
    EstimateAt(Bass.output->now());
    Estimate.frozen = true;
  }
  Bass.output->run(false);
  Lock();
  Deck.playing = false;
  Unlock();
  return Succeed();
}

BOOL BASS_StreamFree(HSTREAM handle) {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  if (!handle || handle != Bass.stream.handle) return Fail(BASS_ERROR_HANDLE);
  std::vector<int16_t> pcm;
  Lock();
  pcm.swap(Bass.stream.pcm);
  Bass.stream = Stream();
  Deck.playing = false;
  Deck.segments = 0;
  ResetPosition();
  Unlock();
  return Succeed();
}

BOOL BASS_Free() {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  if (Bass.stream.handle) BASS_StreamFree(Bass.stream.handle);
  Bass.output->run(false);
  Bass.output->close();
  Bass.output = nullptr;
  Bass.initialised = false;
  if (const uint32_t underruns = Anchor.underruns.load())
    std::fprintf(stderr, "velmora-trailer: the sound ran dry %u time%s while the music played\n", underruns,
                 underruns == 1 ? "" : "s");
  ResetOutputState();
  return Succeed();
}

double BASS_GetClockShift() { return Bass.initialised ? EstimateClockShift(Estimate) : 0.0; }

DWORD BASS_GetUnderruns() { return Anchor.underruns.load(std::memory_order_relaxed); }
