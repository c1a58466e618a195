// The layer's OpenGL state and its life: a fresh context's values, the
// capabilities, the current normal, colour and texture coordinate (colour
// material following the colour), the attribute stack and errors. State that
// OpenGL ES 2.0 keeps itself (blending, depth, culling, viewport) is passed
// on when set and again when glPopAttrib restores it.
#include "platform/web/gl_fixed_function.h"
#include "platform/web/gl_ff_internal.h"

#include <cstring>

constexpr int kAttribStackDepth = 16;

// A capability: its enum, the attribute group that saves it besides
// GL_ENABLE_BIT, and whether OpenGL ES 2.0 has it too.
static const struct {
  GLenum cap;
  FFCap bit;
  GLbitfield group;
  bool native;
} kCaps[] = {
    {GL_TEXTURE_2D, kCapTexture2D, kBitTexture, false},
    {GL_BLEND, kCapBlend, kBitColorBuffer, true},
    {kGlLighting, kCapLighting, kBitLighting, false},
    {kGlLight0 + 0, FFCap(kCapLight0 + 0), kBitLighting, false},
    {kGlLight0 + 1, FFCap(kCapLight0 + 1), kBitLighting, false},
    {kGlLight0 + 2, FFCap(kCapLight0 + 2), kBitLighting, false},
    {kGlLight0 + 3, FFCap(kCapLight0 + 3), kBitLighting, false},
    {kGlLight0 + 4, FFCap(kCapLight0 + 4), kBitLighting, false},
    {kGlLight0 + 5, FFCap(kCapLight0 + 5), kBitLighting, false},
    {kGlLight0 + 6, FFCap(kCapLight0 + 6), kBitLighting, false},
    {kGlLight0 + 7, FFCap(kCapLight0 + 7), kBitLighting, false},
    {GL_CULL_FACE, kCapCullFace, kBitPolygon, true},
    {kGlColorMaterial, kCapColorMaterial, kBitLighting, false},
    {kGlFog, kCapFog, kBitFog, false},
    {GL_DEPTH_TEST, kCapDepthTest, kBitDepthBuffer, true},
    {kGlPolygonSmooth, kCapPolygonSmooth, kBitPolygon, false},  // llvmpipe does not smooth polygons either
    {kGlNormalize, kCapNormalize, kBitTransform, false},
    {kGlRescaleNormal, kCapRescaleNormal, kBitTransform, false},
    {kGlAlphaTest, kCapAlphaTest, kBitColorBuffer, false},
    {GL_SCISSOR_TEST, kCapScissorTest, kBitScissor, true},
    {GL_STENCIL_TEST, kCapStencilTest, kBitStencilBuffer, true},
    {GL_DITHER, kCapDither, kBitColorBuffer, true},
    {GL_POLYGON_OFFSET_FILL, kCapPolygonOffsetFill, kBitPolygon, true},
    {kGlTexture1D, kCapTexture1D, kBitTexture, false},
    {kGlTextureGenS, kCapTexGenS, kBitTexture, false},
    {kGlTextureGenT, kCapTexGenT, kBitTexture, false},
    {kGlTextureGenR, kCapTexGenR, kBitTexture, false},
    {kGlTextureGenQ, kCapTexGenQ, kBitTexture, false},
    {kGlColorLogicOp, kCapColorLogicOp, kBitColorBuffer, false},
    {kGlLineSmooth, kCapLineSmooth, kBitLine, false},
    {kGlPointSmooth, kCapPointSmooth, kBitPoint, false},
    {kGlLineStipple, kCapLineStipple, kBitLine, false},
    {kGlPolygonStipple, kCapPolygonStipple, kBitPolygon, false},
    {kGlAutoNormal, kCapAutoNormal, kBitEval, false},
};
constexpr int kCapEntries = int(sizeof kCaps / sizeof kCaps[0]);

// The module's state: what OpenGL would hold, the saved copies of
// glPushAttrib, and a serial the shaders compare to know it changed.
static struct {
  FFState s;
  struct {
    GLbitfield mask;
    FFState saved;
  } attribStack[kAttribStackDepth];
  int attribDepth;
  GLenum error;
  uint32_t serial;
} State;

