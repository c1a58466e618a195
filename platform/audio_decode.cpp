#include "platform/audio_decode.h"

#include "platform/win_files.h"

#include <SDL.h>
#include <mpg123.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

static const int kHalfTaps = 16;  // half-band filter: taps on each side of an odd output sample

// Odd outputs of a 2x upsampler: out = sum c[k] * (x[n - k] + x[n + 1 + k]),
// a Kaiser-windowed sinc. Even outputs are the input samples themselves.
static void HalfBandTaps(double taps[kHalfTaps]) {
  const double beta = 6.0;
  auto bessel = [](double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 30; ++k) {
      term *= (x / (2.0 * k)) * (x / (2.0 * k));
      sum += term;
    }
    return sum;
  };
  double total = 0.0;
  for (int k = 0; k < kHalfTaps; ++k) {
    const double t = k + 0.5;  // distance to the output point, in input samples
    const double ratio = t / (kHalfTaps + 0.5);
    const double window = bessel(beta * std::sqrt(1.0 - ratio * ratio)) / bessel(beta);
    taps[k] = std::sin(M_PI * t) / (M_PI * t) * window;
    total += 2.0 * taps[k];
  }
  for (int k = 0; k < kHalfTaps; ++k) taps[k] /= total;  // unity gain at DC
}

// `in` (stereo frames at the file rate) to twice the rate, a block at a time
// and tap by tap within it, so that the compiler can vectorise the loop.
static void UpsampleTwice(const std::vector<int16_t>& in, std::vector<int16_t>* out) {
  static const int64_t kBlock = 8192;  // frames
  double taps[kHalfTaps];
  HalfBandTaps(taps);
  const int64_t frames = int64_t(in.size() / 2);
  out->resize(size_t(frames) * 4);
  // No block longer than the file: a short one fills and filters its own length only.
  const int64_t block = std::min(kBlock, frames);
  std::vector<float> x(static_cast<size_t>(block) + 2 * kHalfTaps + 1), odd(static_cast<size_t>(block));
  for (int64_t from = 0; from < frames; from += block) {
    const size_t count = size_t(std::min(block, frames - from));
    for (size_t channel = 0; channel < 2; ++channel) {
      // The block with its neighbours; silence beyond the file's ends.
      for (size_t i = 0; i < x.size(); ++i) {
        const int64_t frame = from + int64_t(i) - kHalfTaps;
        x[i] = frame < 0 || frame >= frames ? 0.0f : float(in[size_t(frame) * 2 + channel]);
      }
      std::fill(odd.begin(), odd.end(), 0.0f);
      for (int k = 0; k < kHalfTaps; ++k) {
        const float tap = float(taps[k]);
        const float* before = &x[size_t(kHalfTaps - k)];
        const float* after = &x[size_t(kHalfTaps + 1 + k)];
        for (size_t n = 0; n < count; ++n) odd[n] += tap * (before[n] + after[n]);
      }
      int16_t* target = &(*out)[size_t(from) * 4 + channel];
      for (size_t n = 0; n < count; ++n) {
        const float v = std::clamp(odd[n], -32768.0f, 32767.0f);
        target[n * 4] = in[(size_t(from) + n) * 2 + channel];
        target[n * 4 + 2] = int16_t(v >= 0.0f ? v + 0.5f : v - 0.5f);
      }
    }
  }
}

// Any other ratio, through SDL's converter.
static bool Convert(const std::vector<int16_t>& in, long fileRate, int rate, std::vector<int16_t>* out) {
  SDL_AudioStream* converter = SDL_NewAudioStream(AUDIO_S16SYS, 2, int(fileRate), AUDIO_S16SYS, 2, rate);
  if (!converter) return false;
  bool ok = SDL_AudioStreamPut(converter, in.data(), int(in.size() * 2)) == 0;
  // SDL's resampler keeps the last few hundred frames back and its flush does
  // not release them: push them out with silence, which follows anyway.
  const std::vector<int16_t> silence(size_t(fileRate / 10) * 2, 0);
  ok = ok && SDL_AudioStreamPut(converter, silence.data(), int(silence.size() * 2)) == 0;
  SDL_AudioStreamFlush(converter);
  out->assign(size_t(int64_t(in.size() / 2) * rate / fileRate) * 2, 0);
  ok = ok && SDL_AudioStreamGet(converter, out->data(), int(out->size() * 2)) >= 0;
  SDL_FreeAudioStream(converter);
  return ok;
}

// The file as libmpg123 reads it: from memory, seekable, as a file would be.
struct MemoryFile {
  const uint8_t* data;
  size_t size;
  size_t at;  // read position
};

