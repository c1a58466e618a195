// glyphbake OUT: bakes the show's outline glyphs (the font render/text.h
// asks for, or its closest substitute here) into OUT, for the browser build,
// which has no font of its own (platform/glyph_file.h).
#include "platform/glyph_file.h"
#include "platform/outline_glyphs.h"
#include "render/text.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: glyphbake OUT\n", stderr);
    return 2;
  }
  std::vector<OutlineGlyph> glyphs;
  if (!LoadOutlineGlyphs(kFontFace, kFontWeight, kFontFirstCode, kFontCodes, &glyphs)) {
    std::fputs("glyphbake: no outline font can be loaded\n", stderr);
    return 1;
  }
  if (!WriteGlyphFile(argv[1], kFontFirstCode, glyphs)) {
    std::fprintf(stderr, "glyphbake: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
