// The castle scene: the camera flies a B-spline path through three textured
// castle models under two turning cloud layers, lit by a spot light that
// rides with the eye, in fog that lifts for one passage of the music.
//
// Uses: the loading and drawing brackets (fx/scene_kit.h), the model loader
// and drawing (models/mesh.h), textures (render/tga.h), paths
// (paths/spline.h), the flash (render/overlay.h), the stream position
// (app/soundtrack.h) and the title scene's galaxy model, borrowed as the
// cloud layers (fx/title.h).
#include "fx/castle.h"

#include "app/soundtrack.h"
#include "fx/scene_kit.h"
#include "fx/title.h"
#include "models/mesh.h"
#include "paths/spline.h"
#include "render/overlay.h"
#include "render/tga.h"
#include "show/score.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <iterator>

#include <cmath>

// ---------------------------------------------------------------------------
// Marks, in stream bytes (88,200 per second)

// The scene takes over under a flash at kCastleStart (71.9 s).
static const uint32_t kFogLifts = kCastleFogLifts;      // 77.7 s: fog off, under a flash
static const uint32_t kFogReturns = kCastleFogReturns;  // 83.5 s: fog on again, under a flash

// ---------------------------------------------------------------------------
// Module state: loaded once, fixed for the rest of the run

static QTL_3DObject ObjCastle1;  // file units
static QTL_3DObject ObjCastle2;  // the ground
static QTL_3DObject ObjCastle3;  // the brick walls
static const SceneModelFile kCastleModels[3] = {
    {"Data\\Castle1.3ds", &ObjCastle1}, {"Data\\Castle2.3ds", &ObjCastle2}, {"Data\\Castle3.3ds", &ObjCastle3}};

// [0] stone, [1] ground, [2] clouds, [3] brick
static TextureImage CastleTexture[4];
static const char* const kCastleTextureFiles[4] = {"Data\\piedrah.tga", "Data\\Ground1.tga", "Data\\cloud1.tga",
                                                   "Data\\brick1.tga"};

static SPL_PointType CastleSPLCamPosPoint;  // control points, world units
static SPL_PointType CastleSPLCamPosTable;  // sampled eye positions: 2340 of them
static const int32_t kCamSteps = 260;       // samples per segment
static const int32_t kMillisPerCamPoint = 13;

static const SPL_TPoint kCamControl[12] = {
    {-5.0f, 0.0f, 0.0f},  {3.0f, 1.3f, -1.0f},  {-5.0f, 1.0f, -1.0f}, {6.0f, 0.0f, 0.0f},
    {3.0f, 0.0f, 1.0f},   {-2.0f, 2.0f, -1.0f}, {-3.0f, 4.0f, -1.0f}, {-1.0f, 0.0f, -1.0f},
    {1.0f, 1.0f, -1.0f},  {-1.0f, 1.2f, -2.0f}, {4.0f, 1.0f, -3.0f},  {1.0f, 1.8f, -1.0f}};

// What the scene reads at start-up, in this order (its path's 2340 points fit).
static const SceneFiles kCastleFiles = {
    {kCastleModels, int(std::size(kCastleModels))},
    {CastleTexture, kCastleTextureFiles, int(std::size(CastleTexture))},
    {&CastleSPLCamPosPoint, &CastleSPLCamPosTable, kCamControl, int(std::size(kCamControl)), kCamSteps}};

// Light, material and fog (RGBA)
static const float kAmbient[4] = {1.0f, 1.0f, 0.5f, 1.0f};  // light model ambient and light 0 diffuse
static const float kWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};    // light 0 and material specular
static const float kSpotCutoff = 60.0f;                     // degrees
static const float kSpotExponent = 100.0f;
static const int kShininess = 128;
static const float kFogDensity = 0.21f;                     // GL_EXP, the default mode
static const float kFogColour[4] = {0.2f, 0.2f, 0.2f, 0.4f};

// ---------------------------------------------------------------------------

bool LoadCastleScene() { return LoadSceneFiles(kCastleFiles); }

void FreeCastleScene() { FreeSceneTextures(CastleTexture, int(std::size(CastleTexture))); }

// The sampled eye position for scene time t: one point every 13 ms (the
// division truncating toward zero), held on the first point before the start
// and on the last once the path is used up.
static SPL_TPoint CameraPoint(int32_t t) { return SPL_PointAt(&CastleSPLCamPosTable, t / kMillisPerCamPoint); }

