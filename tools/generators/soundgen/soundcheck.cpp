// soundcheck: measures the audio layer and draws a soundtrack, always as the
// show decodes it (44,100 Hz stereo, platform/audio_decode.h).
//
//   soundcheck decode FILE.mp3          time a whole decode
//   soundcheck picture FILE.mp3 OUT.png [FROM TO]
//                                       envelope and spectrogram, marks in red
//   soundcheck match FILE.mp3 SOUND.raw FROM
//                                       where SOUND.raw (44,100 Hz 16-bit stereo,
//                                       from FROM seconds on) lies against the
//                                       show's decode: lag and correlation
//
// How the audio layer keeps time with what is heard: velmora-trailer-tool sync.
#include "platform/audio_decode.h"
#include "show/score.h"
#include "tools/shared_kit/png_file.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

static const int kRate = 44100;  // what the show plays at
static const int kChannels = 2;

// The soundtrack as the show hears it; false (with a line) when it cannot be read.
static bool Decode(const char* path, std::vector<int16_t>* pcm, long* fileRate) {
  if (DecodeMp3File(path, kRate, pcm, fileRate) == 0) return true;
  std::fprintf(stderr, "soundcheck: cannot decode %s\n", path);
  return false;
}

static int CommandDecode(const char* path) {
  std::vector<int16_t> pcm;
  long fileRate = 0;
  const auto start = std::chrono::steady_clock::now();
  if (!Decode(path, &pcm, &fileRate)) return 1;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const size_t frames = pcm.size() / kChannels;
  std::printf("%s: a %ld Hz file, %zu frames at %d Hz (%.3f s), %.0f position bytes\n", path, fileRate, frames, kRate,
              double(frames) / kRate, double(frames) * kStreamBytesPerSecond / kRate);
  std::printf("decode time: %.1f ms (%.0fx real time)\n", seconds * 1000.0, double(frames) / kRate / seconds);
  return 0;
}

// A radix-2 FFT magnitude of `input` (size a power of two), Hann-windowed.
static void Spectrum(const std::vector<float>& input, std::vector<float>* magnitude) {
  const size_t n = input.size();
  std::vector<double> re(n), im(n, 0.0);
  for (size_t i = 0; i < n; ++i) re[i] = input[i] * (0.5 - 0.5 * std::cos(2.0 * M_PI * double(i) / double(n)));
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) {
      std::swap(re[i], re[j]);
      std::swap(im[i], im[j]);
    }
  }
  for (size_t length = 2; length <= n; length <<= 1) {
    const double angle = -2.0 * M_PI / double(length);
    for (size_t i = 0; i < n; i += length)
      for (size_t k = 0; k < length / 2; ++k) {
        const double wr = std::cos(angle * double(k)), wi = std::sin(angle * double(k));
        const double xr = re[i + k + length / 2] * wr - im[i + k + length / 2] * wi;
        const double xi = re[i + k + length / 2] * wi + im[i + k + length / 2] * wr;
        re[i + k + length / 2] = re[i + k] - xr;
        im[i + k + length / 2] = im[i + k] - xi;
        re[i + k] += xr;
        im[i + k] += xi;
      }
  }
  magnitude->resize(n / 2);
  for (size_t i = 0; i < n / 2; ++i) (*magnitude)[i] = float(std::sqrt(re[i] * re[i] + im[i] * im[i]));
}

