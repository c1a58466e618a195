// Fuzzes the soundtrack's decode path: libmpg123 reading from memory, the
// bounds on what a file may claim and decode to, and the resampling to the
// show's 44,100 Hz output (none, twice the rate, or SDL's converter).
// Inputs are short and so is what they decode to: the reading is fuzzed, and
// a few MPEG frames reach every resampling path as well as a long file would.
#include "platform/audio_decode.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

static const int kOutputRate = 44100;  // what the show opens its output at
static const size_t kMaxInputBytes = 4096;  // run.sh passes the same -max_len
// The length of the shortest Layer III frame is kept (the resampling costs
// the most, under the sanitizers, and needs no more); the decoder's first
// read has still gone through four frames or more, so the bit reservoir
// reaches back across frames.
static const Mp3DecodeLimits kLimits = {true, 576};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<int16_t> stereo;
  long fileRate = 0;
  const int code = DecodeMp3Memory(data, std::min(size, kMaxInputBytes), kOutputRate, &stereo, &fileRate, kLimits);
  if (code == 0) {
    // Something was decoded, as stereo, at a rate MPEG audio has, and no
    // more than the cap, resampled to the output rate.
    if (stereo.empty() || stereo.size() % 2 != 0) std::abort();
    if (fileRate < 8000 || fileRate > 48000) std::abort();
    if (stereo.size() / 2 > kLimits.maxFrames * kOutputRate / size_t(fileRate)) std::abort();
  } else if (code != 1 && code != 2 && code != 6) {
    std::abort();  // only the library's codes for memory, opening and format
  }
  return 0;
}
