// Baked outline glyphs: what LoadOutlineGlyphs found on the build machine,
// written to a file the browser build reads instead of a font (it has no
// fontconfig, FreeType or GLU tessellator). Little-endian whatever the host:
//   "VGLYPHS1", u32 first code, u32 count, then per glyph: u8 present,
//   5 x f32 metrics, u32 n, n x f32 triangle corners (x, y pairs).
#pragma once

#include "platform/outline_glyphs.h"

#include <string>
#include <vector>

bool WriteGlyphFile(const char* path, unsigned first, const std::vector<OutlineGlyph>& glyphs);

// False, with *glyphs untouched, for a file that cannot be read or is not
// one of these (a count or size it cannot hold, a cut-off end).
bool ReadGlyphFile(const char* path, unsigned* first, std::vector<OutlineGlyph>* glyphs);
