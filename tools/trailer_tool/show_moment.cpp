#include "tools/trailer_tool/show_moment.h"

#include "app/window.h"
#include "tools/kit/headless_gl.h"
#include "tools/kit/show_seam.h"
#include "render/text.h"
#include "show/timeline.h"

#include <GL/gl.h>

#include <cstdio>

bool StartHeadlessShow() {
  if (!HeadlessGLCreate(kFrameWidth, kFrameHeight)) return false;
  ReSizeGLScene(kFrameWidth, kFrameHeight);
  InitGL();
  BuildFont();
  if (!ShowLoadAll()) {
    std::fprintf(stderr, "trailer-tool: the show's data could not be loaded\n");
    return false;
  }
  // Every run of the show has drawn the title scene's frames before any later
  // moment, and the scenes leave texturing and blending off behind them; the
  // closing lines and fade rely on that. Draw its first frame once, so that a
  // late moment is not drawn with the state the loading left.
  RenderShowMoment(150500, ClockAtPosition(150500));
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
