// What the fixed-function layer's own files share: the OpenGL ES 2.0 API, the
// desktop enums it answers to, the state the show sets, and each file's
// entry points for the others. Not for the show's code.
#pragma once

#include <GLES2/gl2.h>

#include <cstdint>
#include <string>

// Desktop OpenGL 1.1 enums that OpenGL ES 2.0 lacks.
constexpr GLenum kGlQuads = 0x0007, kGlQuadStrip = 0x0008, kGlPolygon = 0x0009;
constexpr GLenum kGlModelview = 0x1700, kGlProjection = 0x1701, kGlTexture = 0x1702;
constexpr GLenum kGlMatrixMode = 0x0BA0, kGlModelviewMatrix = 0x0BA6, kGlProjectionMatrix = 0x0BA7,
                 kGlTextureMatrix = 0x0BA8;
constexpr GLenum kGlLighting = 0x0B50, kGlLight0 = 0x4000, kGlColorMaterial = 0x0B57, kGlFog = 0x0B60,
                 kGlNormalize = 0x0BA1, kGlRescaleNormal = 0x803A, kGlAlphaTest = 0x0BC0,
                 kGlPolygonSmooth = 0x0B41, kGlLineSmooth = 0x0B20, kGlPointSmooth = 0x0B10,
                 kGlTexture1D = 0x0DE0, kGlTextureGenS = 0x0C60, kGlTextureGenT = 0x0C61,
                 kGlTextureGenR = 0x0C62, kGlTextureGenQ = 0x0C63, kGlColorLogicOp = 0x0BF2,
                 kGlLineStipple = 0x0B24, kGlPolygonStipple = 0x0B42, kGlAutoNormal = 0x0D80;
constexpr GLenum kGlAmbient = 0x1200, kGlDiffuse = 0x1201, kGlSpecular = 0x1202, kGlPosition = 0x1203,
                 kGlSpotDirection = 0x1204, kGlSpotExponent = 0x1205, kGlSpotCutoff = 0x1206,
                 kGlConstantAttenuation = 0x1207, kGlLinearAttenuation = 0x1208,
                 kGlQuadraticAttenuation = 0x1209, kGlEmission = 0x1600, kGlShininess = 0x1601,
                 kGlAmbientAndDiffuse = 0x1602, kGlLightModelLocalViewer = 0x0B51,
                 kGlLightModelTwoSide = 0x0B52, kGlLightModelAmbient = 0x0B53;
constexpr GLenum kGlFogDensity = 0x0B62, kGlFogStart = 0x0B63, kGlFogEnd = 0x0B64, kGlFogMode = 0x0B65,
                 kGlFogColor = 0x0B66, kGlExp = 0x0800, kGlExp2 = 0x0801;
constexpr GLenum kGlFlat = 0x1D00, kGlSmooth = 0x1D01, kGlShadeModel = 0x0B54;
constexpr GLenum kGlTextureEnv = 0x2300, kGlTextureEnvMode = 0x2200, kGlTextureEnvColor = 0x2201,
                 kGlModulate = 0x2100, kGlDecal = 0x2101;
constexpr GLenum kGlClamp = 0x2900, kGlRgb8 = 0x8051, kGlRgba8 = 0x8058;
constexpr GLenum kGlUnpackRowLength = 0x0CF2, kGlUnpackSkipRows = 0x0CF3, kGlUnpackSkipPixels = 0x0CF4;
constexpr GLenum kGlCompile = 0x1300, kGlCompileAndExecute = 0x1301, kGlListBase = 0x0B32;
constexpr GLenum kGlCurrentColor = 0x0B00, kGlCurrentNormal = 0x0B02, kGlCurrentTextureCoords = 0x0B03;
constexpr GLenum kGlFill = 0x1B02, kGlStackOverflow = 0x0503, kGlStackUnderflow = 0x0504;
constexpr GLenum kGlClientPixelStoreBit = 0x1;
constexpr GLenum kGlFogHint = 0x0C54, kGlPerspectiveCorrectionHint = 0x0C50;

// Attribute groups of glPushAttrib.
constexpr GLbitfield kBitCurrent = 0x1, kBitPoint = 0x2, kBitLine = 0x4, kBitPolygon = 0x8,
                     kBitLighting = 0x40, kBitFog = 0x80, kBitDepthBuffer = 0x100, kBitStencilBuffer = 0x400,
                     kBitViewport = 0x800, kBitTransform = 0x1000, kBitEnable = 0x2000,
                     kBitColorBuffer = 0x4000, kBitEval = 0x10000, kBitList = 0x20000, kBitTexture = 0x40000,
                     kBitScissor = 0x80000;

constexpr int kMaxLights = 8;

// Vertex attribute locations of every program.
constexpr GLuint kAttribPosition = 0, kAttribColor = 1, kAttribNormal = 2, kAttribTexCoord = 3;

