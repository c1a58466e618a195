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
static const int64_t kPositionBytesPerSecond = 88200;
static const int64_t kNanosPerSecond = 1000000000;
static const double kSlew = 0.05;               // the estimate bends toward the reports by up to 5 % of speed
static const double kRebaseSeconds = 0.020;     // reports further off than this are taken at once
static const int64_t kSilentNanos = kNanosPerSecond;        // nothing heard this long: go on by the clock
static const int64_t kFirstSoundNanos = 5 * kNanosPerSecond;  // ... before the first frame (servers wake slowly)

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
static const AudioOutput* ChosenOutput = nullptr;  // nullptr: choose at BASS_Init

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
// output's lock.
static struct {
  bool playing = false;
  bool startPending = false;            // the next pull starts the stream's first segment
  int64_t readFrame = 0;                // next stream frame to hand over
  int64_t pulled = 0;                   // output frames pulled since the output opened
  // Where the stream frames lie on the output's timeline: segment k starts at
  // output frame segmentOutput[k] with stream frame segmentStream[k]; [0] is
  // the newest. A second segment begins when the sound skips ahead to catch
  // up with a show that went on without it.
  int64_t segmentOutput[2] = {0, 0};
  int64_t segmentStream[2] = {0, 0};
  int segments = 0;
  int64_t lastCapOutput = 0;            // output frame beyond which the latest report heard nothing
  uint32_t skipsSeen = 0;
} Deck;

// The latest report in stream frames (seqlock), and the main thread's request
// that the sound skip ahead. Written by the audio thread, read by the main
// thread; reset by the main thread under the output's lock.
static struct {
  std::atomic<uint32_t> sequence{0};    // odd while the anchor is being written
  std::atomic<uint32_t> reports{0};     // reports since play; 0: nothing heard yet
  std::atomic<int64_t> frame{0};        // stream frame reaching the ear at `nanos`
  std::atomic<int64_t> nanos{0};
  std::atomic<int64_t> capFrame{0};     // nothing beyond is heard before the next report
  std::atomic<uint32_t> skipSerial{0};  // main thread: a new request
  std::atomic<int64_t> skipFrame{0};    // the stream frame the show is at ...
  std::atomic<int64_t> skipNanos{0};    // ... at this moment
} Anchor;

// The position estimate: main thread only.
static struct {
  bool playAsked = false;
  int64_t playNanos = 0;                // when BASS_StreamPlay ran
  bool frozen = false;                  // after BASS_Stop
  bool following = false;               // a report has come
  double baseFrame = 0;                 // the estimate is baseFrame + rate * (now - baseNanos)
  int64_t baseNanos = 0;
  double last = 0;                      // stream frame last answered
  int64_t lastNanos = 0;
  int64_t advancedNanos = 0;            // when the answer last grew
  bool freeRun = false;                 // going on by the clock
  uint32_t freeReports = 0;             // reports seen when it began
} Estimate;

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

// Stream frame at output frame `output`, by the segment it falls in (before
// the first: counted back from it).
static int64_t StreamFrameAt(int64_t output) {
  for (int k = 0; k < Deck.segments; ++k)
    if (output >= Deck.segmentOutput[k]) return Deck.segmentStream[k] + (output - Deck.segmentOutput[k]);
  const int oldest = Deck.segments - 1;
  return Deck.segmentStream[oldest] + (output - Deck.segmentOutput[oldest]);
}

static void StartSegment(int64_t streamFrame) {
  Deck.segmentOutput[1] = Deck.segmentOutput[0];
  Deck.segmentStream[1] = Deck.segmentStream[0];
  Deck.segmentOutput[0] = Deck.pulled;
  Deck.segmentStream[0] = streamFrame;
  Deck.segments = std::min(Deck.segments + 1, 2);
  Deck.readFrame = streamFrame;
}

