// Writing PNG images (libpng), for the offline tool's frames, textures and
// contact sheets.
#pragma once

// Writes `rgb` (width x height pixels of 3 bytes, top row first) as an 8-bit
// RGB PNG. False, with a line on stderr, when the file cannot be written.
bool WritePNG(const char* path, int width, int height, const unsigned char* rgb);
