// Reading 8-bit PNG images back (libpng), to compare frames.
#pragma once

#include <vector>

// The image as RGB bytes, top row first; false (with a line on stderr) when
// it cannot be read.
bool ReadPNG(const char* path, int* width, int* height, std::vector<unsigned char>* rgb);
