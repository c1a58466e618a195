// TGA textures: what is accepted, how pixels reach OpenGL, and that every
// refusal leaves neither a texture name nor a pixel buffer behind.
#include "render/tga.h"
#include "fx/scene_kit.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>
#include <sys/stat.h>

#include <cstdint>
#include <vector>

class Tga : public HeadlessGL {
 protected:
  ScratchDir dir;

  // True while no texture object exists: LoadTGA binds every name it makes.
  static bool NoTextureMade() {
    for (GLuint name = 1; name <= 256; ++name)
      if (glIsTexture(name)) return false;
    return true;
  }

  // Writes `bytes` as Data/t.tga and expects LoadTGA to refuse it cleanly.
  void ExpectRefused(const std::vector<uint8_t>& bytes, const char* what) {
    dir.Write("Data/t.tga", bytes);
    TextureImage texture = {};
    EXPECT_FALSE(LoadTGA(&texture, "Data\\t.tga")) << what;
    EXPECT_EQ(texture.pixels, nullptr) << what;
    EXPECT_EQ(texture.texID, 0u) << what;
    EXPECT_TRUE(NoTextureMade()) << what << ": a texture name was made";
  }

  static std::vector<uint8_t> TexImage(GLenum format, int bytes) {
    std::vector<uint8_t> out(size_t(bytes), 0xEE);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
    return out;
  }
};

