// The audio library stand-in: libmpg123 decodes, SDL2 plays.
//
// Threads: every BASS_* call comes from the main thread. SDL's audio thread
// runs Mix, which decodes ahead into an SDL_AudioStream (converting the file's
// rate and channels to the device's 44,100 Hz stereo) and hands buffers to the
// device. The main thread touches the decoder only while no callback can run
// (before playback, or under SDL's device lock for a few microseconds).
//
// The position is shared through a seqlock of atomics: each callback publishes
// which output frame is heard at what monotonic time; a read extrapolates from
// there with the clock, so it needs no lock and never waits on the decoder.
// On the dummy and disk drivers nothing is heard and their callbacks come at
// whole-millisecond sleeps (about 1 % fast), so there the position follows the
// monotonic clock from the moment playback started.
#include "platform/bass.h"

#include "platform/bass_probe.h"
#include "platform/win_files.h"

#include <SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <ctime>
#include <string>

// ---------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------
static const DWORD kVersion = 0x80000;            // 0.8
static const int64_t kPositionBytesPerSecond = 88200;
static const int kDeviceBufferFrames = 512;       // per callback: 11.6 ms at 44.1 kHz
static const int kDecodeAheadFrames = 8192;       // output frames kept converted ahead (0.19 s)
static const int kOutputBytesPerFrame = 4;        // 16-bit stereo
static const int64_t kNanosPerSecond = 1000000000;

// Codes beyond those the header names.
static const int kErrorPosition = 7;      // "Invalif playback position"
static const int kErrorNoChannel = 18;    // "Can't get a free channel"
static const int kErrorIllegalParam = 20;
static const int kErrorDevice = 23;       // "Illegal device number"
static const int kErrorFrequency = 25;    // "Illegal sample rate"

struct Stream {
  HSTREAM handle = 0;                     // 0: slot free
  mpg123_handle* decoder = nullptr;
  SDL_AudioStream* converter = nullptr;   // file format -> device format
  long fileRate = 0;                      // Hz
  int fileChannels = 0;
  bool playing = false;                   // read by the audio thread under the device lock
  bool endOfFile = false;                 // audio thread once playing
  uint32_t startBytes = 0;                // stream position where playback starts
  uint64_t fileFramesDecoded = 0;         // audio thread once playing
};

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
static struct {
  bool initialised = false;
  int error = BASS_OK;                    // code of the last call
  SDL_AudioDeviceID device = 0;           // 0 with the simulated device
  int deviceRate = 0;                     // Hz
  int bufferFrames = 0;                   // output frames per callback
  int latencyFrames = 0;                  // output frames from callback to ear
  bool clockPaced = false;                // position from the clock, not callbacks
  HSTREAM lastHandle = 0;                 // handles are never reused
  Stream stream;                          // the one stream the show needs
} Bass;

// Probe settings, made before BASS_Init.
static struct {
  bool simulate = false;
  int bufferFrames = 0;
  int latencyFrames = 0;
  bool forceCallbackPacing = false;
  std::atomic<int64_t> clock{0};          // ns, simulated device only
  std::atomic<BassProbeObserver> observer{nullptr};
} Probe;

// Written by the audio thread (anchor) and by the main thread while no
// callback plays the stream (reset, freeze); read by position reads.
static struct {
  std::atomic<uint32_t> sequence{0};      // odd while the anchor is being written
  std::atomic<int64_t> anchorFrame{0};    // output frame heard at anchorTime (< 0: not yet)
  std::atomic<int64_t> anchorTime{0};     // ns, monotonic clock
  std::atomic<int64_t> capFrame{0};       // nothing beyond is heard yet (0 before the first callback)
  std::atomic<bool> started{false};       // playback has started
  std::atomic<int64_t> playTime{0};       // ns when playback started
  std::atomic<int64_t> frozenFrame{-1};   // >= 0 after BASS_Stop: the position stays there
  std::atomic<int64_t> handed{0};         // output frames handed over since playback started
  std::atomic<uint64_t> callbacks{0};
  int64_t lastHeard = 0;                  // main thread: reads never go backwards
} Clock;

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

int64_t BassProbeNow() {
  if (Probe.simulate) return Probe.clock.load(std::memory_order_relaxed);
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * kNanosPerSecond + now.tv_nsec;
}

static void LockDevice() {
  if (Bass.device) SDL_LockAudioDevice(Bass.device);
}

static void UnlockDevice() {
  if (Bass.device) SDL_UnlockAudioDevice(Bass.device);
}

