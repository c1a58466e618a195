// The audio library stand-in: libmpg123 decodes the whole file at load, an
// output (libpulse or SDL2) plays it from the deck (platform/audio_deck.h),
// and the position is what the output says is being heard, smoothed for the
// main thread by the estimate (platform/position_estimate.h).
//
// Threads: every call here is the main thread's. The deck's reports reach it
// without a lock; what the audio thread plays changes only under the
// output's lock. The estimate is the main thread's own.
//
// Units here: "stream frames" are output frames of the decoded file (frame 0
// is its first sample); positions are stream bytes (88,200 per second).
#include "platform/bass.h"

#include "platform/audio_decode.h"
#include "platform/audio_deck.h"
#include "platform/audio_output.h"
#include "platform/position_estimate.h"
#include "platform/win_files.h"

#include <algorithm>
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

// Codes beyond those the header names.
static const int kErrorPosition = 7;      // "Invalif playback position"
static const int kErrorNotPlaying = 24;   // "Not playing..."
static const int kErrorNoChannel = 18;    // "Can't get a free channel"
static const int kErrorIllegalParam = 20;
static const int kErrorDevice = 23;       // "Illegal device number"
static const int kErrorFrequency = 25;    // "Illegal sample rate"

struct Stream {
  HSTREAM handle = 0;          // 0: slot free
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

static void Lock() {
  if (Bass.output) Bass.output->lock();
}

static void Unlock() {
  if (Bass.output) Bass.output->unlock();
}

// ---------------------------------------------------------------------------
// The main thread's side
// ---------------------------------------------------------------------------
// Main thread, with no callback playing the stream (or under the lock).
static void ResetPosition() {
  DeckForgetReports();
  EstimateReset(&Estimate, Bass.rate, Bass.stream.startFrame);
}

// Everything the layer keeps about an output, as before the first BASS_Init.
static void ResetOutputState() {
  DeckReset(Bass.rate);
  Bass.stream = Stream();
  ResetPosition();
}

// Stream frame heard at `now`, as the show should see it; passes a new skip
// request on to the audio thread.
static double EstimateAt(int64_t now) {
  const HeardReport report = Bass.clockPaced ? HeardReport() : DeckReadReport();
  const uint32_t skips = Estimate.skipSerial;
  const double value = EstimateRead(&Estimate, now, Bass.clockPaced ? nullptr : &report);
  if (Estimate.skipSerial != skips) DeckAskSkip(Estimate.skipSerial, Estimate.skipFrame, Estimate.skipNanos);
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
  const AudioOutput* output = AudioOpenOutput(int(freq), DeckCallbacks(), &clockPaced, &code);
  if (!output) return Fail(code);
  // The audio thread must be gone before the decoded sound is destroyed.
  static const bool closedAtExit = std::atexit([] { BASS_Free(); }) == 0;
  (void)closedAtExit;
  Bass.output = output;
  Bass.clockPaced = clockPaced;
  Bass.initialised = true;
  Lock();
  DeckUseClock(output->now);
  Unlock();
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

  std::vector<int16_t> pcm;
  long fileRate = 0;
  const int code = DecodeMp3File(path.c_str(), Bass.rate, &pcm, &fileRate);
  if (code != BASS_OK) return Fail(code);
  HSTREAM handle = ++Bass.lastHandle;
  if (handle == 0) handle = ++Bass.lastHandle;  // after a wrap
  Lock();
  DeckSwapSound(&pcm);
  Bass.stream = Stream();
  Bass.stream.handle = handle;
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
  DeckPlayFrom(Bass.stream.startFrame);
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
  if (Estimate.frozen) return Fail(kErrorPosition);
  const int64_t frame = int64_t(bytes) * Bass.rate / kPositionBytesPerSecond;
  if (frame > DeckFrames()) return Fail(kErrorPosition);
  Lock();
  Bass.stream.startBytes = bytes;
  Bass.stream.startFrame = frame;
  if (!Estimate.playing) {
    ResetPosition();  // playback starts there
  } else {
    // A jump: what the output holds of the old sound goes, the new sound is
    // played from `frame` under a tag of its own, and the position waits
    // there until that sound is heard, as at play.
    const uint32_t tag = ++Estimate.skipSerial;
    DeckSeek(frame, tag);
    if (Bass.output->flush) Bass.output->flush();
    EstimateSeek(&Estimate, frame, Bass.output->now(), tag);
  }
  Unlock();
  return Succeed();
}

BOOL BASS_ChannelPause(DWORD handle) {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  if (!handle || handle != Bass.stream.handle) return Fail(BASS_ERROR_HANDLE);
  if (!Estimate.playing || Estimate.frozen) return Fail(kErrorNotPlaying);
  if (Estimate.paused) return Fail(BASS_ERROR_ALREADY);
  EstimateAt(Bass.output->now());  // the position it holds at
  EstimatePause(&Estimate, Bass.output->now());
  Bass.output->run(false);  // what the output holds waits, and plays first on resume
  return Succeed();
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  if (!handle || handle != Bass.stream.handle) return Fail(BASS_ERROR_HANDLE);
  if (!Estimate.playing) return BASS_StreamPlay(handle, 0, 0);
  if (restart && !BASS_ChannelSetPosition(handle, 0)) return 0;
  if (!Estimate.paused) return Succeed();
  Bass.output->run(true);
  EstimateResume(&Estimate, Bass.output->now());
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
  return DWORD(uint64_t(DeckFrames()) * kPositionBytesPerSecond / uint64_t(Bass.rate));
}

BOOL BASS_Stop() {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  if (Estimate.playing && !Estimate.frozen) {
    EstimateAt(Bass.output->now());
    Estimate.frozen = true;
  }
  Bass.output->run(false);
  Lock();
  DeckHalt();
  Unlock();
  return Succeed();
}

BOOL BASS_StreamFree(HSTREAM handle) {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  if (!handle || handle != Bass.stream.handle) return Fail(BASS_ERROR_HANDLE);
  std::vector<int16_t> pcm;  // freed after the lock
  Lock();
  DeckSwapSound(&pcm);
  Bass.stream = Stream();
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
  if (const uint32_t underruns = DeckUnderruns())
    std::fprintf(stderr, "velmora-trailer: the sound ran dry %u time%s while the music played\n", underruns,
                 underruns == 1 ? "" : "s");
  ResetOutputState();
  return Succeed();
}

double BASS_GetClockShift() {
  if (!Bass.initialised) return 0.0;
  // Paused, nobody reads the position: the shift moves with the pause here.
  if (Estimate.paused) EstimateAt(Bass.output->now());
  return EstimateClockShift(Estimate);
}

DWORD BASS_GetUnderruns() { return DeckUnderruns(); }
