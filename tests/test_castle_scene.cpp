// The castle scene: its loading failures, the camera and spot light along the
// path, the fog passage and the flashes by stream position, and the GL state
// it leaves for the next frame.
#include "fx/castle.h"
#include "fx/title.h"
#include "paths/spline.h"
#include "platform/msgbox.h"
#include "tools/shared_kit/show_seam.h"
#include "render/overlay.h"
#include "tests/lookat_spy.h"
#include "tests/scene_frames.h"
#include "tests/support/show_data.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>

namespace {

constexpr uint32_t kStart = 6338104;       // flash 1
constexpr uint32_t kFogLifts = 6850048;    // flash 2
constexpr uint32_t kFogReturns = 7364640;  // flash 3
constexpr int kPixels = 640 * 480;

class CastleScene : public HeadlessGL {
 protected:
  void SetUp() override {
    HeadlessGL::SetUp();
    WriteTinyShowData(dir_);
  }
  void TearDown() override {
    FreeCastleScene();
    FreeTitleScene();
    SeamReleaseStreamPosition();
    HeadlessGL::TearDown();
  }
  bool LoadAfterTitle() { return LoadTitleScene() && LoadCastleScene(); }

  static void Draw(uint32_t position, int32_t t) { DrawAfterAFlash(RenderCastleScene, position, t); }

  // Light 0's position: set under the identity, it is the camera's eye.
  static SPL_TPoint Light() {
    float p[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, p);
    return {p[0], p[1], p[2]};
  }
  static SPL_TPoint LightAt(int32_t t) {
    Draw(7000000, t);
    return Light();
  }

  void Remove(const char* linuxName) { std::filesystem::remove(std::filesystem::path(dir_.Path()) / linuxName); }

  ScratchDir dir_;
};

bool Same(const SPL_TPoint& a, const SPL_TPoint& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

TEST_F(CastleScene, MissingModelShowsItsBoxAndStopsTheLoad) {
  Remove("Data/Castle2.3ds");
  Remove("Data/Castle3.3ds");
  testing::internal::CaptureStdout();
  EXPECT_FALSE(LoadCastleScene());
  const std::string out = testing::internal::GetCapturedStdout();

  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].text, "Data\\Castle2.3ds not found!");
  EXPECT_EQ(MessageBoxLog()[0].caption, "Loading error");
  EXPECT_EQ(MessageBoxLog()[0].style, unsigned(MB_SYSTEMMODAL | MB_ICONERROR));
  // Neither the third model nor any texture was tried.
  EXPECT_NE(out.find("Castle2"), std::string::npos);
  EXPECT_EQ(out.find("Castle3"), std::string::npos);
  GLint bound = -1;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, 0);
}

TEST_F(CastleScene, RejectedTextureFailsWithoutABox) {
  dir_.Write("Data/cloud1.tga", {0, 0, 10, 0});  // not an uncompressed TGA
  EXPECT_FALSE(LoadCastleScene());
  EXPECT_TRUE(MessageBoxLog().empty());
  FreeCastleScene();  // the two textures before it hold pixels; twice is harmless
}

TEST(CastleSceneUnloaded, FreeIsSafe) {
  FreeCastleScene();
  FreeCastleScene();
}

TEST_F(CastleScene, CameraHoldsTheFirstPointBeforeItsThirteenthMillisecond) {
  ASSERT_TRUE(LoadAfterTitle());
  const SPL_TPoint first = LightAt(0);
  // Point 0 is (P0 + 4 P1 + P2) / 3 of the control points.
  EXPECT_NEAR(first.x, 0.6667, 1e-3);
  EXPECT_NEAR(first.y, 2.0667, 1e-3);
  EXPECT_NEAR(first.z, -1.6667, 1e-3);
  for (int32_t t : {12, -1, -12, -13, -100000, std::numeric_limits<int32_t>::min()})
    EXPECT_TRUE(Same(LightAt(t), first)) << "t = " << t;
  EXPECT_FALSE(Same(LightAt(13), first));
}

TEST_F(CastleScene, CameraRestsOnTheLastOfItsPoints) {
  ASSERT_TRUE(LoadAfterTitle());
  // 2340 points: the last, 2339, is reached at t = 30407 and held from there.
  const SPL_TPoint last = LightAt(30407);
  EXPECT_NEAR(last.x, 5.333, 0.05);
  EXPECT_NEAR(last.y, 2.333, 0.05);
  EXPECT_NEAR(last.z, -5.0, 0.05);
  for (int32_t t : {30419, 30420, 40000, std::numeric_limits<int32_t>::max()})
    EXPECT_TRUE(Same(LightAt(t), last)) << "t = " << t;
  EXPECT_FALSE(Same(LightAt(30406), last));
}

