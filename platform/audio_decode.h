// Decoding a whole MP3 file into memory, as the audio layer plays it.
//
// Everything the decoder puts out is kept, the codecs' delay included (the
// show's marks count from the first decoded sample). The result is
// interleaved 16-bit stereo at the output rate: a file at the output rate or
// at half of it (22,050 Hz for 44,100 Hz) is converted without any shift in
// time by a short half-band filter; other rates go through SDL's converter.
// Any thread; no shared state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The longest soundtrack taken, in seconds of audio, and the largest file.
// The show's is 133 s; a header or a file claiming more is damaged.
constexpr int kMaxDecodedSeconds = 20 * 60;
constexpr size_t kMaxFileBytes = 128u << 20;

// Returns 0 or the audio library's error code: 2 the file cannot be opened
// (or is not a regular file), 6 it holds no MPEG audio, or claims or decodes
// to more than kMaxDecodedSeconds, 1 out of memory. A file that breaks off
// ends there; a stretch of garbage is skipped (up to 1024 bytes of it, as
// libmpg123 resynchronises), longer garbage ends it. *fileRate gets the
// file's own rate in Hz.
int DecodeMp3File(const char* path, int rate, std::vector<int16_t>* stereo, long* fileRate);

// Tighter bounds for the fuzzer, which fuzzes the reading, not the
// resampler's speed on long outputs. The show leaves them off.
struct Mp3DecodeLimits {
  bool stopAtFirstError = false;  // no resync past a damaged frame: the stream ends there
  size_t maxFrames = 0;           // keep at most this many frames of decoded audio (0: no such cap)
};

// The same for a file's bytes already in memory.
int DecodeMp3Memory(const uint8_t* data, size_t size, int rate, std::vector<int16_t>* stereo, long* fileRate,
                    const Mp3DecodeLimits& limits = {});