void FFSetError(GLenum error) {
  if (State.error == GL_NO_ERROR) State.error = error;
}

GLenum FFTakeError() {
  const GLenum error = State.error;
  State.error = GL_NO_ERROR;
  return error;
}

bool FFRefusedInList() {
  if (!FFCompilingList() && !FFInsideBeginEnd()) return false;
  FFSetError(GL_INVALID_OPERATION);
  return true;
}

const FFState& FFCurrentState() { return State.s; }
uint32_t FFStateSerial() { return State.serial; }

FFState& FFEditState() {
  ++State.serial;
  return State.s;
}

bool FFIsOn(FFCap cap) { return (State.s.enabled >> cap) & 1; }

static void Set4(float* v, float a, float b, float c, float d) { v[0] = a, v[1] = b, v[2] = c, v[3] = d; }

// The state of a fresh OpenGL context.
static void ResetState() {
  FFState& s = State.s;
  s = FFState{};
  Set4(s.color, 1, 1, 1, 1);
  s.normal[2] = 1.0f;
  Set4(s.texCoord, 0, 0, 0, 1);
  s.enabled = uint64_t(1) << kCapDither;
  for (int i = 0; i < kMaxLights; ++i) {
    FFLight& l = s.lights[i];
    Set4(l.ambient, 0, 0, 0, 1);
    const float on = i == 0 ? 1.0f : 0.0f;  // light 0 alone is white
    Set4(l.diffuse, on, on, on, 1);
    Set4(l.specular, on, on, on, 1);
    Set4(l.position, 0, 0, 1, 0);
    l.spotDirection[2] = -1.0f;
    l.spotCutoff = 180.0f;
    l.attenuation[0] = 1.0f;
  }
  for (FFMaterial& m : s.material) {
    Set4(m.ambient, 0.2f, 0.2f, 0.2f, 1);
    Set4(m.diffuse, 0.8f, 0.8f, 0.8f, 1);
    Set4(m.specular, 0, 0, 0, 1);
    Set4(m.emission, 0, 0, 0, 1);
  }
  Set4(s.modelAmbient, 0.2f, 0.2f, 0.2f, 1);
  s.colorMaterialFace = GL_FRONT_AND_BACK;
  s.colorMaterialMode = kGlAmbientAndDiffuse;
  s.shadeModel = kGlSmooth;
  s.fogMode = kGlExp;
  s.fogDensity = 1.0f;
  s.fogEnd = 1.0f;
  s.blendSrc = GL_ONE, s.blendDst = GL_ZERO;
  s.colorMask[0] = s.colorMask[1] = s.colorMask[2] = s.colorMask[3] = true;
  s.depthFunc = GL_LESS;
  s.clearDepth = 1.0f;
  s.depthMask = true;
  s.cullFace = GL_BACK, s.frontFace = GL_CCW;
  s.polygonMode[0] = s.polygonMode[1] = kGlFill;
  s.matrixMode = kGlModelview;
  s.texEnvMode = kGlModulate;
  glGetIntegerv(GL_VIEWPORT, s.viewport);
  glGetIntegerv(GL_SCISSOR_BOX, s.scissor);
  State.attribDepth = 0;
  State.error = GL_NO_ERROR;
  ++State.serial;
}

// ---------------------------------------------------------------------------
// Lifecycle

bool FFGLStart() {
  FFGLForget();
  ResetState();
  FFTransformStart();
  FFDrawStart();
  return FFShaderStart();
}

void FFGLForget() {
  FFDrawForget();
  FFShaderForget();
  FFTextureForget();
}

FFGLCounts FFGLCountsNow() { return {FFDrawCount(), FFVertexCount(), FFProgramCount()}; }

// ---------------------------------------------------------------------------
// Current attributes and colour material

