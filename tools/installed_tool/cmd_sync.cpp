// velmora-trailer-tool sync [--seconds S] [--driver NAME] [--start S] [--agree MS] [--also-record COMMAND]
//                          [--pause AT,SECONDS] [--seek AT,TO]
//
// Plays the soundtrack through the show's audio layer and measures, for every
// mark it passes, when the mark was heard against when the position the show
// reads crossed it, and what the demo clock (started as the show starts it,
// when the first frame is heard) read then.
//
// What was heard: through a sound server, its default sink's monitor recorded
// with the server's timing; on SDL's dummy and disk drivers, which play
// nothing, the moment each buffer was taken. Each mark's stretch of the
// soundtrack (decoded as the layer decodes it) is found in that sound.
//
// NAME: "pulse" (libpulse), "sdl" (SDL's choice of driver) or an SDL driver
// ("pulseaudio", "alsa", "dummy", ...); by default the show's own choice.
//
// COMMAND: a second recorder (pw-record, parec) writing raw 16-bit stereo at
// 44.1 kHz to its standard output, timed by when its sound arrived
// (tools/shared_kit/audio_arrivals.h); the figures from it follow, marked
// "arrivals". Sound arrives after it is heard (give or take a sink's render
// block), so they can only show the position earlier than it is: one they
// find late ("late worst") is at least about that late, whatever the server
// reports. They agree when within twice AGREE.
//
// Faults: whoever breaks the sound (tests/e2e/audio_faults.sh) sends SIGUSR1
// when the fault is over and the sound could come back. From that moment on,
// every tenth of a second, what is heard is compared with the position and
// the clock, and an "after fault:" line says when all three agreed again
// within 5 ms (--agree MS) for good (the rejoin), how far apart they were
// after it, and how many samples agreed.
//
// The viewer's controls: --pause AT,SECONDS pauses AT seconds into the run
// for SECONDS, --seek AT,TO jumps AT seconds into the run to TO seconds of
// the show (the clock with it, as the show's controls do); an "after pause:"
// or "after seek:" line, measured as after a fault, says when sound,
// position and clock were together again after the resume or the jump, and
// how far apart they were from then on.
#include "tools/installed_tool/commands.h"

#include "app/arguments.h"
#include "app/clock.h"
#include "platform/audio_decode.h"
#include "platform/audio_output.h"
#include "platform/bass.h"
#include "platform/win_files.h"
#include "show/score.h"
#include "tools/shared_kit/audio_arrivals.h"
#include "tools/shared_kit/audio_kit.h"
#include "tools/shared_kit/audio_loopback.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

static const int kRate = 44100;
static const double kBytesPerSecond = kStreamBytesPerSecond;
static const char kSoundtrack[] = "TrailerLOW.mp3";

// What the dummy driver took, and when (audio thread; read after the stop).
static const size_t kMaxPulls = 1 << 16;
static struct {
  std::vector<int16_t> stereo;
  TimedSound::Anchor pulls[kMaxPulls];
  std::atomic<size_t> count{0};
} Taken;

static void Observe(int64_t nanos, int64_t firstFrame, const int16_t* stereo, int frames) {
  const size_t index = Taken.count.load(std::memory_order_relaxed);
  if (index >= kMaxPulls || size_t(firstFrame + frames) * 2 > Taken.stereo.size()) return;
  std::memcpy(&Taken.stereo[size_t(firstFrame) * 2], stereo, size_t(frames) * 4);
  Taken.pulls[index] = {firstFrame, nanos};
  Taken.count.store(index + 1, std::memory_order_release);
}

// When the fault was over (SIGUSR1), monotonic nanoseconds; 0: none.
static std::atomic<int64_t> FaultOverNanos{0};
static void FaultOver(int) { FaultOverNanos.store(AudioMonotonicNanos()); }

struct Read {
  int64_t nanos;
  uint32_t position;
  float clock;  // ms; < 0 before the clock started
};

