// The flight scene, two phases split by a stream mark: first a fixed view of
// the turning model with a translucent copy rising through the picture, then
// a camera flight along a B-spline path around the model. White flashes mark
// the start, the switch and five beats near the end.
//
// Uses: the model loader and drawing (models/mesh.h), textures
// (render/tga.h), paths (paths/spline.h), the flash (render/overlay.h) and
// the stream position (app/soundtrack.h).
#include "fx/flight.h"

#include "app/soundtrack.h"
#include "models/mesh.h"
#include "paths/spline.h"
#include "platform/msgbox.h"
#include "render/overlay.h"
#include "render/tga.h"

#include <GL/gl.h>
#include <GL/glu.h>

// ---------------------------------------------------------------------------
// Marks, in stream bytes (88,200 per second)

static const uint32_t kFlightStart = 8364624;  // 94.8 s: the scene takes over
static const uint32_t kPhaseB = 8875600;       // 100.6 s: the camera takes to the path

// The flashes: mark and divisor (the fade lasts 1000 x divisor bytes).
static const struct {
  uint32_t mark;
  uint32_t divisor;
} kFlashes[7] = {
    {kFlightStart, 100},  // 94.8 s, gone at 8,464,624 (96.0 s)
    {kPhaseB, 50},        // 100.6 s
    {9233408, 50},        // 104.7 s: five beats near the end, each starting
    {9260864, 50},        // 105.0 s  while the one before still shows
    {9293488, 50},        // 105.4 s
    {9323624, 50},        // 105.7 s
    {9352320, 50},        // 106.0 s: not yet faded when the credits take over
};

// ---------------------------------------------------------------------------
// Module state: loaded once, fixed for the rest of the run

static QTL_3DObject ObjFly;      // "Data\Fly.3ds", file units
static TextureImage FlyTexture;  // "Data\Fly.tga"

static SPL_PointType FlySPLCamPosPoint;  // control points, world units
static SPL_PointType FlySPLCamPosTable;  // sampled eye positions: 588 of them
static const int32_t kCamSteps = 83;     // gives 84 samples per segment
static const int32_t kCamStartMillis = 5600;  // scene time at path point 0
static const int32_t kMillisPerCamPoint = 11;

static const SPL_TPoint kCamControl[10] = {
    {0.0f, 0.0f, 0.0f},  {1.0f, 3.0f, 5.0f},  {5.0f, 1.0f, -1.0f}, {-1.0f, -5.0f, 2.0f}, {5.0f, 1.0f, -3.0f},
    {-2.0f, -2.0f, 3.0f}, {-2.0f, 4.0f, 1.0f}, {2.0f, 3.0f, 1.0f},  {-1.0f, 0.0f, 1.0f},  {1.0f, 1.0f, -3.0f}};

// ---------------------------------------------------------------------------

bool LoadFlightScene() {
  if (!QTL_3DSMain("Data\\Fly.3ds", &ObjFly)) {
    MessageBoxA("Data\\Fly.3ds not found!", "Loading error", MB_SYSTEMMODAL | MB_ICONERROR);
    return false;
  }
  // A texture the loader rejects fails the scene without a box of ours.
  if (!LoadTGA(&FlyTexture, "Data\\Fly.tga")) return false;

  FlySPLCamPosPoint.NumPoints = 10;
  for (int i = 0; i < 10; ++i) FlySPLCamPosPoint.Point[i] = kCamControl[i];
  SPL_Generate(&FlySPLCamPosPoint, &FlySPLCamPosTable, kCamSteps);  // 588 points: cannot overflow
  return true;
}

void FreeFlightScene() { FreeTexturePixels(&FlyTexture); }

// The sampled eye position for scene time t in phase B: the path starts at
// t = 5600 ms and moves one point every 11 ms (the division truncating toward
// zero), held on its first point before and on its last once used up. Worked
// in 64 bits: t - 5600 must not wrap.
static SPL_TPoint CameraPoint(int32_t t) {
  return SPL_PointAt(&FlySPLCamPosTable, (int64_t(t) - kCamStartMillis) / kMillisPerCamPoint);
}

// Phase A: the eye frame the timeline set up, no camera of our own.
static void DrawFixedView(float s) {
  // A1: the model turning in front of the eye.
  glPushMatrix();
  glDisable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  glScalef(0.1f, 0.1f, 0.1f);
  glBindTexture(GL_TEXTURE_2D, FlyTexture.texID);
  QTL_DrawObjectTexture(&ObjFly, 0.0f, -10.0f, -40.0f, 0.0f, s, 0.0f);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_LIGHTING);
  glPopMatrix();

  // A2: a 40 % copy rising through the picture, back faces culled.
  glPushMatrix();
  glEnable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glScalef(0.1f, 0.1f, 0.1f);
  glColor4f(1.0f, 1.0f, 1.0f, 0.4f);
  glBindTexture(GL_TEXTURE_2D, FlyTexture.texID);
  const float rise = s / 4.0f - 5.0f;  // in float, as the motion was tuned
  QTL_DrawObjectTexture(&ObjFly, 0.0f, rise, -40.0f, 0.0f, s, 0.0f);
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_CULL_FACE);
  glPopMatrix();
}

// Phase B: the camera on its path, aimed next to the turning model.
static void DrawFlight(int32_t t, float s) {
  const SPL_TPoint P = CameraPoint(t);
  glPushMatrix();
  gluLookAt(P.x, P.y, P.z, -0.5, 0.0, -1.5, 0.0, 1.0, 0.0);

  // B1
  glPushMatrix();
  glDisable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  glScalef(0.1f, 0.1f, 0.1f);
  glBindTexture(GL_TEXTURE_2D, FlyTexture.texID);
  QTL_DrawObjectTexture(&ObjFly, -6.0f, 2.0f, -10.0f, 0.0f, s, 0.0f);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_LIGHTING);
  glPopMatrix();

  glPopMatrix();  // the camera
}

void RenderFlightScene(int32_t t) {
  const float s = float(double(t) * 0.01);  // degrees: 10 per second

  // One read decides the phase for the whole frame.
  if (StreamPosition() < kPhaseB)
    DrawFixedView(s);
  else
    DrawFlight(t, s);

  for (const auto& flash : kFlashes) DrawFlashSince(flash.mark, flash.divisor, StreamPosition());
}
