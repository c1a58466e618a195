// The hand scene: one textured hand turning before the title scene's galaxy
// backdrop, which now spins ten times faster. At fixed stream positions the
// hand jumps between four poses, each jump under a white flash.
//
// Depends on: fx/title (the galaxy backdrop, the Nena1, Galaxy and Tio1
// textures and the ambient light, borrowed: the title scene loads first),
// fx/scene_kit, models/mesh, render/tga, render/overlay, app/soundtrack (the
// stream position, read afresh at every test, never kept).
#include "fx/hand.h"

#include "app/soundtrack.h"
#include "fx/scene_kit.h"
#include "fx/title.h"
#include "models/mesh.h"
#include "render/overlay.h"
#include "render/tga.h"
#include "show/score.h"

#include <GL/gl.h>

#include <cstdint>

// ---------------------------------------------------------------------------
// Marks (stream bytes)
// ---------------------------------------------------------------------------
static const uint32_t kSceneStart = kHandStart;  // 60.8 s: the timeline enters the scene here
static const uint32_t kBackdropGalaxy = 5554176; // 63.0 s: the backdrop changes texture
static const uint32_t kOpenEnd = 0xFFFFFFFFu;    // no end of its own: lasts while the scene does

// Pose windows, start included, end excluded; pose 0 everywhere else.
static const struct {
  uint32_t from, until;
  int pose;
} kPoses[] = {
    {kHandPose1, kHandPose2, 1},           {kHandPose2, kHandPose3, 2},           {kHandPose3, kHandPose0, 3},
    {kHandPose1Again, kHandPose2Again, 1}, {kHandPose2Again, kHandPose3Again, 2}, {kHandPose3Again, kHandPose0Again, 3},
};

// Flashes, each drawn while from <= p < until, fading over 1000 x divisor
// bytes. One opens the scene, one marks each pose change, the last stands alone.
static const struct {
  uint32_t from, until, divisor;
} kFlashes[] = {
    {kSceneStart, kOpenEnd, 150},           {kHandPose1, kHandPose2, 100},
    {kHandPose2, kHandPose3, 100},          {kHandPose3, kHandPose0, 100},
    {kHandPose0, 13409250, 100},            {kHandPose1Again, kHandPose2Again, 60},
    {kHandPose2Again, kHandPose3Again, 60}, {kHandPose3Again, kHandPose0Again, 60},
    {kHandPose0Again, 6137856, 60},         {kHandFlash, 5897360, 60},
};

// Where the hand stands in each pose (half-scale frame); rotation about y is
// (t - 10) x 4 degrees in poses 0 to 2, and pose 3 tumbles about all axes.
static const struct {
  float y, rotZ;
} kPoseFrames[3] = {{-10, 50}, {-2, 150}, {2, 250}};

// ---------------------------------------------------------------------------
// Scene-owned records
// ---------------------------------------------------------------------------
static QTL_3DObject ObjMano1;
static TextureImage ManoTXT;  // "Data\pincho1.tga": loaded, never bound

static struct {
  bool manoLoaded = false;  // a load of ManoTXT has succeeded: never read it again
  bool manoReported = false;  // a load has been tried, and a failure named on stderr
} Hand;

// ---------------------------------------------------------------------------
// Load and free
// ---------------------------------------------------------------------------
bool LoadHandScene() { return LoadSceneModel("Data\\Mano1.3ds", &ObjMano1); }

void FreeHandScene() { FreeTexturePixels(&ManoTXT); }

// ---------------------------------------------------------------------------
// Render
// ---------------------------------------------------------------------------
static int PoseNow() {
  int pose = 0;
  for (const auto& w : kPoses)
    if (StreamPosition() >= w.from && StreamPosition() < w.until) pose = w.pose;
  return pose;
}

void RenderHandScene(int32_t a) {
  // Read in the first frame rather than at start-up, and again each frame
  // until it succeeds; a missing file changes nothing on screen.
  // A failure is named on stderr once, not every frame.
  if (!Hand.manoLoaded) {
    Hand.manoLoaded = Hand.manoReported ? LoadTGA(&ManoTXT, "Data\\pincho1.tga")
                                        : LoadSceneTexture(&ManoTXT, "Data\\pincho1.tga");
    Hand.manoReported = true;
  }

  const float t = float(double(a) * 0.01);  // one unit: 10 ms
  const int pose = PoseNow();

  // The hand. Culling and blending are off here: the frame before left them so.
  glPushMatrix();
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_LIGHTING);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, Letras_AmbientLight);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  glScalef(0.5f, 0.5f, 0.5f);
  glBindTexture(GL_TEXTURE_2D, TitleTextureID(TitleTexture::Tio1));
  if (pose == 3)
    QTL_DrawObjectTexture(&ObjMano1, 0, -10, -70, 4 * t, 4 * t, 4 * t);
  else
    QTL_DrawObjectTexture(&ObjMano1, 0, kPoseFrames[pose].y, -70, 0, (t - 10) * 4, kPoseFrames[pose].rotZ);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glPopMatrix();

  // The title scene's backdrop, full size, turning ten times faster.
  DrawGalaxyBackdrop(TitleTextureID(StreamPosition() < kBackdropGalaxy ? TitleTexture::Nena1 : TitleTexture::Galaxy),
                     t);

  for (const auto& flash : kFlashes)
    if (StreamPosition() >= flash.from && StreamPosition() < flash.until)
      DrawOverlayQuad((StreamPosition() - flash.from) / flash.divisor);
}