// When the position last reached `bytes`, interpolated between two reads: a
// jump back passes a mark again. A jump over it is not a crossing.
static bool Crossing(const std::vector<Read>& reads, uint32_t bytes, double* nanos, double* clock) {
  const uint32_t jump = kStreamBytesPerSecond / 20;  // a step of 50 ms of sound between reads a millisecond apart
  bool found = false;
  for (size_t i = 1; i < reads.size(); ++i) {
    if (reads[i].position < bytes || reads[i - 1].position >= bytes) continue;
    if (reads[i].position - reads[i - 1].position > jump) continue;
    const double step = double(reads[i].position - reads[i - 1].position);
    const double share = step > 0 ? double(bytes - reads[i - 1].position) / step : 1.0;
    *nanos = double(reads[i - 1].nanos) + share * double(reads[i].nanos - reads[i - 1].nanos);
    *clock = reads[i - 1].clock < 0 ? -1.0f : reads[i - 1].clock + share * (reads[i].clock - reads[i - 1].clock);
    found = true;
  }
  return found;
}

// "AT,VALUE": two numbers of seconds.
static bool ParsePair(const char* text, double* at, double* value) {
  const char* comma = text ? std::strchr(text, ',') : nullptr;
  if (!comma) return false;
  const std::string first(text, size_t(comma - text));
  return ParseNumber(first.c_str(), 0.0, 1000.0, at) && ParseNumber(comma + 1, 0.0, 1000.0, value);
}

// Where in `heard` to look for what was heard at `nanos`: on the dummy and
// disk drivers, whose frames taken are indexed by output frame, the pull then.
static int64_t HeardNear(const TimedSound& heard, double nanos, bool silentDriver) {
  int64_t near = int64_t(heard.FrameAt(nanos));
  if (silentDriver)
    for (const TimedSound::Anchor& pull : heard.anchors)
      if (double(pull.nanos) <= nanos) near = pull.frame;
  return near;
}

struct MarkFigures {
  double sum = 0, worst = 0, worstClock = 0, delaySum = 0;  // ms, but delaySum: ns
  double low = 1e9, high = -1e9;                            // the offsets' range, ms
  int found = 0;
};

// Each mark: its stretch of the soundtrack found in `heard` near where the
// position says it was; `print` says each.
static MarkFigures MeasureMarks(const std::vector<Read>& reads, const TimedSound& heard,
                                const std::vector<int16_t>& reference, uint32_t startBytes, int64_t playNanos,
                                bool silentDriver, bool print) {
  MarkFigures figures;
  const int64_t before = kRate / 40, count = kRate / 10, span = kRate * 3 / 10;  // 25 ms, 100 ms, 300 ms
  for (const ScoreMark& scoreMark : kScoreMarks) {
    const uint32_t mark = scoreMark.bytes;
    double crossNanos = 0, clock = 0;
    if (mark < startBytes || !Crossing(reads, mark, &crossNanos, &clock)) continue;
    const int64_t markFrame = int64_t(mark) * kRate / kStreamBytesPerSecond;
    const int64_t near = HeardNear(heard, crossNanos, silentDriver) - before;
    const int64_t at = FindSound(reference, markFrame - before, count, heard.stereo, near, span);
    if (at < 0) {
      if (print) std::printf("mark %8u at %7.3f s: not found in what was heard\n", mark, mark / kBytesPerSecond);
      continue;
    }
    const double heardNanos = heard.NanosAt(double(at + before));
    const double offset = (crossNanos - heardNanos) / 1e6;
    const double clockError = clock - mark / kStreamBytesPerMilli;
    if (print)
      std::printf("mark %8u at %7.3f s: offset %+7.2f ms, clock %+7.2f ms\n", mark, mark / kBytesPerSecond, offset,
                  clockError);
    figures.sum += std::fabs(offset);
    figures.worst = std::max(figures.worst, std::fabs(offset));
    figures.low = std::min(figures.low, offset);
    figures.high = std::max(figures.high, offset);
    figures.worstClock = std::max(figures.worstClock, std::fabs(clockError));
    figures.delaySum += heardNanos - (double(mark - startBytes) / kBytesPerSecond) * 1e9 - double(playNanos);
    ++figures.found;
  }
  return figures;
}

