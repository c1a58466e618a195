#include "tools/ffgl/headless_gles.h"

#include "platform/gl_window.h"
#include "platform/web/gl_fixed_function.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES2/gl2.h>

#include <cstdio>
#include <cstring>

static struct {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;
  EGLSurface surface = EGL_NO_SURFACE;
  int width = 0, height = 0;  // pixels
} Gles;

static EGLDisplay OpenDisplay() {
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay) {
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display != EGL_NO_DISPLAY) return display;
  }
  return eglGetDisplay(EGL_DEFAULT_DISPLAY);
}

static EGLint Attribute(EGLConfig config, EGLint name) {
  EGLint value = -1;
  return eglGetConfigAttrib(Gles.display, config, name, &value) ? value : -1;
}

// The window's pixel format, as tools/shared_kit/headless_gl.cpp picks it for
// desktop OpenGL: exactly 8-bit colour, no alpha where offered, the
// smallest depth buffer of at least `depthBits`, no multisampling.
static bool ChooseConfig(int depthBits, EGLConfig* chosen) {
  const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_ES2_BIT,
                               EGL_RED_SIZE, kShowColourBits, EGL_GREEN_SIZE, kShowColourBits,
                               EGL_BLUE_SIZE, kShowColourBits, EGL_DEPTH_SIZE, depthBits, EGL_NONE};
  EGLConfig configs[256];
  EGLint found = 0;
  if (!eglChooseConfig(Gles.display, attributes, configs, 256, &found)) return false;
  bool any = false;
  for (EGLint i = 0; i < found && i < 256; ++i) {
    if (Attribute(configs[i], EGL_RED_SIZE) != kShowColourBits ||
        Attribute(configs[i], EGL_GREEN_SIZE) != kShowColourBits ||
        Attribute(configs[i], EGL_BLUE_SIZE) != kShowColourBits || Attribute(configs[i], EGL_SAMPLES) > 0)
      continue;
    if (!any) *chosen = configs[i];
    any = true;
    if (Attribute(configs[i], EGL_ALPHA_SIZE) == kShowAlphaBits) {
      *chosen = configs[i];
      return true;
    }
  }
  return any;
}

bool HeadlessGLESCreate(int width, int height) {
  HeadlessGLESDestroy();
  Gles.display = OpenDisplay();
  if (Gles.display == EGL_NO_DISPLAY || !eglInitialize(Gles.display, nullptr, nullptr)) {
    std::fprintf(stderr, "headless GLES: no EGL display\n");
    Gles.display = EGL_NO_DISPLAY;
    return false;
  }
  EGLConfig config = nullptr;
  bool chosen = false;
  if (eglBindAPI(EGL_OPENGL_ES_API))
    for (int depthBits : kShowDepthBits)
      if ((chosen = ChooseConfig(depthBits, &config))) break;
  if (!chosen) {
    std::fprintf(stderr, "headless GLES: no OpenGL ES 2.0 pbuffer configuration\n");
    HeadlessGLESDestroy();
    return false;
  }
  const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  const EGLint contextAttributes[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
  Gles.surface = eglCreatePbufferSurface(Gles.display, config, surfaceAttributes);
  Gles.context = eglCreateContext(Gles.display, config, EGL_NO_CONTEXT, contextAttributes);
  if (Gles.surface == EGL_NO_SURFACE || Gles.context == EGL_NO_CONTEXT ||
      !eglMakeCurrent(Gles.display, Gles.surface, Gles.surface, Gles.context)) {
    std::fprintf(stderr, "headless GLES: cannot make a context current (EGL error 0x%x)\n", eglGetError());
    HeadlessGLESDestroy();
    return false;
  }
  Gles.width = width, Gles.height = height;
  glViewport(0, 0, width, height);
  if (!FFGLStart()) {
    std::fprintf(stderr, "headless GLES: the fixed-function layer cannot run here\n");
    HeadlessGLESDestroy();
    return false;
  }
  return true;
}

void HeadlessGLESDestroy() {
  if (Gles.display == EGL_NO_DISPLAY) return;
  FFGLForget();
  eglMakeCurrent(Gles.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (Gles.context != EGL_NO_CONTEXT) eglDestroyContext(Gles.display, Gles.context);
  if (Gles.surface != EGL_NO_SURFACE) eglDestroySurface(Gles.display, Gles.surface);
  eglTerminate(Gles.display);
  Gles = {};
}

int HeadlessGLESWidth() { return Gles.width; }
int HeadlessGLESHeight() { return Gles.height; }

std::vector<unsigned char> HeadlessGLESReadRGB() {
  const int w = Gles.width, h = Gles.height;
  std::vector<unsigned char> rgba(size_t(w) * size_t(h) * 4), rgb(size_t(w) * size_t(h) * 3);
  if (w == 0 || h == 0) return rgb;
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());  // the one format OpenGL ES promises
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      std::memcpy(&rgb[(size_t(y) * size_t(w) + size_t(x)) * 3],
                  &rgba[(size_t(h - 1 - y) * size_t(w) + size_t(x)) * 4], 3);
  return rgb;
}
