// The whole show with the default data: every phase holds a picture, and the
// title's figures and faces stand where the eye expects them.
#include "tests/support/gl_test.h"

#include "render/text.h"
#include "show/timeline.h"
#include "tools/shared_kit/show_seam.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

static const std::string kBuildDir = TRAILER_BUILD_DIR;

// The whole show with the default data: a frame from every phase holds a
// picture, neither black nor one flat colour.
class DefaultDataShow : public HeadlessGL {
 protected:
  void SetUp() override {
    HeadlessGL::SetUp();
    fs::current_path(kBuildDir);
    BuildFont();
    ASSERT_TRUE(ShowLoadAll(nullptr));
  }
  void TearDown() override {
    ShowFreeAll();
    SeamReleaseStreamPosition();
    SeamReleaseCounter();
    HeadlessGL::TearDown();
  }
  // Drawn twice, as the show would, so that the colour the previous frame
  // leaves behind is in place.
  Frame At(uint32_t position) {
    for (int pass = 0; pass < 2; ++pass) {
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      SeamPinMoment(position, double(position) / 88.2);
      ShowFrame();
    }
    return Frame();
  }
};

TEST_F(DefaultDataShow, EveryPhaseShowsAPicture) {
  const uint32_t moments[] = {1000000, 3200000, 4300000, 4940000, 5250000, 5800000, 6012000, 6058000,
                              6091000, 6700000, 7200000, 8600000, 9100000, 9700000, 10300000};
  for (uint32_t p : moments) {
    SCOPED_TRACE(p);
    const Frame f = At(p);
    int lit = 0, differing = 0;
    const Rgb first = f.At(0, 0);
    for (int y = 0; y < f.Height(); y += 4)
      for (int x = 0; x < f.Width(); x += 4) {
        const Rgb c = f.At(x, y);
        if (c.r + c.g + c.b > 60) ++lit;
        if (std::abs(c.r - first.r) + std::abs(c.g - first.g) + std::abs(c.b - first.b) > 30) ++differing;
      }
    const int samples = (f.Width() / 4) * (f.Height() / 4);
    EXPECT_GT(lit, samples / 40);
    EXPECT_GT(differing, samples / 40);
  }
}

// Title F: the two figures walk in at the left and right edges; title G: the
// two faces fill the left and right of the picture. Each side must hold
// something brighter than the night behind it.
TEST_F(DefaultDataShow, FiguresAndFacesOfTheTitleEndAreInView) {
  for (uint32_t p : {4940000u, 5250000u}) {
    SCOPED_TRACE(p);
    const Frame f = At(p);
    for (int side = 0; side < 2; ++side) {
      int bright = 0;
      for (int y = 0; y < f.Height(); y += 2)
        for (int x = side * f.Width() * 3 / 4; x < (side * 3 + 1) * f.Width() / 4; x += 2) {
          const Rgb c = f.At(x, y);
          if (c.r > 120 && c.r > c.b) ++bright;  // skin, not stars or the bluish galaxy
        }
      EXPECT_GT(bright, 100) << (side ? "right" : "left");
    }
  }
}
