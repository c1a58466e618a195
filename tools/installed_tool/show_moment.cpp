#include "tools/installed_tool/show_moment.h"

#include "tools/shared_kit/headless_gl.h"
#include "tools/shared_kit/show_seam.h"
#include "render/text.h"
#include "show/timeline.h"

#include <GL/gl.h>

#include <cstdio>

static struct {
  bool started = false;
  int width = 0, height = 0, samples = 0;  // pixels; samples per pixel
} Started;

bool StartHeadlessShow(int width, int height, int samples) {
  if (Started.started) {
    if (Started.width == width && Started.height == height && Started.samples == samples) return true;
    std::fprintf(stderr, "velmora-trailer-tool: the show is already set up at another size\n");
    return false;
  }
  if (!HeadlessGLCreate(width, height, samples)) return false;
  // The picture as the window frames it: the same aspect at any size, the
  // bars left as cleared (black).
  PictureFrame(width, height);
  PictureBaselineState();
  BuildFont();
  const bool loaded = ShowLoadAll(nullptr);
  std::fputc('\n', stdout);  // ends the loader's line of dots
  if (!loaded) {
    std::fprintf(stderr, "velmora-trailer-tool: the show's data could not be loaded\n");
    return false;
  }
  ShowWarmUp();  // as the show does after loading
  Started = {true, width, height, samples};
  // A late moment is not drawn with the state the loading left, as in the
  // show started there.
  RenderShowMoment(kShowFirstScene, ClockAtPosition(kShowFirstScene));
  return true;
}

std::vector<unsigned char> RenderShowMoment(uint32_t streamBytes, double clockMillis) {
  for (int pass = 0; pass < 2; ++pass) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);  // past the end ShowFrame draws nothing
    SeamPinMoment(streamBytes, clockMillis);
    ShowFrame();
  }
  SeamReleaseStreamPosition();
  SeamReleaseCounter();
  return HeadlessGLReadRGB();
}
