#include "tests/support/gl_test.h"

#include "app/window.h"
#include "tools/shared_kit/headless_gl.h"
#include "platform/msgbox.h"

#include <GL/gl.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

void HeadlessGL::SetUp() {
  MessageBoxStartRecording();
  ASSERT_TRUE(HeadlessGLCreate(640, 480)) << "no headless OpenGL context";
  ReSizeGLScene(640, 480);
  InitGL();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void HeadlessGL::TearDown() {
  HeadlessGLDestroy();
  MessageBoxStopRecording();
}

Frame::Frame() : width_(HeadlessGLWidth()), height_(HeadlessGLHeight()), rgb_(HeadlessGLReadRGB()) {}

Rgb Frame::At(int x, int y) const {
  const size_t i = (size_t(y) * size_t(width_) + size_t(x)) * 3;
  return {rgb_[i], rgb_[i + 1], rgb_[i + 2]};
}

int Frame::CountBrighterThan(int threshold) const {
  int count = 0;
  for (size_t i = 0; i + 2 < rgb_.size(); i += 3)
    if (rgb_[i] > threshold && rgb_[i + 1] > threshold && rgb_[i + 2] > threshold) ++count;
  return count;
}

bool Frame::BrightBounds(int threshold, int* left, int* right, int* top, int* bottom) const {
  *left = width_, *right = -1, *top = height_, *bottom = -1;
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      const Rgb p = At(x, y);
      if (p.r > threshold && p.g > threshold && p.b > threshold) {
        *left = std::min(*left, x), *right = std::max(*right, x);
        *top = std::min(*top, y), *bottom = std::max(*bottom, y);
      }
    }
  return *right >= 0;
}

Rgb Frame::Mean() const {
  long sum[3] = {0, 0, 0};
  for (size_t i = 0; i + 2 < rgb_.size(); i += 3)
    for (int c = 0; c < 3; ++c) sum[c] += rgb_[i + c];
  const long n = long(rgb_.size() / 3);
  return {int(sum[0] / n), int(sum[1] / n), int(sum[2] / n)};
}

ScratchDir::ScratchDir() {
  char pattern[] = "/tmp/trailer-test-XXXXXX";
  path_ = mkdtemp(pattern);
  previous_ = std::filesystem::current_path();
  std::filesystem::current_path(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void ScratchDir::Write(const std::string& relativePath, const std::vector<uint8_t>& bytes) const {
  const std::filesystem::path full = std::filesystem::path(path_) / relativePath;
  std::filesystem::create_directories(full.parent_path());
  std::ofstream(full, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void PutU8(std::vector<uint8_t>& out, unsigned value) { out.push_back(uint8_t(value)); }
void PutU16(std::vector<uint8_t>& out, unsigned value) {
  out.push_back(uint8_t(value));
  out.push_back(uint8_t(value >> 8));
}
void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(value >> (8 * i)));
}
void PutF32(std::vector<uint8_t>& out, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  PutU32(out, bits);
}

std::vector<uint8_t> MakeTGA(int width, int height, int bitsPerPixel, const std::vector<uint8_t>& bgra) {
  std::vector<uint8_t> file = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  PutU16(file, unsigned(width));
  PutU16(file, unsigned(height));
  PutU8(file, unsigned(bitsPerPixel));
  PutU8(file, bitsPerPixel == 32 ? 8 : 0);
  file.insert(file.end(), bgra.begin(), bgra.end());
  return file;
}

std::vector<uint8_t> MakeSolidTGA(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> pixels;
  for (int i = 0; i < width * height; ++i) pixels.insert(pixels.end(), {b, g, r});
  return MakeTGA(width, height, 24, pixels);
}
