// The white flash: full coverage at the start, the linear fade, the end of
// the fade, and flashes compounding.
#include "render/overlay.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>

#include <cstdint>

class Overlay : public HeadlessGL {
 protected:
  // A frame of one colour, drawn as a scene would (a quad at depth, not a clear).
  static void DrawBackdrop(float r, float g, float b) {
    glDisable(GL_TEXTURE_2D);
    glColor3f(r, g, b);
    glBegin(GL_QUADS);
    glVertex3f(-100.0f, -100.0f, -50.0f);
    glVertex3f(100.0f, -100.0f, -50.0f);
    glVertex3f(100.0f, 100.0f, -50.0f);
    glVertex3f(-100.0f, 100.0f, -50.0f);
    glEnd();
  }

  // Every corner and the middle of the frame hold (r, g, b) within 1.
  static void ExpectEverywhere(const Frame& frame, int r, int g, int b, const char* what) {
    const int w = frame.Width() - 1, h = frame.Height() - 1;
    for (const auto& at : {std::pair{0, 0}, {w, 0}, {0, h}, {w, h}, {w / 2, h / 2}}) {
      const Rgb p = frame.At(at.first, at.second);
      EXPECT_NEAR(p.r, r, 1) << what << " at " << at.first << "," << at.second;
      EXPECT_NEAR(p.g, g, 1) << what << " at " << at.first << "," << at.second;
      EXPECT_NEAR(p.b, b, 1) << what << " at " << at.first << "," << at.second;
    }
  }
};

TEST_F(Overlay, StartsOpaqueWhiteOverTheWholeFrame) {
  DrawBackdrop(0.2f, 0.4f, 0.6f);
  EXPECT_EQ(DrawOverlayQuad(0), 0);
  const Frame frame;
  ExpectEverywhere(frame, 255, 255, 255, "k = 0");
  EXPECT_EQ(frame.CountBrighterThan(254), frame.Width() * frame.Height());
}

TEST_F(Overlay, HalfwayBlendsHalfWhite) {
  DrawBackdrop(0.0f, 0.4f, 1.0f);  // 0, 102, 255
  DrawOverlayQuad(500);
  ExpectEverywhere(Frame(), 128, 179, 255, "k = 500");
}

TEST_F(Overlay, EndOfTheFadeChangesNothing) {
  for (uint32_t k : {1000u, 1001u, 5000u, 4294967295u}) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawBackdrop(0.2f, 0.4f, 0.6f);
    DrawOverlayQuad(k);
    ExpectEverywhere(Frame(), 51, 102, 153, "k >= 1000");
  }
}

TEST_F(Overlay, TwoFlashesCompound) {
  DrawOverlayQuad(500);
  DrawOverlayQuad(500);  // half of the remaining black turns white again
  ExpectEverywhere(Frame(), 191, 191, 191, "two halves");
}

TEST_F(Overlay, SpentFlashLeavesTheStateItsQuadWould) {
  // Skipped or drawn, a spent flash leaves the same colour (alpha unclamped:
  // lit drawing takes it as it is) and blending off; k = 999 is still drawn.
  for (uint32_t k : {999u, 1000u, 1500u}) {
    float leftBy[2][4];
    for (int skip = 0; skip < 2; ++skip) {
      OverlaySkipSpentFlashes(skip == 1);
      glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
      glEnable(GL_BLEND);
      DrawOverlayQuad(k);
      glGetFloatv(GL_CURRENT_COLOR, leftBy[skip]);
      EXPECT_FALSE(glIsEnabled(GL_BLEND)) << "k = " << k;
    }
    OverlaySkipSpentFlashes(true);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(leftBy[1][c], leftBy[0][c]) << "k = " << k << ", channel " << c;
    EXPECT_EQ(leftBy[1][3], 1.0f - float(k) * 0.001f) << "k = " << k;
  }
}
