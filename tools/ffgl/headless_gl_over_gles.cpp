// tools/shared_kit/headless_gl.h for the show built through the fixed-function
// layer: the same calls, answered by an OpenGL ES 2.0 context with the layer
// in it, so that the tool's frame code runs unchanged.
#include "tools/shared_kit/headless_gl.h"

#include "models/mesh.h"
#include "tools/ffgl/headless_gles.h"

// <GL/gl.h> and <GL/glu.h> declare the renamed functions here, and the layer's
// header declares them again: a signature that differs does not compile.
#include <GL/gl.h>
#include <GL/glu.h>
#include "platform/web/gl_fixed_function.h"

#include <cstdio>
#include <cstring>

bool HeadlessGLCreate(int width, int height, int samples) {
  if (samples > 0) {
    std::fprintf(stderr, "headless GLES: no multisampling through the fixed-function layer\n");
    return false;
  }
  QTL_ForgetCompiledMeshes();
  return HeadlessGLESCreate(width, height);
}

void HeadlessGLDestroy() {
  QTL_ForgetCompiledMeshes();
  HeadlessGLESDestroy();
}

std::vector<unsigned char> HeadlessGLReadRGB() { return HeadlessGLESReadRGB(); }

void HeadlessGLReadBGRA(unsigned char* out) {
  const std::vector<unsigned char> rgb = HeadlessGLESReadRGB();
  const int w = HeadlessGLESWidth(), h = HeadlessGLESHeight();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const unsigned char* p = &rgb[(size_t(h - 1 - y) * size_t(w) + size_t(x)) * 3];
      unsigned char* q = out + (size_t(y) * size_t(w) + size_t(x)) * 4;
      q[0] = p[2], q[1] = p[1], q[2] = p[0], q[3] = 255;
    }
}

int HeadlessGLWidth() { return HeadlessGLESWidth(); }
int HeadlessGLHeight() { return HeadlessGLESHeight(); }
