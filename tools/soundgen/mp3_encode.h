// MP3 encoding with LAME, shared by the soundtrack generator and the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Encodes `frames` frames of interleaved 16-bit PCM (1 or 2 channels at `rate`
// Hz) as a constant-bit-rate MP3 of `kbps`, with the LAME tag in the first
// frame so that a decoder can cut the encoder's delay and padding: decoded
// gaplessly, the first sample is the first frame of `pcm` and the length is
// exactly `frames`. Deterministic: the same input gives the same bytes.
bool EncodeMp3(const int16_t* pcm, size_t frames, int channels, int rate, int kbps, std::vector<uint8_t>* mp3);
