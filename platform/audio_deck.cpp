#include "platform/audio_deck.h"

#include <algorithm>
#include <atomic>
#include <cstring>

static const int64_t kNanosPerSecond = 1000000000;

// What the audio thread plays. The main thread writes it only under the
// output's lock, or while no callback runs.
struct DeckState {
  bool playing = false;
  bool startPending = false;            // the next pull starts the stream's first segment
  bool seekPending = false;             // the next pull starts a segment at seekFrame, tagged seekTag
  int64_t seekFrame = 0;
  uint32_t seekTag = 0;
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

static struct {
  int rate = 0;                         // output frames per second
  int64_t (*now)() = nullptr;           // the output's clock
  std::vector<int16_t> pcm;             // the whole file, interleaved stereo at the output rate
  int64_t frames = 0;                   // stream frames in pcm
} Sound;

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
  std::atomic<bool> moving{false};      // `frame` lies past the report before, in the same segment
  std::atomic<uint32_t> skipSerial{0};  // main thread: a new request
  std::atomic<int64_t> skipFrame{0};    // the stream frame the show is at ...
  std::atomic<int64_t> skipNanos{0};    // ... at this moment
  std::atomic<uint32_t> underruns{0};   // times the output ran dry while the stream played
} Anchor;

// Output frames in `nanos` (any sign, any size: no 64-bit product).
static double FramesIn(int64_t nanos) { return double(nanos) * double(Sound.rate) / double(kNanosPerSecond); }

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
  Deck.lastPull = frames;
  if (Sound.frames == 0 || !Deck.playing) {
    std::memset(stereo, 0, size_t(frames) * 4);
    Deck.pulled += frames;
    return;
  }
  if (Deck.startPending) {
    Deck.startPending = false;
    StartSegment(Deck.readFrame, Deck.skipsSeen);
  }
  if (Deck.seekPending) {
    Deck.seekPending = false;
    StartSegment(Deck.seekFrame, Deck.seekTag);
  }
  const uint32_t skips = Anchor.skipSerial.load(std::memory_order_acquire);
  if (skips != Deck.skipsSeen) {
    Deck.skipsSeen = skips;
    // Hand over what the show will be at when this buffer is heard: after
    // what the server said it holds, never its queue as we count it (a
    // server that has just woken holds more than it asks for). A show behind
    // the sound does not pull it back: it catches up by the rejoin.
    const int64_t now = Sound.now();
    const int64_t target = Anchor.skipFrame.load(std::memory_order_relaxed) +
                           int64_t(FramesIn(now - Anchor.skipNanos.load(std::memory_order_relaxed))) +
                           Deck.heldFrames;
    StartSegment(std::max(target, Deck.readFrame), skips);
  }
  const int64_t available = std::clamp<int64_t>(Sound.frames - Deck.readFrame, 0, frames);
  if (available > 0) std::memcpy(stereo, &Sound.pcm[size_t(Deck.readFrame) * 2], size_t(available) * 4);
  std::memset(stereo + available * 2, 0, size_t(frames - available) * 4);
  Deck.readFrame += frames;
  Deck.pulled += frames;
}

static void Heard(int64_t frame, int64_t nanos, int64_t capFrame) {
  // What the output holds less the pull just made: by the next pull it has
  // played about that much. Up to two seconds is a queue; more is a server
  // that has not started playing yet.
  const int64_t held = Deck.pulled - Deck.lastPull - frame;
  if (held >= 0 && held <= 2 * int64_t(Sound.rate)) Deck.heldFrames = held;
  if (!Deck.playing || Deck.segments == 0) return;
  // Seqlock without fences: each field is released after the odd count, and
  // read with acquire before the count is read again.
  const int64_t streamFrame = StreamFrameAt(frame);
  const uint32_t segment = Deck.segmentSkip[SegmentAt(frame)];
  const uint32_t sequence = Anchor.sequence.load(std::memory_order_relaxed);
  Anchor.sequence.store(sequence + 1, std::memory_order_relaxed);
  Anchor.moving.store(Anchor.reports.load(std::memory_order_relaxed) > 0 &&
                          segment == Anchor.segment.load(std::memory_order_relaxed) &&
                          streamFrame > Anchor.frame.load(std::memory_order_relaxed),
                      std::memory_order_release);
  Anchor.frame.store(streamFrame, std::memory_order_release);
  Anchor.nanos.store(nanos, std::memory_order_release);
  Anchor.capFrame.store(std::min(StreamFrameAt(capFrame), Deck.readFrame), std::memory_order_release);
  Anchor.segment.store(segment, std::memory_order_release);
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
const AudioOutputCallbacks* DeckCallbacks() { return &kCallbacks; }

void DeckForgetReports() {
  Anchor.reports.store(0);
  Anchor.frame.store(0);
  Anchor.nanos.store(0);
  Anchor.capFrame.store(0);
  Anchor.segment.store(0);
  Anchor.moving.store(false);
  Anchor.skipSerial.store(0);
  Deck.skipsSeen = 0;
}

void DeckReset(int rate) {
  Deck = DeckState();
  Sound.rate = rate;
  Sound.now = nullptr;
  Sound.pcm.clear();
  Sound.frames = 0;
  Anchor.underruns.store(0);
  DeckForgetReports();
}

void DeckSwapSound(std::vector<int16_t>* pcm) {
  Sound.pcm.swap(*pcm);
  Sound.frames = int64_t(Sound.pcm.size() / 2);
  Deck.playing = false;
  Deck.readFrame = 0;
  Deck.segments = 0;
}

void DeckUseClock(int64_t (*now)()) { Sound.now = now; }

int64_t DeckFrames() { return Sound.frames; }

void DeckPlayFrom(int64_t streamFrame) {
  Deck.readFrame = streamFrame;
  Deck.startPending = true;
  Deck.segments = 0;
  Deck.playing = true;
}

void DeckHalt() { Deck.playing = false; }

void DeckSeek(int64_t streamFrame, uint32_t tag) {
  Deck.seekPending = true;
  Deck.seekFrame = streamFrame;
  Deck.seekTag = tag;
}



HeardReport DeckReadReport() {
  HeardReport report;
  uint32_t before, after;
  do {
    before = Anchor.sequence.load(std::memory_order_acquire);
    report.count = Anchor.reports.load(std::memory_order_acquire);
    report.frame = Anchor.frame.load(std::memory_order_acquire);
    report.nanos = Anchor.nanos.load(std::memory_order_acquire);
    report.capFrame = Anchor.capFrame.load(std::memory_order_acquire);
    report.segment = Anchor.segment.load(std::memory_order_acquire);
    report.moving = Anchor.moving.load(std::memory_order_acquire);
    after = Anchor.sequence.load(std::memory_order_relaxed);
  } while ((before & 1) || before != after);
  return report;
}

void DeckAskSkip(uint32_t serial, int64_t frame, int64_t nanos) {
  Anchor.skipFrame.store(frame, std::memory_order_relaxed);
  Anchor.skipNanos.store(nanos, std::memory_order_relaxed);
  Anchor.skipSerial.store(serial, std::memory_order_release);
}

uint32_t DeckUnderruns() { return Anchor.underruns.load(std::memory_order_relaxed); }
