#include "tools/generators/soundgen/mp3_encode.h"

#include <lame/lame.h>

#include <cstring>

bool EncodeMp3(const int16_t* pcm, size_t frames, int channels, int rate, int kbps, std::vector<uint8_t>* mp3,
               bool lameTag) {
  mp3->clear();
  if (channels != 1 && channels != 2) return false;
  lame_global_flags* lame = lame_init();
  if (!lame) return false;
  lame_set_in_samplerate(lame, rate);
  lame_set_out_samplerate(lame, rate);
  lame_set_num_channels(lame, channels);
  lame_set_mode(lame, channels == 2 ? JOINT_STEREO : MONO);
  lame_set_VBR(lame, vbr_off);
  lame_set_brate(lame, kbps);
  lame_set_quality(lame, 5);
  lame_set_bWriteVbrTag(lame, lameTag ? 1 : 0);  // reserves the first frame for the tag
  lame_set_write_id3tag_automatic(lame, 0);   // the tag frame must come first
  if (lame_init_params(lame) < 0) {
    lame_close(lame);
    return false;
  }

  const size_t chunkFrames = 4096;
  std::vector<unsigned char> out(chunkFrames * 5 / 4 + 7200);
  std::vector<short> left(chunkFrames), right(chunkFrames);
  bool ok = true;
  for (size_t start = 0; start < frames && ok; start += chunkFrames) {
    const size_t count = frames - start < chunkFrames ? frames - start : chunkFrames;
    for (size_t i = 0; i < count; ++i) {
      left[i] = pcm[(start + i) * channels];
      right[i] = pcm[(start + i) * channels + channels - 1];
    }
    const int written = lame_encode_buffer(lame, left.data(), right.data(), int(count), out.data(), int(out.size()));
    if (written < 0) ok = false;
    else mp3->insert(mp3->end(), out.begin(), out.begin() + written);
  }
  if (ok) {
    const int written = lame_encode_flush(lame, out.data(), int(out.size()));
    if (written < 0) ok = false;
    else mp3->insert(mp3->end(), out.begin(), out.begin() + written);
  }
  if (ok && lameTag) {
    // The tag frame carries the delay and padding; it overwrites the frame
    // that was reserved for it at the start of the file.
    unsigned char tag[2880];
    const size_t tagSize = lame_get_lametag_frame(lame, tag, sizeof tag);
    if (tagSize == 0 || tagSize > sizeof tag || tagSize > mp3->size()) ok = false;
    else std::memcpy(mp3->data(), tag, tagSize);
  }
  lame_close(lame);
  if (!ok) mp3->clear();
  return ok;
}
