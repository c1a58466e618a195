// velmora-trailer-tool listen SECONDS MARKS
//
// Records the default sink's monitor for SECONDS (timed by the server's own
// measurements, as sync records it), then reads MARKS: the lines another
// player of the show printed when its position crossed each mark of the
// score, on the wall clock (the page's marks=1 console lines:
//   velmora: mark B at S s: crossed at T ms since the epoch, clock C ms
// ). For each, it finds the mark's stretch of the soundtrack in what was
// heard and prints, as sync does, how far the crossing was from the moment
// the mark was heard, and how far that player's clock was from the position.
#include "tools/installed_tool/commands.h"

#include "app/arguments.h"
#include "platform/audio_decode.h"
#include "platform/audio_output.h"
#include "platform/win_files.h"
#include "show/score.h"
#include "tools/shared_kit/audio_loopback.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

static const int kRate = 44100;

static int Usage() {
  std::fputs("usage: velmora-trailer-tool listen SECONDS MARKS\n", stderr);
  return 2;
}

int CmdListen(int argc, char** argv) {
  double seconds = 0;
  if (argc != 2 || !ParseNumber(argv[0], 0.1, 3600.0, &seconds)) return Usage();
  std::string path;
  std::vector<int16_t> reference;
  long fileRate = 0;
  if (!ResolveShowFile("TrailerLOW.mp3", &path) || DecodeMp3File(path.c_str(), kRate, &reference, &fileRate) != 0) {
    std::fprintf(stderr, "listen: cannot decode TrailerLOW.mp3\n");
    return 1;
  }
  if (!LoopbackStart(kRate)) {
    std::fprintf(stderr, "listen: no sound server answers to record from\n");
    return 1;
  }
  std::printf("listen: recording for %.1f s\n", seconds);
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::milliseconds(int64_t(seconds * 1000)));
  TimedSound heard;
  if (!LoopbackStop(&heard)) {
    std::fprintf(stderr, "listen: the recording failed\n");
    return 1;
  }

  std::FILE* marks = std::fopen(argv[1], "r");
  if (!marks) {
    std::fprintf(stderr, "listen: cannot read %s\n", argv[1]);
    return 1;
  }
  const int64_t before = kRate / 40, count = kRate / 10, span = kRate * 3 / 10;  // 25 ms, 100 ms, 300 ms
  double sum = 0, worst = 0, worstClock = 0;
  int found = 0;
  char line[512];
  while (std::fgets(line, sizeof line, marks)) {
    unsigned mark = 0;
    double markSeconds = 0, epochMillis = 0, clock = 0;
    const char* text = std::strstr(line, "mark ");
    if (!text || std::sscanf(text, "mark %u at %lf s: crossed at %lf ms since the epoch, clock %lf ms", &mark,
                             &markSeconds, &epochMillis, &clock) != 4)
      continue;
    const double crossNanos = double(AudioMonotonicFromRealtime(int64_t(epochMillis * 1e6)));
    const int64_t markFrame = int64_t(mark) * kRate / kStreamBytesPerSecond;
    const int64_t near = int64_t(heard.FrameAt(crossNanos)) - before;
    const int64_t at = FindSound(reference, markFrame - before, count, heard.stereo, near, span);
    if (at < 0) {
      std::printf("mark %8u at %7.3f s: not found in what was heard\n", mark, markSeconds);
      continue;
    }
    const double offset = (crossNanos - heard.NanosAt(double(at + before))) / 1e6;
    const double clockError = clock - mark / kStreamBytesPerMilli;
    std::printf("mark %8u at %7.3f s: offset %+7.2f ms, clock %+7.2f ms\n", mark, markSeconds, offset, clockError);
    sum += std::fabs(offset);
    worst = std::max(worst, std::fabs(offset));
    worstClock = std::max(worstClock, std::fabs(clockError));
    ++found;
  }
  std::fclose(marks);
  if (!found) {
    std::fprintf(stderr, "listen: no mark of %s was heard\n", argv[1]);
    return 1;
  }
  std::printf("listen: offset mean %.2f ms, worst %.2f ms, clock worst %.2f ms over %d marks\n", sum / found, worst,
              worstClock, found);
  return 0;
}