static int CommandPicture(const char* path, const char* output, double from, double to) {
  std::vector<int16_t> pcm;
  long fileRate = 0;
  if (!Decode(path, &pcm, &fileRate)) return 1;
  const long rate = kRate;
  const int channels = kChannels;
  const size_t frames = pcm.size() / size_t(channels);
  if (to <= from) to = double(frames) / rate;
  const int width = 1600, envelopeHeight = 120, spectrumHeight = 256, height = envelopeHeight + spectrumHeight;
  std::vector<unsigned char> rgb(size_t(width * height * 3), 0);
  auto put = [&](int x, int y, int r, int g, int b) {
    if (x < 0 || x >= width || y < 0 || y >= height) return;
    unsigned char* p = &rgb[size_t((y * width + x) * 3)];
    p[0] = (unsigned char)r;
    p[1] = (unsigned char)g;
    p[2] = (unsigned char)b;
  };
  const size_t window = 1024;
  std::vector<float> mono(window), magnitude;
  for (int x = 0; x < width; ++x) {
    const double t0 = from + (to - from) * x / width, t1 = from + (to - from) * (x + 1) / width;
    const size_t f0 = std::min(frames, size_t(t0 * rate)), f1 = std::min(frames, std::max(f0 + 1, size_t(t1 * rate)));
    double peak = 0.0, sum = 0.0;
    for (size_t f = f0; f < f1; ++f) {
      const double v = (pcm[f * size_t(channels)] + pcm[f * size_t(channels) + size_t(channels) - 1]) / 65536.0;
      peak = std::max(peak, std::fabs(v));
      sum += v * v;
    }
    const double rms = f1 > f0 ? std::sqrt(sum / double(f1 - f0)) : 0.0;
    for (int y = 0; y < envelopeHeight; ++y) {
      const double level = double(envelopeHeight - 1 - y) / envelopeHeight;
      if (level < rms) put(x, y, 90, 200, 255);
      else if (level < peak) put(x, y, 30, 80, 120);
    }
    const size_t centre = (f0 + f1) / 2;
    for (size_t i = 0; i < window; ++i) {
      const size_t f = centre + i >= window / 2 ? centre + i - window / 2 : 0;
      mono[i] = f < frames ? float(pcm[f * size_t(channels)] + pcm[f * size_t(channels) + size_t(channels) - 1]) / 65536.0f : 0.0f;
    }
    Spectrum(mono, &magnitude);
    for (int y = 0; y < spectrumHeight; ++y) {
      const size_t bin = size_t(spectrumHeight - 1 - y) * (window / 2) / spectrumHeight;
      // dB against a full-scale sine (a Hann window sums to n / 2).
      const double db = 20.0 * std::log10(magnitude[bin] / (window / 4.0) + 1e-9);
      const int v = std::clamp(int((db + 90.0) * 255.0 / 90.0), 0, 255);
      put(x, envelopeHeight + y, v, v, std::min(255, v + 40));
    }
  }
  for (const ScoreMark& mark : kScoreMarks) {
    const double t = double(mark.bytes) / kStreamBytesPerSecond;
    if (t < from || t > to) continue;
    const int x = int((t - from) / (to - from) * width);
    for (int y = 0; y < height; y += 2) put(x, y, 255, 40, 40);
  }
  if (!WritePNG(output, width, height, rgb.data())) return 1;
  std::printf("%s: %.2f s to %.2f s, %d px wide (%.1f ms per column)\n", output, from, to, width,
              (to - from) * 1000.0 / width);
  return 0;
}

// Normalised correlation of `sound` against the decode from frame `at`, over
// the first `frames` frames, both channels.
static double Correlation(const std::vector<int16_t>& decode, int64_t at, const std::vector<int16_t>& sound,
                          size_t frames) {
  double both = 0, a = 0, b = 0;
  for (size_t i = 0; i < frames * kChannels; ++i) {
    const int64_t k = at * kChannels + int64_t(i);
    const double x = k >= 0 && k < int64_t(decode.size()) ? decode[size_t(k)] : 0.0, y = sound[i];
    both += x * y, a += x * x, b += y * y;
  }
  return a > 0 && b > 0 ? both / std::sqrt(a * b) : 0.0;
}

// Where a recording or an export's sound lies against the show's decode: the
// lag (in frames, within 20 ms either way) that matches best, and how well.
static int CommandMatch(const char* path, const char* rawPath, double from) {
  std::vector<int16_t> decode;
  long fileRate = 0;
  if (!Decode(path, &decode, &fileRate)) return 1;
  std::FILE* raw = std::fopen(rawPath, "rb");
  if (!raw) {
    std::fprintf(stderr, "soundcheck: cannot read %s\n", rawPath);
    return 1;
  }
  std::vector<int16_t> sound(size_t(kRate) * kChannels);  // its first second
  sound.resize(std::fread(sound.data(), sizeof(int16_t), sound.size(), raw) / kChannels * kChannels);
  std::fclose(raw);
  const size_t frames = sound.size() / kChannels;
  if (frames < size_t(kRate / 10)) {
    std::fprintf(stderr, "soundcheck: %s holds less than 0.1 s of sound\n", rawPath);
    return 1;
  }
  const int64_t first = std::llround(from * kRate), reach = kRate / 50;
  int64_t bestLag = 0;
  double best = -2.0;
  for (int64_t lag = -reach; lag <= reach; ++lag) {
    const double r = Correlation(decode, first + lag, sound, frames);
    if (r > best) best = r, bestLag = lag;
  }
  std::printf("match: lag %+lld frames (%+.2f ms), correlation %.4f\n", static_cast<long long>(bestLag),
              double(bestLag) * 1000.0 / kRate, best);
  return 0;
}

int main(int argc, char** argv) {
  if (argc >= 3 && !std::strcmp(argv[1], "decode")) return CommandDecode(argv[2]);
  if (argc >= 5 && !std::strcmp(argv[1], "match")) return CommandMatch(argv[2], argv[3], std::atof(argv[4]));
  if (argc >= 4 && !std::strcmp(argv[1], "picture"))
    return CommandPicture(argv[2], argv[3], argc >= 5 ? std::atof(argv[4]) : 0.0, argc >= 6 ? std::atof(argv[5]) : 0.0);
  std::fprintf(stderr,
               "usage: soundcheck decode FILE.mp3\n"
               "       soundcheck picture FILE.mp3 OUT.png [FROM TO]\n"
               "       soundcheck match FILE.mp3 SOUND.raw FROM\n");
  return 2;
}