struct AfterFault {
  bool lateOnly = false;     // judged by arrivals: only how late the position is
  double rejoin = -1;        // ms from the end of the fault until all agree for good; < 0: never
  int64_t rejoinNanos = 0;
  int samples = 0, good = 0;
  // From the rejoin on (for arrivals, the server-timed recording's rejoin):
  double worstOffset = 0;    // ms (lateOnly: the latest, signed)
  double worstClock = 0;
  int judged = 0, agreeing = 0;  // samples whose sound was found, and of those the ones that agree
  int lost = 0;              // samples whose sound was not found
};

// Every 100 ms from `over` on: what is heard at the position's moment, and
// the clock against the position. A sample agrees when its sound is found
// within `agreeMs` (`lateOnly`, for a recording timed by arrivals: no more
// than that late) and the clock is within as much; the rejoin is the first
// from which a second of samples agree. The figures after it are those of
// every sample from `judgeFrom` on (0: the rejoin).
static AfterFault MeasureAfterFault(const std::vector<Read>& reads, const TimedSound& heard,
                                    const std::vector<int16_t>& reference, int64_t over, bool silentDriver,
                                    double agreeMs, bool lateOnly, int64_t judgeFrom) {
  AfterFault result;
  result.lateOnly = lateOnly;
  const int64_t before = kRate / 40, count = kRate / 10, span = kRate * 3 / 50;  // 25 ms, 100 ms, 60 ms
  struct Sample {
    int64_t nanos;
    bool found;
    double offset, clock;
  };
  std::vector<Sample> samples;
  size_t i = 0;
  for (int64_t at = over; !reads.empty() && at < reads.back().nanos; at += 100000000) {
    while (i + 1 < reads.size() && reads[i + 1].nanos <= at) ++i;
    const Read& read = reads[i];
    if (read.clock < 0) continue;
    const int64_t frame = int64_t(read.position) * kRate / kStreamBytesPerSecond;
    if (frame + count >= int64_t(reference.size() / 2)) break;
    const int64_t near = HeardNear(heard, double(read.nanos), silentDriver) - before;
    if (near + count + span >= heard.Frames()) break;  // the recording ended
    // Timed by the sample, not by its read, which may precede the fault's
    // end by a fraction of a millisecond.
    Sample sample = {at, false, 0, double(read.clock) - read.position / kStreamBytesPerMilli};
    // A stretch that matches less well is garbled (the output ran dry, the
    // recorder lost sound): it says nothing of when it was heard.
    const int64_t found = FindSound(reference, frame - before, count, heard.stereo, near, span, 0.9);
    if (found >= 0) {
      sample.found = true;
      sample.offset = (double(read.nanos) - heard.NanosAt(double(found + before))) / 1e6;
    }
    samples.push_back(sample);
  }
  result.samples = int(samples.size());
  auto agrees = [&samples, agreeMs, lateOnly](size_t k) {
    const double off = lateOnly ? samples[k].offset : std::fabs(samples[k].offset);
    return samples[k].found && off <= agreeMs && std::fabs(samples[k].clock) <= agreeMs;
  };
  size_t rejoined = samples.size();
  for (size_t k = 0; k < samples.size(); ++k) {
    if (agrees(k)) ++result.good;
    // Together, and still together a second on: a passing agreement while
    // the sink catches up is not a rejoin.
    bool settled = true;
    for (size_t j = k; j < samples.size() && j <= k + 10 && settled; ++j) settled = agrees(j);
    if (settled && rejoined == samples.size()) rejoined = k;
  }
  if (rejoined < samples.size()) {
    result.rejoinNanos = samples[rejoined].nanos;
    result.rejoin = double(result.rejoinNanos - over) / 1e6;
  }
  const int64_t from = judgeFrom ? judgeFrom : result.rejoinNanos;
  if (!from) return result;
  result.worstOffset = lateOnly ? -1e9 : 0;
  for (const Sample& sample : samples) {
    if (sample.nanos < from) continue;
    result.worstClock = std::max(result.worstClock, std::fabs(sample.clock));
    if (!sample.found) {
      ++result.lost;
      continue;
    }
    ++result.judged;
    result.worstOffset = std::max(result.worstOffset, lateOnly ? sample.offset : std::fabs(sample.offset));
  }
  for (size_t k = 0; k < samples.size(); ++k)
    if (samples[k].nanos >= from && agrees(k)) ++result.agreeing;
  return result;
}

