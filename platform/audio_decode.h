// Decoding a whole MP3 file into memory, as the audio layer plays it.
//
// Everything the decoder puts out is kept, the codecs' delay included (the
// show's marks count from the first decoded sample). The result is
// interleaved 16-bit stereo at the output rate: a file at the output rate or
// at half of it (22,050 Hz for 44,100 Hz) is converted without any shift in
// time by a short half-band filter; other rates go through SDL's converter.
// Any thread; no shared state.
#pragma once

#include <cstdint>
#include <vector>

// Returns 0 or the audio library's error code: 2 the file cannot be opened,
// 6 it holds no MPEG audio, 1 out of memory. A file that breaks off or turns
// to garbage simply ends there. *fileRate gets the file's own rate in Hz.
int DecodeMp3File(const char* path, int rate, std::vector<int16_t>* stereo, long* fileRate);
