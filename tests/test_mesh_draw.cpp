// QTL_DrawObjectTexture, headless: where a model lands for a given
// translation and rotation, the matrix it leaves, and what it sends.
#include "models/mesh.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

class MeshDraw : public HeadlessGL {
 protected:
  void SetUp() override {
    HeadlessGL::SetUp();
    // Plain opaque white: the baseline's half-transparent colour and its
    // texturing would only dim what is drawn.
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glColor3f(1, 1, 1);
  }

  // One triangle with the given corners (u, v all (0, 0) unless set).
  void OneTriangle(const TVertex& a, const TVertex& b, const TVertex& c) {
    obj_->NumTriangles = 1;
    obj_->Triangle[0] = {3, {a, b, c}};
  }

  std::unique_ptr<QTL_3DObject> obj_ = std::make_unique<QTL_3DObject>();
};

static void ModelView(float m[16]) { glGetFloatv(GL_MODELVIEW_MATRIX, m); }

// Centre of what was drawn, in pixels (y = 0 the top row).
static bool DrawnCentre(float* x, float* y) {
  int left, right, top, bottom;
  if (!Frame().BrightBounds(128, &left, &right, &top, &bottom)) return false;
  *x = 0.5f * float(left + right), *y = 0.5f * float(top + bottom);
  return true;
}

// Where a point of the eye space lands on the 640 x 480 screen (45 degrees
// vertical field of view).
static void Project(float ex, float ey, float ez, float* x, float* y) {
  const float f = 1.0f / std::tan(22.5f * 3.14159265f / 180.0f);
  *x = 320.0f + 320.0f * (f / (640.0f / 480.0f)) * ex / -ez;
  *y = 240.0f - 240.0f * f * ey / -ez;
}

TEST_F(MeshDraw, TriangleLandsWhereTranslationAndRotationsPutIt) {
  // A small triangle lying in the object's y = 0 plane around (1, 0, 0).
  // Rotating by 90 degrees about y and then x (z first, then y, then x as a
  // vertex sees it) turns it to face the camera at (0, 1, 0); the other
  // order would leave it edge-on.
  OneTriangle({0.9f, 0, -0.1f, 0, 0}, {1.1f, 0, -0.1f, 0, 0}, {1.0f, 0, 0.1f, 0, 0});
  QTL_DrawObjectTexture(obj_.get(), -1, 0, -6, 90, 90, 0);
  float x, y, ex, ey;
  ASSERT_TRUE(DrawnCentre(&x, &y)) << "nothing drawn";
  Project(-1, 1, -6, &ex, &ey);
  EXPECT_NEAR(x, ex, 4);
  EXPECT_NEAR(y, ey, 4);
}

TEST_F(MeshDraw, EmptyObjectDrawsNothingButLeavesTheTransform) {
  obj_->NumTriangles = 0;
  QTL_DrawObjectTexture(obj_.get(), 1, 2, 3, 90, 0, 0);
  EXPECT_EQ(Frame().CountBrighterThan(10), 0);
  float m[16];
  ModelView(m);
  // Rotating 90 degrees about x turns +y onto +z; the translation stays last.
  EXPECT_NEAR(m[4], 0, 1e-6);
  EXPECT_NEAR(m[5], 0, 1e-6);
  EXPECT_NEAR(m[6], 1, 1e-6);
  EXPECT_NEAR(m[12], 1, 1e-6);
  EXPECT_NEAR(m[13], 2, 1e-6);
  EXPECT_NEAR(m[14], 3, 1e-6);
}

TEST_F(MeshDraw, CallsInARowCompose) {
  obj_->NumTriangles = 0;
  QTL_DrawObjectTexture(obj_.get(), 0, 0, -6, 0, 0, 90);
  // In the first object's frame, its +x is the screen's up.
  OneTriangle({0.9f, -0.1f, 0, 0, 0}, {1.1f, -0.1f, 0, 0, 0}, {1.0f, 0.1f, 0, 0, 0});
  QTL_DrawObjectTexture(obj_.get(), 0, 0, 0, 0, 0, 0);
  float x, y, ex, ey;
  ASSERT_TRUE(DrawnCentre(&x, &y)) << "nothing drawn";
  Project(0, 1, -6, &ex, &ey);
  EXPECT_NEAR(x, ex, 4);
  EXPECT_NEAR(y, ey, 4);
}

TEST_F(MeshDraw, SendsStoredTextureCoordinatesAndTheConstantNormal) {
  // A 2 x 1 texture: red on the left half, green on the right.
  const unsigned char texels[] = {255, 0, 0, 0, 255, 0};
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glEnable(GL_TEXTURE_2D);

  // Every corner at u = 0.75 (green if u is sent unchanged, red if flipped).
  OneTriangle({-1, -1, 0, 0.75f, 0.5f}, {1, -1, 0, 0.75f, 0.5f}, {0, 1, 0, 0.75f, 0.25f});
  // Compiled, then from the list, then triangle by triangle: each leaves the
  // last corner's coordinates and the constant normal current.
  for (bool compiled : {true, true, false}) {
    QTL_UseCompiledMeshes(compiled);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glNormal3f(1, 0, 0);
    glTexCoord2f(0.5f, 0.5f);
    QTL_DrawObjectTexture(obj_.get(), 0, 0, -6, 0, 0, 0);
    const Rgb centre = Frame().At(320, 240);
    EXPECT_LT(centre.r, 30);
    EXPECT_GT(centre.g, 220);

    float uv[4], normal[3];
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, uv);
    glGetFloatv(GL_CURRENT_NORMAL, normal);
    EXPECT_EQ(uv[0], 0.75f);
    EXPECT_EQ(uv[1], 0.25f);
    EXPECT_EQ(normal[0], 0);
    EXPECT_EQ(normal[1], 0);
    EXPECT_EQ(normal[2], 1);
  }
  QTL_UseCompiledMeshes(true);
}

TEST_F(MeshDraw, ARecordChangedAfterDrawingIsDrawnAsItIsNow) {
  // Drawn once (and compiled), then moved by hand between draws, as tests
  // and QTL_3DSMain rewrite records in place: every draw shows the record's
  // current triangles.
  OneTriangle({-0.1f, -0.1f, 0, 0, 0}, {0.1f, -0.1f, 0, 0, 0}, {0.0f, 0.1f, 0, 0, 0});
  float at = 0;
  for (float x : {-2.0f, 2.0f, 0.5f}) {
    for (TVertex& corner : obj_->Triangle[0].Vertex) corner.x += x - at;
    at = x;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    QTL_DrawObjectTexture(obj_.get(), 0, 0, -6, 0, 0, 0);
    float cx, cy, ex, ey;
    ASSERT_TRUE(DrawnCentre(&cx, &cy)) << "nothing drawn at x = " << x;
    Project(x, 0, -6, &ex, &ey);
    EXPECT_NEAR(cx, ex, 4) << "x = " << x;
  }
}

TEST_F(MeshDraw, RecordClaimingMoreThanItHoldsDrawsOnlyWhatItHolds) {
  obj_->NumTriangles = 1 << 30;
  QTL_DrawObjectTexture(obj_.get(), 0, 0, -6, 0, 0, 0);  // zero triangles, all at the origin
  EXPECT_EQ(Frame().CountBrighterThan(10), 0);
  obj_->NumTriangles = -5;
  QTL_DrawObjectTexture(obj_.get(), 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