TEST_F(Tga, Loads24BitAsRgbWithRowsInFileOrder) {
  // 2 x 2, B G R per pixel; first stored row first.
  dir.Write("Data/Nena1.tga", MakeTGA(2, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  TextureImage texture = {};
  ASSERT_TRUE(LoadTGA(&texture, "Data\\Nena1.tga"));
  EXPECT_EQ(texture.width, 2u);
  EXPECT_EQ(texture.height, 2u);
  EXPECT_EQ(texture.bitsPerPixel, 24u);
  ASSERT_NE(texture.pixels, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(texture.pixels, texture.pixels + 12),
            (std::vector<uint8_t>{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));

  GLint bound = 0, internal = 0, minFilter = 0, magFilter = 0, width = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(GLuint(bound), texture.texID);
  EXPECT_NE(texture.texID, 0u);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
  EXPECT_EQ(internal, GL_RGB);
  EXPECT_EQ(width, 2);
  EXPECT_EQ(minFilter, GL_LINEAR);
  EXPECT_EQ(magFilter, GL_LINEAR);
  EXPECT_EQ(TexImage(GL_RGB, 12), std::vector<uint8_t>(texture.pixels, texture.pixels + 12));
  FreeTexturePixels(&texture);
  EXPECT_EQ(texture.pixels, nullptr);
}

TEST_F(Tga, Loads32BitKeepingAlphaInPlace) {
  dir.Write("Data/a.tga", MakeTGA(1, 2, 32, {10, 20, 30, 40, 50, 60, 70, 80}));
  TextureImage texture = {};
  ASSERT_TRUE(LoadTGA(&texture, "Data\\a.tga"));
  EXPECT_EQ(texture.bitsPerPixel, 32u);
  EXPECT_EQ(std::vector<uint8_t>(texture.pixels, texture.pixels + 8),
            (std::vector<uint8_t>{30, 20, 10, 40, 70, 60, 50, 80}));
  GLint internal = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal);
  EXPECT_EQ(internal, GL_RGBA);
  EXPECT_EQ(TexImage(GL_RGBA, 8), std::vector<uint8_t>(texture.pixels, texture.pixels + 8));
  FreeTexturePixels(&texture);
}

TEST_F(Tga, OddRowLengthsReachOpenGLUnskewed) {
  // 3 x 2 at 24 bits: 9-byte rows, which the default 4-byte unpack alignment
  // would read skewed and past the buffer.
  std::vector<uint8_t> bgr;
  for (int i = 0; i < 18; ++i) bgr.push_back(uint8_t(i + 1));
  dir.Write("Data/odd.tga", MakeTGA(3, 2, 24, bgr));
  TextureImage texture = {};
  ASSERT_TRUE(LoadTGA(&texture, "Data\\odd.tga"));
  EXPECT_EQ(TexImage(GL_RGB, 18), std::vector<uint8_t>(texture.pixels, texture.pixels + 18));
  GLint alignment = 0;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  EXPECT_EQ(alignment, 4) << "the unpack state is left as found";
  FreeTexturePixels(&texture);
}

TEST_F(Tga, IgnoresTheDescriptorAndWhatFollowsThePixels) {
  std::vector<uint8_t> file = MakeTGA(1, 2, 24, {1, 2, 3, 4, 5, 6});
  file[17] = 0x20;  // top-left origin: rows still go to OpenGL in file order
  file.insert(file.end(), {0xAA, 0xBB, 0xCC});
  dir.Write("Data/d.tga", file);
  TextureImage texture = {};
  ASSERT_TRUE(LoadTGA(&texture, "Data\\d.tga"));
  EXPECT_EQ(std::vector<uint8_t>(texture.pixels, texture.pixels + 6), (std::vector<uint8_t>{3, 2, 1, 6, 5, 4}));
  FreeTexturePixels(&texture);
}

TEST_F(Tga, RefusesWhatItCannotUse) {
  const std::vector<uint8_t> good = MakeTGA(2, 1, 24, {1, 2, 3, 4, 5, 6});
  auto changed = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> file = good;
    file[at] = value;
    return file;
  };
  ExpectRefused(changed(2, 10), "run-length encoded");
  ExpectRefused(changed(2, 1), "colour-mapped");
  ExpectRefused(changed(1, 1), "with a colour map");
  ExpectRefused(changed(2, 3), "grey");
  ExpectRefused(changed(0, 4), "with an image ID");
  ExpectRefused(changed(8, 1), "x origin");
  ExpectRefused(changed(11, 1), "y origin");
  ExpectRefused(changed(16, 16), "16-bit");
  ExpectRefused(changed(16, 8), "8-bit");
  ExpectRefused(MakeTGA(0, 5, 24, {}), "width 0");
  ExpectRefused(MakeTGA(5, 0, 24, {}), "height 0");
  ExpectRefused({}, "empty file");
  ExpectRefused(std::vector<uint8_t>(good.begin(), good.begin() + 11), "cut in the first header");
  ExpectRefused(std::vector<uint8_t>(good.begin(), good.begin() + 17), "cut in the second header");
  ExpectRefused(std::vector<uint8_t>(good.begin(), good.end() - 1), "cut in the pixels");
}

TEST_F(Tga, RefusesImagesLargerThanOpenGLTakes) {
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  ASSERT_GT(maxSize, 0);
  if (maxSize >= 65535) GTEST_SKIP() << "no size a TGA can state exceeds " << maxSize;
  ExpectRefused(MakeTGA(maxSize + 1, 1, 24, std::vector<uint8_t>(size_t(maxSize + 1) * 3, 7)), "too wide");
  ExpectRefused(MakeTGA(1, maxSize + 1, 24, std::vector<uint8_t>(size_t(maxSize + 1) * 3, 7)), "too tall");
  // The largest header claims 16 GiB, beyond 32 bits: refused before any read.
  std::vector<uint8_t> huge = MakeTGA(1, 1, 32, {1, 2, 3, 4});
  huge[12] = huge[13] = huge[14] = huge[15] = 0xFF;
  ExpectRefused(huge, "65535 x 65535");
}

TEST_F(Tga, MissingFileIsRefusedSilently) {
  TextureImage texture = {};
  EXPECT_FALSE(LoadTGA(&texture, "Data\\Nothing.tga"));
  EXPECT_EQ(texture.pixels, nullptr);
  EXPECT_TRUE(NoTextureMade());
}

TEST_F(Tga, RefusalsSayWhyAndTheScenesNameTheFile) {
  const std::vector<uint8_t> good = MakeTGA(2, 1, 24, {1, 2, 3, 4, 5, 6});
  std::vector<uint8_t> rle = good;
  rle[2] = 10;
  dir.Write("Data/rle.tga", rle);
  dir.Write("Data/cut.tga", std::vector<uint8_t>(good.begin(), good.end() - 1));
  ASSERT_EQ(mkfifo("Data/fifo.tga", 0644), 0);  // nobody writes to it: opening it must not wait
  const struct {
    const char* file;
    TgaProblem problem;
  } cases[] = {
      {"Data\\none.tga", TgaProblem::NotFound},
      {"Data\\fifo.tga", TgaProblem::NotRegular},
      {"Data\\rle.tga", TgaProblem::NotSupported},
      {"Data\\cut.tga", TgaProblem::Truncated},
  };
  for (const auto& c : cases) {
    TextureImage texture = {};
    TgaProblem problem = TgaProblem::None;
    EXPECT_FALSE(LoadTGA(&texture, c.file, &problem)) << c.file;
    EXPECT_EQ(problem, c.problem) << c.file;
  }
  EXPECT_TRUE(NoTextureMade());

  TextureImage texture = {};
  testing::internal::CaptureStderr();
  EXPECT_FALSE(LoadSceneTexture(&texture, "Data\\cut.tga"));
  EXPECT_FALSE(LoadSceneTexture(&texture, "Data\\none.tga"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "velmora-trailer: texture Data\\cut.tga (Data/cut.tga): cut short: fewer pixels than its header says\n"
            "velmora-trailer: texture Data\\none.tga: not found\n");
}

TEST_F(Tga, FindsWindowsNamesWhateverTheirCase) {
  dir.Write("data/caratio1.TGA", MakeSolidTGA(2, 2, 200, 100, 50));
  TextureImage texture = {};
  ASSERT_TRUE(LoadTGA(&texture, "Data\\Caratio1.tga"));
  EXPECT_EQ(texture.pixels[0], 200);
  EXPECT_EQ(texture.pixels[2], 50);
  FreeTexturePixels(&texture);
}
