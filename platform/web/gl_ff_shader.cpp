// The programs that do fixed-function OpenGL's work, one per combination of
// the state that changes the code (see gl_ff_glsl.cpp), built on first use
// and kept, and the uniforms they are given. Variants rather than one program
// branching on uniforms: the branches would run for every vertex, and a GPU
// (or llvmpipe) runs both sides of them; the show needs a dozen variants.
#include "platform/web/gl_fixed_function.h"
#include "platform/web/gl_ff_internal.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

constexpr int kMaxPrograms = 64;

struct Program {
  uint64_t key;
  FFShaderKey parts;
  GLuint id;  // 0: a free slot
  GLint location[kUniforms];
  uint32_t matrixSerial, stateSerial;  // what its uniforms were set from
  float color[4], texCoord[4];         // the constant inputs it was given last
  uint64_t lastUse;
};

// The module's state: the programs made so far, the one in use, and the
// model-view-projection product of the matrices as they last were.
static struct {
  Program programs[kMaxPrograms];
  Program* current;
  uint64_t uses;
  int made;
  uint32_t productSerial;  // FFMatrixSerial() the products below belong to
  float mvp[16], normalRows[3][3], normalScale;
} Shaders;

static unsigned TrackedBits() {
  const FFState& s = FFCurrentState();
  if (!FFIsOn(kCapColorMaterial) || s.colorMaterialFace == GL_BACK) return 0;
  switch (s.colorMaterialMode) {
    case kGlAmbient: return 1;
    case kGlDiffuse: return 2;
    case kGlAmbientAndDiffuse: return 3;
    case kGlSpecular: return 4;
    case kGlEmission: return 8;
    default: return 0;
  }
}

static FFShaderKey CurrentFFShaderKey(const FFBatchInputs& in) {
  const FFState& s = FFCurrentState();
  FFShaderKey k = {};
  k.lit = FFIsOn(kCapLighting);
  if (k.lit) {
    k.localViewer = s.localViewer;
    k.normalize = FFIsOn(kCapNormalize);
    k.rescale = !k.normalize && FFIsOn(kCapRescaleNormal);
    k.tracked = TrackedBits();
    k.shininessZero = !(k.tracked & 16) && s.material[0].shininess == 0.0f;
    for (int i = 0; i < kMaxLights; ++i) {
      if (!FFIsOn(FFCap(kCapLight0 + i))) continue;
      const FFLight& l = s.lights[i];
      k.lights |= 1u << i;
      if (l.position[3] != 0.0f) k.positional |= 1u << i;
      if (l.spotCutoff != 180.0f) k.spot |= 1u << i;
      if (l.attenuation[0] != 1.0f || l.attenuation[1] != 0.0f || l.attenuation[2] != 0.0f) k.attenuated |= 1u << i;
    }
  }
  if (FFIsOn(kCapFog)) k.fog = s.fogMode == GL_LINEAR ? 1 : s.fogMode == kGlExp ? 2 : 3;
  const FFTextureUse tex = FFBoundTextureUse();
  if (tex.enabled) {
    k.texEnv = s.texEnvMode == GL_REPLACE ? 2 : s.texEnvMode == kGlDecal ? 3 : 1;
    k.texAlpha = tex.hasAlpha;
    k.npot = tex.npot, k.npotLinear = tex.linear, k.repeatS = tex.repeatS, k.repeatT = tex.repeatT;
    k.texMatrix = !FFTextureMatrixIsIdentity();
    k.texCoordUniform = !in.texCoordVaries && !k.texMatrix;
  }
  k.colorUniform = !k.lit && !in.colorVaries;
  return k;
}

// ---------------------------------------------------------------------------
// Building programs

