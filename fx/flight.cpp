// The flight scene, two phases split by a stream mark: first a fixed view of
// the turning model with a translucent copy rising through the picture, then
// a camera flight along a B-spline path around the model. White flashes mark
// the start, the switch and five beats near the end.
//
// Uses: the loading and drawing brackets (fx/scene_kit.h), the model loader
// and drawing (models/mesh.h), textures (render/tga.h), paths
// (paths/spline.h), the flash (render/overlay.h) and the stream position
// (app/soundtrack.h).
#include "fx/flight.h"

#include "app/soundtrack.h"
#include "fx/scene_kit.h"
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

// The scene takes over at kFlightStart (94.8 s).
static const uint32_t kOntoThePath = kFlightOntoThePath;  // 100.6 s: the fixed view ends, the camera takes to the path

// The flashes: mark and divisor (the fade lasts 1000 x divisor bytes).
static const struct {
  uint32_t mark;
  uint32_t divisor;
} kFlashes[7] = {
    {kFlightStart, 100},  // 94.8 s, gone at 8,464,624 (96.0 s)
    {kOntoThePath, 50},   // 100.6 s
    {kFlightBeats[0], 50},  // 104.7 s: five beats near the end, each starting
    {kFlightBeats[1], 50},  // 105.0 s  while the one before still shows
    {kFlightBeats[2], 50},  // 105.4 s
    {kFlightBeats[3], 50},  // 105.7 s
    {kFlightBeats[4], 50},  // 106.0 s: not yet faded when the credits take over
};

// ---------------------------------------------------------------------------
// Module state: loaded once, fixed for the rest of the run

static QTL_3DObject ObjFly;  // file units
static TextureImage FlyTexture;
static const SceneModelFile kFlyModel[1] = {{"Data\\Fly.3ds", &ObjFly}};
static const char* const kFlyTextureFile[1] = {"Data\\Fly.tga"};

static SPL_PointType FlySPLCamPosPoint;  // control points, world units
static SPL_PointType FlySPLCamPosTable;  // sampled eye positions: 588 of them
static const int32_t kCamSteps = 83;     // gives 84 samples per segment
static const int32_t kCamStartMillis = 5600;  // scene time at path point 0
static const int32_t kMillisPerCamPoint = 11;

static const SPL_TPoint kCamControl[10] = {
    {0.0f, 0.0f, 0.0f},  {1.0f, 3.0f, 5.0f},  {5.0f, 1.0f, -1.0f}, {-1.0f, -5.0f, 2.0f}, {5.0f, 1.0f, -3.0f},
    {-2.0f, -2.0f, 3.0f}, {-2.0f, 4.0f, 1.0f}, {2.0f, 3.0f, 1.0f},  {-1.0f, 0.0f, 1.0f},  {1.0f, 1.0f, -3.0f}};

// What the scene reads at start-up, in this order (its path's 588 points fit).
static const SceneFiles kFlightFiles = {
    {kFlyModel, int(std::size(kFlyModel))},
    {&FlyTexture, kFlyTextureFile, 1},
    {&FlySPLCamPosPoint, &FlySPLCamPosTable, kCamControl, int(std::size(kCamControl)), kCamSteps}};

// ---------------------------------------------------------------------------

bool LoadFlightScene() { return LoadSceneFiles(kFlightFiles); }

void FreeFlightScene() { FreeTexturePixels(&FlyTexture); }

// The sampled eye position for scene time t on the path: it starts at
// t = 5600 ms and moves one point every 11 ms (the division truncating toward
// zero), held on its first point before and on its last once used up. Worked
// in 64 bits: t - 5600 must not wrap.
static SPL_TPoint CameraPoint(int32_t t) {
  return SPL_PointAt(&FlySPLCamPosTable, (int64_t(t) - kCamStartMillis) / kMillisPerCamPoint);
}

// The rising copy: blended, back faces culled; culling and colour material
// are left off after it (lighting is off already).
static constexpr TexturedBracket kCulledBlended = {Culling::On, true, kLeaveColourMaterialOff | kLeaveCullingOff};

// The fixed view, the eye frame the timeline set up: the model turns in front
// of the eye while a 40 % copy of it rises through the picture.
static void DrawFixedView(float s) {
  OpenTexturedDraw(kTwoSidedOpaque);
  glScalef(0.1f, 0.1f, 0.1f);
  DrawTexturedModel(&ObjFly, FlyTexture.texID, 0.0f, -10.0f, -40.0f, 0.0f, s, 0.0f);
  CloseTexturedDraw(kTwoSidedOpaque);

  const float rise = s / 4.0f - 5.0f;  // in float, as the motion was tuned
  OpenTexturedDraw(kCulledBlended);
  glScalef(0.1f, 0.1f, 0.1f);
  glColor4f(1.0f, 1.0f, 1.0f, 0.4f);
  DrawTexturedModel(&ObjFly, FlyTexture.texID, 0.0f, rise, -40.0f, 0.0f, s, 0.0f);
  CloseTexturedDraw(kCulledBlended);
}

// The flight: the camera on its path, aimed next to the turning model.
static void DrawFlight(int32_t t, float s) {
  const SPL_TPoint P = CameraPoint(t);
  glPushMatrix();
  gluLookAt(P.x, P.y, P.z, -0.5, 0.0, -1.5, 0.0, 1.0, 0.0);

  OpenTexturedDraw(kTwoSidedOpaque);
  glScalef(0.1f, 0.1f, 0.1f);
  DrawTexturedModel(&ObjFly, FlyTexture.texID, -6.0f, 2.0f, -10.0f, 0.0f, s, 0.0f);
  CloseTexturedDraw(kTwoSidedOpaque);

  glPopMatrix();  // the camera
}

void RenderFlightScene(int32_t t) {
  const float s = float(double(t) * 0.01);  // degrees: 10 per second

  // One read decides the view for the whole frame.
  if (StreamPosition() < kOntoThePath)
    DrawFixedView(s);
  else
    DrawFlight(t, s);

  for (const auto& flash : kFlashes) DrawFlashSince(flash.mark, flash.divisor, StreamPosition());
}
