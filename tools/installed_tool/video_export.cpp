// The video export: renders frames headless at pinned moments and hands them,
// with the soundtrack as the show hears it, to the video file
// (tools/installed_tool/video_encoder.h).
//
// Alignment: the stream position counts bytes of the soundtrack as the show
// decodes it (platform/audio_decode.h: the codecs' delay is decoded audio
// too), 88,200 per second. Frame i is the moment t = from + i / fps; the
// sound track starts at the decoded sample of `from` with the first frame,
// so the sound of position p plays while the frame drawn at p is shown. The
// AAC encoder's priming is hidden by the container's edit list.
#include "tools/installed_tool/video_export.h"

#include "platform/audio_decode.h"
#include "platform/win_files.h"
#include "show/score.h"
#include "show/timeline.h"
#include "tools/installed_tool/show_moment.h"
#include "tools/installed_tool/video_encoder.h"
#include "tools/shared_kit/headless_gl.h"
#include "tools/shared_kit/show_seam.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

constexpr const char* kSoundtrack = "TrailerLOW.mp3";
constexpr int kSoundRate = 44100;  // the show's output rate: its decode is what is heard
constexpr int kSoundChannels = 2;

static volatile std::sig_atomic_t Interrupted = 0;
static void OnInterrupt(int) { Interrupted = 1; }

uint32_t VideoFramePosition(const VideoOptions& options, long i) {
  const double t = options.from + double(i) / options.fps;
  // A hair of slack: i / fps x 88,200 is a whole number for common rates.
  return uint32_t(std::min(std::floor(t * kStreamBytesPerSecond + 1e-6), 4294967295.0));
}

double VideoFrameClock(const VideoOptions& options, long i) { return (options.from + double(i) / options.fps) * 1000; }

// ---------------------------------------------------------------------------
// Progress, on stderr

struct Progress {
  bool enabled, terminal;
  long total;
  int lastTenth = 0;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastDraw{};
};

static void ShowProgress(Progress* p, long done) {
  if (!p->enabled || p->total <= 0) return;
  const auto now = std::chrono::steady_clock::now();
  const double elapsed = std::chrono::duration<double>(now - p->start).count();
  const double fps = elapsed > 0 ? double(done) / elapsed : 0;
  const int percent = int(100 * done / p->total);
  if (p->terminal) {
    if (done < p->total && now - p->lastDraw < std::chrono::milliseconds(200)) return;
    p->lastDraw = now;
    const int width = 30, filled = int(int64_t(width) * done / p->total);
    const long left = fps > 0 ? long(double(p->total - done) / fps + 0.5) : 0;
    std::fprintf(stderr, "\r[%.*s%.*s] %ld/%ld frames %3d%% %6.1f fps %ld:%02ld left ", filled,
                 "##############################", width - filled, "..............................", done,
                 p->total, percent, fps, left / 60, left % 60);
    if (done == p->total) std::fputc('\n', stderr);
  } else {
    while (p->lastTenth < 10 && percent >= (p->lastTenth + 1) * 10) {
      ++p->lastTenth;
      std::fprintf(stderr, "velmora-trailer-tool: %d%% (%ld of %ld frames, %.1f fps)\n", p->lastTenth * 10, done,
                   p->total, fps);
    }
  }
}

// ---------------------------------------------------------------------------

static bool ExportInto(VideoFile* file, const VideoOptions& options, VideoReport* report) {
  // The soundtrack as the show hears it.
  std::string soundtrack;
  std::vector<int16_t> pcm;
  long fileRate = 0;
  if (!ResolveShowFile(kSoundtrack, &soundtrack) || DecodeMp3File(soundtrack.c_str(), kSoundRate, &pcm, &fileRate)) {
    std::fprintf(stderr, "velmora-trailer-tool: cannot decode the soundtrack %s\n", kSoundtrack);
    return false;
  }

  // Frames up to `to` and while the show still draws (it ends at kShowEnd).
  const double end = options.to >= 0 ? options.to : double(kShowEnd) / kStreamBytesPerSecond;
  long frames = 0;
  while (frames < LONG_MAX / 2 && VideoFrameClock(options, frames) < end * 1000 - 1e-6 &&
         VideoFramePosition(options, frames) < kShowEnd)
    ++frames;
  if (frames == 0) {
    std::fprintf(stderr, "velmora-trailer-tool: no frame between %.3f s and %.3f s of the show\n", options.from, end);
    return false;
  }

  if (!StartHeadlessShow(options.width, options.height, options.samples)) return false;
  const VideoFileFormat format = {options.width, options.height, options.fps, kSoundRate, kSoundChannels};
  if (!VideoFileStart(file, format, &pcm, std::llround(options.from * kSoundRate))) return false;
  // Sample frames of the sound from the start to the end of video frame i.
  auto soundUntil = [&](long i) { return int64_t(std::llround(double(i + 1) * kSoundRate / options.fps)); };

  Progress progress{options.progress, isatty(STDERR_FILENO) == 1, frames};
  const auto started = std::chrono::steady_clock::now();
  // Frame i is read into one buffer while frame i - 1, in the other, is
  // converted and encoded: that work overlaps the rasteriser's threads
  // drawing frame i.
  std::vector<unsigned char> bgra[2];
  for (auto& buffer : bgra) buffer.resize(size_t(options.width) * options.height * 4);
  auto encodeFrame = [&](long i) {
    if (!VideoFileAddPicture(file, bgra[i % 2].data(), i, soundUntil(i))) return false;
    ShowProgress(&progress, i + 1);
    return true;
  };

  // The first moment is drawn once before it is recorded, so that frame 0
  // too starts from the state a frame of the show leaves (the current colour).
  // Every frame lies before the show's end: ShowFrame clears it itself.
  SeamPinMoment(VideoFramePosition(options, 0), VideoFrameClock(options, 0));
  ShowFrame();
  for (long i = 0; i < frames; ++i) {
    if (Interrupted) {
      std::fprintf(stderr, "\ntrailer-tool: interrupted; %s not written\n", options.out);
      return false;
    }
    SeamPinMoment(VideoFramePosition(options, i), VideoFrameClock(options, i));
    ShowFrame();
    glFlush();  // the rasteriser starts on frame i
    if (i > 0 && !encodeFrame(i - 1)) return false;
    HeadlessGLReadBGRA(bgra[i % 2].data());
  }
  if (!encodeFrame(frames - 1)) return false;
  SeamReleaseStreamPosition();
  SeamReleaseCounter();
  if (!VideoFileFinish(file, soundUntil(frames - 1)) || Interrupted) return false;
  report->frames = frames;
  report->mediaSeconds = double(frames) / options.fps;
  report->wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return true;
}

bool ExportVideo(const VideoOptions& options, VideoReport* report) {
  *report = {};
  if (!options.out || !*options.out) return false;

  // From here on an interrupt only raises the flag: the loop stops at the
  // next frame and the temporary file goes.
  Interrupted = 0;
  struct sigaction action = {}, oldInt = {}, oldTerm = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &oldInt);
  sigaction(SIGTERM, &action, &oldTerm);

  bool ok = false;
  if (VideoFile* file = VideoFileCreate(options.out)) {
    ok = ExportInto(file, options, report);
    ok = VideoFileClose(file, ok);
  }
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
  return ok;
}
