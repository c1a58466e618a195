// Small MP3s for the audio layer's tests, encoded with the generator's
// encoder.
#pragma once

#include <cstdint>
#include <vector>

// An MP3 of `seconds` of a quiet 440 Hz tone; `clickAt` >= 0 puts a loud
// click of 8 samples from that file frame on.
std::vector<uint8_t> ToneMp3(int rate, int channels, double seconds, int clickAt = -1);

// LAME's encoder delay plus libmpg123's decoder delay, in file frames: the
// layer plays them (they are decoded audio), so a file's first sample of
// music comes that much after position 0.
constexpr int kCodecDelay = 576 + 529;
