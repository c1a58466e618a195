#include "tools/ffgl/png_read.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>

bool ReadPNG(const char* path, int* width, int* height, std::vector<unsigned char>* rgb) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path)) {
    std::fprintf(stderr, "%s: %s\n", path, image.message);
    return false;
  }
  image.format = PNG_FORMAT_RGB;
  rgb->resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr)) {
    std::fprintf(stderr, "%s: %s\n", path, image.message);
    png_image_free(&image);
    return false;
  }
  *width = int(image.width);
  *height = int(image.height);
  return true;
}
