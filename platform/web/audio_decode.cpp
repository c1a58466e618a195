// The soundtrack in a browser is decoded by the browser (decodeAudioData,
// before the show starts: it only answers later), resampled to the output
// rate and shifted by the page so that its samples sit where the native
// decoder puts them (the encoder's delay is decoded audio there too). Here
// the page's result is copied in, as 16-bit stereo.
#include "platform/audio_decode.h"

#include <emscripten.h>

// clang-format off
// Frames of the page's decode of `path` at `rate`, or minus the audio
// library's error code: 2 no such file, 6 not MPEG audio (or too long).
EM_JS(int, velmora_decoded_frames, (const char* path, int rate, int maxFrames), {
  var sound = Module.decodedSounds && Module.decodedSounds[UTF8ToString(path)];
  if (!sound) return -2;
  if (sound.error || sound.rate !== rate || sound.left.length > maxFrames) return -6;
  return sound.left.length;
});
EM_JS(void, velmora_copy_decoded, (const char* path, int16_t* stereo, int frames), {
  var sound = Module.decodedSounds[UTF8ToString(path)];
  var pcm = Module.HEAP16, at = stereo >> 1;
  var left = sound.left, right = sound.right;
  for (var i = 0; i < frames; ++i) {
    var l = Math.round(left[i] * 32768), r = Math.round(right[i] * 32768);
    pcm[at + 2 * i] = l > 32767 ? 32767 : (l < -32768 ? -32768 : l);
    pcm[at + 2 * i + 1] = r > 32767 ? 32767 : (r < -32768 ? -32768 : r);
  }
});
EM_JS(int, velmora_decoded_file_rate, (const char* path), {
  var sound = Module.decodedSounds && Module.decodedSounds[UTF8ToString(path)];
  return sound ? (sound.fileRate | 0) : 0;
});
// clang-format on

int DecodeMp3File(const char* path, int rate, std::vector<int16_t>* stereo, long* fileRate) {
  const int frames = velmora_decoded_frames(path, rate, kMaxDecodedSeconds * rate);
  if (frames < 0) return -frames;
  if (frames == 0) return 6;
  stereo->assign(size_t(frames) * 2, 0);
  velmora_copy_decoded(path, stereo->data(), frames);
  *fileRate = velmora_decoded_file_rate(path);
  return 0;
}

// Only the fuzzers decode from memory; a page never does.
int DecodeMp3Memory(const uint8_t*, size_t, int, std::vector<int16_t>*, long*) { return 6; }
