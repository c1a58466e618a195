// Outline glyphs in a browser, which has no fonts to read outlines from: the
// triangles the build machine's font made, baked into a file
// (tools/generators/glyphbake) that the page puts at kBakedGlyphs.
#include "platform/glyph_file.h"
#include "platform/outline_glyphs.h"

static const char kBakedGlyphs[] = "/velmora/glyphs.bin";

bool LoadOutlineGlyphs(const char*, int, unsigned first, unsigned count, std::vector<OutlineGlyph>* glyphs) {
  unsigned bakedFirst = 0;
  std::vector<OutlineGlyph> baked;
  if (!ReadGlyphFile(kBakedGlyphs, &bakedFirst, &baked)) return false;
  glyphs->assign(count, OutlineGlyph());
  for (unsigned i = 0; i < count; ++i) {
    const unsigned code = first + i;
    if (code >= bakedFirst && code - bakedFirst < baked.size()) (*glyphs)[i] = baked[code - bakedFirst];
  }
  return true;
}
