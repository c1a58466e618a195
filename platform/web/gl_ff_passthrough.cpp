// State OpenGL ES 2.0 keeps itself, recorded on the way for glPopAttrib and
// glGet, and the queries.
#include "platform/web/gl_fixed_function.h"
#include "platform/web/gl_ff_internal.h"

#include <cstdio>
#include <cstring>

constexpr GLenum kGlShadeModelQuery = 0x0B54, kGlAttribStackDepth = 0x0BB0, kGlModelviewStackDepth = 0x0BA3,
                 kGlProjectionStackDepth = 0x0BA4, kGlTextureStackDepth = 0x0BA5;

// The module's state: the version string, made once per context.
static struct {
  char version[160];
} Strings;

extern "C" void ffglFrontFace(unsigned int mode) {
  if (FFRefusedInList()) return;
  FFEditState().frontFace = mode;
  glFrontFace(mode);
}

extern "C" void ffglCullFace(unsigned int mode) {
  if (FFRefusedInList()) return;
  FFEditState().cullFace = mode;
  glCullFace(mode);
}

extern "C" void ffglDepthFunc(unsigned int func) {
  if (FFRefusedInList()) return;
  FFEditState().depthFunc = func;
  glDepthFunc(func);
}

extern "C" void ffglDepthMask(unsigned char flag) {
  if (FFRefusedInList()) return;
  FFEditState().depthMask = flag != 0;
  glDepthMask(flag);
}

extern "C" void ffglClearDepth(double depth) {
  if (FFRefusedInList()) return;
  FFEditState().clearDepth = float(depth);
  glClearDepthf(float(depth));
}

extern "C" void ffglClearColor(float red, float green, float blue, float alpha) {
  if (FFRefusedInList()) return;
  float* c = FFEditState().clearColor;
  c[0] = red, c[1] = green, c[2] = blue, c[3] = alpha;
  glClearColor(red, green, blue, alpha);
}

extern "C" void ffglClear(unsigned int mask) {
  if (FFRefusedInList()) return;
  glClear(mask & (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT));
}

extern "C" void ffglColorMask(unsigned char red, unsigned char green, unsigned char blue, unsigned char alpha) {
  if (FFRefusedInList()) return;
  bool* m = FFEditState().colorMask;
  m[0] = red != 0, m[1] = green != 0, m[2] = blue != 0, m[3] = alpha != 0;
  glColorMask(red, green, blue, alpha);
}

// Filled polygons only: other modes are kept for glPopAttrib and drawn filled.
extern "C" void ffglPolygonMode(unsigned int face, unsigned int mode) {
  if (FFRefusedInList()) return;
  FFState& s = FFEditState();
  if (face == GL_FRONT || face == GL_FRONT_AND_BACK) s.polygonMode[0] = mode;
  if (face == GL_BACK || face == GL_FRONT_AND_BACK) s.polygonMode[1] = mode;
}

extern "C" void ffglBlendFunc(unsigned int sfactor, unsigned int dfactor) {
  if (FFRefusedInList()) return;
  FFState& s = FFEditState();
  s.blendSrc = sfactor, s.blendDst = dfactor;
  glBlendFunc(sfactor, dfactor);
}

extern "C" void ffglViewport(int x, int y, int width, int height) {
  if (FFRefusedInList()) return;
  GLint* v = FFEditState().viewport;
  v[0] = x, v[1] = y, v[2] = width, v[3] = height;
  glViewport(x, y, width, height);
}

extern "C" void ffglScissor(int x, int y, int width, int height) {
  if (FFRefusedInList()) return;
  GLint* v = FFEditState().scissor;
  v[0] = x, v[1] = y, v[2] = width, v[3] = height;
  glScissor(x, y, width, height);
}

extern "C" void ffglFlush(void) { glFlush(); }
extern "C" void ffglFinish(void) { glFinish(); }

// ---------------------------------------------------------------------------
// Queries

extern "C" void ffglGetIntegerv(unsigned int pname, int* params) {
  const FFState& s = FFCurrentState();
  switch (pname) {
    case kGlMatrixMode: *params = int(s.matrixMode); return;
    case GL_TEXTURE_BINDING_2D: *params = int(s.boundTexture); return;
    case kGlListBase: *params = int(s.listBase); return;
    case kGlShadeModelQuery: *params = int(s.shadeModel); return;
    case GL_VIEWPORT: std::memcpy(params, s.viewport, sizeof s.viewport); return;
    case kGlAttribStackDepth: *params = int(FFAttribDepth()); return;
    case kGlModelviewStackDepth: *params = FFStackDepth(kGlModelview); return;
    case kGlProjectionStackDepth: *params = FFStackDepth(kGlProjection); return;
    case kGlTextureStackDepth: *params = FFStackDepth(kGlTexture); return;
    default: glGetIntegerv(pname, params);  // GL_MAX_TEXTURE_SIZE and the like
  }
}

extern "C" void ffglGetFloatv(unsigned int pname, float* params) {
  const FFState& s = FFCurrentState();
  switch (pname) {
    case kGlModelviewMatrix: std::memcpy(params, FFModelview(), 64); return;
    case kGlProjectionMatrix: std::memcpy(params, FFProjection(), 64); return;
    case kGlTextureMatrix: std::memcpy(params, FFTextureMatrix(), 64); return;
    case kGlCurrentColor: std::memcpy(params, s.color, sizeof s.color); return;
    case kGlCurrentNormal: std::memcpy(params, s.normal, sizeof s.normal); return;
    case kGlCurrentTextureCoords: std::memcpy(params, s.texCoord, sizeof s.texCoord); return;
    default: glGetFloatv(pname, params);
  }
}

// The version is the one the layer offers, naming the one under it.
extern "C" const unsigned char* ffglGetString(unsigned int name) {
  if (name == GL_VERSION) {
    const char* under = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    std::snprintf(Strings.version, sizeof Strings.version, "1.1 fixed function over %s", under ? under : "?");
    return reinterpret_cast<const unsigned char*>(Strings.version);
  }
  if (name == GL_EXTENSIONS) return reinterpret_cast<const unsigned char*>("");
  return glGetString(name);
}

extern "C" unsigned int ffglGetError(void) {
  const GLenum own = FFTakeError();
  return own != GL_NO_ERROR ? own : glGetError();
}
