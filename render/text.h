// Outline text: the glyphs of "Georgia" (bold) as flat filled polygons in 3D,
// one display list per Windows-1252 code. Em height 1.0; a text lies in the
// plane z = 0 of the current modelview, baseline on y = 0.
//
// Units: positions in the units of the current modelview (the show passes
// eye-space units under the frame's identity), lengths in ems, opacity in
// percent. Texts are Windows-1252, one byte per character, read during the
// call only. Threads: main thread only; every operation needs the current
// OpenGL context the lists were built in. The display lists are this
// module's: BuildFont makes them, KillFont deletes them.
#pragma once

// The font the lists are built from: its face (or the closest substitute),
// weight, and the codes that get a glyph (255 stays empty).
constexpr char kFontFace[] = "Georgia";
constexpr int kFontWeight = 700;
constexpr unsigned kFontFirstCode = 0;
constexpr unsigned kFontCodes = 255;

// Builds the 256 display lists (codes 0 to 254; 255 stays empty). Nonzero on
// success; without a font every later text draws nothing.
int BuildFont();

// Deletes the display lists.
void KillFont();

// Draws the printf-formatted text centred horizontally on the current origin.
// The centring translation is left on the current matrix. Texts are cut at
// 255 characters.
void glPrint(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Draws `text` literally, white with alpha opacity / 100 (percent), centred at
// (x, y, z) of the current modelview; the matrix is left as found.
void DrawTextAt(float x, float y, float z, const char* text, float opacity);

// The advance of character code `c` in em units (0 before BuildFont).
float FontAdvance(unsigned char c);