static mpg123_ssize_t ReadMemory(void* handle, void* buffer, size_t bytes) {
  MemoryFile* file = static_cast<MemoryFile*>(handle);
  const size_t count = std::min(bytes, file->size - file->at);
  if (count) std::memcpy(buffer, file->data + file->at, count);
  file->at += count;
  return mpg123_ssize_t(count);
}

static off_t SeekMemory(void* handle, off_t offset, int whence) {
  MemoryFile* file = static_cast<MemoryFile*>(handle);
  const int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? int64_t(file->at) : int64_t(file->size);
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
  if (offset < -base || int64_t(offset) > int64_t(file->size) - base) return -1;
  file->at = size_t(base + offset);
  return off_t(file->at);
}

int DecodeMp3Memory(const uint8_t* data, size_t size, int rate, std::vector<int16_t>* stereo, long* fileRate,
                    const Mp3DecodeLimits& limits) {
  static const bool libraryReady = mpg123_init() == MPG123_OK;
  if (!libraryReady) return -1;
  int result = MPG123_OK;
  mpg123_handle* decoder = mpg123_new(nullptr, &result);
  if (!decoder) return 1;
  mpg123_param(decoder, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
  mpg123_param(decoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
  if (limits.stopAtFirstError) mpg123_param(decoder, MPG123_ADD_FLAGS, MPG123_NO_RESYNC, 0.0);
  // Always stereo: a mono file is spread over both channels by the decoder.
  mpg123_format_none(decoder);
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i) mpg123_format(decoder, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);

  MemoryFile file = {data, size, 0};
  int code = 0, channels = 0, encoding = 0;
  *fileRate = 0;
  if (mpg123_replace_reader_handle(decoder, ReadMemory, SeekMemory, nullptr) != MPG123_OK ||
      mpg123_open_handle(decoder, &file) != MPG123_OK)
    code = 2;
  else if (mpg123_getformat(decoder, fileRate, &channels, &encoding) != MPG123_OK || *fileRate <= 0 || channels != 2 ||
           encoding != MPG123_ENC_SIGNED_16)
    code = 6;
  std::vector<int16_t> decoded;
  if (code == 0) {
    // Lock the format: should the file change rate midway, the decoder
    // resamples instead of handing us something else.
    mpg123_format_none(decoder);
    mpg123_format(decoder, *fileRate, 2, MPG123_ENC_SIGNED_16);
    // The length a header claims is not trusted for memory, only checked: a
    // claim beyond the bound is a damaged header, and what the decoder really
    // puts out is held to the same bound.
    const int64_t limit = int64_t(*fileRate) * kMaxDecodedSeconds;
    const off_t claimed = mpg123_length(decoder);
    if (claimed > limit) code = 6;
    unsigned char pcm[4608 * 4];
    for (int idle = 0; code == 0 && idle <= 64;) {
      size_t bytes = 0;
      const int read = mpg123_read(decoder, pcm, sizeof pcm, &bytes);
      const int16_t* samples = reinterpret_cast<const int16_t*>(pcm);
      decoded.insert(decoded.end(), samples, samples + (bytes / 4) * 2);
      if (int64_t(decoded.size() / 2) > limit) code = 6;
      if (limits.maxFrames && decoded.size() / 2 >= limits.maxFrames) {
        decoded.resize(limits.maxFrames * 2);
        break;
      }
      idle = bytes ? 0 : idle + 1;
      if (read != MPG123_OK && read != MPG123_NEW_FORMAT) break;
    }
    if (decoded.empty()) code = 6;  // a header and no audio
  }
  mpg123_close(decoder);
  mpg123_delete(decoder);
  if (code != 0) return code;
  if (*fileRate == rate) stereo->swap(decoded);
  else if (*fileRate * 2 == rate) UpsampleTwice(decoded, stereo);
  else if (!Convert(decoded, *fileRate, rate, stereo)) return 1;
  return 0;
}

int DecodeMp3File(const char* path, int rate, std::vector<int16_t>* stereo, long* fileRate) {
  const int fd = OpenRegularFile(path, nullptr);
  if (fd < 0) return 2;
  std::vector<uint8_t> bytes;
  bool tooLarge = false, failed = false;
  uint8_t buffer[65536];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      failed = got < 0;
      break;
    }
    if (bytes.size() + size_t(got) > kMaxFileBytes) {
      tooLarge = true;
      break;
    }
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  close(fd);
  if (failed) return 2;
  if (tooLarge) return 6;
  return DecodeMp3Memory(bytes.data(), bytes.size(), rate, stereo, fileRate);
}
