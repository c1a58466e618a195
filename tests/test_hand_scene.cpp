// The hand scene: its box, the texture read in its first frame until it
// succeeds, the state each frame leaves, and frames checked by their pixels:
// the flashes, the poses and the backdrop's texture switch.
#include "fx/hand.h"
#include "fx/title.h"

#include "platform/msgbox.h"
#include "tests/scene_frames.h"

#include <filesystem>

namespace {

using HandScene = HeadlessGL;

void LoadTinyScenes(const ScratchDir& dir, bool enclosingGalaxy) {
  WriteTinyShowData(dir);
  if (enclosingGalaxy) WriteEnclosingGalaxy(dir);
  ASSERT_TRUE(LoadTitleScene());
  ASSERT_TRUE(LoadHandScene());
}

void FreeScenes() {
  FreeHandScene();
  FreeTitleScene();
}

// Mean row of the coloured (not grey) pixels: the hand, wearing the Tio1
// texture, under a white flash that greys everything else.
bool HandRow(double* row) {
  Frame f;
  long sum = 0, n = 0;
  for (int y = 0; y < f.Height(); ++y)
    for (int x = 0; x < f.Width(); ++x) {
      const Rgb p = f.At(x, y);
      if (std::max({p.r, p.g, p.b}) - std::min({p.r, p.g, p.b}) > 20) sum += y, ++n;
    }
  if (n) *row = double(sum) / double(n);
  return n > 0;
}

GLuint NextTextureName() {
  GLuint name = 0;
  glGenTextures(1, &name);
  return name;
}

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------

TEST_F(HandScene, AMissingHandModelShowsItsBox) {
  ScratchDir dir;
  EXPECT_FALSE(LoadHandScene());
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].text, "Data\\Mano1.3ds not found!");
  EXPECT_EQ(MessageBoxLog()[0].caption, "Loading error");
  EXPECT_EQ(MessageBoxLog()[0].style, unsigned(MB_SYSTEMMODAL | MB_ICONERROR));
  FreeHandScene();  // never loaded: still safe
}

TEST_F(HandScene, LoadsItsModelSilently) {
  ScratchDir dir;
  WriteTinyShowData(dir);
  EXPECT_TRUE(LoadHandScene());
  EXPECT_TRUE(MessageBoxLog().empty());
}

// "Data\pincho1.tga" is read by the first frame, and by every later frame
// until one read succeeds; then never again. Each successful read makes one
// texture name, so the names handed out tell how often it was read.
TEST_F(HandScene, ReadsItsTextureInFramesUntilOneReadSucceeds) {
  ScratchDir dir;
  LoadTinyScenes(dir, false);
  std::filesystem::remove("Data/pincho1.tga");

  GLuint before = NextTextureName();
  DrawSceneFrame(RenderHandScene, 5400000, 1000);  // two frames, the file missing
  GLuint after = NextTextureName();
  EXPECT_EQ(after, before + 1) << "nothing was made while the file is missing";
  EXPECT_TRUE(MessageBoxLog().empty());

  dir.Write("Data/pincho1.tga", MakeSolidTGA(8, 8, 9, 9, 9));
  before = NextTextureName();
  DrawSceneFrame(RenderHandScene, 5400000, 1000);  // two frames: the first reads it
  after = NextTextureName();
  EXPECT_EQ(after, before + 2) << "read exactly once";

  DrawSceneFrame(RenderHandScene, 5400000, 1000);
  EXPECT_EQ(NextTextureName(), after + 1) << "never read again";
  FreeScenes();
}

// ---------------------------------------------------------------------------
// State left behind
// ---------------------------------------------------------------------------

TEST_F(HandScene, EveryPoseLeavesTexturingLightingCullingAndBlendingOff) {
  const uint32_t positions[] = {5359744, 5484160, 5526144, 5554176, 5571712, 5599984,
                                5847360, 5969152, 6092288, 6338103};
  for (uint32_t p : positions)
    for (int32_t a : {-100000, 0, 560, 11000, 2000000000}) ExpectRenderLeavesStateClean(RenderHandScene, p, a);
}

// ---------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------

TEST_F(HandScene, FlashesOpenTheSceneAndMarkEveryPoseChange) {
  ScratchDir dir;
  LoadTinyScenes(dir, false);
  for (uint32_t mark : {5359744u, 5484160u, 5526144u, 5571712u, 5599984u, 5847360u, 5969152u, 6013952u, 6059264u,
                        6092288u}) {
    DrawSceneFrame(RenderHandScene, mark, 5000);
    EXPECT_TRUE(AllWhite(Frame())) << mark;
  }
  // The lone flash fades by 60: half way after 30,000 bytes, over black.
  DrawSceneFrame(RenderHandScene, 5847360 + 30000, 5000);
  ExpectColourNear(Frame().At(8, 8), {128, 128, 128}, 3, "lone flash half way");
  // From 5,599,984 its flash stays in the frame, faded out after 100,000 bytes.
  DrawSceneFrame(RenderHandScene, 5599984 + 100000, 5000);
  ExpectColourNear(Frame().At(8, 8), {0, 0, 0}, 2, "faded");
  FreeScenes();
}

// The hand stands low in poses 0 and 3, higher in pose 1 and higher still in
// pose 2. Each frame is taken late in its pose, when the flash has mostly
// faded (pose 0 after every flash).
TEST_F(HandScene, PosesPlaceTheHandByStreamPosition) {
  ScratchDir dir;
  LoadTinyScenes(dir, false);
  double pose0 = 0, pose1 = 0, pose2 = 0, pose3 = 0;
  DrawSceneFrame(RenderHandScene, 6137856, 8000);
  ASSERT_TRUE(HandRow(&pose0));
  DrawSceneFrame(RenderHandScene, 6013951, 8000);
  ASSERT_TRUE(HandRow(&pose1));
  DrawSceneFrame(RenderHandScene, 6059263, 8000);
  ASSERT_TRUE(HandRow(&pose2));
  DrawSceneFrame(RenderHandScene, 6092287, 8000);
  ASSERT_TRUE(HandRow(&pose3));

  // Half-scale y of -10, -2 and 2 at 35 units: about 82, 16 and -16 pixels.
  EXPECT_NEAR(pose0, 240 + 82, 10);
  EXPECT_NEAR(pose1, 240 + 16, 10);
  EXPECT_NEAR(pose2, 240 - 16, 10);
  EXPECT_NEAR(pose3, 240 + 82, 10);
  FreeScenes();
}

TEST_F(HandScene, BackdropTurnsToTheGalaxyTextureUnderThePose2Flash) {
  ScratchDir dir;
  LoadTinyScenes(dir, true);
  // Both frames lie 28,031 and 28,032 bytes into the pose-2 flash (divisor
  // 100): 280 steps, white at 72 %.
  DrawSceneFrame(RenderHandScene, 5554175, 5000);
  ExpectColourNear(Frame().At(8, 8), UnderFlash(ShowDataColour("Data\\Nena1.tga"), 0.72), 3, "before");
  DrawSceneFrame(RenderHandScene, 5554176, 5000);
  ExpectColourNear(Frame().At(8, 8), UnderFlash(ShowDataColour("Data\\Galaxy.tga"), 0.72), 3, "after");
  FreeScenes();
}

}  // namespace
