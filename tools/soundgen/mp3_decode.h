// Decoding a whole MP3 file with libmpg123, for checking what the generator
// wrote: the tests and soundcheck read the soundtrack back with it.
#pragma once

#include <cstdint>
#include <vector>

// Decodes `path` as the show hears it (everything the decoder puts out, the
// codecs' delay included: nothing is cut) into interleaved 16-bit PCM,
// appended to *pcm. False when the file
// cannot be opened, is not a regular file, or decoding fails before its end.
bool DecodeMp3(const char* path, std::vector<int16_t>* pcm, long* rate, int* channels);
