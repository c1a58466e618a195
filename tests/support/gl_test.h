// Shared test support: a headless GL context with the window's baseline
// state, pixel read-back, and scratch folders for files the tests write.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// A 640 x 480 headless context with ReSizeGLScene and InitGL applied, like a
// freshly created show window. Message boxes are recorded, never shown.
class HeadlessGL : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

struct Rgb {
  int r, g, b;
};

// The current frame, read back once; (x, y) with y = 0 the top row.
class Frame {
 public:
  Frame();  // reads the colour buffer now
  Rgb At(int x, int y) const;
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Pixels whose channels all exceed `threshold`.
  int CountBrighterThan(int threshold) const;
  // Leftmost and rightmost columns (and top and bottom rows) holding a pixel
  // brighter than `threshold`; false when there is none.
  bool BrightBounds(int threshold, int* left, int* right, int* top, int* bottom) const;
  Rgb Mean() const;

 private:
  int width_, height_;
  std::vector<unsigned char> rgb_;
};

// A fresh empty folder that becomes the working directory for the test's
// lifetime; the previous working directory is restored and the folder removed.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::string& Path() const { return path_; }
  // Writes `bytes` to `relativePath` (Linux separators), creating folders.
  void Write(const std::string& relativePath, const std::vector<uint8_t>& bytes) const;

 private:
  std::string path_, previous_;
};

// Little-endian byte building, for the files tests write.
void PutU8(std::vector<uint8_t>& out, unsigned value);
void PutU16(std::vector<uint8_t>& out, unsigned value);
void PutU32(std::vector<uint8_t>& out, uint32_t value);
void PutF32(std::vector<uint8_t>& out, float value);

// An uncompressed 24- or 32-bit TGA, bottom-left origin; `bgra` holds
// width x height pixels of bitsPerPixel / 8 bytes in file (B, G, R, A) order.
std::vector<uint8_t> MakeTGA(int width, int height, int bitsPerPixel, const std::vector<uint8_t>& bgra);
// A TGA of one colour (r, g, b), 24 bits.
std::vector<uint8_t> MakeSolidTGA(int width, int height, uint8_t r, uint8_t g, uint8_t b);
