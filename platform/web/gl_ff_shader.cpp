// The programs that do fixed-function OpenGL's work, one per combination of
// the state that changes the code (lighting and which lights, colour
// material, fog mode, texture environment), generated on first use and kept.
// Variants rather than one program branching on uniforms: the branches would
// run for every vertex, and a GPU (or llvmpipe) runs both sides of them; the
// show needs about a dozen variants.
//
// The arithmetic follows what Mesa generates for fixed function, operation
// for operation (dot products, multiply then add, the lit coefficients, the
// spot test and fog factor), so that llvmpipe gives the same colours.
#include "platform/web/gl_fixed_function.h"
#include "platform/web/gl_ff_internal.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

constexpr int kMaxPrograms = 64;

// Uniforms every program may have; -1 where one does not use it.
enum Uniform {
  uMvp, uMv, uNormal0, uNormal1, uNormal2, uNormalScale, uTexMatrix, uSceneColor, uLmAmbient, uMatAmbient,
  uMatDiffuse, uMatSpecular, uMatEmission, uShininess, uFogColor, uFogParams, uTexture, uTexSize,
  uLight0,  // then per light: position, half vector, ambient, diffuse, specular, spot, attenuation
  kPerLight = 7,
  kUniforms = uLight0 + kPerLight * kMaxLights
};
enum LightUniform { lPos, lHalf, lAmb, lDif, lSpe, lSpot, lAtt };

static std::string LightName(int light, int which) {
  static const char* const kNames[kPerLight] = {"pos", "half", "amb", "dif", "spe", "spot", "att"};
  return "u_l" + std::to_string(light) + kNames[which];
}

static const char* const kUniformNames[uLight0] = {
    "u_mvp", "u_mv", "u_normal0", "u_normal1", "u_normal2", "u_normalScale", "u_texMatrix", "u_sceneColor",
    "u_lmAmbient", "u_matAmbient", "u_matDiffuse", "u_matSpecular", "u_matEmission", "u_shininess",
    "u_fogColor", "u_fogParams", "u_texture", "u_texSize"};

// What decides a program's code, as bits.
struct Key {
  bool lit, localViewer, normalize, rescale, shininessZero;
  unsigned tracked;  // material bits colour material takes from the colour: 1 ambient, 2 diffuse, 4 specular, 8 emission
  unsigned lights, positional, spot, attenuated;  // bit i: light i
  unsigned fog;       // 0 off, 1 linear, 2 exp, 3 exp2
  unsigned texEnv;    // 0 no texture, 1 modulate, 2 replace, 3 decal
  bool texAlpha, texMatrix;
  bool npot, npotLinear, repeatS, repeatT;  // the shader samples a non-power-of-two image itself

  uint64_t Bits() const {
    return uint64_t(lit) | uint64_t(localViewer) << 1 | uint64_t(normalize) << 2 | uint64_t(rescale) << 3 |
           uint64_t(shininessZero) << 4 | uint64_t(tracked) << 5 | uint64_t(lights) << 9 |
           uint64_t(positional) << 17 | uint64_t(spot) << 25 | uint64_t(attenuated) << 33 | uint64_t(fog) << 41 |
           uint64_t(texEnv) << 43 | uint64_t(texAlpha) << 45 | uint64_t(texMatrix) << 46 | uint64_t(npot) << 47 |
           uint64_t(npotLinear) << 48 | uint64_t(repeatS) << 49 | uint64_t(repeatT) << 50;
  }
};

struct Program {
  uint64_t key;
  Key parts;
  GLuint id;  // 0: a free slot
  GLint location[kUniforms];
  uint32_t matrixSerial, stateSerial;  // what its uniforms were set from
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

static Key CurrentKey() {
  const FFState& s = FFCurrentState();
  Key k = {};
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
  }
  return k;
}

// ---------------------------------------------------------------------------
// Generating the code

