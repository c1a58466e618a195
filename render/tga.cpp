// Textures from uncompressed true-colour TGA files: read, turned from B G R (A)
// into R G B (A) in place, and handed to OpenGL rows in file order.
#include "render/tga.h"

#include "platform/win_files.h"

#include <GL/gl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The only first 12 bytes accepted: no image ID, no colour map, image type 2
// (uncompressed true-colour), colour-map fields all zero, origin (0, 0).
static const uint8_t TGAheader[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};

const char* TgaProblemText(TgaProblem problem) {
  switch (problem) {
    case TgaProblem::None: return "loaded";
    case TgaProblem::NotFound: return "not found";
    case TgaProblem::NotRegular: return "not a regular file";
    case TgaProblem::Unreadable: return "cannot be read";
    case TgaProblem::NotSupported: return "not a 24- or 32-bit uncompressed TGA";
    case TgaProblem::Truncated: return "cut short: fewer pixels than its header says";
    case TgaProblem::TooLarge: return "larger than OpenGL takes";
    case TgaProblem::NoMemory: return "out of memory";
  }
  return "cannot be read";
}

// Every refusal leaves the record without a pixel buffer and makes no texture
// name; the file is closed.
static bool Refuse(FILE* file, TextureImage* texture, uint8_t* pixels, TgaProblem why, TgaProblem* problem) {
  std::free(pixels);
  if (texture->pixels == pixels) texture->pixels = nullptr;
  std::fclose(file);
  if (problem) *problem = why;
  return false;
}

// True when at least `bytes` remain after the file's current position.
static bool FileHoldsAtLeast(FILE* file, uint64_t bytes) {
  const long here = std::ftell(file);
  if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return false;
  const long end = std::ftell(file);
  if (end < 0 || std::fseek(file, here, SEEK_SET) != 0) return false;
  return uint64_t(end - here) >= bytes;
}

bool LoadTGA(TextureImage* texture, const char* filename, TgaProblem* problem) {
  uint8_t TGAcompare[12];
  uint8_t header[6];  // width (2), height (2), pixel depth, image descriptor

  FileProblem fileProblem = FileProblem::None;
  FILE* file = OpenShowFile(filename, &fileProblem);
  if (!file) {
    if (problem)
      *problem = fileProblem == FileProblem::NotFound     ? TgaProblem::NotFound
                 : fileProblem == FileProblem::NotRegular ? TgaProblem::NotRegular
                                                          : TgaProblem::Unreadable;
    return false;
  }
  const TgaProblem kNotSupported = TgaProblem::NotSupported;

  if (std::fread(TGAcompare, 1, sizeof TGAcompare, file) != sizeof TGAcompare ||
      std::memcmp(TGAheader, TGAcompare, sizeof TGAheader) != 0)
    return Refuse(file, texture, nullptr, kNotSupported, problem);
  if (std::fread(header, 1, sizeof header, file) != sizeof header)
    return Refuse(file, texture, nullptr, kNotSupported, problem);

  texture->width = header[1] * 256u + header[0];
  texture->height = header[3] * 256u + header[2];
  if (texture->width == 0 || texture->height == 0 || (header[4] != 24 && header[4] != 32))
    return Refuse(file, texture, nullptr, kNotSupported, problem);

  // OpenGL would leave a texture this large without an image; refuse it before
  // reading megabytes for nothing. A query that reports nothing sets no limit.
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  if (maxSize > 0 && (texture->width > uint32_t(maxSize) || texture->height > uint32_t(maxSize)))
    return Refuse(file, texture, nullptr, TgaProblem::TooLarge, problem);

  texture->bitsPerPixel = header[4];
  const uint32_t bytesPerPixel = texture->bitsPerPixel / 8;
  // 65535 x 65535 x 4 does not fit in 32 bits.
  const uint64_t imageSize = uint64_t(texture->width) * texture->height * bytesPerPixel;
  if (imageSize > SIZE_MAX) return Refuse(file, texture, nullptr, TgaProblem::TooLarge, problem);

  // A header may claim far more pixels than the file holds: refuse before
  // allocating for them.
  if (!FileHoldsAtLeast(file, imageSize)) return Refuse(file, texture, nullptr, TgaProblem::Truncated, problem);

  uint8_t* pixels = static_cast<uint8_t*>(std::malloc(size_t(imageSize)));
  if (!pixels) return Refuse(file, texture, nullptr, TgaProblem::NoMemory, problem);
  texture->pixels = pixels;
  if (std::fread(pixels, 1, size_t(imageSize), file) != imageSize)
    return Refuse(file, texture, pixels, TgaProblem::Truncated, problem);

  for (uint64_t i = 0; i < imageSize; i += bytesPerPixel) {
    const uint8_t temp = pixels[i];
    pixels[i] = pixels[i + 2];
    pixels[i + 2] = temp;
  }
  std::fclose(file);

  glGenTextures(1, &texture->texID);
  glBindTexture(GL_TEXTURE_2D, texture->texID);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  const GLenum type = texture->bitsPerPixel == 24 ? GL_RGB : GL_RGBA;
  // Rows are packed tight: with the default 4-byte unpack alignment a 24-bit
  // image whose rows are not a multiple of 4 bytes would be read skewed and
  // past the end of the buffer.
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GLint(type), GLsizei(texture->width), GLsizei(texture->height), 0, type,
               GL_UNSIGNED_BYTE, pixels);
  glPopClientAttrib();
  if (problem) *problem = TgaProblem::None;
  return true;
}

void FreeTexturePixels(TextureImage* texture) {
  std::free(texture->pixels);
  texture->pixels = nullptr;
}
