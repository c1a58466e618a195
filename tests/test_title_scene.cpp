// The title scene: loading (its boxes and where it stops), the state each
// frame leaves, and frames checked by their pixels: the backdrop's texture
// switch, the flashes and their fades, the faces sliding in, the path ends and
// the captions receding.
#include "fx/title.h"

#include "tools/shared_kit/headless_gl.h"
#include "platform/msgbox.h"
#include "tests/scene_frames.h"

#include <cstdio>
#include <filesystem>

namespace {

const uint32_t kMarkGalaxy = 2777088;
const uint32_t kMarkTio = 3966944;
const uint32_t kMarkPair = 4852736;
const uint32_t kMarkFaces = 5112064;

using TitleScene = HeadlessGL;

// Loads the scene from tiny stand-in files, with a backdrop that encloses the
// viewer when `enclosingGalaxy`.
void LoadTinyTitle(const ScratchDir& dir, bool enclosingGalaxy) {
  WriteTinyShowData(dir);
  if (enclosingGalaxy) WriteEnclosingGalaxy(dir);
  ASSERT_TRUE(LoadTitleScene());
}

Rgb Corner() { return Frame().At(8, 8); }

// Mean place of the pixels near colour `c`; false when there are none.
bool Centroid(const Frame& f, Rgb c, double* x, double* y) {
  long sx = 0, sy = 0, n = 0;
  for (int py = 0; py < f.Height(); ++py)
    for (int px = 0; px < f.Width(); ++px) {
      const Rgb p = f.At(px, py);
      if (std::abs(p.r - c.r) < 6 && std::abs(p.g - c.g) < 6 && std::abs(p.b - c.b) < 6) sx += px, sy += py, ++n;
    }
  if (n) *x = double(sx) / double(n), *y = double(sy) / double(n);
  return n > 0;
}

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------

TEST_F(TitleScene, AMissingModelShowsItsBoxAndStopsTheLoad) {
  const struct {
    const char* file;
    const char* box;
  } models[] = {{"Data/Nena1.3DS", "Data\\Nena1.3ds not found!"},
                {"Data/Nena2.3DS", "Data\\Nena2.3ds not found!"},
                {"Data/Galaxy.3DS", "Data\\Galaxy.3ds not found!"},
                {"Data/Tio1.3DS", "Data\\Tio1.3ds not found!"},
                {"Data/CaraTio1.3DS", "Data\\CaraTio1.3ds not found!"},
                {"Data/CaraTia1.3DS", "Data\\CaraTia1.3ds not found!"}};
  for (const auto& model : models) {
    ScratchDir dir;
    WriteTinyShowData(dir);
    std::filesystem::remove(model.file);
    std::filesystem::remove("Data/CaraTia1.3DS");  // a later failure must not be reached
    MessageBoxStartRecording();
    EXPECT_FALSE(LoadTitleScene()) << model.file;
    ASSERT_EQ(MessageBoxLog().size(), 1u) << model.file;
    EXPECT_EQ(MessageBoxLog()[0].text, model.box);
    EXPECT_EQ(MessageBoxLog()[0].caption, "Loading error");
    EXPECT_EQ(MessageBoxLog()[0].style, unsigned(MB_SYSTEMMODAL | MB_ICONERROR));
    EXPECT_EQ(TitleTextureID(TitleTexture::Nena1), 0u) << "textures load only after every model";
  }
}

TEST_F(TitleScene, AMissingTextureFailsTheLoadSilently) {
  ScratchDir dir;
  WriteTinyShowData(dir);
  std::filesystem::remove("Data/Tio1.tga");
  EXPECT_FALSE(LoadTitleScene());
  EXPECT_TRUE(MessageBoxLog().empty());
  EXPECT_NE(TitleTextureID(TitleTexture::Galaxy), 0u);
  EXPECT_EQ(TitleTextureID(TitleTexture::Caratio1), 0u);
  FreeTitleScene();
}

TEST_F(TitleScene, LendsItsGalaxyAndTexturesOnceLoaded) {
  ScratchDir dir;
  LoadTinyTitle(dir, false);
  EXPECT_EQ(TitleGalaxyModel()->NumTriangles, 12);
  const TitleTexture all[] = {TitleTexture::Nena1, TitleTexture::Galaxy, TitleTexture::Tio1, TitleTexture::Caratio1,
                              TitleTexture::Caratia1};
  for (int i = 0; i < 5; ++i) {
    EXPECT_NE(TitleTextureID(all[i]), 0u);
    for (int j = 0; j < i; ++j) EXPECT_NE(TitleTextureID(all[i]), TitleTextureID(all[j]));
  }
  EXPECT_EQ(TitleTextureID(TitleTexture(7)), 0u);
  EXPECT_EQ(Letras_AmbientLight[0], 1.0f);
  EXPECT_EQ(Letras_AmbientLight[3], 1.0f);
  FreeTitleScene();
  FreeTitleScene();
}

// ---------------------------------------------------------------------------
// State left behind
// ---------------------------------------------------------------------------

// Any position, any scene time: the state checks hold whatever the files
// hold, so this runs without loading.
TEST_F(TitleScene, EveryPictureLeavesTexturingLightingCullingAndBlendingOff) {
  const uint32_t positions[] = {150500,       kMarkGalaxy - 1, kMarkGalaxy, kMarkGalaxy + 1, kMarkTio,
                                kMarkPair,    kMarkFaces,      5359743};
  const int32_t times[] = {-5000, 0, 7500, 30000, 43000, 55000, 58000, 2000000000};
  for (uint32_t p : positions)
    for (int32_t a : times) ExpectRenderLeavesStateClean(RenderTitleScene, p, a);
}

// ---------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------

TEST_F(TitleScene, BackdropWearsNena1UntilTheGalaxyMarkAndGalaxyFromThen) {
  ScratchDir dir;
  LoadTinyTitle(dir, true);
  const Rgb nena1 = ShowDataColour("Data\\Nena1.tga"), galaxy = ShowDataColour("Data\\Galaxy.tga");

  DrawSceneFrame(RenderTitleScene, kMarkGalaxy - 1, 30000);
  ExpectColourNear(Corner(), nena1, 2, "before the mark");

  DrawSceneFrame(RenderTitleScene, kMarkGalaxy, 30000);
  EXPECT_TRUE(AllWhite(Frame())) << "the change happens under a full flash";

  DrawSceneFrame(RenderTitleScene, kMarkGalaxy + 300000, 30000);  // the flash has faded
  ExpectColourNear(Corner(), galaxy, 2, "after the flash");
  FreeTitleScene();
}

TEST_F(TitleScene, EachFlashStartsWhiteAndFadesByItsDivisor) {
  ScratchDir dir;
  LoadTinyTitle(dir, true);
  const Rgb galaxy = ShowDataColour("Data\\Galaxy.tga");
  const struct {
    uint32_t mark, divisor;
  } flashes[] = {{kMarkGalaxy, 300}, {kMarkTio, 300}, {kMarkPair, 200}, {kMarkFaces, 200}};
  for (const auto& f : flashes) {
    const std::string where = "flash at " + std::to_string(f.mark);
    DrawSceneFrame(RenderTitleScene, f.mark - 1, 0);
    EXPECT_FALSE(AllWhite(Frame())) << where;
    DrawSceneFrame(RenderTitleScene, f.mark, 0);
    EXPECT_TRUE(AllWhite(Frame())) << where;
    DrawSceneFrame(RenderTitleScene, f.mark + 500 * f.divisor, 0);  // half way
    ExpectColourNear(Corner(), UnderFlash(galaxy, 0.5), 3, where);
    DrawSceneFrame(RenderTitleScene, f.mark + 1000 * f.divisor, 0);
    ExpectColourNear(Corner(), galaxy, 2, where);
  }
  FreeTitleScene();
}

// The faces start 6.5 units out on either side and slide inwards at one unit
// per second (half that on screen, in the half-scale frame), crossing after
// 6.5 s.
TEST_F(TitleScene, FacesSlideInFromEitherSideAndCross) {
  ScratchDir dir;
  LoadTinyTitle(dir, false);
  const Rgb tio = ShowDataColour("Data\\caratio1.tga"), tia = ShowDataColour("Data\\caratia1.tga");
  const uint32_t p = kMarkFaces + 200000;  // every flash has faded
  double tioX = 0, tiaX = 0, tioY = 0, tiaY = 0;

  DrawSceneFrame(RenderTitleScene, p, 57400 + 3000);
  Frame early;
  ASSERT_TRUE(Centroid(early, tio, &tioX, &tioY));
  ASSERT_TRUE(Centroid(early, tia, &tiaX, &tiaY));
  EXPECT_GT(tioX, 420);
  EXPECT_LT(tiaX, 220);
  EXPECT_GT(tiaY, tioY) << "the second face sits half a unit lower";

  DrawSceneFrame(RenderTitleScene, p, 57400 + 10000);
  Frame late;
  ASSERT_TRUE(Centroid(late, tio, &tioX, &tioY));
  ASSERT_TRUE(Centroid(late, tia, &tiaX, &tiaY));
  EXPECT_LT(tioX, 220);
  EXPECT_GT(tiaX, 420);
  FreeTitleScene();
}

std::vector<unsigned char> Pixels() { return HeadlessGLReadRGB(); }

// The ride along the path: one point every 13 ms from 29.7 s, held at the
// first point before and at the last point after.
TEST_F(TitleScene, ThePathRideHoldsAtBothEndsOfThePath) {
  ScratchDir dir;
  LoadTinyTitle(dir, false);
  const uint32_t p = kMarkGalaxy + 300000;  // the ride, its flash faded

  DrawSceneFrame(RenderTitleScene, p, 29700);
  const auto first = Pixels();
  double x, y;
  ASSERT_TRUE(Centroid(Frame(), ShowDataColour("Data\\Nena1.tga"), &x, &y)) << "the model is on screen";
  DrawSceneFrame(RenderTitleScene, p, -2000000000);
  EXPECT_EQ(Pixels(), first);
  DrawSceneFrame(RenderTitleScene, p, 29700 + 13 * 40);
  EXPECT_NE(Pixels(), first) << "40 points on, the model has moved";

  DrawSceneFrame(RenderTitleScene, p, 29700 + 13 * 1059);  // the last of 1060 points
  const auto last = Pixels();
  DrawSceneFrame(RenderTitleScene, p, 2000000000);
  EXPECT_EQ(Pixels(), last);
  FreeTitleScene();
}

// "A new concept" stands 6 units away at full opacity when the scene starts,
// then recedes one unit and fades 16 % per second; it is drawn before the
// scene's zero too.
TEST_F(TitleScene, TheFirstCaptionRecedesAndFades) {
  ASSERT_NE(BuildFont(), 0) << "no outline font";
  int left, right, top, bottom, top0, bottom0;  // bright bounds, pixels
  DrawSceneFrame(RenderTitleScene, 150500, 0);  // wider than the screen: compare heights
  ASSERT_TRUE(Frame().BrightBounds(200, &left, &right, &top0, &bottom0));

  DrawSceneFrame(RenderTitleScene, 150500, 2000);  // 8 units away, 68 %
  Frame later;
  EXPECT_EQ(later.CountBrighterThan(200), 0) << "faded below 200 / 255";
  ASSERT_TRUE(later.BrightBounds(120, &left, &right, &top, &bottom));
  EXPECT_LT(bottom - top, bottom0 - top0);
  EXPECT_NEAR((left + right) / 2.0, 320, 12) << "centred";

  DrawSceneFrame(RenderTitleScene, 150500, -1000);  // before the scene's zero: 5 units away, opaque
  EXPECT_GT(Frame().CountBrighterThan(250), 1000);

  DrawSceneFrame(RenderTitleScene, 150500, 4000);  // 36 %, and the second caption not yet up
  EXPECT_EQ(Frame().CountBrighterThan(100), 0);
  EXPECT_GT(Frame().CountBrighterThan(60), 0);
}

}  // namespace