// A matrix times a vector as Mesa's transform does it: column by column,
// multiply then add.
static std::string Transform(const char* matrix, const char* vector) {
  char text[256];
  std::snprintf(text, sizeof text,
                "%s.x * %s[0] + %s.y * %s[1] + %s.z * %s[2] + %s.w * %s[3]", vector, matrix, vector, matrix, vector,
                matrix, vector, matrix);
  return text;
}

// A material parameter: the vertex colour where colour material tracks it.
static std::string Material(const Key& k, unsigned bit, const char* uniform) {
  return (k.tracked & bit) ? "a_color" : uniform;
}

static void LightCode(const Key& k, int i, std::string* c) {
  const unsigned bit = 1u << i;
  auto u = [i](int which) { return LightName(i, which); };
  *c += "  {\n";
  if (k.positional & bit) {
    *c += "    vec3 VP = " + u(lPos) + ".xyz - eye.xyz;\n";
    *c += "    float dist = inversesqrt(dot(VP, VP));\n";
    *c += "    VP = VP * dist;\n";
  } else {
    *c += "    vec3 VP = " + u(lPos) + ".xyz;\n";
  }
  const bool spot = (k.spot & bit) != 0;
  const bool distance = (k.attenuated & bit) && (k.positional & bit);
  if (spot) {
    *c += "    float spot = dot(-VP, " + u(lSpot) + ".xyz);\n";
    *c += "    float att = float(" + u(lSpot) + ".w < spot) * pow(abs(spot), " + u(lAtt) + ".w);\n";
  }
  if (distance) {
    *c += "    float d = 1.0 / dist;\n";
    *c += std::string("    float ") + (spot ? "datt" : "att") + " = 1.0 / dot(vec3(1.0, d, d * d), " + u(lAtt) +
          ".xyz);\n";
    if (spot) *c += "    att = datt * att;\n";
  }
  const bool att = spot || distance;
  *c += "    float NdotL = dot(n, VP);\n";
  if (!k.shininessZero) {
    if (k.localViewer) *c += "    vec3 H = VP - eyeHat;\n    H = H * inversesqrt(dot(H, H));\n";
    else if (!(k.positional & bit)) *c += "    vec3 H = " + u(lHalf) + ";\n";
    else *c += "    vec3 H = VP + vec3(0.0, 0.0, 1.0);\n    H = H * inversesqrt(dot(H, H));\n";
    *c += "    float litY = max(NdotL, 0.0);\n";
    *c += "    float base = max(dot(n, H), 0.0), power = max(min(u_shininess, 128.0), -128.0);\n";
  } else if (att) {
    // Mesa's lit with every dot product the diffuse one, exponent included.
    *c += "    float litY = max(NdotL, 0.0);\n";
    *c += "    float base = litY, power = max(min(NdotL, 128.0), -128.0);\n";
  }
  if (!k.shininessZero || att) {
    *c += "    float litZ = (0.0 >= NdotL) ? 0.0 : pow(base, power);\n";
    // A power beyond the float range (a long normal, a high shininess) makes
    // desktop OpenGL's colour infinite or NaN, which its clamp turns white.
    *c += "    if (0.0 < NdotL && power * log2(base) >= 128.0) white = true;\n";
  } else {
    *c += "    float litY = max(NdotL, 0.0);\n    float litZ = (0.0 < NdotL) ? 1.0 : 0.0;\n";
  }
  auto product = [&](int which, unsigned materialBit) {
    return (k.tracked & materialBit) ? u(which) + " * a_color.rgb" : u(which);
  };
  if (att) {
    *c += "    litY = litY * att;\n    litZ = litZ * att;\n";
    *c += "    col = att * " + product(lAmb, 1) + " + col;\n";
  } else {
    *c += "    col = " + product(lAmb, 1) + " + col;\n";
  }
  *c += "    col = litY * " + product(lDif, 2) + " + col;\n";
  *c += "    col = litZ * " + product(lSpe, 4) + " + col;\n";
  *c += "  }\n";
}

