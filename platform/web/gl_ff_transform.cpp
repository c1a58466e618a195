// The matrix stacks and the commands that change them. A command recorded
// into a display list is replayed through the FFRun... functions.
#include "platform/web/gl_fixed_function.h"
#include "platform/web/gl_ff_internal.h"

#include <cstring>
#include <initializer_list>

constexpr int kStackDepth = 32;         // model-view and projection, as Mesa
constexpr int kTextureStackDepth = 10;  // Mesa's texture stack

struct MatrixStack {
  float m[kStackDepth][16];
  int depth;  // entries in use; the top is m[depth - 1]
};

// The module's state: three stacks, and a serial the shaders compare to know
// that a matrix changed.
static struct {
  MatrixStack modelview, projection, texture;
  uint32_t serial;
  bool textureIdentity;  // the texture matrix is the identity: no transform in the shader
} Transform;

void FFTransformStart() {
  for (MatrixStack* stack : {&Transform.modelview, &Transform.projection, &Transform.texture}) {
    stack->depth = 1;
    FFMatIdentity(stack->m[0]);
  }
  Transform.textureIdentity = true;
  ++Transform.serial;
}

const float* FFModelview() { return Transform.modelview.m[Transform.modelview.depth - 1]; }
const float* FFProjection() { return Transform.projection.m[Transform.projection.depth - 1]; }
const float* FFTextureMatrix() { return Transform.texture.m[Transform.texture.depth - 1]; }
bool FFTextureMatrixIsIdentity() { return Transform.textureIdentity; }
uint32_t FFMatrixSerial() { return Transform.serial; }

int FFStackDepth(GLenum mode) {
  switch (mode) {
    case kGlProjection: return Transform.projection.depth;
    case kGlTexture: return Transform.texture.depth;
    default: return Transform.modelview.depth;
  }
}

static MatrixStack* CurrentStack() {
  switch (FFCurrentState().matrixMode) {
    case kGlProjection: return &Transform.projection;
    case kGlTexture: return &Transform.texture;
    default: return &Transform.modelview;
  }
}

static float* Top() {
  MatrixStack* stack = CurrentStack();
  return stack->m[stack->depth - 1];
}

static void Changed() {
  ++Transform.serial;
  if (CurrentStack() == &Transform.texture) {
    float identity[16];
    FFMatIdentity(identity);
    Transform.textureIdentity = std::memcmp(FFTextureMatrix(), identity, sizeof identity) == 0;
  }
}

void FFRunTranslate(float x, float y, float z) { FFMatTranslate(Top(), x, y, z), Changed(); }
void FFRunRotate(float angle, float x, float y, float z) { FFMatRotate(Top(), angle, x, y, z), Changed(); }
void FFRunScale(float x, float y, float z) { FFMatScale(Top(), x, y, z), Changed(); }
void FFRunMultMatrix(const float m[16]) { FFMatMultiply(Top(), Top(), m), Changed(); }

extern "C" void ffglMatrixMode(unsigned int mode) {
  if (FFRefusedInList()) return;
  if (mode != kGlModelview && mode != kGlProjection && mode != kGlTexture) return FFSetError(GL_INVALID_ENUM);
  FFEditState().matrixMode = mode;
}

extern "C" void ffglLoadIdentity(void) {
  if (FFRefusedInList()) return;
  FFMatIdentity(Top()), Changed();
}

extern "C" void ffglLoadMatrixf(const float* m) {
  if (FFRefusedInList()) return;
  std::memcpy(Top(), m, 64), Changed();
}

extern "C" void ffglPushMatrix(void) {
  if (FFRefusedInList()) return;
  MatrixStack* stack = CurrentStack();
  const int limit = stack == &Transform.texture ? kTextureStackDepth : kStackDepth;
  if (stack->depth >= limit) return FFSetError(kGlStackOverflow);
  std::memcpy(stack->m[stack->depth], stack->m[stack->depth - 1], 64);
  ++stack->depth;
}

extern "C" void ffglPopMatrix(void) {
  if (FFRefusedInList()) return;
  MatrixStack* stack = CurrentStack();
  if (stack->depth <= 1) return FFSetError(kGlStackUnderflow);
  --stack->depth;
  Changed();
}

extern "C" void ffglTranslatef(float x, float y, float z) {
  const float v[4] = {x, y, z, 0};
  if (FFCompilingList()) FFRecordMatrix(kRecordTranslate, v);
  else FFRunTranslate(x, y, z);
}

// As Mesa: the doubles become floats first.
extern "C" void ffglTranslated(double x, double y, double z) { ffglTranslatef(float(x), float(y), float(z)); }

extern "C" void ffglRotatef(float angle, float x, float y, float z) {
  const float v[4] = {angle, x, y, z};
  if (FFCompilingList()) FFRecordMatrix(kRecordRotate, v);
  else FFRunRotate(angle, x, y, z);
}

extern "C" void ffglScalef(float x, float y, float z) {
  const float v[4] = {x, y, z, 0};
  if (FFCompilingList()) FFRecordMatrix(kRecordScale, v);
  else FFRunScale(x, y, z);
}

extern "C" void ffglMultMatrixf(const float* m) {
  if (FFRefusedInList()) return;
  FFRunMultMatrix(m);
}

extern "C" void ffglMultMatrixd(const double* m) {
  float f[16];
  for (int i = 0; i < 16; ++i) f[i] = float(m[i]);
  ffglMultMatrixf(f);
}

extern "C" void ffglFrustum(double left, double right, double bottom, double top, double zNear, double zFar) {
  if (FFRefusedInList()) return;
  FFMatFrustum(Top(), float(left), float(right), float(bottom), float(top), float(zNear), float(zFar));
  Changed();
}

extern "C" void ffglOrtho(double left, double right, double bottom, double top, double zNear, double zFar) {
  if (FFRefusedInList()) return;
  FFMatOrtho(Top(), float(left), float(right), float(bottom), float(top), float(zNear), float(zFar));
  Changed();
}
