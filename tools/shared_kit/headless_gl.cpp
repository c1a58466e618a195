#include "tools/shared_kit/headless_gl.h"

#include "platform/gl_window.h"
#include "models/mesh.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstring>

static struct {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;
  EGLSurface surface = EGL_NO_SURFACE;
  int width = 0;   // pixels
  int height = 0;  // pixels
} Headless;

static EGLDisplay OpenDisplay() {
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay) {
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display != EGL_NO_DISPLAY) return display;
  }
  return eglGetDisplay(EGL_DEFAULT_DISPLAY);
}

// The most samples per pixel any OpenGL pbuffer configuration offers.
static EGLint MostSamples(EGLDisplay display) {
  const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
  EGLConfig configs[256];
  EGLint found = 0, most = 0;
  if (!eglChooseConfig(display, attributes, configs, 256, &found)) return 0;
  for (EGLint i = 0; i < found && i < 256; ++i) {
    EGLint samples = 0;
    if (eglGetConfigAttrib(display, configs[i], EGL_SAMPLES, &samples) && samples > most) most = samples;
  }
  return most;
}

static EGLint Attribute(EGLDisplay display, EGLConfig config, EGLint name) {
  EGLint value = -1;
  return eglGetConfigAttrib(display, config, name, &value) ? value : -1;
}

// The window's pixel format (platform/gl_window.h): its colour channels exactly, for
// EGL ranks deeper colour first and 10-bit channels round differently; its
// alpha where offered (alpha is never drawn with, so any will do else); the
// smallest depth buffer of at least `depthBits`, as EGL ranks them. Samples,
// when asked for, the fewest of at least `samples`; none otherwise.
static bool ChooseConfig(EGLDisplay display, int depthBits, int samples, EGLConfig* chosen) {
  const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                               EGL_RED_SIZE, kShowColourBits, EGL_GREEN_SIZE, kShowColourBits,
                               EGL_BLUE_SIZE, kShowColourBits, EGL_DEPTH_SIZE, depthBits,
                               EGL_SAMPLE_BUFFERS, samples > 0 ? 1 : 0, EGL_SAMPLES, samples > 0 ? samples : 0,
                               EGL_NONE};
  EGLConfig configs[256];
  EGLint found = 0;
  if (!eglChooseConfig(display, attributes, configs, 256, &found)) return false;
  bool any = false;
  for (EGLint i = 0; i < found && i < 256; ++i) {
    if (Attribute(display, configs[i], EGL_RED_SIZE) != kShowColourBits ||
        Attribute(display, configs[i], EGL_GREEN_SIZE) != kShowColourBits ||
        Attribute(display, configs[i], EGL_BLUE_SIZE) != kShowColourBits)
      continue;
    if (samples == 0 && Attribute(display, configs[i], EGL_SAMPLES) > 0) continue;
    if (!any) *chosen = configs[i];
    any = true;
    if (Attribute(display, configs[i], EGL_ALPHA_SIZE) == kShowAlphaBits) {
      *chosen = configs[i];
      return true;
    }
  }
  return any;
}

bool HeadlessGLCreate(int width, int height, int samples) {
  HeadlessGLDestroy();
  Headless.display = OpenDisplay();
  if (Headless.display == EGL_NO_DISPLAY || !eglInitialize(Headless.display, nullptr, nullptr)) {
    std::fprintf(stderr, "headless GL: no EGL display\n");
    Headless.display = EGL_NO_DISPLAY;
    return false;
  }
  // The window falls back to a smaller depth buffer where it must; so does this.
  EGLConfig config = nullptr;
  bool chosen = false;
  if (eglBindAPI(EGL_OPENGL_API))
    for (int depthBits : kShowDepthBits)
      if ((chosen = ChooseConfig(Headless.display, depthBits, samples, &config))) break;
  if (!chosen) {
    if (samples > 0)
      std::fprintf(stderr, "headless GL: no OpenGL pbuffer with %d samples per pixel (at most %d here)\n", samples,
                   int(MostSamples(Headless.display)));
    else
      std::fprintf(stderr, "headless GL: no OpenGL pbuffer configuration\n");
    HeadlessGLDestroy();
    return false;
  }
  EGLint given = 0;
  if (samples > 0 && eglGetConfigAttrib(Headless.display, config, EGL_SAMPLES, &given) && given != samples)
    std::fprintf(stderr, "headless GL: %d samples per pixel (the nearest to %d offered)\n", int(given), samples);
  const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  Headless.surface = eglCreatePbufferSurface(Headless.display, config, surfaceAttributes);
  // No attributes: Mesa then gives a compatibility context, fixed function included.
  Headless.context = eglCreateContext(Headless.display, config, EGL_NO_CONTEXT, nullptr);
  if (Headless.surface == EGL_NO_SURFACE || Headless.context == EGL_NO_CONTEXT ||
      !eglMakeCurrent(Headless.display, Headless.surface, Headless.surface, Headless.context)) {
    std::fprintf(stderr, "headless GL: cannot make a context current (EGL error 0x%x)\n", eglGetError());
    HeadlessGLDestroy();
    return false;
  }
  Headless.width = width;
  Headless.height = height;
  glViewport(0, 0, width, height);
  glDrawBuffer(GL_BACK);
  glReadBuffer(GL_BACK);
  return true;
}

void HeadlessGLDestroy() {
  if (Headless.display == EGL_NO_DISPLAY) return;
  QTL_ForgetCompiledMeshes();  // their lists go with the context
  eglMakeCurrent(Headless.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (Headless.context != EGL_NO_CONTEXT) eglDestroyContext(Headless.display, Headless.context);
  if (Headless.surface != EGL_NO_SURFACE) eglDestroySurface(Headless.display, Headless.surface);
  eglTerminate(Headless.display);
  Headless = {};
}

int HeadlessGLWidth() { return Headless.width; }
int HeadlessGLHeight() { return Headless.height; }

std::vector<unsigned char> HeadlessGLReadRGB() {
  const int w = Headless.width, h = Headless.height;
  std::vector<unsigned char> bottomUp(size_t(w) * h * 3), topDown(bottomUp.size());
  if (w == 0 || h == 0) return topDown;
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  const size_t row = size_t(w) * 3;
  for (int y = 0; y < h; ++y) std::memcpy(&topDown[size_t(y) * row], &bottomUp[size_t(h - 1 - y) * row], row);
  return topDown;
}

void HeadlessGLReadBGRA(unsigned char* out) {
  if (Headless.width == 0 || Headless.height == 0) return;
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, Headless.width, Headless.height, GL_BGRA, GL_UNSIGNED_BYTE, out);
}