static std::string VertexCode(const Key& k) {
  const bool eyeNeeded = k.fog || (k.lit && (k.positional || k.localViewer));
  std::string c =
      "attribute vec4 a_position;\nattribute vec4 a_color;\nattribute vec3 a_normal;\nattribute vec4 a_texCoord;\n"
      "uniform mat4 u_mvp;\nvarying vec4 v_color;\n";
  if (eyeNeeded) c += "uniform mat4 u_mv;\n";
  if (k.texEnv) c += "varying vec4 v_texCoord;\n";
  if (k.texMatrix) c += "uniform mat4 u_texMatrix;\n";
  if (k.fog) c += "varying float v_fog;\n";
  if (k.lit) {
    c += "uniform vec3 u_normal0, u_normal1, u_normal2;\nuniform float u_normalScale, u_shininess;\n"
         "uniform vec4 u_sceneColor, u_lmAmbient, u_matAmbient, u_matDiffuse, u_matEmission;\n";
    for (int i = 0; i < kMaxLights; ++i)
      if (k.lights & (1u << i))
        c += "uniform vec4 " + LightName(i, lPos) + ", " + LightName(i, lSpot) + ", " + LightName(i, lAtt) +
             ";\nuniform vec3 " + LightName(i, lHalf) + ", " + LightName(i, lAmb) + ", " + LightName(i, lDif) + ", " +
             LightName(i, lSpe) + ";\n";
  }
  c += "void main() {\n  gl_Position = " + Transform("u_mvp", "a_position") + ";\n";
  if (eyeNeeded) c += "  vec4 eye = " + Transform("u_mv", "a_position") + ";\n";
  if (k.fog) c += "  v_fog = abs(eye.z);\n";
  if (k.texEnv) c += "  v_texCoord = " + (k.texMatrix ? Transform("u_texMatrix", "a_texCoord") : "a_texCoord") + ";\n";
  if (!k.lit) {
    c += "  v_color = clamp(a_color, 0.0, 1.0);\n}\n";
    return c;
  }
  c += "  vec3 n = vec3(dot(a_normal, u_normal0), dot(a_normal, u_normal1), dot(a_normal, u_normal2));\n";
  if (k.normalize) c += "  n = n * inversesqrt(dot(n, n));\n";
  if (k.rescale) c += "  n = n * u_normalScale;\n";
  if (k.localViewer) c += "  vec3 eyeHat = eye.xyz * inversesqrt(dot(eye.xyz, eye.xyz));\n";
  if (k.tracked & (1 | 2 | 8))
    c += "  vec3 col = u_lmAmbient.rgb * " + Material(k, 1, "u_matAmbient") + ".rgb + " +
         Material(k, 8, "u_matEmission") + ".rgb;\n  float alpha = " + Material(k, 2, "u_matDiffuse") + ".a;\n";
  else
    c += "  vec3 col = u_sceneColor.rgb;\n  float alpha = u_sceneColor.a;\n";
  c += "  bool white = false;\n";
  for (int i = 0; i < kMaxLights; ++i)
    if (k.lights & (1u << i)) LightCode(k, i, &c);
  c += "  if (white) col = vec3(1.0);\n";
  c += "  v_color = clamp(vec4(col, alpha), 0.0, 1.0);\n}\n";
  return c;
}