static GLuint Compile(GLenum type, const std::string& source) {
  const GLuint shader = glCreateShader(type);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[1024] = "";
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    std::fprintf(stderr, "fixed-function layer: a shader does not compile: %s\n%s", log, text);
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

static bool Build(const FFShaderKey& k, Program* p) {
  const GLuint vs = Compile(GL_VERTEX_SHADER, FFVertexCode(k));
  const GLuint fs = vs ? Compile(GL_FRAGMENT_SHADER, FFFragmentCode(k)) : 0;
  if (!fs) {
    if (vs) glDeleteShader(vs);
    return false;
  }
  const GLuint id = glCreateProgram();
  glAttachShader(id, vs);
  glAttachShader(id, fs);
  glBindAttribLocation(id, kAttribPosition, "a_position");
  glBindAttribLocation(id, kAttribColor, "a_color");
  glBindAttribLocation(id, kAttribNormal, "a_normal");
  glBindAttribLocation(id, kAttribTexCoord, "a_texCoord");
  glLinkProgram(id);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = GL_FALSE;
  glGetProgramiv(id, GL_LINK_STATUS, &ok);
  if (!ok) {
    std::fprintf(stderr, "fixed-function layer: a program does not link\n");
    glDeleteProgram(id);
    return false;
  }
  *p = {};
  p->key = k.Bits();
  p->parts = k;
  p->id = id;
  for (int u = 0; u < uLight0; ++u) p->location[u] = glGetUniformLocation(id, kFFUniformNames[u]);
  for (int i = 0; i < kMaxLights; ++i)
    for (int w = 0; w < kPerLight; ++w)
      p->location[uLight0 + i * kPerLight + w] = glGetUniformLocation(id, FFLightUniform(i, w).c_str());
  p->matrixSerial = FFMatrixSerial() - 1;
  p->stateSerial = FFStateSerial() - 1;
  glUseProgram(id);
  glUniform1i(p->location[uTexture], 0);
  ++Shaders.made;
  return true;
}

// The program for `k`: kept, else built in a free slot or the least recently used one.
static Program* ProgramFor(const FFShaderKey& k) {
  const uint64_t bits = k.Bits();
  if (Shaders.current && Shaders.current->key == bits) return Shaders.current;
  Program* slot = &Shaders.programs[0];
  for (Program& p : Shaders.programs) {
    if (p.id && p.key == bits) return &p;
    if (slot->id && (!p.id || p.lastUse < slot->lastUse)) slot = &p;
  }
  if (slot->id) glDeleteProgram(slot->id), slot->id = 0;
  if (Shaders.current == slot) Shaders.current = nullptr;
  return Build(k, slot) ? slot : nullptr;
}

// ---------------------------------------------------------------------------
// Uniforms

static void UpdateProducts() {
  if (Shaders.productSerial == FFMatrixSerial()) return;
  Shaders.productSerial = FFMatrixSerial();
  FFMatMultiply(Shaders.mvp, FFProjection(), FFModelview());
  // The normal matrix: rows of the inverse transpose, as Mesa's.
  float inverse[16];
  FFMatInvert(FFModelview(), inverse);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) Shaders.normalRows[r][c] = inverse[r * 4 + c];
  float f = inverse[2] * inverse[2] + inverse[6] * inverse[6] + inverse[10] * inverse[10];
  if (f < 1e-12f) f = 1.0f;
  Shaders.normalScale = 1.0f / sqrtf(f);
}

static void SetMatrices(Program* p) {
  UpdateProducts();
  const GLint* at = p->location;
  glUniformMatrix4fv(at[uMvp], 1, GL_FALSE, Shaders.mvp);
  if (at[uMv] >= 0) glUniformMatrix4fv(at[uMv], 1, GL_FALSE, FFModelview());
  if (at[uNormal0] >= 0)
    for (int r = 0; r < 3; ++r) glUniform3fv(at[uNormal0 + r], 1, Shaders.normalRows[r]);
  if (at[uNormalScale] >= 0) glUniform1f(at[uNormalScale], Shaders.normalScale);
  if (at[uTexMatrix] >= 0) glUniformMatrix4fv(at[uTexMatrix], 1, GL_FALSE, FFTextureMatrix());
}

static void SetLight(const Program* p, int i) {
  const FFState& s = FFCurrentState();
  const FFLight& l = s.lights[i];
  const FFMaterial& m = s.material[0];
  const GLint* at = p->location + uLight0 + i * kPerLight;
  const unsigned tracked = p->parts.tracked;
  if (l.position[3] != 0.0f) {
    glUniform4fv(at[lPos], 1, l.position);
  } else {
    // A directional light: its direction and half vector, made once here.
    float dir[3] = {l.position[0], l.position[1], l.position[2]};
    FFNormalize3(dir);
    float half[3] = {dir[0], dir[1], dir[2] + 1.0f};
    FFNormalize3(half);
    glUniform4f(at[lPos], dir[0], dir[1], dir[2], 0.0f);
    if (at[lHalf] >= 0) glUniform3fv(at[lHalf], 1, half);
  }
  // Light times material where the material is fixed; the light alone where
  // the shader multiplies by the vertex colour.
  const float* colors[3] = {l.ambient, l.diffuse, l.specular};
  const float* materials[3] = {m.ambient, m.diffuse, m.specular};
  for (int j = 0; j < 3; ++j) {
    float v[3];
    for (int c = 0; c < 3; ++c) v[c] = (tracked & (1u << j)) ? colors[j][c] : colors[j][c] * materials[j][c];
    glUniform3fv(at[lAmb + j], 1, v);
  }
  if (at[lSpot] >= 0) {
    float dir[3] = {l.spotDirection[0], l.spotDirection[1], l.spotDirection[2]};
    FFNormalize3(dir);
    float cosCutoff = cosf(float(l.spotCutoff * M_PI / 180.0));
    if (cosCutoff < 0.0f) cosCutoff = 0.0f;
    glUniform4f(at[lSpot], dir[0], dir[1], dir[2], cosCutoff);
  }
  if (at[lAtt] >= 0) glUniform4f(at[lAtt], l.attenuation[0], l.attenuation[1], l.attenuation[2], l.spotExponent);
}

