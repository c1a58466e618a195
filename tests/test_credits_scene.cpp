// The credits scene: its loading failures, the camera along its path aimed
// at the origin, the borrowed Nena1 texture, the flashes, and the GL state it
// leaves before the closing lines.
#include "fx/credits.h"
#include "fx/title.h"
#include "platform/msgbox.h"
#include "tools/shared_kit/show_seam.h"
#include "render/overlay.h"
#include "tests/lookat_spy.h"
#include "tests/scene_frames.h"
#include "tests/support/show_data.h"

#include <GL/gl.h>

#include <filesystem>
#include <limits>

namespace {

constexpr uint32_t kCut = 9389696;         // the scene takes over
constexpr uint32_t kCutFlash = 9387760;    // started under the flight scene
constexpr uint32_t kBeatFlash = 10475858;
constexpr int kPixels = 640 * 480;

class CreditsScene : public HeadlessGL {
 protected:
  void SetUp() override {
    HeadlessGL::SetUp();
    WriteTinyShowData(dir_);
  }
  void TearDown() override {
    FreeCreditsScene();
    FreeTitleScene();
    SeamReleaseStreamPosition();
    HeadlessGL::TearDown();
  }
  bool LoadAfterTitle() { return LoadTitleScene() && LoadCreditsScene(); }

  static void Draw(uint32_t position, int32_t t) { DrawAfterAFlash(RenderCreditsScene, position, t); }

  static LookAtCall CameraAt(int32_t t) {
    LookAtSpyClear();
    Draw(11000000, t);
    EXPECT_EQ(LookAtSpyCalls().size(), 1u);
    return LookAtSpyCalls().empty() ? LookAtCall{} : LookAtSpyCalls()[0];
  }

  void Remove(const char* linuxName) { std::filesystem::remove(std::filesystem::path(dir_.Path()) / linuxName); }

  ScratchDir dir_;
};

bool SameEye(const LookAtCall& a, const LookAtCall& b) {
  return a.eye[0] == b.eye[0] && a.eye[1] == b.eye[1] && a.eye[2] == b.eye[2];
}

TEST_F(CreditsScene, MissingFirstModelShowsItsBoxAndStopsTheLoad) {
  Remove("Data/Greet1.3ds");
  Remove("Data/Bolah8.3ds");
  testing::internal::CaptureStdout();
  EXPECT_FALSE(LoadCreditsScene());
  const std::string out = testing::internal::GetCapturedStdout();
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].text, "Data\\Greet1.3ds not found!");
  EXPECT_EQ(MessageBoxLog()[0].caption, "Loading error");
  EXPECT_EQ(MessageBoxLog()[0].style, unsigned(MB_SYSTEMMODAL | MB_ICONERROR));
  EXPECT_EQ(out.find("Bolah8"), std::string::npos) << "the second model is not tried";
}

TEST_F(CreditsScene, MissingSecondModelShowsItsBoxAndLeavesTheTexturesUnread) {
  Remove("Data/Bolah8.3ds");
  EXPECT_FALSE(LoadCreditsScene());
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].text, "Data\\Bolah8.3ds not found!");
  EXPECT_EQ(MessageBoxLog()[0].caption, "Loading error");
  GLint bound = -1;  // a loaded texture would be left bound
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, 0);
}

TEST_F(CreditsScene, RejectedTextureFailsWithoutABox) {
  std::vector<uint8_t> cut = MakeSolidTGA(8, 8, 1, 2, 3);
  cut.resize(18 + 10);  // the pixels end early
  dir_.Write("Data/visual.tga", cut);
  EXPECT_FALSE(LoadCreditsScene());
  EXPECT_TRUE(MessageBoxLog().empty());
}

TEST(CreditsSceneUnloaded, FreeIsSafe) {
  FreeCreditsScene();
  FreeCreditsScene();
}

TEST_F(CreditsScene, CameraFliesItsPathAimedAtTheOrigin) {
  ASSERT_TRUE(LoadAfterTitle());
  const LookAtCall first = CameraAt(0);
  EXPECT_NEAR(first.eye[0], -0.3333, 1e-3);
  EXPECT_NEAR(first.eye[1], 5.6667, 1e-3);
  EXPECT_NEAR(first.eye[2], 1.0, 1e-3);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(first.centre[k], 0.0);
  EXPECT_EQ(first.up[0], 0.0);
  EXPECT_EQ(first.up[1], 1.0);
  EXPECT_EQ(first.up[2], 0.0);
  for (int32_t t : {12, -1, -13, -100000, std::numeric_limits<int32_t>::min()})
    EXPECT_TRUE(SameEye(CameraAt(t), first)) << "t = " << t;
  EXPECT_FALSE(SameEye(CameraAt(13), first));

  // 1928 points: the last, 1927, is reached at t = 25051, just before the
  // scene ends, and held from there.
  const LookAtCall last = CameraAt(25051);
  EXPECT_NEAR(last.eye[0], 3.333, 0.05);
  EXPECT_NEAR(last.eye[1], 1.0, 0.05);
  EXPECT_NEAR(last.eye[2], 0.75, 0.05);
  for (int32_t t : {25063, 25064, 30000, std::numeric_limits<int32_t>::max()})
    EXPECT_TRUE(SameEye(CameraAt(t), last)) << "t = " << t;
  EXPECT_FALSE(SameEye(CameraAt(25050), last));
}

TEST_F(CreditsScene, FlashesCoverTheCutAndTheBeat) {
  ASSERT_TRUE(LoadAfterTitle());
  // The first frame is 24 steps into the cut's fade: 97.6 % white.
  Draw(kCut, 459);
  EXPECT_EQ(Frame().CountBrighterThan(247), kPixels);
  EXPECT_EQ(Frame().CountBrighterThan(254), 0);
  Draw(kCutFlash, 437);
  EXPECT_EQ(Frame().CountBrighterThan(254), kPixels);
  Draw(kBeatFlash, 12774);
  EXPECT_EQ(Frame().CountBrighterThan(254), kPixels);

  // Faded at 10,555,858: the frame is the scene alone.
  Draw(kBeatFlash + 80000, 13000);
  const Frame faded;
  Draw(11500000, 13000);
  const Frame later;
  for (int y = 0; y < 480; y += 7)
    for (int x = 0; x < 640; x += 7) {
      ASSERT_EQ(faded.At(x, y).r, later.At(x, y).r);
      ASSERT_EQ(faded.At(x, y).b, later.At(x, y).b);
    }
}

TEST_F(CreditsScene, OuterShellWearsTheTitleScenesNena1Texture) {
  ASSERT_TRUE(LoadAfterTitle());
  Draw(11000000, 15000);
  const Frame frame;
  const Rgb nena = ShowDataColour("Data\\Nena1.tga");
  int shell = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      const Rgb p = frame.At(x, y);
      if (p.r == nena.r && p.g == nena.g && p.b == nena.b) ++shell;
    }
  EXPECT_GT(shell, 1000) << "unlit and opaque: the texture in its own colour";
}

TEST_F(CreditsScene, LeavesTexturingBlendingAndLightingOff) {
  ASSERT_TRUE(LoadAfterTitle());
  for (uint32_t position : {kCut, 10000000u, 11575423u}) {
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    ExpectRenderLeavesStateClean(RenderCreditsScene, position, 20000);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  }
}

}  // namespace
