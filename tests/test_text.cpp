// Outline text: placement, centring by the glyphs' own advances, filling with
// open holes, opacity, the texts that must draw nothing, and the glyphs baked
// for the browser.
#include "platform/glyph_file.h"
#include "render/text.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// Pixels per em for a text at eye depth `z` in the 640 x 480 window
// (45-degree vertical field of view).
static double PixelsPerEm(double z) { return 480.0 / (2.0 * -z * std::tan(22.5 * M_PI / 180.0)); }

static float TextWidth(const std::string& text) {
  float width = 0.0f;
  for (unsigned char c : text) width += FontAdvance(c);
  return width;
}

// The x translation of the current modelview matrix.
static float ModelviewX() {
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  return m[12];
}

// Dark regions that the border cannot reach: the holes of the glyphs drawn.
static int EnclosedDarkRegions(const Frame& frame) {
  const int w = frame.Width(), h = frame.Height();
  std::vector<int> label(size_t(w) * h, 0);  // 0 unvisited dark, -1 bright or outside, n region
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgb p = frame.At(x, y);
      if (p.r > 127 || p.g > 127 || p.b > 127) label[size_t(y) * w + x] = -1;
    }
  int regions = 0;
  std::vector<int> stack;
  for (int start = 0; start < w * h; ++start) {
    if (label[size_t(start)] != 0) continue;
    const int id = ++regions + 1;  // region 1 is the first fill; ids start at 2
    bool touchesBorder = false;
    int size = 0;
    stack.assign(1, start);
    label[size_t(start)] = id;
    while (!stack.empty()) {
      const int i = stack.back();
      stack.pop_back();
      ++size;
      const int x = i % w, y = i / w;
      if (x == 0 || y == 0 || x == w - 1 || y == h - 1) touchesBorder = true;
      const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
      for (const auto& n : next) {
        if (n[0] < 0 || n[1] < 0 || n[0] >= w || n[1] >= h) continue;
        const size_t j = size_t(n[1]) * w + n[0];
        if (label[j] == 0) {
          label[j] = id;
          stack.push_back(int(j));
        }
      }
    }
    if (touchesBorder || size < 20) --regions;  // the background, or a speck between strokes
  }
  return regions;
}

class Text : public HeadlessGL {
 protected:
  void SetUp() override {
    HeadlessGL::SetUp();
    ASSERT_NE(BuildFont(), 0) << "no outline font found";
  }
  void TearDown() override {
    KillFont();
    HeadlessGL::TearDown();
  }
};

using TextWithoutFont = HeadlessGL;

TEST_F(TextWithoutFont, DrawsNothingAndMeasuresZero) {
  EXPECT_EQ(FontAdvance('A'), 0.0f);
  DrawTextAt(0.0f, 0.0f, -9.0f, "Loading", 100.0f);
  EXPECT_EQ(Frame().CountBrighterThan(0), 0);
}