static std::string FragmentCode(const Key& k) {
  std::string c =
      "#ifdef GL_FRAGMENT_PRECISION_HIGH\nprecision highp float;\n#else\nprecision mediump float;\n#endif\n"
      "varying vec4 v_color;\n";
  if (k.texEnv) c += "varying vec4 v_texCoord;\nuniform sampler2D u_texture;\n";
  if (k.npot) {
    // Texel (i, j) of the image, wrapped or clamped as OpenGL would.
    c += "uniform vec2 u_texSize;\nvec4 Texel(vec2 i) {\n";
    c += k.repeatS ? "  i.x = i.x - u_texSize.x * floor(i.x / u_texSize.x);\n" : "  i.x = clamp(i.x, 0.0, u_texSize.x - 1.0);\n";
    c += k.repeatT ? "  i.y = i.y - u_texSize.y * floor(i.y / u_texSize.y);\n" : "  i.y = clamp(i.y, 0.0, u_texSize.y - 1.0);\n";
    c += "  return texture2D(u_texture, (i + 0.5) / u_texSize);\n}\n";
  }
  if (k.fog) c += "varying float v_fog;\nuniform vec4 u_fogColor, u_fogParams;\n";
  c += "void main() {\n  vec4 c = v_color;\n";
  if (k.texEnv) {
    c += "  vec2 st = v_texCoord.xy * (1.0 / v_texCoord.w);\n";
    if (!k.npot) {
      c += "  vec4 t = texture2D(u_texture, st);\n";
    } else if (!k.npotLinear) {
      c += "  vec4 t = Texel(floor(st * u_texSize));\n";
    } else {
      c += "  vec2 uv = st * u_texSize - 0.5;\n  vec2 i = floor(uv);\n  vec2 f = uv - i;\n"
           "  vec4 t = mix(mix(Texel(i), Texel(i + vec2(1.0, 0.0)), f.x),\n"
           "               mix(Texel(i + vec2(0.0, 1.0)), Texel(i + vec2(1.0, 1.0)), f.x), f.y);\n";
    }
    if (k.texEnv == 1) c += k.texAlpha ? "  c = t * c;\n" : "  c = vec4(t.rgb * c.rgb, c.a);\n";
    if (k.texEnv == 2) c += k.texAlpha ? "  c = t;\n" : "  c = vec4(t.rgb, c.a);\n";
    if (k.texEnv == 3)
      c += k.texAlpha ? "  c = vec4(c.rgb * (1.0 - t.a) + t.rgb * t.a, c.a);\n" : "  c = vec4(t.rgb, c.a);\n";
  }
  if (k.fog) {
    if (k.fog == 1) c += "  float f = v_fog * u_fogParams.x + u_fogParams.y;\n";
    if (k.fog == 2) c += "  float f = exp2(-(v_fog * u_fogParams.z));\n";
    if (k.fog == 3) c += "  float f = v_fog * u_fogParams.w;\n  f = exp2(-(f * f));\n";
    c += "  f = min(max(f, 0.0), 1.0);\n  c.rgb = u_fogColor.rgb * (1.0 - f) + c.rgb * f;\n";
  }
  c += "  gl_FragColor = c;\n}\n";
  return c;
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

static bool Build(const Key& k, Program* p) {
  const GLuint vs = Compile(GL_VERTEX_SHADER, VertexCode(k));
  const GLuint fs = vs ? Compile(GL_FRAGMENT_SHADER, FragmentCode(k)) : 0;
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
  for (int u = 0; u < uLight0; ++u) p->location[u] = glGetUniformLocation(id, kUniformNames[u]);
  for (int i = 0; i < kMaxLights; ++i)
    for (int w = 0; w < kPerLight; ++w) p->location[uLight0 + i * kPerLight + w] = glGetUniformLocation(id, LightName(i, w).c_str());
  p->matrixSerial = FFMatrixSerial() - 1;
  p->stateSerial = FFStateSerial() - 1;
  glUseProgram(id);
  glUniform1i(p->location[uTexture], 0);
  ++Shaders.made;
  return true;
}

// The program for `k`: kept, else built in a free slot or the least recently used one.
static Program* ProgramFor(const Key& k) {
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

bool FFUseProgram() {
  Program* p = ProgramFor(CurrentKey());
  if (!p) return false;
  if (p != Shaders.current) glUseProgram(p->id);
  Shaders.current = p;
  p->lastUse = ++Shaders.uses;
  if (p->matrixSerial != FFMatrixSerial()) SetMatrices(p), p->matrixSerial = FFMatrixSerial();
  if (p->stateSerial != FFStateSerial()) SetState(p), p->stateSerial = FFStateSerial();
  return true;
}

bool FFShaderStart() {
  Shaders.productSerial = FFMatrixSerial() - 1;
  return ProgramFor(Key{}) != nullptr;  // the plainest program: the context can run the layer
}

void FFShaderForget() {
  for (Program& p : Shaders.programs) p.id = 0;
  Shaders.current = nullptr;
  Shaders.made = 0;
}

int FFProgramCount() { return Shaders.made; }