// Capabilities glEnable knows, as bits of FFState::enabled.
enum FFCap : int {
  kCapTexture2D, kCapBlend, kCapLighting, kCapLight0,
  kCapCullFace = kCapLight0 + kMaxLights, kCapColorMaterial, kCapFog, kCapDepthTest, kCapPolygonSmooth,
  kCapNormalize, kCapRescaleNormal, kCapAlphaTest, kCapScissorTest, kCapStencilTest, kCapDither,
  kCapPolygonOffsetFill, kCapTexture1D, kCapTexGenS, kCapTexGenT, kCapTexGenR, kCapTexGenQ,
  kCapColorLogicOp, kCapLineSmooth, kCapPointSmooth, kCapLineStipple, kCapPolygonStipple, kCapAutoNormal,
  kCapCount
};

struct FFLight {
  float ambient[4], diffuse[4], specular[4];
  float position[4];       // eye space, as the model-view matrix placed it
  float spotDirection[3];  // eye space
  float spotExponent, spotCutoff;  // degrees; 180 is no spot
  float attenuation[3];    // constant, linear, quadratic
};

struct FFMaterial {
  float ambient[4], diffuse[4], specular[4], emission[4];
  float shininess;
};

// Everything glPushAttrib can save, by group; the matrices live apart.
struct FFState {
  // GL_CURRENT_BIT: unclamped, as given
  float color[4], normal[3], texCoord[4];
  // GL_ENABLE_BIT (each capability also belongs to its own group)
  uint64_t enabled;
  // GL_LIGHTING_BIT
  FFLight lights[kMaxLights];
  FFMaterial material[2];  // front, back
  float modelAmbient[4];
  bool localViewer, twoSide;
  GLenum colorMaterialFace, colorMaterialMode, shadeModel;
  // GL_FOG_BIT
  GLenum fogMode;
  float fogDensity, fogStart, fogEnd, fogColor[4];
  // GL_COLOR_BUFFER_BIT
  GLenum blendSrc, blendDst;
  float clearColor[4];
  bool colorMask[4];
  // GL_DEPTH_BUFFER_BIT
  GLenum depthFunc;
  float clearDepth;
  bool depthMask;
  // GL_POLYGON_BIT
  GLenum cullFace, frontFace, polygonMode[2];
  // GL_VIEWPORT_BIT and GL_SCISSOR_BIT
  GLint viewport[4], scissor[4];
  // GL_TRANSFORM_BIT
  GLenum matrixMode;
  // GL_TEXTURE_BIT
  GLuint boundTexture;
  GLenum texEnvMode;
  float texEnvColor[4];
  // GL_LIST_BIT
  GLuint listBase;
};

// ---------------------------------------------------------------------------
// gl_ff_matrix.cpp: Mesa's matrix arithmetic, column-major floats, to the bit.
void FFMatIdentity(float m[16]);
void FFMatMultiply(float product[16], const float a[16], const float b[16]);  // a * b; product may be a
void FFMatTranslate(float m[16], float x, float y, float z);
void FFMatScale(float m[16], float x, float y, float z);
void FFMatRotate(float m[16], float angle, float x, float y, float z);
void FFMatFrustum(float m[16], float left, float right, float bottom, float top, float zNear, float zFar);
void FFMatOrtho(float m[16], float left, float right, float bottom, float top, float zNear, float zFar);
bool FFMatInvert(const float m[16], float inverse[16]);
void FFMatTransformPoint(float out[4], const float m[16], const float in[4]);
void FFNormalize3(float v[3]);

// ---------------------------------------------------------------------------
// gl_ff_state.cpp: the state, capabilities, current attributes, the attribute
// stack, errors.
const FFState& FFCurrentState();
bool FFIsOn(FFCap cap);
uint32_t FFStateSerial();  // changes with any change of FFState
// The state to change, its serial moved on so that the shaders see it.
FFState& FFEditState();
void FFSetError(GLenum error);
GLenum FFTakeError();
// True, with GL_INVALID_OPERATION, for a command a display list cannot hold
// while one is compiled, or one made between glBegin and glEnd.
bool FFRefusedInList();
// Copies the current colour to the material parameters colour material tracks.
void FFTrackColor();
unsigned FFAttribDepth();
// What glNormal, glColor and glTexCoord do once the command runs (colour
// material follows the colour); list playback calls them too.
void FFSetCurrentNormal(const float n[3]);
void FFSetCurrentColor(const float c[4]);
void FFSetCurrentTexCoord(const float t[4]);

// ---------------------------------------------------------------------------
// gl_ff_transform.cpp: the matrix stacks.
void FFTransformStart();
const float* FFModelview();
const float* FFProjection();
const float* FFTextureMatrix();
bool FFTextureMatrixIsIdentity();
uint32_t FFMatrixSerial();  // changes with any matrix
int FFStackDepth(GLenum mode);
// Matrix commands as they run (not as a list records them).
void FFRunTranslate(float x, float y, float z);
void FFRunRotate(float angle, float x, float y, float z);
void FFRunScale(float x, float y, float z);
void FFRunMultMatrix(const float m[16]);

