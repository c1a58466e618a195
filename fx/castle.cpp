// The castle scene: the camera flies a B-spline path through three textured
// castle models under two turning cloud layers, lit by a spot light that
// rides with the eye, in fog that lifts for one passage of the music.
//
// Uses: the model loader and drawing (models/mesh.h), textures
// (render/tga.h), paths (paths/spline.h), the flash (render/overlay.h), the
// stream position (app/soundtrack.h) and the title scene's galaxy model,
// borrowed as the cloud layers (fx/title.h).
#include "fx/castle.h"

#include "app/soundtrack.h"
#include "fx/title.h"
#include "models/mesh.h"
#include "paths/spline.h"
#include "platform/msgbox.h"
#include "render/overlay.h"
#include "render/tga.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

// ---------------------------------------------------------------------------
// Marks, in stream bytes (88,200 per second)

static const uint32_t kCastleStart = 6338104;  // 71.9 s: the scene takes over; flash 1
static const uint32_t kFogLifts = 6850048;     // 77.7 s: fog off; flash 2
static const uint32_t kFogReturns = 7364640;   // 83.5 s: fog on again; flash 3

// ---------------------------------------------------------------------------
// Module state: loaded once, fixed for the rest of the run

static QTL_3DObject ObjCastle1;  // "Data\Castle1.3ds", file units
static QTL_3DObject ObjCastle2;  // "Data\Castle2.3ds": the ground
static QTL_3DObject ObjCastle3;  // "Data\Castle3.3ds": the brick walls

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

// Light, material and fog (RGBA)
static const float kAmbient[4] = {1.0f, 1.0f, 0.5f, 1.0f};  // light model ambient and light 0 diffuse
static const float kWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};    // light 0 and material specular
static const float kSpotCutoff = 60.0f;                     // degrees
static const float kSpotExponent = 100.0f;
static const int kShininess = 128;
static const float kFogDensity = 0.21f;                     // GL_EXP, the default mode
static const float kFogColour[4] = {0.2f, 0.2f, 0.2f, 0.4f};

// ---------------------------------------------------------------------------

static bool LoadModel(const char* filename, const char* message, QTL_3DObject* obj) {
  if (QTL_3DSMain(filename, obj)) return true;
  MessageBoxA(message, "Loading error", MB_SYSTEMMODAL | MB_ICONERROR);
  return false;
}

bool LoadCastleScene() {
  if (!LoadModel("Data\\Castle1.3ds", "Data\\Castle1.3ds not found!", &ObjCastle1)) return false;
  if (!LoadModel("Data\\Castle2.3ds", "Data\\Castle2.3ds not found!", &ObjCastle2)) return false;
  if (!LoadModel("Data\\Castle3.3ds", "Data\\Castle3.3ds not found!", &ObjCastle3)) return false;

  // A texture the loader rejects fails the scene without a box of ours.
  for (int i = 0; i < 4; ++i)
    if (!LoadTGA(&CastleTexture[i], kCastleTextureFiles[i])) return false;

  CastleSPLCamPosPoint.NumPoints = 12;
  for (int i = 0; i < 12; ++i) CastleSPLCamPosPoint.Point[i] = kCamControl[i];
  SPL_Generate(&CastleSPLCamPosPoint, &CastleSPLCamPosTable, kCamSteps);  // 2340 points: cannot overflow
  return true;
}

void FreeCastleScene() {
  for (TextureImage& texture : CastleTexture) FreeTexturePixels(&texture);
}

// The sampled eye position for scene time t: one point every 13 ms (the
// division truncating toward zero), held on the first point before the start
// and on the last once the path is used up.
static SPL_TPoint CameraPoint(int32_t t) { return SPL_PointAt(&CastleSPLCamPosTable, t / kMillisPerCamPoint); }

// Objects 3 to 5: the castle pieces, still, at a tenth of their file units,
// in the colour object 2 left behind.
static void DrawCastlePiece(const QTL_3DObject* obj, const TextureImage& texture) {
  glPushMatrix();
  glEnable(GL_TEXTURE_2D);
  glScalef(0.1f, 0.1f, 0.1f);
  glBindTexture(GL_TEXTURE_2D, texture.texID);
  QTL_DrawObjectTexture(obj, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
  glDisable(GL_TEXTURE_2D);
  glPopMatrix();
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

  const QTL_3DObject* galaxy = TitleGalaxyModel();

  // 1: the lower cloud layer, lit (light 0 and colour material act on it
  // alone), in the current colour, which the frame before left white.
  glPushMatrix();
  glDisable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  glScalef(0.2f, 0.2f, 0.2f);
  glBindTexture(GL_TEXTURE_2D, CastleTexture[2].texID);
  QTL_DrawObjectTexture(galaxy, 0.0f, 0.0f, 6.0f, 0.0f, s, 0.0f);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_LIGHTING);
  glPopMatrix();

  // 2: the upper cloud layer, half transparent, turning 1.8 times faster.
  glPushMatrix();
  glDisable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glScalef(0.1f, 0.1f, 0.1f);
  glColor4f(1.0f, 1.0f, 1.0f, 0.5f);
  glBindTexture(GL_TEXTURE_2D, CastleTexture[2].texID);
  QTL_DrawObjectTexture(galaxy, 0.0f, 0.0f, 11.0f, 0.0f, float(1.8 * double(s)), 0.0f);
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_LIGHTING);
  glPopMatrix();

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