static void PublishAnchor(int64_t frame, int64_t time, int64_t cap) {
  const uint32_t sequence = Clock.sequence.load(std::memory_order_relaxed);
  Clock.sequence.store(sequence + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  Clock.anchorFrame.store(frame, std::memory_order_relaxed);
  Clock.anchorTime.store(time, std::memory_order_relaxed);
  Clock.capFrame.store(cap, std::memory_order_relaxed);
  Clock.sequence.store(sequence + 2, std::memory_order_release);
}

// Main thread, with no callback playing the stream.
static void ResetClock() {
  PublishAnchor(0, 0, 0);
  Clock.started.store(false);
  Clock.playTime.store(0);
  Clock.frozenFrame.store(-1);
  Clock.handed.store(0);
  Clock.callbacks.store(0);
  Clock.lastHeard = 0;
}

// Output frames heard at `now`: 0 before playback, then growing at the
// device rate, silence after the end of the file included.
static int64_t FramesHeardAt(int64_t now) {
  const int64_t frozen = Clock.frozenFrame.load(std::memory_order_acquire);
  if (frozen >= 0) return frozen;
  if (!Clock.started.load(std::memory_order_acquire)) return 0;
  if (Bass.clockPaced) {
    const int64_t since = now - Clock.playTime.load(std::memory_order_relaxed);  // ns
    if (since <= 0) return 0;
    // Whole seconds apart, so that no product overflows however long it plays.
    return since / kNanosPerSecond * Bass.deviceRate + since % kNanosPerSecond * Bass.deviceRate / kNanosPerSecond;
  }

  int64_t frame, time, cap;
  uint32_t before, after;
  do {
    before = Clock.sequence.load(std::memory_order_acquire);
    frame = Clock.anchorFrame.load(std::memory_order_relaxed);
    time = Clock.anchorTime.load(std::memory_order_relaxed);
    cap = Clock.capFrame.load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    after = Clock.sequence.load(std::memory_order_relaxed);
  } while ((before & 1) || before != after);
  int64_t heard = frame + (now - time) * Bass.deviceRate / kNanosPerSecond;
  // A late callback must not let the estimate run past what the device has.
  if (heard > cap) heard = cap;
  return heard < 0 ? 0 : heard;
}

static void FreeStream(Stream& stream) {
  if (stream.decoder) {
    mpg123_close(stream.decoder);
    mpg123_delete(stream.decoder);
  }
  if (stream.converter) SDL_FreeAudioStream(stream.converter);
  stream = Stream();
}

// Decodes until `aheadFrames` output frames wait in the converter or the file
// ends. A file that breaks off or turns garbage simply ends: silence follows.
static void DecodeAhead(Stream& stream, int aheadFrames) {
  unsigned char pcm[4608 * 2];
  int idle = 0;  // reads in a row that produced nothing
  bool putFailed = false;
  while (!stream.endOfFile && SDL_AudioStreamAvailable(stream.converter) < aheadFrames * kOutputBytesPerFrame) {
    size_t bytes = 0;
    const int result = mpg123_read(stream.decoder, pcm, sizeof pcm, &bytes);
    if (bytes > 0) {
      const size_t fileFrameBytes = size_t(2 * stream.fileChannels);
      bytes -= bytes % fileFrameBytes;
      putFailed = SDL_AudioStreamPut(stream.converter, pcm, int(bytes)) != 0;
      stream.fileFramesDecoded += bytes / fileFrameBytes;
      idle = 0;
    } else {
      ++idle;
    }
    bool ended = putFailed || (result != MPG123_OK && result != MPG123_NEW_FORMAT);
    if (result == MPG123_NEW_FORMAT) {
      long rate = 0;
      int channels = 0, encoding = 0;
      mpg123_getformat(stream.decoder, &rate, &channels, &encoding);
      // The output format was locked when the stream was opened; a stream
      // that still changes it is not one we can play on.
      ended = rate != stream.fileRate || channels != stream.fileChannels || encoding != MPG123_ENC_SIGNED_16;
    }
    if (ended || idle > 64) {
      stream.endOfFile = true;
      // SDL's resampler keeps the last few hundred frames back and its flush
      // does not release them: push them out with silence, which is what
      // follows the end anyway.
      std::memset(pcm, 0, sizeof pcm);
      const int silenceBytes = int(stream.fileRate / 10) * 2 * stream.fileChannels;
      for (int put = 0; put < silenceBytes; put += int(sizeof pcm))
        SDL_AudioStreamPut(stream.converter, pcm, std::min(int(sizeof pcm), silenceBytes - put));
      SDL_AudioStreamFlush(stream.converter);
    }
  }
}

// The audio callback: decode ahead, hand one buffer over, publish when its
// first frame will be heard.
static void Mix(uint8_t* out, int bytes, int64_t now) {
  Stream& stream = Bass.stream;
  const int frames = bytes / kOutputBytesPerFrame;
  if (!stream.handle || !stream.playing) {
    std::memset(out, 0, size_t(bytes));
    return;
  }
  DecodeAhead(stream, frames + kDecodeAheadFrames);
  int got = SDL_AudioStreamGet(stream.converter, out, bytes);
  if (got < 0) got = 0;
  std::memset(out + got, 0, size_t(bytes - got));

  const int64_t first = Clock.handed.load(std::memory_order_relaxed);
  Clock.handed.store(first + frames, std::memory_order_relaxed);
  Clock.callbacks.fetch_add(1, std::memory_order_relaxed);
  PublishAnchor(first - Bass.latencyFrames, now, first + frames - Bass.latencyFrames);

  if (BassProbeObserver observer = Probe.observer.load(std::memory_order_relaxed))
    observer(now, first, reinterpret_cast<const int16_t*>(out), frames);
}

static void SDLCALL AudioCallback(void*, Uint8* out, int bytes) { Mix(out, bytes, BassProbeNow()); }

// Opens `path` as an MP3 into `stream`, decoding the first frames ahead.
// Returns a BASS error code.
static int OpenMp3(const std::string& path, Stream& stream) {
  static const bool libraryReady = mpg123_init() == MPG123_OK;
  if (!libraryReady) return BASS_ERROR_UNKNOWN;
  int result = MPG123_OK;
  stream.decoder = mpg123_new(nullptr, &result);
  if (!stream.decoder) return BASS_ERROR_MEM;
  // Gapless: the encoder's delay and padding are cut, so the file's first
  // sample is position 0.
  mpg123_param(stream.decoder, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
  mpg123_format_none(stream.decoder);
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i)
    mpg123_format(stream.decoder, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  if (mpg123_open(stream.decoder, path.c_str()) != MPG123_OK) return BASS_ERROR_FILEOPEN;

  long rate = 0;
  int channels = 0, encoding = 0;
  if (mpg123_getformat(stream.decoder, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
      (channels != 1 && channels != 2) || encoding != MPG123_ENC_SIGNED_16)
    return BASS_ERROR_FORMAT;
  // Lock the format: should the file change rate midway, the decoder
  // resamples instead of handing us something else.
  mpg123_format_none(stream.decoder);
  mpg123_format(stream.decoder, rate, channels, MPG123_ENC_SIGNED_16);
  stream.fileRate = rate;
  stream.fileChannels = channels;

  stream.converter = SDL_NewAudioStream(AUDIO_S16SYS, Uint8(channels), int(rate), AUDIO_S16SYS, 2, Bass.deviceRate);
  if (!stream.converter) return BASS_ERROR_MEM;
  DecodeAhead(stream, kDecodeAheadFrames);
  if (stream.fileFramesDecoded == 0) return BASS_ERROR_FORMAT;  // a header and no audio
  return BASS_OK;
}

// ---------------------------------------------------------------------------
// The library's calls
// ---------------------------------------------------------------------------
DWORD BASS_GetVersion() { return kVersion; }

BOOL BASS_Init(int device, DWORD freq, DWORD, void*) {
  if (Bass.initialised) return Fail(BASS_ERROR_ALREADY);
  if (device != -1) return Fail(kErrorDevice);
  if (freq < 8000 || freq > 192000) return Fail(kErrorFrequency);

  if (Probe.simulate) {
    Bass.device = 0;
    Bass.deviceRate = int(freq);
    Bass.bufferFrames = Probe.bufferFrames;
    Bass.latencyFrames = Probe.latencyFrames;
    Bass.clockPaced = false;
  } else {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return Fail(BASS_ERROR_DRIVER);
    SDL_AudioSpec want = {}, have = {};
    want.freq = int(freq);
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = kDeviceBufferFrames;
    want.callback = AudioCallback;
    // No changes allowed: SDL converts to whatever the hardware takes.
    Bass.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!Bass.device) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return Fail(BASS_ERROR_DRIVER);
    }
    const char* driver = SDL_GetCurrentAudioDriver();
    const bool silentDriver = driver && (!std::strcmp(driver, "dummy") || !std::strcmp(driver, "disk"));
    Bass.deviceRate = have.freq;
    Bass.bufferFrames = have.samples;
    // A sound card plays the buffer it is handed after the one it is playing;
    // the silent drivers consume it during the sleep that follows.
    Bass.latencyFrames = silentDriver ? 0 : have.samples;
    Bass.clockPaced = silentDriver && !Probe.forceCallbackPacing;
  }
  ResetClock();
  Bass.initialised = true;
  return Succeed();
}

BOOL BASS_Start() {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  if (Bass.device) SDL_PauseAudioDevice(Bass.device, 0);
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
  const int code = OpenMp3(path, stream);
  if (code != BASS_OK) {
    FreeStream(stream);
    return Fail(code);
  }
  stream.handle = ++Bass.lastHandle;
  if (stream.handle == 0) stream.handle = ++Bass.lastHandle;  // after a wrap
  LockDevice();
  Bass.stream = stream;
  UnlockDevice();
  ResetClock();
  Bass.error = BASS_OK;
  return stream.handle;
}

int BASS_ErrorGetCode() { return Bass.error; }

BOOL BASS_StreamPlay(HSTREAM handle, BOOL, DWORD) {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  if (!handle || handle != Bass.stream.handle) return Fail(BASS_ERROR_HANDLE);
  if (Bass.stream.playing) return Succeed();  // played once from its start; never restarted
  LockDevice();
  ResetClock();
  Clock.playTime.store(BassProbeNow(), std::memory_order_relaxed);
  Clock.started.store(true, std::memory_order_release);
  Bass.stream.playing = true;
  UnlockDevice();
  if (Bass.device) SDL_PauseAudioDevice(Bass.device, 0);
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
  int64_t heard = FramesHeardAt(BassProbeNow());
  if (heard < Clock.lastHeard) heard = Clock.lastHeard;
  Clock.lastHeard = heard;
  Bass.error = BASS_OK;
  // Unsigned 32 bits, wrapping like the library's DWORD.
  return DWORD(Bass.stream.startBytes + uint64_t(heard) * kPositionBytesPerSecond / uint64_t(Bass.deviceRate));
}

BOOL BASS_ChannelSetPosition(DWORD handle, DWORD bytes) {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  if (!handle || handle != Bass.stream.handle) return Fail(BASS_ERROR_HANDLE);
  Stream& stream = Bass.stream;
  // Only before playback: the stream is played once, from where it was set.
  if (stream.playing) return Fail(kErrorPosition);
  const off_t fileFrame = off_t(int64_t(bytes) * stream.fileRate / kPositionBytesPerSecond);
  if (mpg123_seek(stream.decoder, fileFrame, SEEK_SET) < 0) return Fail(kErrorPosition);
  SDL_AudioStreamClear(stream.converter);
  stream.endOfFile = false;
  stream.fileFramesDecoded = uint64_t(fileFrame);
  stream.startBytes = bytes;
  DecodeAhead(stream, kDecodeAheadFrames);
  return Succeed();
}

BOOL BASS_Stop() {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  if (Bass.stream.playing) {
    int64_t heard = FramesHeardAt(BassProbeNow());
    if (heard < Clock.lastHeard) heard = Clock.lastHeard;
    Clock.frozenFrame.store(heard, std::memory_order_release);
  }
  if (Bass.device) SDL_PauseAudioDevice(Bass.device, 1);
  LockDevice();
  Bass.stream.playing = false;
  UnlockDevice();
  return Succeed();
}

BOOL BASS_StreamFree(HSTREAM handle) {
  if (!Bass.initialised) return Fail(BASS_ERROR_INIT);
  if (!handle || handle != Bass.stream.handle) return Fail(BASS_ERROR_HANDLE);
  LockDevice();
  Stream stream = Bass.stream;
  Bass.stream = Stream();
  UnlockDevice();
  FreeStream(stream);
  ResetClock();
  return Succeed();
}

// ---------------------------------------------------------------------------
// Probe
// ---------------------------------------------------------------------------
BassProbeCounters BassProbeRead() {
  BassProbeCounters counters = {};
  counters.callbacks = Clock.callbacks.load();
  counters.framesHanded = uint64_t(Clock.handed.load());
  LockDevice();
  counters.fileFramesDecoded = Bass.stream.fileFramesDecoded;
  counters.fileRate = int(Bass.stream.fileRate);
  counters.fileChannels = Bass.stream.fileChannels;
  counters.endOfFile = Bass.stream.endOfFile;
  UnlockDevice();
  counters.clockPaced = Bass.clockPaced;
  counters.deviceRate = Bass.deviceRate;
  counters.bufferFrames = Bass.bufferFrames;
  counters.latencyFrames = Bass.latencyFrames;
  return counters;
}

void BassProbeSimulateDevice(int bufferFrames, int latencyFrames) {
  Probe.simulate = true;
  Probe.bufferFrames = bufferFrames;
  Probe.latencyFrames = latencyFrames;
}

void BassProbeRunCallback(uint8_t* out, int bytes, int64_t nowNanoseconds) { Mix(out, bytes, nowNanoseconds); }

void BassProbeSetClock(int64_t nowNanoseconds) { Probe.clock.store(nowNanoseconds); }

void BassProbeForceCallbackPacing(bool on) { Probe.forceCallbackPacing = on; }

void BassProbeSetObserver(BassProbeObserver observer) { Probe.observer.store(observer); }

void BassProbeSetError(int code) { Bass.error = code; }
