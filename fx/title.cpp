// The title scene: a turning galaxy backdrop, a model fading in between two
// sliding copies, captions that recede and fade, then two models travelling a
// B-spline path, two coming closer side by side and two faces meeting, each
// picture entered under a white flash.
//
// Depends on: fx/scene_kit, models/mesh (QTL_), render/tga, render/text,
// render/overlay, paths/spline, app/soundtrack (the stream position, read
// afresh at every test, never kept).
#include "fx/title.h"

#include "app/soundtrack.h"
#include "fx/scene_kit.h"
#include "models/mesh.h"
#include "paths/spline.h"
#include "render/overlay.h"
#include "render/text.h"
#include "render/tga.h"
#include "show/score.h"

#include <GL/gl.h>

#include <cstdint>
#include <iterator>

// ---------------------------------------------------------------------------
// Marks (stream bytes) and timings (scene milliseconds)
// ---------------------------------------------------------------------------
static const uint32_t kMarkGalaxy = kTitleRide;        // 31.5 s: the fade-in ends, the ride along the path begins
static const uint32_t kMarkTio = kTitleMirroredRide;   // 45.0 s: Tio1 rides the path, mirrored
static const uint32_t kMarkPair = kTitlePair;          // 55.0 s: the pair comes closer
static const uint32_t kMarkFaces = kTitleFaces;        // 58.0 s: the faces meet

static const int64_t kRideStart = 29700;      // the ride: path point 0 at this scene time
static const int64_t kRideStep = 13;          // the ride: one path point every 13 ms
static const int64_t kTioStart = 42000;       // the mirrored ride: path point 0
static const int64_t kTioStep = 11;           // the mirrored ride: one point every 11 ms
static const int64_t kPairStart = 54800;      // the pair: one model unit nearer every 40 ms
static const int64_t kPairStep = 40;
static const int64_t kFacesStart = 57400;     // the faces slide one unit per second from here

static const int32_t kPathSteps = 212;        // samples per path segment

// ---------------------------------------------------------------------------
// Scene-owned records, alive for the whole run
// ---------------------------------------------------------------------------
static QTL_3DObject ObjNena1;
static QTL_3DObject ObjNena2;
static QTL_3DObject ObjGalaxy;   // also drawn by the hand and castle scenes
static QTL_3DObject ObjTio1;
static QTL_3DObject ObjCaraTio1;
static QTL_3DObject ObjCaraTia1;

enum { kTexNena1, kTexGalaxy, kTexTio1, kTexCaratio1, kTexCaratia1, kTexCount };
static TextureImage TexturasLetras[kTexCount];

static SPL_PointType LetrasSPLPoint;  // control points of the title path
static SPL_PointType LetrasSPLTable;  // the sampled path (1060 points once loaded)

const float Letras_AmbientLight[4] = {1.0f, 1.0f, 1.0f, 1.0f};

static const SceneModelFile kModels[6] = {
    {"Data\\Nena1.3DS", &ObjNena1},       {"Data\\Nena2.3DS", &ObjNena2},
    {"Data\\Galaxy.3DS", &ObjGalaxy},     {"Data\\Tio1.3DS", &ObjTio1},
    {"Data\\CaraTio1.3DS", &ObjCaraTio1}, {"Data\\CaraTia1.3DS", &ObjCaraTia1},
};

static const char* const kTextureFiles[kTexCount] = {"Data\\Nena1.tga", "Data\\Galaxy.tga", "Data\\Tio1.tga",
                                                     "Data\\caratio1.tga", "Data\\caratia1.tga"};

static const SPL_TPoint kPathControl[8] = {{0, 0, 0},   {-6, 0, -10},  {10, 4, 5},  {20, 1, -10},
                                           {2, 0, -10}, {-10, -5, 3},  {-1, 0, -10}, {170, 20, 0}};

// What the scene reads at start-up, in this order.
static const SceneFiles kTitleFiles = {
    {kModels, int(std::size(kModels))},
    {TexturasLetras, kTextureFiles, kTexCount},
    {&LetrasSPLPoint, &LetrasSPLTable, kPathControl, int(std::size(kPathControl)), kPathSteps}};