TEST_F(Text, MetricsFollowTheCodePage) {
  EXPECT_GT(FontAdvance('L'), 0.3f);
  EXPECT_LT(FontAdvance('L'), 1.0f);
  EXPECT_GT(FontAdvance(' '), 0.0f);
  EXPECT_GT(FontAdvance(0xE1), 0.3f) << "a-acute";
  EXPECT_GT(FontAdvance(0xF1), 0.3f) << "n-tilde";
  EXPECT_GT(FontAdvance(0x80), 0.3f) << "euro sign";
  EXPECT_GT(FontAdvance(0x93), 0.0f) << "left double quotation mark";
  for (unsigned char undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(FontAdvance(undefined), 0.0f);
  EXPECT_EQ(FontAdvance(0), 0.0f);
  EXPECT_EQ(FontAdvance(255), 0.0f) << "list 255 is never built";
}

TEST_F(Text, LoadingIsCentredWithItsBaselineAtTheGivenHeight) {
  DrawTextAt(0.0f, 0.0f, -9.0f, "Loading", 100.0f);
  const Frame frame;
  int left, right, top, bottom;
  ASSERT_TRUE(frame.BrightBounds(128, &left, &right, &top, &bottom));
  // The text spans its advances; the ink sits within them by the side bearings.
  const double width = TextWidth("Loading") * PixelsPerEm(-9.0);
  EXPECT_NEAR(right + 1 - left, width, 0.12 * PixelsPerEm(-9.0));
  EXPECT_LE(std::abs((320 - left) - (right + 1 - 320)), 2) << "left " << left << ", right " << right;

  // "L" stands on the baseline (y = 240 from the top); the tail of "g" hangs below.
  int lBottom = -1;
  for (int y = 0; y < frame.Height(); ++y)
    for (int x = left; x < left + 10; ++x) {
      const Rgb p = frame.At(x, y);
      if (p.r > 128 && p.g > 128 && p.b > 128) lBottom = y;
    }
  EXPECT_GE(lBottom, 238);
  EXPECT_LE(lBottom, 240);
  EXPECT_GT(bottom, 250);
  EXPECT_LT(top, 240 - int(0.6 * PixelsPerEm(-9.0)));
  EXPECT_EQ(frame.At(320, 10).r, 0);
}

TEST_F(Text, IsFilledWithItsHolesOpen) {
  const struct {
    const char* text;
    int holes;
  } cases[] = {{"o", 1}, {"e", 1}, {"\xE1", 1}, {"B", 2}, {"8", 2}, {"L", 0}};
  for (const auto& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawTextAt(0.0f, -0.3f, -2.0f, c.text, 100.0f);
    const Frame frame;
    EXPECT_GT(frame.CountBrighterThan(250), 2000) << c.text;
    EXPECT_EQ(EnclosedDarkRegions(frame), c.holes) << c.text;
  }
}

TEST_F(Text, FacesTheViewerWithCullingOn) {
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  DrawTextAt(0.0f, 0.0f, -9.0f, "Loading", 100.0f);
  glDisable(GL_CULL_FACE);
  EXPECT_GT(Frame().CountBrighterThan(250), 1000);
}

TEST_F(Text, EmptyTextDrawsAndMovesNothing) {
  glPrint("%s", "");
  EXPECT_EQ(ModelviewX(), 0.0f);
  DrawTextAt(0.0f, 0.0f, -9.0f, "", 100.0f);
  EXPECT_EQ(Frame().CountBrighterThan(0), 0);
  const char* none = nullptr;
  glPrint(none);
  DrawTextAt(0.0f, 0.0f, -9.0f, none, 100.0f);
  EXPECT_EQ(ModelviewX(), 0.0f);
}

TEST_F(Text, PercentSignsPrintThemselves) {
  // Taken as a format, "%%" would print a single sign.
  DrawTextAt(0.0f, 0.0f, -9.0f, "%%", 100.0f);
  const Frame twoSigns;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawTextAt(0.0f, 0.0f, -9.0f, "%", 100.0f);
  const Frame oneSign;
  int l2, r2, l1, r1, top, bottom;
  ASSERT_TRUE(twoSigns.BrightBounds(128, &l2, &r2, &top, &bottom));
  ASSERT_TRUE(oneSign.BrightBounds(128, &l1, &r1, &top, &bottom));
  EXPECT_NEAR((r2 - l2) - (r1 - l1), FontAdvance('%') * PixelsPerEm(-9.0), 2.0);
}

TEST_F(Text, WidthIsTheSumOfTheGlyphsAdvances) {
  // "Destrozará" in Windows-1252. glPrint moves left by half the width, the
  // glyphs then move right by all of it.
  const std::string text = "Destroz\xE1ra";
  const float width = TextWidth(text);
  EXPECT_GT(width, 10 * FontAdvance('i'));
  glPrint("%s", text.c_str());
  EXPECT_NEAR(ModelviewX(), width / 2.0f, 1e-5f);

  glLoadIdentity();
  DrawTextAt(0.0f, 0.0f, -9.0f, text.c_str(), 100.0f);
  int left, right, top, bottom;
  ASSERT_TRUE(Frame().BrightBounds(128, &left, &right, &top, &bottom));
  EXPECT_LE(std::abs((320 - left) - (right + 1 - 320)), 3) << "left " << left << ", right " << right;
}

TEST_F(Text, Code255DrawsNothing) {
  glPrint("%s", "\xFF\xFF");
  EXPECT_EQ(ModelviewX(), 0.0f);
  glLoadIdentity();
  DrawTextAt(0.0f, 0.0f, -3.0f, "\xFF\x81", 100.0f);
  EXPECT_EQ(Frame().CountBrighterThan(0), 0);
}

TEST_F(Text, LongTextsAreCutAt255Characters) {
  const std::string text(300, 'i');
  glPrint("%s", text.c_str());
  EXPECT_NEAR(ModelviewX(), 255 * FontAdvance('i') / 2.0f, 1e-3f);
}

TEST_F(Text, OpacityIsInPercentAndClamped) {
  const struct {
    float opacity;
    int low, high;  // the text's brightest value
  } cases[] = {{100.0f, 255, 255}, {250.0f, 255, 255}, {50.0f, 126, 129}, {0.0f, 0, 0}, {-20.0f, 0, 0}};
  for (const auto& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawTextAt(0.0f, 0.0f, -3.0f, "H", c.opacity);
    int brightest = 0;
    const Frame frame;
    for (int y = 0; y < frame.Height(); ++y)
      for (int x = 0; x < frame.Width(); ++x) brightest = std::max(brightest, frame.At(x, y).r);
    EXPECT_GE(brightest, c.low) << c.opacity;
    EXPECT_LE(brightest, c.high) << c.opacity;
  }
}

TEST_F(Text, InvisibleTextStillWritesDepth) {
  DrawTextAt(0.0f, 0.0f, -3.0f, "H", 0.0f);
  // A red wall behind the text: where the text stands, the wall fails the depth test.
  glDisable(GL_TEXTURE_2D);
  glColor3f(1.0f, 0.0f, 0.0f);
  glBegin(GL_QUADS);
  glVertex3f(-10.0f, -10.0f, -5.0f);
  glVertex3f(10.0f, -10.0f, -5.0f);
  glVertex3f(10.0f, 10.0f, -5.0f);
  glVertex3f(-10.0f, 10.0f, -5.0f);
  glEnd();
  const Frame frame;
  EXPECT_EQ(frame.At(5, 5).r, 255);
  int black = 0;
  for (int y = 0; y < frame.Height(); ++y)
    for (int x = 0; x < frame.Width(); ++x) black += frame.At(x, y).r == 0;
  EXPECT_GT(black, 1000);
}

// The glyphs baked for the browser come back as they were made, and a file
// cut off anywhere is refused rather than read past its end.
TEST(BakedGlyphs, ReadBackAsWrittenAndACutFileIsRefused) {
  ScratchDir dir;
  std::vector<OutlineGlyph> glyphs;
  ASSERT_TRUE(LoadOutlineGlyphs(kFontFace, kFontWeight, 60, 8, &glyphs));  // '<' to 'C'
  ASSERT_TRUE(WriteGlyphFile("glyphs.bin", 60, glyphs));
  unsigned first = 0;
  std::vector<OutlineGlyph> read;
  ASSERT_TRUE(ReadGlyphFile("glyphs.bin", &first, &read));
  EXPECT_EQ(first, 60u);
  ASSERT_EQ(read.size(), glyphs.size());
  for (size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(read[i].present, glyphs[i].present);
    EXPECT_EQ(read[i].metrics.gmfCellIncX, glyphs[i].metrics.gmfCellIncX);
    EXPECT_EQ(read[i].triangles, glyphs[i].triangles);
  }

  std::FILE* file = std::fopen("glyphs.bin", "rb");
  std::vector<char> bytes(1 << 20);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
  std::fclose(file);
  for (size_t cut : {size_t(3), size_t(20), bytes.size() / 2, bytes.size() - 1}) {
    file = std::fopen("cut.bin", "wb");
    std::fwrite(bytes.data(), 1, cut, file);
    std::fclose(file);
    EXPECT_FALSE(ReadGlyphFile("cut.bin", &first, &read)) << cut;
  }
}
