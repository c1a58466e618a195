#include "tools/trailer_tool/show_moment.h"

#include "app/window.h"
#include "tools/kit/headless_gl.h"
#include "tools/kit/show_seam.h"
#include "render/text.h"
#include "show/timeline.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>

static struct {
  bool started = false;
  int width = 0, height = 0, samples = 0;  // pixels; samples per pixel
} Started;

PictureRect PictureIn(int width, int height) {
  // 4:3 fills the height where the frame is wider, else the width.
  PictureRect r = {0, 0, width, height};
  if (int64_t(width) * kFrameHeight > int64_t(height) * kFrameWidth)
    r.width = int(std::lround(double(height) * kFrameWidth / kFrameHeight));
  else
    r.height = int(std::lround(double(width) * kFrameHeight / kFrameWidth));
  r.x = (width - r.width) / 2;
  r.y = (height - r.height) / 2;
  return r;
}

bool StartHeadlessShow(int width, int height, int samples) {
  if (Started.started) {
    if (Started.width == width && Started.height == height && Started.samples == samples) return true;
    std::fprintf(stderr, "velmora-trailer-tool: the show is already set up at another size\n");
    return false;
  }
  if (!HeadlessGLCreate(width, height, samples)) return false;
  // The projection of the show's own 640 x 480 window, then the viewport of
  // the picture: the same aspect at any size, the bars left as cleared (black).
  ReSizeGLScene(kFrameWidth, kFrameHeight);
  const PictureRect picture = PictureIn(width, height);
  glViewport(picture.x, picture.y, picture.width, picture.height);
  InitGL();
  BuildFont();
  const bool loaded = ShowLoadAll();
  std::fputc('\n', stdout);  // ends the loader's line of dots
  if (!loaded) {
    std::fprintf(stderr, "velmora-trailer-tool: the show's data could not be loaded\n");
    return false;
  }
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
