// trailer-tool bench [FRAMES]: how long the show's frames take headless,
// scene by scene. Every scene's window is cut into FRAMES positions (default
// 120); each position is drawn with ShowFrame at the moment of a soundtrack
// playing at 88,200 bytes per second, three times, and the fastest of the
// three counts (the machine is shared: the slower runs measure the others).
// Prints per scene the mean and the slowest frame, and where it fell.
#include "tools/trailer_tool/commands.h"
#include "tools/trailer_tool/show_moment.h"

#include "tools/kit/show_seam.h"
#include "show/timeline.h"

#include <GL/gl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

static const struct {
  const char* name;
  uint32_t from, until;  // stream bytes
} kSceneWindows[] = {
    {"title", 150500, 5359744},      {"hand", 5359744, 6338104},       {"castle", 6338104, 8364624},
    {"flight", 8364624, 9389696},    {"credits", 9389696, 11575424},
};

// One frame at `position`, finished on the GPU side, in milliseconds.
static double TimeFrame(uint32_t position) {
  SeamPinMoment(position, ClockAtPosition(position));
  const auto start = std::chrono::steady_clock::now();
  ShowFrame();
  glFinish();
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::milli>(end - start).count();
}

int CmdBench(int argc, char** argv) {
  long frames = 120;
  if (argc > 1) {
    std::fputs("usage: trailer-tool bench [FRAMES]\n", stderr);
    return 2;
  }
  if (argc == 1) {
    char* end = nullptr;
    frames = std::strtol(argv[0], &end, 10);
    if (*end || frames < 1 || frames > 100000) {
      std::fputs("usage: trailer-tool bench [FRAMES]   (FRAMES 1 to 100000)\n", stderr);
      return 2;
    }
  }
  if (!StartHeadlessShow()) return 1;

  std::printf("%-8s %10s %10s %12s   (%ld frames per scene, %d x %d, best of 3 each)\n", "scene", "mean ms",
              "slowest ms", "at position", frames, kFrameWidth, kFrameHeight);
  for (const auto& scene : kSceneWindows) {
    double sum = 0, slowest = 0;
    uint32_t slowestAt = scene.from;
    for (long i = 0; i < frames; ++i) {
      const uint32_t position = scene.from + uint32_t(uint64_t(scene.until - scene.from) * uint64_t(i) / uint64_t(frames));
      double best = TimeFrame(position);
      for (int run = 1; run < 3; ++run) {
        const double ms = TimeFrame(position);
        if (ms < best) best = ms;
      }
      sum += best;
      if (best > slowest) slowest = best, slowestAt = position;
    }
    std::printf("%-8s %10.3f %10.3f %12u\n", scene.name, sum / double(frames), slowest, slowestAt);
  }
  SeamReleaseStreamPosition();
  SeamReleaseCounter();
  return 0;
}