// ---------------------------------------------------------------------------
// The audio thread
// ---------------------------------------------------------------------------
static void Pull(int16_t* stereo, int frames) {
  const Stream& stream = Bass.stream;
  if (!stream.handle || !Deck.playing) {
    std::memset(stereo, 0, size_t(frames) * 4);
    Deck.pulled += frames;
    return;
  }
  if (Deck.startPending) {
    Deck.startPending = false;
    StartSegment(Deck.readFrame);
  }
  const uint32_t skips = Anchor.skipSerial.load(std::memory_order_acquire);
  if (skips != Deck.skipsSeen) {
    Deck.skipsSeen = skips;
    // Hand over what the show will be at when this buffer is heard.
    const int64_t now = Bass.output->now();
    const int64_t latency = std::max<int64_t>(0, Deck.pulled - Deck.lastCapOutput);
    const int64_t target = Anchor.skipFrame.load(std::memory_order_relaxed) +
                           int64_t(FramesIn(now - Anchor.skipNanos.load(std::memory_order_relaxed))) + latency;
    if (target > Deck.readFrame) StartSegment(target);
  }
  const int64_t available = std::clamp<int64_t>(stream.frames - Deck.readFrame, 0, frames);
  if (available > 0) std::memcpy(stereo, &stream.pcm[size_t(Deck.readFrame) * 2], size_t(available) * 4);
  std::memset(stereo + available * 2, 0, size_t(frames - available) * 4);
  Deck.readFrame += frames;
  Deck.pulled += frames;
}

static void Heard(int64_t frame, int64_t nanos, int64_t capFrame) {
  Deck.lastCapOutput = capFrame;
  if (!Deck.playing || Deck.segments == 0) return;
  // Seqlock without fences: each field is released after the odd count, and
  // read with acquire before the count is read again.
  const uint32_t sequence = Anchor.sequence.load(std::memory_order_relaxed);
  Anchor.sequence.store(sequence + 1, std::memory_order_relaxed);
  Anchor.frame.store(StreamFrameAt(frame), std::memory_order_release);
  Anchor.nanos.store(nanos, std::memory_order_release);
  Anchor.capFrame.store(std::min(StreamFrameAt(capFrame), Deck.readFrame), std::memory_order_release);
  Anchor.reports.store(Anchor.reports.load(std::memory_order_relaxed) + 1, std::memory_order_release);
  Anchor.sequence.store(sequence + 2, std::memory_order_release);
}

static const AudioOutputCallbacks kCallbacks = {Pull, Heard};

// ---------------------------------------------------------------------------
// The main thread's estimate
// ---------------------------------------------------------------------------
struct Report {
  uint32_t count;  // 0: none yet
  int64_t frame, nanos, capFrame;
};