// The castle pieces touch texturing alone: culling, lighting and colour
// material stay as the cloud layers left them (all off).
static constexpr TexturedBracket kCastlePiece = {Culling::AsItWas, false, 0u};

// A castle piece, standing still at the origin at a tenth of its file units,
// in the half-transparent white the upper cloud layer left behind.
static void DrawCastlePiece(const QTL_3DObject* obj, const TextureImage& texture) {
  OpenTexturedDraw(kCastlePiece);
  glScalef(0.1f, 0.1f, 0.1f);
  DrawTexturedModel(obj, texture.texID, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
  CloseTexturedDraw(kCastlePiece);
}

// The lower cloud layer, lit (light 0 and colour material act on it alone),
// in the current colour, which the frame before left white. Turns about the
// world point (0, 0, 1.2) at 10 degrees per second.
static void DrawLowerClouds(float s) {
  OpenTexturedDraw(kTwoSidedOpaque);
  glScalef(0.2f, 0.2f, 0.2f);
  DrawTexturedModel(TitleGalaxyModel(), CastleTexture[2].texID, 0.0f, 0.0f, 6.0f, 0.0f, s, 0.0f);
  CloseTexturedDraw(kTwoSidedOpaque);
}

// The upper cloud layer, half transparent and unlit, turning 1.8 times faster
// about (0, 0, 1.1).
static void DrawUpperClouds(float s) {
  OpenTexturedDraw(kTwoSidedBlended);
  glScalef(0.1f, 0.1f, 0.1f);
  glColor4f(1.0f, 1.0f, 1.0f, 0.5f);
  DrawTexturedModel(TitleGalaxyModel(), CastleTexture[2].texID, 0.0f, 0.0f, 11.0f, 0.0f, float(1.8 * double(s)),
                    0.0f);
  CloseTexturedDraw(kTwoSidedBlended);
}

void RenderCastleScene(int32_t t) {
  // s: degrees for the clouds; divided by 8 and 12, radians for swing and roll.
  const float s = float(double(t) * 0.01);
  const SPL_TPoint P = CameraPoint(t);

  glEnable(GL_DEPTH_TEST);
  glFrontFace(GL_CCW);
  glEnable(GL_CULL_FACE);
  glEnable(GL_LIGHTING);

  // Light 0 is placed under the identity the timeline loaded, so it keeps its
  // eye-space offset whatever the camera does: a spot riding with the eye.
  const float lightPosition[4] = {P.x, P.y, P.z, 1.0f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, kAmbient);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, kAmbient);
  glLightfv(GL_LIGHT0, GL_SPECULAR, kWhite);
  glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
  glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, kSpotCutoff);
  glLightf(GL_LIGHT0, GL_SPOT_EXPONENT, kSpotExponent);
  glEnable(GL_LIGHT0);

  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  glMaterialfv(GL_FRONT, GL_SPECULAR, kWhite);
  glMateriali(GL_FRONT, GL_SHININESS, kShininess);

  // Fog lifts for one passage: [kFogLifts, kFogReturns).
  if (StreamPosition() < kFogLifts || !(StreamPosition() < kFogReturns)) {
    glEnable(GL_FOG);
    glFogf(GL_FOG_DENSITY, kFogDensity);
    glFogfv(GL_FOG_COLOR, kFogColour);
  }

  // The eye follows the path; the aim swings along x = 1 and the up vector
  // rolls toward +z and -z.
  glPushMatrix();
  gluLookAt(P.x, P.y, P.z, 1.0, 0.0, std::cos(double(s) / 8.0), 0.0, 1.0, std::cos(double(s) / 12.0));

  DrawLowerClouds(s);
  DrawUpperClouds(s);
  DrawCastlePiece(&ObjCastle1, CastleTexture[0]);
  DrawCastlePiece(&ObjCastle3, CastleTexture[3]);
  DrawCastlePiece(&ObjCastle2, CastleTexture[1]);

  glPopMatrix();  // the camera
  glDisable(GL_FOG);
  glDisable(GL_LIGHT0);
  glDisable(GL_LIGHTING);

  DrawFlashSince(kCastleStart, 200, StreamPosition());  // gone at 6,538,104 (74.1 s)
  DrawFlashSince(kFogLifts, 200, StreamPosition());     // gone at 7,050,048 (79.9 s)
  DrawFlashSince(kFogReturns, 100, StreamPosition());   // gone at 7,464,640 (84.6 s)
}
