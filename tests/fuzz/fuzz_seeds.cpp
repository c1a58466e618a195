// Writes the fuzzers' seed corpus: a few small, valid models, textures and
// MP3s (written by the soundtrack's own encoder).
// usage: fuzz_seeds OUT_DIR   (writes OUT_DIR/3ds/*, OUT_DIR/tga/* and OUT_DIR/mp3/*)
#include "tools/generators/soundgen/mp3_encode.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <sys/stat.h>
#include <vector>

using Bytes = std::vector<uint8_t>;

static void U8(Bytes& out, unsigned v) { out.push_back(uint8_t(v)); }
static void U16(Bytes& out, unsigned v) { U8(out, v & 0xFF), U8(out, (v >> 8) & 0xFF); }
static void U32(Bytes& out, uint32_t v) { U16(out, v & 0xFFFF), U16(out, v >> 16); }
static void F32(Bytes& out, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  U32(out, bits);
}

static Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

static Bytes Chunk(unsigned id, const Bytes& payload = {}) {
  Bytes out;
  U16(out, id);
  U32(out, uint32_t(payload.size() + 6));
  return Cat({out, payload});
}

static Bytes Text(const char* s) { return Bytes(s, s + std::strlen(s) + 1); }

// A mesh of `n` vertices on a circle and the fan of faces over them.
static Bytes TriMesh(unsigned n, bool mapped, const Bytes& faceSubChunks) {
  Bytes vertices, faces, maps;
  U16(vertices, n), U16(maps, n), U16(faces, n - 2);
  for (unsigned i = 0; i < n; ++i) {
    F32(vertices, float(i % 3)), F32(vertices, float(i / 3)), F32(vertices, -1.5f);
    F32(maps, float(i) / float(n)), F32(maps, 1.0f - float(i) / float(n));
  }
  for (unsigned i = 1; i + 1 < n; ++i) U16(faces, 0), U16(faces, i), U16(faces, i + 1), U16(faces, 7);
  Bytes lists = Cat({Chunk(0x4110, vertices), Chunk(0x4120, Cat({faces, faceSubChunks}))});
  if (mapped) lists = Cat({lists, Chunk(0x4140, maps)});
  Bytes matrix;
  for (int i = 0; i < 12; ++i) F32(matrix, i % 4 == 0 ? 1.0f : 0.0f);
  return Chunk(0x4100, Cat({lists, Chunk(0x4160, matrix)}));
}

static Bytes Material() {
  Bytes rgbf, rgbb = {10, 20, 30};
  F32(rgbf, 0.1f), F32(rgbf, 0.2f), F32(rgbf, 0.3f);
  return Chunk(0xAFFF, Cat({Chunk(0xA000, Text("Stone")), Chunk(0xA010, Chunk(0x0010, rgbf)),
                            Chunk(0xA020, Chunk(0x0011, rgbb)), Chunk(0xA200, Chunk(0xA300, Text("STONE.TGA")))}));
}

static Bytes Keyframer() {
  Bytes frames;
  U32(frames, 0), U32(frames, 100);
  return Chunk(0xB000, Cat({Chunk(0xB008, frames), Chunk(0xB002, Cat({Chunk(0xB010, Text("obj")),
                                                                       Chunk(0xB020, Bytes(20, 0))}))}));
}

static Bytes Tga(unsigned width, unsigned height, unsigned bits, uint8_t descriptor) {
  Bytes out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  U16(out, width), U16(out, height), U8(out, bits), U8(out, descriptor);
  for (unsigned i = 0; i < width * height * bits / 8; ++i) U8(out, (i * 37) & 0xFF);
  return out;
}

