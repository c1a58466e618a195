// The flight scene: its loading failures, the phase switch by stream
// position, the camera along its path, the flashes, and the GL state it
// leaves in either phase.
#include "fx/flight.h"
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

constexpr uint32_t kStart = 8364624;
constexpr uint32_t kPhaseB = 8875600;
constexpr int kPixels = 640 * 480;

class FlightScene : public HeadlessGL {
 protected:
  void SetUp() override {
    HeadlessGL::SetUp();
    WriteTinyShowData(dir_);
  }
  void TearDown() override {
    FreeFlightScene();
    SeamReleaseStreamPosition();
    HeadlessGL::TearDown();
  }

  static void Draw(uint32_t position, int32_t t) { DrawAfterAFlash(RenderFlightScene, position, t); }

  // The eye of the one camera set in a phase-B frame at scene time t.
  static LookAtCall CameraAt(int32_t t) {
    LookAtSpyClear();
    Draw(9000000, t);
    EXPECT_EQ(LookAtSpyCalls().size(), 1u);
    return LookAtSpyCalls().empty() ? LookAtCall{} : LookAtSpyCalls()[0];
  }

  ScratchDir dir_;
};

bool SameEye(const LookAtCall& a, const LookAtCall& b) {
  return a.eye[0] == b.eye[0] && a.eye[1] == b.eye[1] && a.eye[2] == b.eye[2];
}

TEST_F(FlightScene, MissingModelShowsItsBoxAndLeavesTheTextureUnread) {
  std::filesystem::remove(std::filesystem::path(dir_.Path()) / "Data/Fly.3ds");
  EXPECT_FALSE(LoadFlightScene());
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].text, "Data\\Fly.3ds not found!");
  EXPECT_EQ(MessageBoxLog()[0].caption, "Loading error");
  EXPECT_EQ(MessageBoxLog()[0].style, unsigned(MB_SYSTEMMODAL | MB_ICONERROR));
  GLint bound = -1;  // a loaded texture would be left bound
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, 0);
}

TEST_F(FlightScene, RejectedTextureFailsWithoutABox) {
  dir_.Write("Data/Fly.tga", MakeTGA(8, 8, 16, std::vector<uint8_t>(128, 0)));  // 16 bits: not for us
  EXPECT_FALSE(LoadFlightScene());
  EXPECT_TRUE(MessageBoxLog().empty());
}

TEST(FlightSceneUnloaded, FreeIsSafe) {
  FreeFlightScene();
  FreeFlightScene();
}

TEST_F(FlightScene, PhaseSwitchesAtItsMark) {
  ASSERT_TRUE(LoadFlightScene());
  LookAtSpyClear();
  Draw(kPhaseB - 1, 6000);
  EXPECT_TRUE(LookAtSpyCalls().empty()) << "phase A keeps the timeline's eye";
  Draw(kPhaseB, 6000);
  ASSERT_EQ(LookAtSpyCalls().size(), 1u);
  EXPECT_EQ(LookAtSpyCalls()[0].centre[0], -0.5);
  EXPECT_EQ(LookAtSpyCalls()[0].centre[2], -1.5);
  EXPECT_EQ(LookAtSpyCalls()[0].up[1], 1.0);
}

TEST_F(FlightScene, PhaseAShowsTheModelBelowTheCentreInItsOwnColour) {
  ASSERT_TRUE(LoadFlightScene());
  Draw(kPhaseB - 1, 1000);  // the opening flash long gone
  const Frame frame;
  const Rgb fly = ShowDataColour("Data\\Fly.tga");
  // A1 stands at (0, -1, -4), opaque and unlit: the texture as it is.
  const Rgb below = frame.At(320, 384);
  EXPECT_EQ(below.r, fly.r);
  EXPECT_EQ(below.g, fly.g);
  EXPECT_EQ(below.b, fly.b);
  EXPECT_EQ(frame.At(10, 10).r, 0);
}

TEST_F(FlightScene, CameraHoldsTheFirstPointUntilItsPathStarts) {
  ASSERT_TRUE(LoadFlightScene());
  const LookAtCall first = CameraAt(5610);
  EXPECT_NEAR(first.eye[0], 3.0, 1e-3);
  EXPECT_NEAR(first.eye[1], 4.3333, 1e-3);
  EXPECT_NEAR(first.eye[2], 6.3333, 1e-3);
  for (int32_t t : {5600, 0, -1, -100000, std::numeric_limits<int32_t>::min()})
    EXPECT_TRUE(SameEye(CameraAt(t), first)) << "t = " << t;
  EXPECT_FALSE(SameEye(CameraAt(5611), first));
}

TEST_F(FlightScene, CameraRestsOnTheLastOfItsPoints) {
  ASSERT_TRUE(LoadFlightScene());
  // 588 points: the last, 587, is reached at t = 12057 and held from there.
  const LookAtCall last = CameraAt(12057);
  EXPECT_NEAR(last.eye[0], -0.333, 0.05);
  EXPECT_NEAR(last.eye[1], 1.333, 0.05);
  EXPECT_NEAR(last.eye[2], 0.667, 0.05);
  for (int32_t t : {12067, 12068, 20000, std::numeric_limits<int32_t>::max()})
    EXPECT_TRUE(SameEye(CameraAt(t), last)) << "t = " << t;
  EXPECT_FALSE(SameEye(CameraAt(12056), last));
}

TEST_F(FlightScene, FlashesAtTheStartTheSwitchAndTheBeats) {
  ASSERT_TRUE(LoadFlightScene());
  for (uint32_t mark : {kStart, kPhaseB, 9233408u, 9260864u, 9293488u, 9323624u, 9352320u}) {
    Draw(mark, 8000);
    EXPECT_EQ(Frame().CountBrighterThan(254), kPixels) << "at " << mark;
  }
  // Half way through the switch's 50,000-byte fade, over the black sky.
  Draw(kPhaseB + 25000, 8000);
  EXPECT_NEAR(Frame().At(0, 0).r, 128, 2);
  // Just before the fourth beat the third still shows about 45 % white.
  Draw(9260863, 10000);
  EXPECT_NEAR(Frame().At(0, 0).r, 115, 3);
}

TEST_F(FlightScene, EitherPhaseLeavesTexturingBlendingAndCullingOff) {
  ASSERT_TRUE(LoadFlightScene());
  for (uint32_t position : {kStart + 500, kPhaseB - 1, kPhaseB, 9389695u}) {
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    ExpectRenderLeavesStateClean(RenderFlightScene, position, 6000);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  }
}

}  // namespace
