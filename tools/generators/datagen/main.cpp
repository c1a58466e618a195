// datagen: writes the show's default models and textures into a folder.
//   datagen OUT_DIR           write every file (same bytes on every run)
//   datagen OUT_DIR --stats   ... and list triangles and sizes
#include "tools/generators/datagen/models.h"
#include "tools/generators/datagen/textures.h"
#include "tools/generators/datagen/writer_3ds.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct ModelFile {
  const char* file;  // spelled as the loading code spells it
  const char* object;
  Mesh (*build)();
};

struct TextureFile {
  const char* file;
  Image (*paint)();
};

const ModelFile kModels[] = {
    {"Nena1.3DS", "Nena1", BuildNena1},       {"Nena2.3DS", "Nena2", BuildNena2},
    {"Galaxy.3DS", "Galaxy", BuildGalaxy},    {"Tio1.3DS", "Tio1", BuildTio1},
    {"CaraTio1.3DS", "CaraTio1", BuildCaraTio1}, {"CaraTia1.3DS", "CaraTia1", BuildCaraTia1},
    {"Mano1.3ds", "Mano1", BuildMano1},       {"Fly.3ds", "Fly", BuildFly},
    {"Castle1.3ds", "Castle1", BuildCastle1}, {"Castle2.3ds", "Castle2", BuildCastle2},
    {"Castle3.3ds", "Castle3", BuildCastle3}, {"Greet1.3ds", "Greet1", BuildGreet1},
    {"Bolah8.3ds", "Bolah8", BuildBolah8},
};

const TextureFile kTextures[] = {
    {"Nena1.tga", PaintNena1},     {"Galaxy.tga", PaintGalaxy},   {"Tio1.tga", PaintTio1},
    {"caratio1.tga", PaintCaraTio1}, {"caratia1.tga", PaintCaraTia1}, {"pincho1.tga", PaintPincho1},
    {"Fly.tga", PaintFly},         {"piedrah.tga", PaintPiedrah}, {"Ground1.tga", PaintGround1},
    {"cloud1.tga", PaintCloud1},   {"brick1.tga", PaintBrick1},   {"Credit1.tga", PaintCredit1},
    {"code.tga", PaintCode},       {"visual.tga", PaintVisual},
};

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "datagen: cannot write %s\n", path.c_str());
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return (std::fclose(f) == 0) && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "--stats") != 0)) {
    std::fputs("usage: datagen OUT_DIR [--stats]\n", stderr);
    return 2;
  }
  const std::string dir = argv[1];
  const bool stats = argc == 3;
  std::error_code error;
  std::filesystem::create_directories(dir, error);  // a failure shows on the first write
  for (const ModelFile& m : kModels) {
    const Mesh mesh = m.build();
    const auto bytes = Encode3DS(mesh, m.object);
    if (bytes.empty() || mesh.faces.size() > 40000 || mesh.vertices.size() > 50000) {
      std::fprintf(stderr, "datagen: %s is too large for the show's loader\n", m.file);
      return 1;
    }
    if (!WriteFile(dir + "/" + m.file, bytes)) return 1;
    if (stats) std::printf("%-14s %6zu triangles %6zu vertices\n", m.file, mesh.faces.size(), mesh.vertices.size());
  }
  for (const TextureFile& t : kTextures) {
    const Image img = t.paint();
    if (!WriteFile(dir + "/" + t.file, EncodeTGA(img))) return 1;
    if (stats) std::printf("%-14s %4d x %d, 24 bits\n", t.file, img.width, img.height);
  }
  return 0;
}
