// Fuzzes the soundtrack's whole decode path: libmpg123 reading from memory,
// the bounds on what a file may claim and decode to, and the resampling to
// the show's 44,100 Hz output (none, twice the rate, or SDL's converter).
#include "platform/audio_decode.h"

#include <cstdlib>
#include <vector>

static const int kOutputRate = 44100;  // what the show opens its output at

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<int16_t> stereo;
  long fileRate = 0;
  const int code = DecodeMp3Memory(data, size, kOutputRate, &stereo, &fileRate);
  if (code == 0) {
    // Something was decoded, as stereo, at a rate MPEG audio has, and within
    // the bound (at the output rate, plus the converter's rounding).
    if (stereo.empty() || stereo.size() % 2 != 0) std::abort();
    if (fileRate < 8000 || fileRate > 48000) std::abort();
    if (stereo.size() / 2 > size_t(kMaxDecodedSeconds) * kOutputRate + kOutputRate) std::abort();
  } else if (code != 1 && code != 2 && code != 6) {
    std::abort();  // only the library's codes for memory, opening and format
  }
  return 0;
}
