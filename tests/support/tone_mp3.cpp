#include "tests/support/tone_mp3.h"

#include "tools/generators/soundgen/mp3_encode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

std::vector<uint8_t> ToneMp3(int rate, int channels, double seconds, int clickAt) {
  const size_t frames = size_t(seconds * rate);
  std::vector<int16_t> pcm(frames * size_t(channels));
  for (size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      pcm[i * size_t(channels) + size_t(c)] = int16_t(1000.0 * std::sin(2.0 * M_PI * 440.0 * double(i) / rate));
  for (size_t i = size_t(std::max(clickAt, 0)); clickAt >= 0 && i < size_t(clickAt) + 8 && i < frames; ++i)
    for (int c = 0; c < channels; ++c) pcm[i * size_t(channels) + size_t(c)] = 30000;
  std::vector<uint8_t> mp3;
  EXPECT_TRUE(EncodeMp3(pcm.data(), frames, channels, rate, 128, &mp3));
  return mp3;
}
