// The credits scene: three nested spinning copies of one model and two
// translucent spinning balls carrying the credit images, circled by a camera
// on a B-spline path that always aims at the origin. A flash covers the cut
// in and a second one marks a beat in the middle.
//
// Uses: the loading and drawing brackets (fx/scene_kit.h), the model loader
// and drawing (models/mesh.h), textures (render/tga.h), paths
// (paths/spline.h), the flash (render/overlay.h), the stream position
// (app/soundtrack.h) and the title scene's Nena1 texture, borrowed for the
// large copies (fx/title.h).
#include "fx/credits.h"

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

// ---------------------------------------------------------------------------
// Marks, in stream bytes (88,200 per second)

// 106.4 s: starts while the flight scene is still on screen, so the cut at
// 9,389,696 (106.5 s) lands 24 steps into its fade.
static const uint32_t kCutFlash = kCreditsCutFlash;
static const uint32_t kBeatFlash = kCreditsBeat;  // 118.8 s
static const uint32_t kFlashDivisor = 80;     // each fades over 80,000 bytes (0.9 s)

// ---------------------------------------------------------------------------
// Module state: loaded once, fixed for the rest of the run

static QTL_3DObject ObjTubo1;  // file units
static QTL_3DObject ObjBolah;  // file units
static const SceneModelFile kCreditsModels[2] = {{"Data\\Greet1.3ds", &ObjTubo1}, {"Data\\Bolah8.3ds", &ObjBolah}};

// [0] Credit1, [1] code credit, [2] visual credit
static TextureImage CreditsTexture[3];
static const char* const kCreditsTextureFiles[3] = {"Data\\Credit1.tga", "Data\\code.tga", "Data\\visual.tga"};

static SPL_PointType CreditsSPLCamPosPoint;  // control points, world units
static SPL_PointType CreditsSPLCamPosTable;  // sampled eye positions: 1928 of them
static const int32_t kCamSteps = 240;        // gives 241 samples per segment
static const int32_t kMillisPerCamPoint = 13;

static const SPL_TPoint kCamControl[11] = {
    {-1.0f, 3.0f, 0.5f}, {0.0f, 3.0f, 0.5f},   {0.0f, 2.0f, 0.5f},  {0.0f, 1.0f, 0.5f},
    {2.0f, -10.0f, 0.5f}, {-2.0f, -1.5f, 0.3f}, {2.0f, -1.2f, 0.2f}, {2.0f, -1.0f, 0.7f},
    {2.0f, 0.0f, 0.35f},  {2.0f, 0.0f, 0.35f},  {0.0f, 3.0f, 0.5f}};

// What the scene reads at start-up, in this order (its path's 1928 points fit).
static const SceneFiles kCreditsFiles = {
    {kCreditsModels, int(std::size(kCreditsModels))},
    {CreditsTexture, kCreditsTextureFiles, int(std::size(CreditsTexture))},
    {&CreditsSPLCamPosPoint, &CreditsSPLCamPosTable, kCamControl, int(std::size(kCamControl)), kCamSteps}};

// ---------------------------------------------------------------------------

bool LoadCreditsScene() { return LoadSceneFiles(kCreditsFiles); }

void FreeCreditsScene() { FreeSceneTextures(CreditsTexture, int(std::size(CreditsTexture))); }

// The sampled eye position for scene time t: one point every 13 ms (the
// division truncating toward zero), held on the first point before the start
// and on the last once the path is used up (t >= 25064, just before the scene
// ends).
static SPL_TPoint CameraPoint(int32_t t) { return SPL_PointAt(&CreditsSPLCamPosTable, t / kMillisPerCamPoint); }

// One copy of a model at the origin (or hung above or below it), turned about
// its vertical axis. Lighting was switched off by the castle scene and stays
// off: the textures show in their own colours.
struct Copy {
  const QTL_3DObject* obj;
  uint32_t texID;
  bool scaled;
  float sx, sy, sz;
  float posy;
  float roty;        // degrees
  bool translucent;  // blended at half opacity
};

static void DrawCopy(const Copy& c) {
  const TexturedBracket bracket = {Culling::Off, c.translucent, kLeaveLightingOff};
  OpenTexturedDraw(bracket);
  if (c.scaled) glScalef(c.sx, c.sy, c.sz);
  if (c.translucent) glColor4f(1.0f, 1.0f, 1.0f, 0.5f);
  DrawTexturedModel(c.obj, c.texID, 0.0f, c.posy, 0.0f, 0.0f, c.roty, 0.0f);
  CloseTexturedDraw(bracket);
}

void RenderCreditsScene(int32_t t) {
  const float s = float(double(t) * 0.1);  // degrees: 100 per second
  const SPL_TPoint P = CameraPoint(t);

  glPushMatrix();
  gluLookAt(P.x, P.y, P.z, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);

  // Read afresh each frame: the title scene owns the record.
  const uint32_t nena1 = TitleTextureID(TitleTexture::Nena1);
  const float fast = float(1.6 * double(s));    // the translucent shell
  const float balls = float(1.6 * double(-s));  // both balls, against the shell
  const Copy copies[5] = {
      {&ObjTubo1, CreditsTexture[0].texID, true, 0.15f, 0.4f, 0.1f, 0.0f, -s, false},  // slim inner copy
      {&ObjTubo1, nena1, true, 1.9f, 1.8f, 0.8f, 0.0f, -s, false},                      // outer shell
      {&ObjTubo1, nena1, true, 1.6f, 1.6f, 0.7f, 0.0f, fast, true},                     // translucent shell
      {&ObjBolah, CreditsTexture[1].texID, false, 1.0f, 1.0f, 1.0f, -0.8f, balls, true},  // code credit, below
      {&ObjBolah, CreditsTexture[2].texID, false, 1.0f, 1.0f, 1.0f, 0.8f, balls, true},   // visual credit, above
  };
  for (const Copy& c : copies) DrawCopy(c);

  glPopMatrix();  // the camera

  DrawFlashSince(kCutFlash, kFlashDivisor, StreamPosition());   // gone at 9,467,760 (107.3 s)
  DrawFlashSince(kBeatFlash, kFlashDivisor, StreamPosition());  // gone at 10,555,858 (119.7 s)
}