// ---------------------------------------------------------------------------
// gl_ff_draw.cpp: begin/end, display lists, the draws themselves.
bool FFCompilingList();  // between glNewList and glEndList
void FFRecordNormal(const float n[3]);
void FFRecordColor(const float c[4]);
void FFRecordTexCoord(const float t[4]);
enum FFRecordKind { kRecordTranslate, kRecordRotate, kRecordScale };
void FFRecordMatrix(FFRecordKind kind, const float v[4]);
bool FFInsideBeginEnd();
// glNormal (0), glColor (1) or glTexCoord (2) between glBegin and glEnd.
void FFNoteInside(int attribute);
void FFDrawStart();
void FFDrawForget();
long FFDrawCount();
long FFVertexCount();

// ---------------------------------------------------------------------------
// gl_ff_shader.cpp: programs per combination of state, and their uniforms.
struct FFTextureUse {
  bool enabled;   // texturing on, with a complete texture bound
  bool hasAlpha;  // its image has an alpha channel (GL_REPLACE takes it)
  // A non-power-of-two image, which OpenGL ES samples only clamped and
  // nearest: the shader filters and wraps it as OpenGL would.
  bool npot, linear, repeatS, repeatT;
  float width, height;
};
// What a batch gives the fragments: OpenGL interpolates the colour and the
// texture coordinate only when they were given between glBegin and glEnd;
// otherwise every fragment takes the one value (Mesa reads it as a constant).
struct FFBatchInputs {
  bool colorVaries, texCoordVaries;
  const float* color;     // for every vertex, where it does not vary
  const float* texCoord;  // likewise
};
// Makes the program for the current state and `in` current, its uniforms up
// to date. False when it cannot be built.
bool FFUseProgram(const FFBatchInputs& in);
bool FFShaderStart();
void FFShaderForget();
int FFProgramCount();

// ---------------------------------------------------------------------------
// gl_ff_glsl.cpp: the shaders' code.
// Uniforms every program may have; -1 where one does not use it.
enum Uniform {
  uMvp, uMv, uNormal0, uNormal1, uNormal2, uNormalScale, uTexMatrix, uSceneColor, uLmAmbient, uMatAmbient,
  uMatDiffuse, uMatSpecular, uMatEmission, uShininess, uFogColor, uFogParams, uTexture, uTexSize, uColor,
  uTexCoord,
  uLight0,  // then per light: position, half vector, ambient, diffuse, specular, spot, attenuation
  kPerLight = 7,
  kUniforms = uLight0 + kPerLight * kMaxLights
};
enum LightUniform { lPos, lHalf, lAmb, lDif, lSpe, lSpot, lAtt };

inline const char* const kFFUniformNames[uLight0] = {
    "u_mvp", "u_mv", "u_normal0", "u_normal1", "u_normal2", "u_normalScale", "u_texMatrix", "u_sceneColor",
    "u_lmAmbient", "u_matAmbient", "u_matDiffuse", "u_matSpecular", "u_matEmission", "u_shininess",
    "u_fogColor", "u_fogParams", "u_texture", "u_texSize", "u_color", "u_texCoord"};

// What decides a program's code, as bits.
struct FFShaderKey {
  bool lit, localViewer, normalize, rescale, shininessZero;
  unsigned tracked;  // what colour material takes from the colour: 1 ambient, 2 diffuse, 4 specular, 8 emission
  unsigned lights, positional, spot, attenuated;  // bit i: light i
  unsigned fog;       // 0 off, 1 linear, 2 exp, 3 exp2
  unsigned texEnv;    // 0 no texture, 1 modulate, 2 replace, 3 decal
  bool texAlpha, texMatrix;
  bool npot, npotLinear, repeatS, repeatT;  // the shader samples a non-power-of-two image itself
  bool colorUniform, texCoordUniform;        // one value for every fragment, as Mesa reads it

  uint64_t Bits() const {
    return uint64_t(lit) | uint64_t(localViewer) << 1 | uint64_t(normalize) << 2 | uint64_t(rescale) << 3 |
           uint64_t(shininessZero) << 4 | uint64_t(tracked) << 5 | uint64_t(lights) << 9 |
           uint64_t(positional) << 17 | uint64_t(spot) << 25 | uint64_t(attenuated) << 33 | uint64_t(fog) << 41 |
           uint64_t(texEnv) << 43 | uint64_t(texAlpha) << 45 | uint64_t(texMatrix) << 46 | uint64_t(npot) << 47 |
           uint64_t(npotLinear) << 48 | uint64_t(repeatS) << 49 | uint64_t(repeatT) << 50 |
           uint64_t(colorUniform) << 51 | uint64_t(texCoordUniform) << 52;
  }
};

// The name of light `light`'s uniform `which` (a LightUniform).
std::string FFLightUniform(int light, int which);
std::string FFVertexCode(const FFShaderKey& k);
std::string FFFragmentCode(const FFShaderKey& k);

// ---------------------------------------------------------------------------
// gl_ff_texture.cpp: texture objects as the layer sees them.
FFTextureUse FFBoundTextureUse();
void FFTextureForget();
