// The default data: the generator's files load through the show's own
// loaders within their capacities and the frame budget, come out the same
// byte for byte on every run, read alike in another 3DS reader, and fill
// every phase of the show with a picture.
#include "tests/support/gl_test.h"
#include "tests/support/show_data.h"

#include "models/mesh.h"
#include "platform/msgbox.h"
#include "platform/show_seam.h"
#include "render/text.h"
#include "render/tga.h"
#include "show/timeline.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kBuildDir = TRAILER_BUILD_DIR;

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string FileName(const char* windowsName) { return std::string(windowsName).substr(5); }  // after "Data\"

// Runs from the build folder, where the show finds Data/, and goes back after.
class InBuildDir {
 public:
  InBuildDir() : previous_(fs::current_path()) { fs::current_path(kBuildDir); }
  ~InBuildDir() { fs::current_path(previous_); }

 private:
  fs::path previous_;
};

// What a 3DS file holds, walked independently of the show's reader: the
// mesh objects and, for the last, its list counts and largest face index.
struct ModelFacts {
  int objects = 0, vertices = -1, faces = -1, mappings = -1, maxIndex = -1;
  bool wellFormed = true;
};

unsigned U16(const std::vector<uint8_t>& b, size_t at) { return unsigned(b[at]) | unsigned(b[at + 1]) << 8; }
uint32_t U32(const std::vector<uint8_t>& b, size_t at) { return U16(b, at) | uint32_t(U16(b, at + 2)) << 16; }

void Walk(const std::vector<uint8_t>& b, size_t from, size_t to, ModelFacts& facts) {
  size_t at = from;
  while (at + 6 <= to) {
    const unsigned id = U16(b, at);
    const uint32_t size = U32(b, at + 2);
    if (size < 6 || at + size > to) {
      facts.wellFormed = false;
      return;
    }
    const size_t body = at + 6, end = at + size;
    switch (id) {
      case 0x4D4D: case 0x3D3D: case 0x4100: Walk(b, body, end, facts); break;
      case 0x4000: {
        ++facts.objects;
        size_t name = body;
        while (name < end && b[name] != 0) ++name;
        Walk(b, name + 1, end, facts);
        break;
      }
      case 0x4110: facts.vertices = int(U16(b, body)); facts.wellFormed &= body + 2 + 12u * U16(b, body) <= end; break;
      case 0x4140: facts.mappings = int(U16(b, body)); facts.wellFormed &= body + 2 + 8u * U16(b, body) <= end; break;
      case 0x4120:
        facts.faces = int(U16(b, body));
        facts.wellFormed &= body + 2 + 8u * U16(b, body) <= end;
        for (int f = 0; f < facts.faces && facts.wellFormed; ++f)
          for (int k = 0; k < 3; ++k) facts.maxIndex = std::max(facts.maxIndex, int(U16(b, body + 2 + 8 * f + 2 * k)));
        break;
      default: break;
    }
    at = end;
  }
  if (at != to) facts.wellFormed = false;
}

ModelFacts Inspect(const fs::path& path) {
  const auto bytes = ReadFile(path);
  ModelFacts facts;
  Walk(bytes, 0, bytes.size(), facts);
  return facts;
}

std::string MakeTempDir() {
  char name[] = "/tmp/trailer-datagen-XXXXXX";
  return mkdtemp(name) ? std::string(name) : std::string();
}

bool RunGenerator(const std::string& dir) {
  const std::string command = "'" + kBuildDir + "/datagen' '" + dir + "'";
  return std::system(command.c_str()) == 0;
}

}  // namespace

// One mesh object per file with matching vertex and mapping lists, faces that
// point inside the vertex list, all within the loader's staging capacities.
TEST(DefaultData, ModelsAreStandardSingleObjectFiles) {
  for (const char* model : kShowModelFiles) {
    SCOPED_TRACE(model);
    const ModelFacts f = Inspect(fs::path(kBuildDir) / "Data" / FileName(model));
    EXPECT_TRUE(f.wellFormed);
    EXPECT_EQ(f.objects, 1);
    EXPECT_GT(f.faces, 100);
    EXPECT_LE(f.faces, 40000);
    EXPECT_LE(f.vertices, 50000);
    EXPECT_EQ(f.mappings, f.vertices);
    EXPECT_LT(f.maxIndex, f.vertices);
  }
}

class DefaultDataGL : public HeadlessGL {};