// Captions in drawing order (later over earlier). Each stands at
// (0, y, zBase - (t - tShift)) with opacity opacityBase - 16 t percent while
// from <= a < until.
static const struct {
  const char* text;
  int32_t from, until;  // window of scene time (ms)
  bool open;            // no lower bound
  float y, zBase, tShift, opacityBase;
} kCaptions[] = {
    {"A new concept", 0, 8000, true, 0, -6, 0, 100},
    {"Beyond the Sentiments", 4500, 12000, false, 0, 0, 0, 200},
    {"When the live is", 10500, 18000, false, 0, 5, 0, 300},
    {"Velmora", 14000, 22000, false, 0, 13, 0, 320},
    {"With not comercial soundtrack", 18000, 28000, false, 0, -3, 16, 450},
    {"Heappening by", 24000, 33000, false, 0, 1, 16, 500},
    {"Brask Tavern", 28000, 38000, false, 0, 5, 16, 550},
    {"This is", 36000, 44000, false, 0, 13, 16, 700},
    {"Velmora One", 39000, 48000, false, 1, 18, 16, 750},
    {"The Trailer", 40000, 50000, false, -1, 19, 16, 800},
};

// Flashes: from its mark on, each fades over 1000 x divisor bytes.
static const struct {
  uint32_t mark, divisor;
} kFlashes[] = {{kMarkGalaxy, 300}, {kMarkTio, 300}, {kMarkPair, 200}, {kMarkFaces, 200}};

// ---------------------------------------------------------------------------
// Borrowed records
// ---------------------------------------------------------------------------
const QTL_3DObject* TitleGalaxyModel() { return &ObjGalaxy; }

uint32_t TitleTextureID(TitleTexture which) {
  const int i = int(which);
  return (i >= 0 && i < kTexCount) ? TexturasLetras[i].texID : 0;
}

// ---------------------------------------------------------------------------
// Load and free
// ---------------------------------------------------------------------------
bool LoadTitleScene() { return LoadSceneFiles(kTitleFiles); }

void FreeTitleScene() { FreeSceneTextures(TexturasLetras, kTexCount); }

// ---------------------------------------------------------------------------
// Render
// ---------------------------------------------------------------------------

// Point (a - start) / step of the sampled path, the division truncating
// toward zero, held at the first and last point. Worked in 64 bits so that no
// scene time can overflow.
static const SPL_TPoint& PathPoint(int32_t a, int64_t start, int64_t step) {
  return SPL_PointAt(&LetrasSPLTable, (int64_t(a) - start) / step);
}

static uint32_t TexID(int texture) { return TitleTextureID(TitleTexture(texture)); }

// The lit set-up of every model in front of the backdrop: GL_LIGHT1, set up
// with the window, is the only light; the material follows the current
// colour; half scale.
static void LitSetUp() {
  glEnable(GL_LIGHTING);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, Letras_AmbientLight);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, Letras_AmbientLight);
  glScalef(0.5f, 0.5f, 0.5f);
}

static void LitClosing(bool blended) {
  glDisable(GL_CULL_FACE);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_LIGHTING);
  if (blended) glDisable(GL_BLEND);
  glPopMatrix();
}

// The full-size galaxy backdrop: two-sided, unlit and opaque in the current
// colour. t is the caller's scene time in its own unit: the title scene gives
// seconds, the hand scene hundredths, so there it turns ten times faster.
void DrawGalaxyBackdrop(uint32_t texID, float t) {
  OpenTexturedDraw(kTwoSidedOpaque);
  DrawTexturedModel(&ObjGalaxy, texID, 0, 0, 10, 0, float((double(t) - 7.14) * 4), 1.57f);
  CloseTexturedDraw(kTwoSidedOpaque);
}

// A translucent half-size copy of the backdrop, tumbling. Leaves the current
// colour white, which the opaque models after it then wear.
static void DrawTranslucentBackdrop(float t) {
  OpenTexturedDraw(kTwoSidedBlended);
  glColor4f(1.0f, 1.0f, 1.0f, 0.5f);
  glScalef(0.5f, 0.5f, 0.5f);
  const float turn = float(double(t) - 7.14);
  DrawTexturedModel(&ObjGalaxy, TexID(kTexGalaxy), 0, 0, 9, turn, float((double(t) - 7.14) * 2), 1.57f);
  CloseTexturedDraw(kTwoSidedBlended);
}

// Nena1 at x, lit, blended with `alpha`, back faces culled. Binds the Nena1
// texture only when asked: the copies after the first find it still bound.
static void DrawBlendedNena(float x, float alpha, bool bindNena1, float t) {
  glPushMatrix();
  glEnable(GL_BLEND);
  LitSetUp();
  glColor4f(0.6f, 0.6f, 0.6f, alpha);
  glEnable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  if (bindNena1) glBindTexture(GL_TEXTURE_2D, TexID(kTexNena1));
  QTL_DrawObjectTexture(&ObjNena1, x, -10, -50, 0, float((double(t) - 7.14) * 4), 1.57f);
  LitClosing(true);
}