static void SetState(Program* p) {
  const FFState& s = FFCurrentState();
  const GLint* at = p->location;
  const FFMaterial& m = s.material[0];
  if (p->parts.lit) {
    float scene[4];
    for (int c = 0; c < 3; ++c) scene[c] = s.modelAmbient[c] * m.ambient[c] + m.emission[c];
    scene[3] = m.diffuse[3];
    glUniform4fv(at[uSceneColor], 1, scene);
    glUniform4fv(at[uLmAmbient], 1, s.modelAmbient);
    glUniform4fv(at[uMatAmbient], 1, m.ambient);
    glUniform4fv(at[uMatDiffuse], 1, m.diffuse);
    glUniform4fv(at[uMatEmission], 1, m.emission);
    glUniform1f(at[uShininess], m.shininess);
    for (int i = 0; i < kMaxLights; ++i)
      if (p->parts.lights & (1u << i)) SetLight(p, i);
  }
  if (p->parts.npot) {
    const FFTextureUse tex = FFBoundTextureUse();
    glUniform2f(at[uTexSize], tex.width, tex.height);
  }
  if (p->parts.fog) {
    glUniform4fv(at[uFogColor], 1, s.fogColor);
    const float scale = s.fogEnd == s.fogStart ? 1.0f : float(-1.0f / (s.fogEnd - s.fogStart));
    glUniform4f(at[uFogParams], scale, s.fogEnd * -scale, float(s.fogDensity * M_LOG2E),
                float(s.fogDensity * (1.0 / std::sqrt(M_LN2))));
  }
}

// The constant colour and texture coordinate of this draw, where the program
// takes them as uniforms; the colour clamped, as OpenGL clamps vertex colours.
static void SetInputs(Program* p, const FFBatchInputs& in) {
  if (p->parts.colorUniform) {
    float c[4];
    for (int i = 0; i < 4; ++i) c[i] = in.color[i] < 0.0f ? 0.0f : in.color[i] > 1.0f ? 1.0f : in.color[i];
    if (std::memcmp(c, p->color, sizeof c) != 0) {
      glUniform4fv(p->location[uColor], 1, c);
      std::memcpy(p->color, c, sizeof c);
    }
  }
  if (p->parts.texCoordUniform && std::memcmp(in.texCoord, p->texCoord, sizeof p->texCoord) != 0) {
    glUniform4fv(p->location[uTexCoord], 1, in.texCoord);
    std::memcpy(p->texCoord, in.texCoord, sizeof p->texCoord);
  }
}

bool FFUseProgram(const FFBatchInputs& in) {
  Program* p = ProgramFor(CurrentFFShaderKey(in));
  if (!p) return false;
  if (p != Shaders.current) glUseProgram(p->id);
  Shaders.current = p;
  p->lastUse = ++Shaders.uses;
  if (p->matrixSerial != FFMatrixSerial()) SetMatrices(p), p->matrixSerial = FFMatrixSerial();
  if (p->stateSerial != FFStateSerial()) SetState(p), p->stateSerial = FFStateSerial();
  SetInputs(p, in);
  return true;
}

bool FFShaderStart() {
  Shaders.productSerial = FFMatrixSerial() - 1;
  return ProgramFor(FFShaderKey{}) != nullptr;  // the plainest program: the context can run the layer
}

void FFShaderForget() {
  for (Program& p : Shaders.programs) p.id = 0;
  Shaders.current = nullptr;
  Shaders.made = 0;
}

int FFProgramCount() { return Shaders.made; }
