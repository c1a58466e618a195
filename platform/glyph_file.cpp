#include "platform/glyph_file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

static const char kMagic[8] = {'V', 'G', 'L', 'Y', 'P', 'H', 'S', '1'};
static const uint32_t kMaxGlyphs = 256;           // one code page
static const uint32_t kMaxCorners = 1u << 22;     // floats per glyph: far above any glyph's

static void PutU32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(uint8_t(v >> (8 * i)));
}

static void PutF32(std::vector<uint8_t>* out, float f) {
  uint32_t v = 0;
  std::memcpy(&v, &f, 4);
  PutU32(out, v);
}

bool WriteGlyphFile(const char* path, unsigned first, const std::vector<OutlineGlyph>& glyphs) {
  std::vector<uint8_t> out(kMagic, kMagic + 8);
  PutU32(&out, first);
  PutU32(&out, uint32_t(glyphs.size()));
  for (const OutlineGlyph& g : glyphs) {
    out.push_back(g.present ? 1 : 0);
    const GLYPHMETRICSFLOAT& m = g.metrics;
    for (float f : {m.gmfBlackBoxX, m.gmfBlackBoxY, m.gmfptGlyphOrigin.x, m.gmfptGlyphOrigin.y, m.gmfCellIncX})
      PutF32(&out, f);
    PutU32(&out, uint32_t(g.triangles.size()));
    for (float f : g.triangles) PutF32(&out, f);
  }
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  return std::fclose(file) == 0 && written;
}

// Reads little-endian values from a buffer, failing (sticky) past its end.
struct Reader {
  const std::vector<uint8_t>& bytes;
  size_t at = 0;
  bool ok = true;
  uint32_t U32() {
    if (!ok || bytes.size() - at < 4) return ok = false, 0;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(bytes[at + size_t(i)]) << (8 * i);
    at += 4;
    return v;
  }
  float F32() {
    const uint32_t v = U32();
    float f = 0;
    std::memcpy(&f, &v, 4);
    return f;
  }
  uint8_t U8() {
    if (!ok || at >= bytes.size()) return ok = false, 0;
    return bytes[at++];
  }
};

bool ReadGlyphFile(const char* path, unsigned* first, std::vector<OutlineGlyph>* glyphs) {
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
  std::fclose(file);
  if (bytes.size() < 16 || std::memcmp(bytes.data(), kMagic, 8) != 0) return false;

  Reader in{bytes, 8};
  const uint32_t firstCode = in.U32(), count = in.U32();
  if (count > kMaxGlyphs) return false;
  std::vector<OutlineGlyph> read(count);
  for (OutlineGlyph& g : read) {
    g.present = in.U8() != 0;
    GLYPHMETRICSFLOAT& m = g.metrics;
    m.gmfBlackBoxX = in.F32();
    m.gmfBlackBoxY = in.F32();
    m.gmfptGlyphOrigin.x = in.F32();
    m.gmfptGlyphOrigin.y = in.F32();
    m.gmfCellIncX = in.F32();
    const uint32_t corners = in.U32();
    if (!in.ok || corners > kMaxCorners || corners > (bytes.size() - in.at) / 4) return false;
    g.triangles.resize(corners);
    for (float& f : g.triangles) f = in.F32();
  }
  if (!in.ok || in.at != bytes.size()) return false;
  *first = firstCode;
  glyphs->swap(read);
  return true;
}