// Nena1 fades in over 8 s while two half-transparent copies slide in from 15
// units either side and vanish where they meet it, at t = 7.5 s. Each test
// reads the position afresh.
static void DrawNenaFadingIn(float t) {
  if (StreamPosition() < kMarkGalaxy) DrawBlendedNena(0, t / 8, true, t);
  if (StreamPosition() < kMarkGalaxy && 15 - 2 * t > 0) DrawBlendedNena(15 - 2 * t, 0.5f, false, t);  // from the right
  if (StreamPosition() < kMarkGalaxy && 2 * t - 15 < 0) DrawBlendedNena(2 * t - 15, 0.5f, false, t);  // from the left
}

// An opaque, lit, textured model, back faces culled; the colour is the white
// the translucent backdrop left.
static void DrawLitModel(const QTL_3DObject* obj, int texture, float x, float y, float z, float rx, float ry,
                         float rz) {
  glPushMatrix();
  LitSetUp();
  glEnable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  DrawTexturedModel(obj, TexID(texture), x, y, z, rx, ry, rz);
  LitClosing(false);
}

// Nena2 rides the title path, one point every 13 ms.
static void DrawPathRide(int32_t a) {
  const SPL_TPoint& p = PathPoint(a, kRideStart, kRideStep);
  DrawLitModel(&ObjNena2, kTexNena1, p.x, p.y - 10, p.z - 50, 0, 0, 1.57f);
}

// Tio1 rides the same path mirrored in x and 6 units to the left, one point
// every 11 ms.
static void DrawMirroredRide(int32_t a) {
  const SPL_TPoint& p = PathPoint(a, kTioStart, kTioStep);
  DrawLitModel(&ObjTio1, kTexTio1, -p.x - 6, p.y - 10, p.z - 50, 0, 0, 1.57f);
}

// Tio1 and Nena2 side by side come one model unit nearer every 40 ms.
static void DrawPairComingCloser(int32_t a) {
  const float z = float((int64_t(a) - kPairStart) / kPairStep) - 50;
  DrawLitModel(&ObjTio1, kTexTio1, -36.9f, -16.5f, z, 0, 0, 1.57f);
  DrawLitModel(&ObjNena2, kTexNena1, 36.9f, -11.5f, z, 0, 0, 1.57f);
}

// The two faces, turned toward each other, slide inward one unit per second
// from x = 6.5 and -6.5 and meet.
static void DrawFacesMeeting(int32_t a) {
  const float u = float(double(int64_t(a) - kFacesStart) * 0.001);
  DrawLitModel(&ObjCaraTio1, kTexCaratio1, 6.5f - u, 0, -11, 0, -90, 0);
  DrawLitModel(&ObjCaraTia1, kTexCaratia1, u - 6.5f, -0.5f, -11, 0, 90, 0);
}

static void DrawCaptions(int32_t a, float t) {
  for (const auto& c : kCaptions) {
    if (!(c.open || a >= c.from) || a >= c.until) continue;
    DrawTextAt(0, c.y, c.zBase - (t - c.tShift), c.text, c.opacityBase - 16 * t);
  }
}

void RenderTitleScene(int32_t a) {
  const float t = float(double(a) * 0.001);  // seconds

  DrawGalaxyBackdrop(TexID(StreamPosition() < kMarkGalaxy ? kTexNena1 : kTexGalaxy), t);
  if (StreamPosition() >= kMarkGalaxy) DrawTranslucentBackdrop(t);

  DrawNenaFadingIn(t);
  if (StreamPosition() > kMarkGalaxy && StreamPosition() < kMarkTio) DrawPathRide(a);
  if (StreamPosition() >= kMarkTio && StreamPosition() < kMarkPair) DrawMirroredRide(a);
  if (StreamPosition() >= kMarkPair && StreamPosition() < kMarkFaces) DrawPairComingCloser(a);
  if (StreamPosition() >= kMarkFaces) DrawFacesMeeting(a);

  DrawCaptions(a, t);

  for (const auto& flash : kFlashes)
    DrawFlashSince(flash.mark, flash.divisor, StreamPosition());
}
