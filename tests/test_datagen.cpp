// The default data: the generator's files load through the show's own
// loaders within their capacities and the frame budget, come out the same
// byte for byte on every run, read alike in another 3DS reader, and fill
// every phase of the show with a picture.
#include "tests/support/gl_test.h"
#include "tests/support/show_data.h"

#include "models/mesh.h"
#include "platform/msgbox.h"
#include "tools/shared_kit/show_seam.h"
#include "render/text.h"
#include "render/tga.h"
#include "show/timeline.h"

#include "paths/spline.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>

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
  std::vector<std::array<float, 3>> points;
  std::vector<std::array<float, 2>> uvs;
  std::vector<std::array<int, 3>> triangles;
};

float F32(const std::vector<uint8_t>& b, size_t at) {
  const uint32_t bits = uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

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
      case 0x4110:
        facts.vertices = int(U16(b, body));
        facts.wellFormed &= body + 2 + 12u * U16(b, body) <= end;
        facts.points.clear();
        for (int v = 0; v < facts.vertices && facts.wellFormed; ++v)
          facts.points.push_back({F32(b, body + 2 + 12 * v), F32(b, body + 6 + 12 * v), F32(b, body + 10 + 12 * v)});
        break;
      case 0x4140:
        facts.mappings = int(U16(b, body));
        facts.wellFormed &= body + 2 + 8u * U16(b, body) <= end;
        facts.uvs.clear();
        for (int v = 0; v < facts.mappings && facts.wellFormed; ++v)
          facts.uvs.push_back({F32(b, body + 2 + 8 * v), F32(b, body + 6 + 8 * v)});
        break;
      case 0x4120:
        facts.faces = int(U16(b, body));
        facts.wellFormed &= body + 2 + 8u * U16(b, body) <= end;
        facts.triangles.clear();
        for (int f = 0; f < facts.faces && facts.wellFormed; ++f) {
          std::array<int, 3> t;
          for (int k = 0; k < 3; ++k) t[k] = int(U16(b, body + 2 + 8 * f + 2 * k));
          facts.maxIndex = std::max({facts.maxIndex, t[0], t[1], t[2]});
          facts.triangles.push_back(t);
        }
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

using P3 = std::array<float, 3>;
P3 Sub(P3 a, P3 b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
float Dot(P3 a, P3 b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
P3 Cross(P3 a, P3 b) { return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]}; }

ModelFacts InspectModel(const char* file) { return Inspect(fs::path(kBuildDir) / "Data" / file); }

// Models drawn with back faces culled must wind their faces counter-clockwise
// seen from outside, or the title's figures and faces and the flyer's rising
// copy show their insides. Each connected part (a limb, the head, a wing)
// then encloses a positive volume seen from its own centre.
TEST(DefaultData, CulledModelsFaceOutwards) {
  for (const char* file : {"Nena1.3DS", "Nena2.3DS", "Tio1.3DS", "CaraTio1.3DS", "CaraTia1.3DS", "Fly.3ds"}) {
    SCOPED_TRACE(file);
    const ModelFacts f = InspectModel(file);
    std::vector<int> parent(f.points.size());
    for (size_t i = 0; i < parent.size(); ++i) parent[i] = int(i);
    const auto root = [&](int i) {
      while (parent[i] != i) i = parent[i] = parent[parent[i]];
      return i;
    };
    for (const auto& t : f.triangles) {
      parent[root(t[1])] = root(t[0]);
      parent[root(t[2])] = root(t[0]);
    }
    std::map<int, std::vector<std::array<int, 3>>> parts;
    for (const auto& t : f.triangles) parts[root(t[0])].push_back(t);
    int checked = 0;
    for (const auto& [id, tris] : parts) {
      if (tris.size() < 8) continue;
      P3 centre{0, 0, 0};
      for (const auto& t : tris)
        for (int k = 0; k < 3; ++k)
          for (int c = 0; c < 3; ++c) centre[c] += f.points[t[k]][c] / float(3 * tris.size());
      double volume = 0;
      for (const auto& t : tris)
        volume += Dot(Sub(f.points[t[0]], centre), Cross(Sub(f.points[t[1]], centre), Sub(f.points[t[2]], centre)));
      EXPECT_GT(volume, 0.0) << "part of " << tris.size() << " triangles";
      ++checked;
    }
    EXPECT_GT(checked, 0);
  }
}

// Atlas-mapped models keep every texture coordinate inside the image: a
// coordinate past an edge would wrap into another part's region.
TEST(DefaultData, AtlasModelsStayInsideTheirTexture) {
  for (const char* file : {"Nena1.3DS", "Nena2.3DS", "Tio1.3DS", "CaraTio1.3DS", "CaraTia1.3DS", "Mano1.3ds", "Fly.3ds"}) {
    SCOPED_TRACE(file);
    const ModelFacts f = InspectModel(file);
    for (const auto& uv : f.uvs) {
      ASSERT_GE(uv[0], -1e-5f);
      ASSERT_LE(uv[0], 1 + 1e-5f);
      ASSERT_GE(uv[1], -1e-5f);
      ASSERT_LE(uv[1], 1 + 1e-5f);
    }
  }
}

float DistanceToTriangle(P3 p, P3 a, P3 b, P3 c) {
  const P3 ab = Sub(b, a), ac = Sub(c, a), n = Cross(ab, ac);
  const float n2 = Dot(n, n);
  if (n2 > 0) {
    // Inside the triangle's prism: the distance to its plane.
    const P3 ap = Sub(p, a);
    const float s = Dot(Cross(ap, ac), n) / n2, t = Dot(Cross(ab, ap), n) / n2;
    if (s >= 0 && t >= 0 && s + t <= 1) return std::fabs(Dot(ap, n)) / std::sqrt(n2);
  }
  float best = 1e30f;
  const P3 corners[3] = {a, b, c};
  for (int k = 0; k < 3; ++k) {
    const P3 e0 = corners[k], e = Sub(corners[(k + 1) % 3], e0);
    const float len2 = Dot(e, e);
    const float u = len2 > 0 ? std::clamp(Dot(Sub(p, e0), e) / len2, 0.0f, 1.0f) : 0.0f;
    const P3 q = Sub(p, {e0[0] + u * e[0], e0[1] + u * e[1], e0[2] + u * e[2]});
    best = std::min(best, std::sqrt(Dot(q, q)));
  }
  return best;
}

// The sky sphere: from the title's and hand's eye (the model drawn at z = 10)
// it surrounds the view behind the hand (35 units deep) and inside the far
// plane; in the castle its 0.1 copy round (0, 0, 1.1) encloses the camera's
// whole flight, which keeps the courtyard from vanishing behind its clouds.
TEST(DefaultData, SkySurroundsTheEyeAndTheCastleFlight) {
  const ModelFacts sky = InspectModel("Galaxy.3DS");
  float nearest = 1e30f, farthest = 0, smallestRadius = 1e30f;
  for (const auto& t : sky.triangles) {
    // The sphere's faces are nearest at their middles, so measure those.
    P3 mid{0, 0, 0};
    for (int k = 0; k < 3; ++k)
      for (int c = 0; c < 3; ++c) mid[c] += sky.points[t[k]][c] / 3;
    const P3 fromEye{mid[0], mid[1], mid[2] + 10};
    nearest = std::min(nearest, std::sqrt(Dot(fromEye, fromEye)));
    smallestRadius = std::min(smallestRadius, std::sqrt(Dot(mid, mid)));
  }
  for (const P3& p : sky.points) {
    const P3 fromEye{p[0], p[1], p[2] + 10};
    farthest = std::max(farthest, std::sqrt(Dot(fromEye, fromEye)));
  }
  EXPECT_GT(nearest, 45.0f);    // the hand reaches about 43 deep
  EXPECT_LT(farthest, 115.0f);  // only the sides behind the eye lie past the far plane's 100
  static SPL_PointType control, path;
  const float points[12][3] = {{-5, 0, 0}, {3, 1.3f, -1}, {-5, 1, -1}, {6, 0, 0}, {3, 0, 1}, {-2, 2, -1},
                               {-3, 4, -1}, {-1, 0, -1}, {1, 1, -1}, {-1, 1.2f, -2}, {4, 1, -3}, {1, 1.8f, -1}};
  control.NumPoints = 12;
  for (int i = 0; i < 12; ++i) control.Point[i] = {points[i][0], points[i][1], points[i][2]};
  ASSERT_TRUE(SPL_Generate(&control, &path, 260));
  const int used = std::min(path.NumPoints, 23537 / 13 + 1);  // the scene ends before the path does
  for (int i = 0; i < used; ++i) {
    const SPL_TPoint& p = path.Point[i];
    const float d = std::sqrt(p.x * p.x + p.y * p.y + (p.z - 1.1f) * (p.z - 1.1f));
    ASSERT_LT(d, smallestRadius * 0.1f - 0.5f) << "camera point " << i;
  }
}

// The castle's camera never passes through a wall, tower, house or roof.
TEST(DefaultData, CastleCameraKeepsClearOfTheBuildings) {
  static SPL_PointType control, path;
  const float points[12][3] = {{-5, 0, 0}, {3, 1.3f, -1}, {-5, 1, -1}, {6, 0, 0}, {3, 0, 1}, {-2, 2, -1},
                               {-3, 4, -1}, {-1, 0, -1}, {1, 1, -1}, {-1, 1.2f, -2}, {4, 1, -3}, {1, 1.8f, -1}};
  control.NumPoints = 12;
  for (int i = 0; i < 12; ++i) control.Point[i] = {points[i][0], points[i][1], points[i][2]};
  ASSERT_TRUE(SPL_Generate(&control, &path, 260));
  const int used = std::min(path.NumPoints, 23537 / 13 + 1);
  for (const char* file : {"Castle1.3ds", "Castle2.3ds", "Castle3.3ds"}) {
    SCOPED_TRACE(file);
    const ModelFacts f = InspectModel(file);
    float closest = 1e30f;
    for (int i = 0; i < used; i += 3) {
      const P3 eye{path.Point[i].x * 10, path.Point[i].y * 10, path.Point[i].z * 10};  // drawn at 0.1
      for (const auto& t : f.triangles)
        closest = std::min(closest, DistanceToTriangle(eye, f.points[t[0]], f.points[t[1]], f.points[t[2]]));
    }
    EXPECT_GT(closest, 1.5f);  // 0.15 world units: well beyond the near plane's 0.1
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

// Uncompressed true colour with the bottom-left origin flagged, so that other
// viewers agree with the show about which way up an image is, and nothing
// after the pixels.
TEST(DefaultData, TexturesAreBottomLeftUncompressedTGA) {
  for (const char* texture : kShowTextureFiles) {
    SCOPED_TRACE(texture);
    const auto bytes = ReadFile(fs::path(kBuildDir) / "Data" / FileName(texture));
    ASSERT_GE(bytes.size(), 18u);
    const std::vector<uint8_t> head(bytes.begin(), bytes.begin() + 12);
    EXPECT_EQ(head, (std::vector<uint8_t>{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    const unsigned width = U16(bytes, 12), height = U16(bytes, 14);
    EXPECT_EQ(bytes[16], 24);
    EXPECT_EQ(bytes[17] & 0x30, 0);  // origin bits: bottom left
    EXPECT_EQ(bytes.size(), 18u + size_t(width) * height * 3);
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
