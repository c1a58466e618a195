// MP3 encoding with LAME, shared by the soundtrack generator and the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Encodes `frames` frames of interleaved 16-bit PCM (1 or 2 channels at `rate`
// Hz) as a constant-bit-rate MP3 of `kbps`. With `lameTag` the first frame
// carries the encoder's delay and padding, which a gapless decoder cuts (the
// first sample is then the first frame of `pcm`); any decoder that plays
// everything puts kCodecDelayFrames of near-silence first. Deterministic: the
// same input gives the same bytes.
bool EncodeMp3(const int16_t* pcm, size_t frames, int channels, int rate, int kbps, std::vector<uint8_t>* mp3,
               bool lameTag = true);

// LAME's encoder delay (576) plus the decoder's (529), in frames at the file's
// rate: where the first frame of `pcm` lands when nothing is cut.
constexpr int kCodecDelayFrames = 576 + 529;
