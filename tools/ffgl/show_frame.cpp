// show-frame-ffgl / show-frame-gl POSITION OUT.png [--against REF.png] [--diff DIFF.png] [--frames N]
//
// The show's frame at a stream position, drawn headless as
// `velmora-trailer-tool frame` draws it: built once through the
// fixed-function layer on OpenGL ES 2.0 (show-frame-ffgl) and once on desktop
// OpenGL (show-frame-gl), from this same file. --against compares the frame
// with a reference PNG: the share of pixels off by more than 8 levels in any
// channel, and the largest difference; --diff writes the differences, eight
// times brighter; --frames times that many more frames of the moment (median).
// Through the layer it also tells the draws and vertices one frame sends to
// OpenGL ES, and the programs made.
#include "tools/installed_tool/show_moment.h"

#include "show/timeline.h"
#include "tools/ffgl/png_read.h"
#include "tools/shared_kit/png_file.h"
#include "tools/shared_kit/show_seam.h"

#include <GL/gl.h>
#ifdef SHOW_FRAME_THROUGH_LAYER
#include "platform/web/gl_fixed_function.h"
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

static int Usage() {
  std::fputs("usage: show-frame POSITION OUT.png [--against REF.png] [--diff DIFF.png] [--frames N]\n", stderr);
  return 2;
}

// Median milliseconds of `frames` draws of the moment, each finished.
static double TimeFrames(uint32_t position, int frames) {
  std::vector<double> ms;
  for (int i = 0; i < frames; ++i) {
    SeamPinMoment(position, ClockAtPosition(position));
    const auto start = std::chrono::steady_clock::now();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ShowFrame();
    glFinish();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  SeamReleaseStreamPosition();
  SeamReleaseCounter();
  std::sort(ms.begin(), ms.end());
  return ms.empty() ? 0.0 : ms[ms.size() / 2];
}

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  char* end = nullptr;
  const unsigned long position = std::strtoul(argv[1], &end, 10);
  if (*end || position > 0xFFFFFFFFul) return Usage();
  const char* against = nullptr;
  const char* diffPath = nullptr;
  int frames = 0;
  for (int i = 3; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--against") == 0) against = argv[i + 1];
    else if (std::strcmp(argv[i], "--diff") == 0) diffPath = argv[i + 1];
    else if (std::strcmp(argv[i], "--frames") == 0) frames = std::atoi(argv[i + 1]);
    else return Usage();
  }
  if (argc % 2 == 0 || frames < 0) return Usage();

  if (!StartHeadlessShow()) return 1;
  const std::vector<unsigned char> rgb = RenderShowMoment(uint32_t(position), ClockAtPosition(uint32_t(position)));
  if (!WritePNG(argv[2], kFrameWidth, kFrameHeight, rgb.data())) return 1;
  std::printf("position %lu", position);
  // Errors the frame raised: a call the layer refuses shows up here.
  for (int i = 0; i < 8; ++i) {
    const GLenum error = glGetError();
    if (error == GL_NO_ERROR) break;
    std::printf("  GL error 0x%04x", error);
  }
  if (frames > 0) std::printf("  frame %.2f ms", TimeFrames(uint32_t(position), frames));
#ifdef SHOW_FRAME_THROUGH_LAYER
  const FFGLCounts before = FFGLCountsNow();
  TimeFrames(uint32_t(position), 1);
  const FFGLCounts after = FFGLCountsNow();
  std::printf("  %ld draws, %ld vertices, %d programs", after.draws - before.draws, after.vertices - before.vertices,
              after.programs);
#endif

  if (against) {
    int w = 0, h = 0;
    std::vector<unsigned char> ref;
    if (!ReadPNG(against, &w, &h, &ref) || w != kFrameWidth || h != kFrameHeight) return 1;
    long over = 0, any = 0;
    int most = 0;
    std::vector<unsigned char> diff(rgb.size());
    for (size_t p = 0; p < rgb.size(); p += 3) {
      int worst = 0;
      for (size_t c = 0; c < 3; ++c) {
        const int d = std::abs(int(rgb[p + c]) - int(ref[p + c]));
        worst = std::max(worst, d);
        diff[p + c] = static_cast<unsigned char>(std::min(255, d * 8));
      }
      over += worst > 8;
      any += worst > 0;
      most = std::max(most, worst);
    }
    std::printf("  over 8: %.4f %% (%ld px)  max %d  differing: %ld px", 100.0 * double(over) / double(w * h), over,
                most, any);
    if (diffPath && !WritePNG(diffPath, w, h, diff.data())) return 1;
  }
  std::printf("\n");
  return 0;
}