// Through the show's loader, with no overflow box, and within the triangle
// budget of every frame that draws them (counting the copies).
TEST_F(DefaultDataGL, ModelsLoadAndEveryFrameKeepsToTheTriangleBudget) {
  InBuildDir here;
  static QTL_3DObject objects[13];
  std::map<std::string, int> tris;
  for (int i = 0; i < 13; ++i) {
    SCOPED_TRACE(kShowModelFiles[i]);
    ASSERT_TRUE(QTL_3DSMain(kShowModelFiles[i], &objects[i]));
    const ModelFacts f = Inspect(fs::path("Data") / FileName(kShowModelFiles[i]));
    EXPECT_EQ(objects[i].NumTriangles, f.faces);
    tris[FileName(kShowModelFiles[i])] = objects[i].NumTriangles;
  }
  EXPECT_TRUE(MessageBoxLog().empty());
  const int galaxy = tris["Galaxy.3DS"];
  const std::map<std::string, int> frames = {
      {"title C", galaxy + 3 * tris["Nena1.3DS"]},
      {"title D", 2 * galaxy + tris["Nena2.3DS"]},
      {"title E", 2 * galaxy + tris["Tio1.3DS"]},
      {"title F", 2 * galaxy + tris["Tio1.3DS"] + tris["Nena2.3DS"]},
      {"title G", 2 * galaxy + tris["CaraTio1.3DS"] + tris["CaraTia1.3DS"]},
      {"hand", galaxy + tris["Mano1.3ds"]},
      {"castle", 2 * galaxy + tris["Castle1.3ds"] + tris["Castle2.3ds"] + tris["Castle3.3ds"]},
      {"flight A", 2 * tris["Fly.3ds"]},
      {"credits", 3 * tris["Greet1.3ds"] + 2 * tris["Bolah8.3ds"]},
  };
  for (const auto& [frame, count] : frames) EXPECT_LE(count, 8000) << frame;
}

// Square power-of-two images that any OpenGL accepts.
TEST_F(DefaultDataGL, TexturesLoadAsSquarePowersOfTwo) {
  InBuildDir here;
  for (const char* texture : kShowTextureFiles) {
    SCOPED_TRACE(texture);
    TextureImage image{};
    ASSERT_TRUE(LoadTGA(&image, texture));
    EXPECT_EQ(image.width, image.height);
    EXPECT_TRUE(image.width == 256 || image.width == 512);
    EXPECT_EQ(image.bitsPerPixel, 24u);
    FreeTexturePixels(&image);
  }
}

// Two runs into fresh folders give the build's bytes, file for file.
TEST(DefaultData, GeneratorIsDeterministic) {
  const std::string a = MakeTempDir(), b = MakeTempDir();
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  ASSERT_TRUE(RunGenerator(a));
  ASSERT_TRUE(RunGenerator(b));
  int files = 0;
  for (const auto& entry : fs::directory_iterator(a)) {
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    const auto first = ReadFile(entry.path());
    EXPECT_EQ(first, ReadFile(fs::path(b) / name));
    EXPECT_EQ(first, ReadFile(fs::path(kBuildDir) / "Data" / name));
    ++files;
  }
  EXPECT_EQ(files, 27);
  fs::remove_all(a);
  fs::remove_all(b);
}

// Another reader (assimp, where installed) finds one mesh with the same faces.
TEST(DefaultData, AssimpReadsTheSameFaces) {
  if (std::system("command -v assimp > /dev/null 2>&1") != 0) GTEST_SKIP() << "assimp is not installed";
  for (const char* model : kShowModelFiles) {
    SCOPED_TRACE(model);
    const fs::path path = fs::path(kBuildDir) / "Data" / FileName(model);
    const std::string command = "assimp info '" + path.string() + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[512];
    int faces = -1, meshes = -1;
    while (std::fgets(line, sizeof line, pipe)) {
      std::sscanf(line, " Faces: %d", &faces);
      std::sscanf(line, " Meshes: %d", &meshes);
    }
    pclose(pipe);
    EXPECT_EQ(faces, Inspect(path).faces);
    EXPECT_EQ(meshes, 1);
  }
}

// The whole show with the default data: a frame from every phase holds a
// picture, neither black nor one flat colour.
class DefaultDataShow : public HeadlessGL {
 protected:
  void SetUp() override {
    HeadlessGL::SetUp();
    fs::current_path(kBuildDir);
    BuildFont();
    ASSERT_TRUE(ShowLoadAll());
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