void FFTrackColor() {
  FFState& s = FFEditState();
  for (int face = 0; face < 2; ++face) {
    if (s.colorMaterialFace != GL_FRONT_AND_BACK && s.colorMaterialFace != (face ? GL_BACK : GL_FRONT)) continue;
    FFMaterial& m = s.material[face];
    switch (s.colorMaterialMode) {
      case kGlAmbient: std::memcpy(m.ambient, s.color, 16); break;
      case kGlDiffuse: std::memcpy(m.diffuse, s.color, 16); break;
      case kGlSpecular: std::memcpy(m.specular, s.color, 16); break;
      case kGlEmission: std::memcpy(m.emission, s.color, 16); break;
      case kGlAmbientAndDiffuse:
        std::memcpy(m.ambient, s.color, 16);
        std::memcpy(m.diffuse, s.color, 16);
        break;
    }
  }
}

void FFSetCurrentNormal(const float n[3]) { std::memcpy(State.s.normal, n, 12); }

void FFSetCurrentColor(const float c[4]) {
  std::memcpy(State.s.color, c, 16);
  if (FFIsOn(kCapColorMaterial)) FFTrackColor();
}

void FFSetCurrentTexCoord(const float t[4]) { std::memcpy(State.s.texCoord, t, 16); }

extern "C" void ffglNormal3f(float nx, float ny, float nz) {
  const float n[3] = {nx, ny, nz};
  if (FFCompilingList()) return FFRecordNormal(n);
  FFSetCurrentNormal(n);
  FFNoteInside(0);
}

extern "C" void ffglColor4f(float red, float green, float blue, float alpha) {
  const float c[4] = {red, green, blue, alpha};
  if (FFCompilingList()) return FFRecordColor(c);
  FFSetCurrentColor(c);
  FFNoteInside(1);
}

extern "C" void ffglColor3f(float red, float green, float blue) { ffglColor4f(red, green, blue, 1.0f); }

extern "C" void ffglTexCoord2f(float s, float t) {
  const float v[4] = {s, t, 0.0f, 1.0f};
  if (FFCompilingList()) return FFRecordTexCoord(v);
  FFSetCurrentTexCoord(v);
  FFNoteInside(2);
}

// ---------------------------------------------------------------------------
// Capabilities

static int CapIndex(GLenum cap) {
  for (int i = 0; i < kCapEntries; ++i)
    if (kCaps[i].cap == cap) return i;
  return -1;
}

static void SetCap(GLenum cap, bool on) {
  if (FFRefusedInList()) return;
  const int i = CapIndex(cap);
  if (i < 0) return FFSetError(GL_INVALID_ENUM);
  const uint64_t bit = uint64_t(1) << kCaps[i].bit;
  const bool was = (State.s.enabled & bit) != 0;
  FFState& s = FFEditState();
  s.enabled = on ? s.enabled | bit : s.enabled & ~bit;
  if (kCaps[i].native) on ? glEnable(cap) : glDisable(cap);
  // Enabling colour material takes the current colour at once.
  if (kCaps[i].bit == kCapColorMaterial && on && !was) FFTrackColor();
}

extern "C" void ffglEnable(unsigned int cap) { SetCap(cap, true); }
extern "C" void ffglDisable(unsigned int cap) { SetCap(cap, false); }

extern "C" unsigned char ffglIsEnabled(unsigned int cap) {
  const int i = CapIndex(cap);
  if (i < 0) return FFSetError(GL_INVALID_ENUM), GL_FALSE;
  return FFIsOn(kCaps[i].bit) ? GL_TRUE : GL_FALSE;
}

// ---------------------------------------------------------------------------
// The attribute stack

