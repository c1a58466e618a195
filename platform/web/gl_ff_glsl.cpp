// The code of the layer's shaders, generated for each combination of state
// (FFShaderKey). The arithmetic follows what Mesa generates for fixed
// function, operation for operation (dot products, multiply then add, the lit
// coefficients, the spot test and the fog factor), so that llvmpipe gives the
// same colours as desktop OpenGL.
#include "platform/web/gl_ff_internal.h"

#include <cstdio>

std::string FFLightUniform(int light, int which) {
  static const char* const kNames[kPerLight] = {"pos", "half", "amb", "dif", "spe", "spot", "att"};
  return "u_l" + std::to_string(light) + kNames[which];
}

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
static std::string Material(const FFShaderKey& k, unsigned bit, const char* uniform) {
  return (k.tracked & bit) ? "a_color" : uniform;
}

static void LightCode(const FFShaderKey& k, int i, std::string* c) {
  const unsigned bit = 1u << i;
  auto u = [i](int which) { return FFLightUniform(i, which); };
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

std::string FFVertexCode(const FFShaderKey& k) {
  const bool eyeNeeded = k.fog || (k.lit && (k.positional || k.localViewer));
  std::string c =
      "attribute vec4 a_position;\nattribute vec4 a_color;\nattribute vec3 a_normal;\nattribute vec4 a_texCoord;\n"
      "uniform mat4 u_mvp;\nvarying vec4 v_color;\n";
  if (eyeNeeded) c += "uniform mat4 u_mv;\n";
  if (k.texEnv && !k.texCoordUniform) c += "varying vec4 v_texCoord;\n";
  if (k.texMatrix) c += "uniform mat4 u_texMatrix;\n";
  if (k.fog) c += "varying float v_fog;\n";
  if (k.lit) {
    c += "uniform vec3 u_normal0, u_normal1, u_normal2;\nuniform float u_normalScale, u_shininess;\n"
         "uniform vec4 u_sceneColor, u_lmAmbient, u_matAmbient, u_matDiffuse, u_matEmission;\n";
    for (int i = 0; i < kMaxLights; ++i)
      if (k.lights & (1u << i))
        c += "uniform vec4 " + FFLightUniform(i, lPos) + ", " + FFLightUniform(i, lSpot) + ", " +
             FFLightUniform(i, lAtt) + ";\nuniform vec3 " + FFLightUniform(i, lHalf) + ", " + FFLightUniform(i, lAmb) +
             ", " + FFLightUniform(i, lDif) + ", " +
             FFLightUniform(i, lSpe) + ";\n";
  }
  c += "void main() {\n  gl_Position = " + Transform("u_mvp", "a_position") + ";\n";
  if (eyeNeeded) c += "  vec4 eye = " + Transform("u_mv", "a_position") + ";\n";
  if (k.fog) c += "  v_fog = abs(eye.z);\n";
  if (k.texEnv && !k.texCoordUniform)
    c += "  v_texCoord = " + (k.texMatrix ? Transform("u_texMatrix", "a_texCoord") : "a_texCoord") + ";\n";
  if (!k.lit) {
    c += k.colorUniform ? "}\n" : "  v_color = clamp(a_color, 0.0, 1.0);\n}\n";
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

std::string FFFragmentCode(const FFShaderKey& k) {
  std::string c =
      // Samplers are lowp unless said otherwise, and Mesa then rounds texels
      // through half floats: fogged texels would come out a level off.
      "#ifdef GL_FRAGMENT_PRECISION_HIGH\nprecision highp float;\nprecision highp sampler2D;\n#else\n"
      "precision mediump float;\n#endif\n"
      "uniform sampler2D u_texture;\n";
  c += k.colorUniform ? "uniform vec4 u_color;\n" : "varying vec4 v_color;\n";
  if (k.texEnv) c += k.texCoordUniform ? "uniform vec4 u_texCoord;\n" : "varying vec4 v_texCoord;\n";
  if (k.npot) {
    // Texel (i, j) of the image, wrapped or clamped as OpenGL would.
    c += "uniform vec2 u_texSize;\nvec4 Texel(vec2 i) {\n";
    c += k.repeatS ? "  i.x = i.x - u_texSize.x * floor(i.x / u_texSize.x);\n"
                   : "  i.x = clamp(i.x, 0.0, u_texSize.x - 1.0);\n";
    c += k.repeatT ? "  i.y = i.y - u_texSize.y * floor(i.y / u_texSize.y);\n"
                   : "  i.y = clamp(i.y, 0.0, u_texSize.y - 1.0);\n";
    c += "  return texture2D(u_texture, (i + 0.5) / u_texSize);\n}\n";
  }
  if (k.fog) c += "varying float v_fog;\nuniform vec4 u_fogColor, u_fogParams;\n";
  c += k.colorUniform ? "void main() {\n  vec4 c = u_color;\n" : "void main() {\n  vec4 c = v_color;\n";
  if (k.texEnv) {
    c += k.texCoordUniform ? "  vec2 st = u_texCoord.xy * (1.0 / u_texCoord.w);\n"
                           : "  vec2 st = v_texCoord.xy * (1.0 / v_texCoord.w);\n";
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

