// Textures from uncompressed 24- and 32-bit TGA files.
//
// Units: sizes in pixels, depths in bits per pixel. Threads: main thread only;
// LoadTGA needs the OpenGL context current.
#pragma once

#include <cstdint>

struct TextureImage {
  uint8_t* pixels;        // width x height pixels, R G B (A), rows in file order;
                          // malloc'd by LoadTGA, released with FreeTexturePixels
  uint32_t bitsPerPixel;  // 24 or 32
  uint32_t width;         // pixels per row, 1 .. 65535
  uint32_t height;        // rows, 1 .. 65535
  uint32_t texID;         // the OpenGL texture name; never deleted
};

// Why a texture was not loaded.
enum class TgaProblem {
  None,
  NotFound,
  NotRegular,    // a FIFO, a device, a socket: never opened
  Unreadable,
  NotSupported,  // not an uncompressed 24- or 32-bit true-colour TGA
  Truncated,     // fewer pixels than the header says
  TooLarge,      // beyond OpenGL's texture size, or memory's
  NoMemory,
};
const char* TgaProblemText(TgaProblem problem);  // "not found", ... for messages

// Reads `filename` (a Windows-style name such as "Data\Nena1.tga") into
// `texture` and creates its OpenGL texture, which is left bound to
// GL_TEXTURE_2D. False when the file is missing or not an uncompressed
// true-colour TGA the show can use, with the reason in *problem (may be
// null); then no texture name is made and no pixel buffer is left in the
// record. Reports nothing itself. Needs a current OpenGL context.
bool LoadTGA(TextureImage* texture, const char* filename, TgaProblem* problem = nullptr);

// Releases the record's pixel buffer (safe on an empty record).
void FreeTexturePixels(TextureImage* texture);