// Hands OpenGL ES the state it keeps itself, as the layer's state says.
static void ApplyNativeState() {
  const FFState& s = State.s;
  for (const auto& c : kCaps)
    if (c.native) FFIsOn(c.bit) ? glEnable(c.cap) : glDisable(c.cap);
  glBlendFunc(s.blendSrc, s.blendDst);
  glClearColor(s.clearColor[0], s.clearColor[1], s.clearColor[2], s.clearColor[3]);
  glColorMask(s.colorMask[0], s.colorMask[1], s.colorMask[2], s.colorMask[3]);
  glDepthFunc(s.depthFunc);
  glDepthMask(s.depthMask);
  glClearDepthf(s.clearDepth);
  glCullFace(s.cullFace);
  glFrontFace(s.frontFace);
  glViewport(s.viewport[0], s.viewport[1], s.viewport[2], s.viewport[3]);
  glScissor(s.scissor[0], s.scissor[1], s.scissor[2], s.scissor[3]);
  glBindTexture(GL_TEXTURE_2D, s.boundTexture);
}

extern "C" void ffglPushAttrib(unsigned int mask) {
  if (FFRefusedInList()) return;
  if (State.attribDepth >= kAttribStackDepth) return FFSetError(kGlStackOverflow);
  State.attribStack[State.attribDepth++] = {mask, State.s};
}

extern "C" void ffglPopAttrib(void) {
  if (FFRefusedInList()) return;
  if (State.attribDepth <= 0) return FFSetError(kGlStackUnderflow);
  const auto& entry = State.attribStack[--State.attribDepth];
  const GLbitfield mask = entry.mask;
  const FFState& from = entry.saved;
  FFState& s = FFEditState();
  if (mask & kBitCurrent) {
    std::memcpy(s.color, from.color, sizeof s.color);
    std::memcpy(s.normal, from.normal, sizeof s.normal);
    std::memcpy(s.texCoord, from.texCoord, sizeof s.texCoord);
  }
  uint64_t restored = 0;  // the capabilities the mask brings back
  for (const auto& c : kCaps)
    if (mask & (kBitEnable | c.group)) restored |= uint64_t(1) << c.bit;
  s.enabled = (s.enabled & ~restored) | (from.enabled & restored);
  if (mask & kBitLighting) {
    std::memcpy(s.lights, from.lights, sizeof s.lights);
    std::memcpy(s.material, from.material, sizeof s.material);
    std::memcpy(s.modelAmbient, from.modelAmbient, sizeof s.modelAmbient);
    s.localViewer = from.localViewer, s.twoSide = from.twoSide;
    s.colorMaterialFace = from.colorMaterialFace, s.colorMaterialMode = from.colorMaterialMode;
    s.shadeModel = from.shadeModel;
  }
  if (mask & kBitFog) {
    s.fogMode = from.fogMode, s.fogDensity = from.fogDensity, s.fogStart = from.fogStart, s.fogEnd = from.fogEnd;
    std::memcpy(s.fogColor, from.fogColor, sizeof s.fogColor);
  }
  if (mask & kBitColorBuffer) {
    s.blendSrc = from.blendSrc, s.blendDst = from.blendDst;
    std::memcpy(s.clearColor, from.clearColor, sizeof s.clearColor);
    std::memcpy(s.colorMask, from.colorMask, sizeof s.colorMask);
  }
  if (mask & kBitDepthBuffer) {
    s.depthFunc = from.depthFunc, s.clearDepth = from.clearDepth, s.depthMask = from.depthMask;
  }
  if (mask & kBitPolygon) {
    s.cullFace = from.cullFace, s.frontFace = from.frontFace;
    s.polygonMode[0] = from.polygonMode[0], s.polygonMode[1] = from.polygonMode[1];
  }
  if (mask & kBitViewport) std::memcpy(s.viewport, from.viewport, sizeof s.viewport);
  if (mask & kBitScissor) std::memcpy(s.scissor, from.scissor, sizeof s.scissor);
  if (mask & kBitTransform) s.matrixMode = from.matrixMode;
  if (mask & kBitTexture) {
    s.boundTexture = from.boundTexture, s.texEnvMode = from.texEnvMode;
    std::memcpy(s.texEnvColor, from.texEnvColor, sizeof s.texEnvColor);
  }
  if (mask & kBitList) s.listBase = from.listBase;
  ApplyNativeState();
}

unsigned FFAttribDepth() { return unsigned(State.attribDepth); }