// Light 0 goes in under the identity: it sits at the eye's own offset, so the
// spot rides with the camera.
TEST_F(CastleScene, SpotLightRidesWithTheEye) {
  ASSERT_TRUE(LoadAfterTitle());
  for (int32_t t : {600, 10000, 23000}) {
    LookAtSpyClear();
    Draw(7000000, t);
    ASSERT_EQ(LookAtSpyCalls().size(), 1u);
    const LookAtCall& c = LookAtSpyCalls()[0];
    const SPL_TPoint light = Light();
    EXPECT_EQ(c.eye[0], double(light.x));
    EXPECT_EQ(c.eye[1], double(light.y));
    EXPECT_EQ(c.eye[2], double(light.z));
  }
}

TEST_F(CastleScene, FlashesTurnTheFrameWhiteAtTheirMarks) {
  ASSERT_TRUE(LoadAfterTitle());
  for (uint32_t mark : {kStart, kFogLifts, kFogReturns}) {
    Draw(mark, 5000);
    EXPECT_EQ(Frame().CountBrighterThan(254), kPixels) << "at " << mark;
  }
  // Flash 1 half way through its 200,000-byte fade, over the black sky.
  Draw(kStart + 100000, 5000);
  const Rgb sky = Frame().At(0, 0);
  EXPECT_NEAR(sky.r, 128, 2);
  EXPECT_NEAR(sky.g, 128, 2);
  EXPECT_NEAR(sky.b, 128, 2);
  // Gone at 6,538,104: the sky is black again.
  Draw(kStart + 200000, 5000);
  EXPECT_EQ(Frame().At(0, 0).r, 0);
}

// The fog switch, seen by which branch ran: a fresh density of 1 stays 1
// unless the scene sets its own.
TEST_F(CastleScene, FogLiftsForOnePassage) {
  ASSERT_TRUE(LoadAfterTitle());
  const struct {
    uint32_t position;
    bool fog;
  } cases[] = {{kStart, true},           {kFogLifts - 1, true},   {kFogLifts, false},
               {kFogReturns - 1, false}, {kFogReturns, true},     {8364623, true}};
  for (const auto& c : cases) {
    glFogf(GL_FOG_DENSITY, 1.0f);
    Draw(c.position, 8000);
    float density = 0;
    glGetFloatv(GL_FOG_DENSITY, &density);
    EXPECT_EQ(density, c.fog ? 0.21f : 1.0f) << "at " << c.position;
    EXPECT_FALSE(glIsEnabled(GL_FOG)) << "fog is switched off again before the flashes";
  }
}

TEST_F(CastleScene, FogDimsTheCastleTowardDarkGrey) {
  ASSERT_TRUE(LoadAfterTitle());
  const int32_t t = 8000;  // the same picture but for the fog; every flash faded
  Draw(kFogLifts - 1, t);
  const Frame fogged;
  Draw(kFogReturns - 1, t);
  const Frame clear;
  Draw(kFogReturns + 100000, t);
  const Frame foggedAgain;
  Draw(kFogLifts + 200000, t);
  const Frame clearAgain;

  int changed = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      const Rgb f = fogged.At(x, y), c = clear.At(x, y);
      ASSERT_EQ(f.r, foggedAgain.At(x, y).r);
      ASSERT_EQ(c.g, clearAgain.At(x, y).g);
      if (f.r == c.r && f.g == c.g && f.b == c.b) continue;
      ++changed;
      // Fogged = f c + (1 - f) 51, between the object's own colour and dark
      // grey; the translucent upper layer lays only half of that grey over
      // the black sky.
      const int own[3] = {c.r, c.g, c.b}, seen[3] = {f.r, f.g, f.b};
      for (int k = 0; k < 3; ++k) {
        EXPECT_GE(seen[k], std::min(own[k], 25) - 2);
        EXPECT_LE(seen[k], std::max(own[k], 51) + 2);
        if (own[k] > 100) {
          EXPECT_LT(seen[k], own[k]);
        }
      }
    }
  EXPECT_GT(changed, 200) << "the castle and clouds should be in view";
  EXPECT_EQ(fogged.At(0, 0).r, 0) << "fog colours objects only, not the cleared sky";
}

TEST_F(CastleScene, LeavesLightingTexturingAndFogOff) {
  ASSERT_TRUE(LoadAfterTitle());
  for (uint32_t position : {kStart, kFogLifts + 1000, 8000000u}) {
    glEnable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    ExpectRenderLeavesStateClean(RenderCastleScene, position, 9000);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1)) << "the start-up light is never switched off";
  }
}

}  // namespace