static Report ReadReport() {
  Report report;
  uint32_t before, after;
  do {
    before = Anchor.sequence.load(std::memory_order_acquire);
    report.count = Anchor.reports.load(std::memory_order_acquire);
    report.frame = Anchor.frame.load(std::memory_order_acquire);
    report.nanos = Anchor.nanos.load(std::memory_order_acquire);
    report.capFrame = Anchor.capFrame.load(std::memory_order_acquire);
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
  Estimate = {};
  Estimate.last = double(Bass.stream.startFrame);
}

static void GoOnByTheClock(int64_t now, const Report& report) {
  Estimate.freeRun = true;
  Estimate.freeReports = report.count;
  Estimate.baseFrame = Estimate.last;
  Estimate.baseNanos = now;
  std::fprintf(stderr, "velmora-trailer: no sound heard for %s; the show goes on by the clock\n",
               Estimate.following ? "a second" : "five seconds");
  Anchor.skipFrame.store(int64_t(Estimate.last), std::memory_order_relaxed);
  Anchor.skipNanos.store(now, std::memory_order_relaxed);
  Anchor.skipSerial.fetch_add(1, std::memory_order_release);
}

// Stream frame heard at `now`, as the show should see it.
static double EstimateAt(int64_t now) {
  const double start = double(Bass.stream.startFrame);
  if (Estimate.frozen || !Estimate.playAsked) return Estimate.last;

  Report report = {};
  double truth = start, cap = start;
  bool heard = false;
  if (Bass.clockPaced) {
    heard = true;
    truth = start + FramesIn(now - Estimate.playNanos);
    cap = truth;
  } else {
    report = ReadReport();
    heard = report.count > 0;
    cap = double(report.capFrame);
    truth = std::min(double(report.frame) + FramesIn(now - report.nanos), cap);
  }

  if (Estimate.freeRun && heard && report.count != Estimate.freeReports &&
      truth >= Estimate.baseFrame + FramesIn(now - Estimate.baseNanos) - kRebaseSeconds * Bass.rate) {
    // Sound again, from about where the show is: follow it from here.
    Estimate.freeRun = false;
    Estimate.baseFrame = Estimate.last;
    Estimate.baseNanos = now;
  }
  double value;
  int64_t grewUntil = now;
  if (Estimate.freeRun) {
    value = Estimate.baseFrame + FramesIn(now - Estimate.baseNanos);
  } else if (!heard || truth < start) {
    value = start;
    if (now - Estimate.playNanos > kFirstSoundNanos && !Estimate.following) GoOnByTheClock(now, report);
  } else {
    if (!Estimate.following) {
      Estimate.following = true;
      Estimate.baseFrame = truth;
      Estimate.baseNanos = now;
      Estimate.advancedNanos = now;
    }
    double predicted = Estimate.baseFrame + FramesIn(now - Estimate.baseNanos);
    // A line past the cap stopped growing when it reached it.
    if (predicted > cap)
      grewUntil = std::max(Estimate.lastNanos, now - int64_t((predicted - cap) * double(kNanosPerSecond) / Bass.rate));
    const double error = truth - predicted;
    if (std::abs(error) > kRebaseSeconds * Bass.rate) {
      Estimate.baseFrame = truth;
      Estimate.baseNanos = now;
      predicted = truth;
    } else {
      const double limit = kSlew * FramesIn(std::max<int64_t>(0, now - Estimate.lastNanos));
      const double bend = std::clamp(error, -limit, limit);
      Estimate.baseFrame += bend;
      predicted += bend;
    }
    value = predicted;
    if (predicted > cap) {
      // Held: the output has nothing more to play. Hold the line too, so
      // that the estimate goes on from here, not with a jump, when it does.
      value = cap;
      Estimate.baseFrame = cap;
      Estimate.baseNanos = now;
    }
  }
  if (value > Estimate.last) {
    Estimate.last = value;
    Estimate.advancedNanos = grewUntil;
  } else if (Estimate.following && !Estimate.freeRun && now - Estimate.advancedNanos > kSilentNanos) {
    GoOnByTheClock(now, report);
  }
  Estimate.lastNanos = now;
  return Estimate.last;
}

// ---------------------------------------------------------------------------
// The library's calls
// ---------------------------------------------------------------------------
void AudioUseOutput(const AudioOutput* output) { ChosenOutput = output; }

DWORD BASS_GetVersion() { return kVersion; }

BOOL BASS_Init(int device, DWORD freq, DWORD, void*) {
  if (Bass.initialised) return Fail(BASS_ERROR_ALREADY);
  if (device != -1) return Fail(kErrorDevice);
  if (freq < 8000 || freq > 192000) return Fail(kErrorFrequency);
  Bass.rate = int(freq);
  const AudioOutput* output = ChosenOutput;
  bool clockPaced = false;
  int code = BASS_ERROR_DRIVER;
  if (output) {
    code = output->open(int(freq), &kCallbacks, &clockPaced);
  } else {
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const bool sdlAsked = driver && *driver && std::strcmp(driver, "pulseaudio") && std::strcmp(driver, "pulse");
    output = AudioOutputPulse();
    if (sdlAsked || (code = output->open(int(freq), &kCallbacks, &clockPaced)) != BASS_OK) {
      output = AudioOutputSDL();
      code = output->open(int(freq), &kCallbacks, &clockPaced);
    }
  }
  if (code != BASS_OK) return Fail(code);
  // The audio thread must be gone before the decoded sound is destroyed.
  static const bool closedAtExit = std::atexit([] { BASS_Free(); }) == 0;
  (void)closedAtExit;
  Bass.output = output;
  Bass.clockPaced = clockPaced;
  ResetPosition();
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
  if (Estimate.playAsked) return Succeed();  // played once from its start; never restarted
  Lock();
  ResetPosition();
  Deck.readFrame = Bass.stream.startFrame;
  Deck.startPending = true;
  Deck.segments = 0;
  Deck.playing = true;
  Estimate.playAsked = true;
  Estimate.playNanos = Bass.output->now();
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
  if (Estimate.playAsked) return Fail(kErrorPosition);
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
  if (Estimate.playAsked) return Fail(kErrorIllegalParam);
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
  if (Estimate.playAsked && !Estimate.frozen) {
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
  return Succeed();
}