static void PrintAfterFault(const char* label, const AfterFault& after, double agreeMs, DWORD underruns) {
  if (after.rejoin < 0)
    std::printf("%s: rejoin never (%d of %d samples within %g ms)", label, after.good, after.samples, agreeMs);
  else
    std::printf("%s: rejoin %.0f ms", label, after.rejoin);
  if (after.judged)
    std::printf(", %s worst %.2f ms, clock worst %.2f ms, agree %d of %d", after.lateOnly ? "late" : "offset",
                after.worstOffset, after.worstClock, after.agreeing, after.judged);
  std::printf(", underruns %u", underruns);
  if (after.lost) std::printf(" (%d samples not found)", after.lost);
  std::printf("\n");
}

int CmdSync(int argc, char** argv) {
  double seconds = 135.0, start = 0.0, agreeMs = 5.0;
  double pauseAt = -1, pauseFor = 0, seekAt = -1, seekTo = 0;  // seconds; < 0: none
  const char* driver = nullptr;
  const char* alsoRecord = nullptr;
  for (int i = 0; i < argc; ++i) {
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    bool ok = value != nullptr;
    if (!std::strcmp(argv[i], "--seconds")) ok = ok && ParseNumber(value, 0.0, 100000.0, &seconds);
    else if (!std::strcmp(argv[i], "--driver")) driver = value;
    else if (!std::strcmp(argv[i], "--start")) ok = ok && ParseNumber(value, 0.0, 1000.0, &start);
    else if (!std::strcmp(argv[i], "--agree")) ok = ok && ParseNumber(value, 0.0, 10000.0, &agreeMs);
    else if (!std::strcmp(argv[i], "--also-record")) alsoRecord = value;
    else if (!std::strcmp(argv[i], "--pause")) ok = ok && ParsePair(value, &pauseAt, &pauseFor);
    else if (!std::strcmp(argv[i], "--seek")) ok = ok && ParsePair(value, &seekAt, &seekTo);
    else ok = false;
    ++i;
    if (!ok) {
      std::fprintf(stderr, "usage: velmora-trailer-tool sync [--seconds S] [--driver NAME] [--start S] [--agree MS] "
                           "[--also-record COMMAND] [--pause AT,SECONDS] [--seek AT,TO]\n");
      return 2;
    }
  }
  // Taken from the start: a fault's end signalled while the soundtrack is
  // still being decoded must not end the tool.
  std::signal(SIGUSR1, FaultOver);
  const bool silentDriver = driver && (!std::strcmp(driver, "dummy") || !std::strcmp(driver, "disk"));
  const AudioOutput* output = nullptr;  // the show's choice
  if (driver && !std::strcmp(driver, "pulse")) {
    output = AudioOutputPulse();
  } else if (driver) {
    if (std::strcmp(driver, "sdl")) setenv("SDL_AUDIODRIVER", driver, 1);
    output = AudioOutputSDL();
  }
  if (silentDriver) {
    Taken.stereo.assign(size_t((seconds + 30.0) * kRate) * 2, 0);
    output = KitObservedOutput(output, Observe);
  }
  AudioUseOutput(output);

  std::string path;
  std::vector<int16_t> reference;
  long fileRate = 0;
  if (!ResolveShowFile(kSoundtrack, &path) || DecodeMp3File(path.c_str(), kRate, &reference, &fileRate) != 0) {
    std::fprintf(stderr, "sync: cannot decode %s\n", kSoundtrack);
    return 1;
  }
  if (!BASS_Init(-1, kRate, 0, nullptr)) {
    std::fprintf(stderr, "sync: no sound output (code %d)\n", BASS_ErrorGetCode());
    return 1;
  }
  BASS_Start();
  const int64_t decodeFrom = AudioMonotonicNanos();
  const HSTREAM stream = BASS_StreamCreateFile(0, kSoundtrack, 0, 0, 0);
  const double decodeMs = double(AudioMonotonicNanos() - decodeFrom) / 1e6;
  if (BASS_ErrorGetCode() != BASS_OK) {
    std::fprintf(stderr, "sync: cannot open %s (code %d)\n", kSoundtrack, BASS_ErrorGetCode());
    return 1;
  }
  const uint32_t startBytes = uint32_t(start * kBytesPerSecond) & ~3u;
  if (startBytes && !BASS_ChannelSetPosition(stream, startBytes)) {
    std::fprintf(stderr, "sync: cannot start at %.3f s\n", start);
    return 1;
  }
  const double length = BASS_StreamGetLength(stream) / kBytesPerSecond;
  std::printf("decode: %.1f s of soundtrack in %.0f ms, %.1f MB in memory\n", length, decodeMs,
              length * kRate * 4 / 1048576.0);
  if (!silentDriver && !LoopbackStart(kRate)) {
    std::fprintf(stderr, "sync: no sound server answers to record from (try --driver dummy)\n");
    return 1;
  }
  if (alsoRecord && !ArrivalsStart(alsoRecord, kRate)) {
    std::fprintf(stderr, "sync: cannot start %s\n", alsoRecord);
    return 1;
  }

  // Play, and read the position every millisecond; start the demo clock as
  // the show does, when the first frame is heard.
  std::vector<Read> reads;
  reads.reserve(size_t(seconds * 1100) + 1000);
  const int64_t playNanos = AudioMonotonicNanos();
  BASS_StreamPlay(stream, 0, 4);
  const int64_t end = playNanos + int64_t((seconds + std::max(pauseFor, 0.0)) * 1e9);
  bool clockStarted = false;
  int64_t pausedNanos = 0, resumedNanos = 0, seekedNanos = 0;
  for (int64_t now = playNanos; now < end; now = AudioMonotonicNanos()) {
    // The viewer's controls, as the show's main loop does them.
    const double elapsed = double(now - playNanos) / 1e9;
    if (pauseAt >= 0 && !pausedNanos && elapsed >= pauseAt && BASS_ChannelPause(stream)) pausedNanos = now;
    if (pausedNanos && !resumedNanos && now - pausedNanos >= int64_t(pauseFor * 1e9) && BASS_ChannelPlay(stream, 0))
      resumedNanos = now;
    if (seekAt >= 0 && !seekedNanos && elapsed >= seekAt) {
      const uint32_t target = uint32_t(seekTo * kBytesPerSecond) & ~3u;
      if (!BASS_ChannelSetPosition(stream, target)) {
        std::fprintf(stderr, "sync: cannot jump to %.3f s\n", seekTo);
        return 1;
      }
      TimerSeek(float(target / kStreamBytesPerMilli));
      seekedNanos = now;
    }
    const uint32_t position = BASS_ChannelGetPosition(stream);
    if (!clockStarted && position != startBytes) {
      TimerInit();
      TimerAdvance(float((position - startBytes) / kStreamBytesPerMilli + start * 1000.0));
      clockStarted = true;
    }
    reads.push_back({AudioMonotonicNanos(), position, clockStarted ? TimerGetTime() : -1.0f});
    if (position > kShowEnd + kStreamBytesPerSecond) break;  // a second past the last mark
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  BASS_Stop();
  TimedSound heard;
  if (silentDriver) {
    const size_t pulls = Taken.count.load(std::memory_order_acquire);
    heard.rate = kRate;
    heard.stereo.swap(Taken.stereo);
    heard.anchors.assign(Taken.pulls, Taken.pulls + pulls);
  } else if (!LoopbackStop(&heard)) {
    std::fprintf(stderr, "sync: the recording failed\n");
    return 1;
  }
  TimedSound arrived;
  if (alsoRecord && !ArrivalsStop(&arrived)) {
    std::fprintf(stderr, "sync: %s recorded nothing\n", alsoRecord);
    return 1;
  }
  const DWORD underruns = BASS_GetUnderruns();
  BASS_Free();

  // Steps between reads a millisecond apart, in ms of sound, once the
  // position moves (its first step, from where playback starts to what is
  // heard by then, is taken while the show still waits on its loading screen);
  // and the clock's steps back.
  int backward = 0, clockBackward = 0;
  double largest = 0;
  uint32_t largestAt = startBytes;
  for (size_t i = 1; i < reads.size(); ++i) {
    if (reads[i].clock < reads[i - 1].clock) ++clockBackward;
    if (reads[i].position < reads[i - 1].position) ++backward;
    else if (reads[i].nanos - reads[i - 1].nanos <= 1500000 && reads[i - 1].position != startBytes &&
             double(reads[i].position - reads[i - 1].position) / kStreamBytesPerMilli > largest) {
      largest = double(reads[i].position - reads[i - 1].position) / kStreamBytesPerMilli;
      largestAt = reads[i - 1].position;
    }
  }

  const MarkFigures marks = MeasureMarks(reads, heard, reference, startBytes, playNanos, silentDriver, true);
  if (!marks.found) {
    std::fprintf(stderr, "sync: no mark was heard\n");
    return 1;
  }
  std::printf("clock: worst %.2f ms from the position over %d marks; largest step at %.3f s; backward steps %d\n",
              marks.worstClock, marks.found, largestAt / kBytesPerSecond, clockBackward);
  std::printf("sync: offset mean %.2f ms, worst %.2f ms, start delay %.1f ms, backward steps %d, largest step %.2f ms, "
              "underruns %u\n",
              marks.sum / marks.found, marks.worst, marks.delaySum / marks.found / 1e6, backward, largest, underruns);
  const MarkFigures byArrival =
      alsoRecord ? MeasureMarks(reads, arrived, reference, startBytes, playNanos, false, false) : MarkFigures();
  if (byArrival.found)
    std::printf("arrivals: offset %+.2f to %+.2f ms over %d marks\n", byArrival.low, byArrival.high, byArrival.found);
  if (resumedNanos)
    PrintAfterFault("after pause", MeasureAfterFault(reads, heard, reference, resumedNanos, silentDriver, agreeMs,
                                                     false, 0),
                    agreeMs, underruns);
  if (seekedNanos)
    PrintAfterFault("after seek", MeasureAfterFault(reads, heard, reference, seekedNanos, silentDriver, agreeMs,
                                                    false, 0),
                    agreeMs, underruns);
  if (const int64_t over = FaultOverNanos.load()) {
    const AfterFault after = MeasureAfterFault(reads, heard, reference, over, silentDriver, agreeMs, false, 0);
    PrintAfterFault("after fault", after, agreeMs, underruns);
    // Judged from the moment the server-timed recording says all agree again,
    // with twice the room: a sink that renders in blocks hands its monitor a
    // block's end before it plays it, a few milliseconds on a fresh server.
    if (alsoRecord)
      PrintAfterFault("after fault (arrivals)",
                      MeasureAfterFault(reads, arrived, reference, over, false, 2 * agreeMs, true, after.rejoinNanos),
                      2 * agreeMs, underruns);
  }
  return 0;
}