// A short tone at `rate`, mono or stereo, with or without the encoder's
// Xing/LAME tag frame; `id3` wraps it in an ID3v2 header and an ID3v1 tail.
static Bytes Mp3(int rate, int channels, bool lameTag, bool id3) {
  const size_t frames = size_t(rate) / 8;  // an eighth of a second: a few MPEG frames
  std::vector<int16_t> pcm(frames * size_t(channels));
  for (size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      pcm[i * size_t(channels) + size_t(c)] = int16_t(8000 * std::sin(double(i) * (c + 1) * 0.05));
  Bytes mp3;
  // 64 kbps from 16 kHz up: at 32 the frames are too small for the tag.
  if (!EncodeMp3(pcm.data(), frames, channels, rate, rate >= 16000 ? 64 : 32, &mp3, lameTag)) return {};
  if (!id3) return mp3;
  const Bytes header = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 18};  // version 2.3, 18 bytes of frames
  const Bytes title = {'T', 'I', 'T', '2', 0, 0, 0, 8, 0, 0,  // a title frame of 8 bytes:
                       0, 'V', 'e', 'l', 'm', 'o', 'r', 'a'};  // Latin-1, "Velmora"
  const Bytes tagged = Cat({header, title, mp3});
  Bytes tail(128, 0);
  tail[0] = 'T', tail[1] = 'A', tail[2] = 'G';
  return Cat({tagged, tail});
}

static bool Save(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: fuzz_seeds OUT_DIR\n", stderr);
    return 2;
  }
  const std::string out = argv[1];
  mkdir(out.c_str(), 0755), mkdir((out + "/3ds").c_str(), 0755), mkdir((out + "/tga").c_str(), 0755);
  mkdir((out + "/mp3").c_str(), 0755);

  const Bytes faceMaterial = Chunk(0x4130, Cat({Text("Stone"), Bytes{1, 0, 0, 0}}));
  const Bytes smoothing = Chunk(0x4150, Bytes{1, 0, 0, 0, 1, 0, 0, 0});
  const struct {
    const char* name;
    Bytes bytes;
  } seeds[] = {
      {"3ds/mesh.3ds", Chunk(0x4D4D, Chunk(0x3D3D, Chunk(0x4000, Cat({Text("box"), TriMesh(6, true, Cat({faceMaterial, smoothing}))}))))},
      {"3ds/full.3ds", Chunk(0x4D4D, Cat({Chunk(0x0002, Bytes{3, 0, 0, 0}),
                                         Chunk(0x3D3D, Cat({Material(), Chunk(0x4000, Cat({Text("a"), TriMesh(4, true, {})})),
                                                             Chunk(0x4000, Cat({Text("b"), TriMesh(5, false, smoothing)})),
                                                             Chunk(0x4000, Cat({Text("lamp"), Chunk(0x4600, Bytes(12, 0))}))})),
                                         Keyframer()}))},
      {"3ds/unmapped.3ds", Chunk(0x4D4D, Chunk(0x3D3D, Chunk(0x4000, Cat({Text(""), TriMesh(3, false, {})}))))},
      {"tga/rgb.tga", Tga(2, 2, 24, 0)},
      {"tga/rgba.tga", Tga(4, 2, 32, 8)},
      {"tga/odd.tga", Tga(3, 1, 24, 0x20)},
  };
  for (const auto& seed : seeds)
    if (!Save(out + "/" + seed.name, seed.bytes)) {
      std::fprintf(stderr, "fuzz_seeds: cannot write %s/%s\n", out.c_str(), seed.name);
      return 1;
    }

  // Every MPEG version's rates, each mono and stereo, tagged and not.
  const int rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
  int n = 0;
  for (int rate : rates)
    for (int channels = 1; channels <= 2; ++channels)
      for (int tagged = 0; tagged < 2; ++tagged, ++n) {
        const Bytes mp3 = Mp3(rate, channels, tagged == 1, tagged == 1 && n % 3 == 0);
        const std::string name = out + "/mp3/" + std::to_string(rate) + (channels == 1 ? "-mono" : "-stereo") +
                                 (tagged ? "-tagged" : "") + ".mp3";
        if (mp3.empty() || !Save(name, mp3)) {
          std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", name.c_str());
          return 1;
        }
      }
  return 0;
}
