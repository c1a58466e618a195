// The default soundtrack the build makes: the same bytes every time, long
// enough for the whole show, and an accent heard on every cut and flash.
#include "tests/support/gl_test.h"
#include "platform/audio_decode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

static const std::string kBuildDir = TRAILER_BUILD_DIR;
static const double kBytesPerSecond = 88200.0;

// Every scene change and flash mark of the show, in stream bytes.
static const uint32_t kAccentedMarks[] = {
    150500,                                              // title scene
    2777088, 3966944, 4852736, 5112064,                  // title flashes
    5359744,                                             // hand scene
    5484160, 5526144, 5571712, 5599984, 5847360,         // hand flashes
    5969152, 6013952, 6059264, 6092288,
    6338104, 6850048, 7364640,                           // castle scene and flashes
    8364624, 8875600,                                    // flight scene, phase switch
    9233408, 9260864, 9293488, 9323624, 9352320,         // flight beat flashes
    9387760, 9389696, 10475858,                          // credits flash, scene, flash
    11575424,                                            // closing lines
};
static const uint32_t kShowEnd = 11750424;

// As the show hears it: stereo at its output rate.
struct Decoded {
  long fileRate = 0;
  long rate = 44100;
  int channels = 2;
  std::vector<int16_t> pcm;  // interleaved
  size_t Frames() const { return pcm.size() / size_t(channels); }
};

static bool DecodeMp3(const std::string& path, Decoded* out) {
  return DecodeMp3File(path.c_str(), int(out->rate), &out->pcm, &out->fileRate) == 0;
}

static std::vector<char> ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(Soundgen, MakesTheSameBytesEveryTime) {
  ScratchDir dir;
  const std::string command = kBuildDir + "/tools/generators/soundgen/soundgen again.mp3";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::vector<char> built = ReadAll(kBuildDir + "/TrailerLOW.mp3");
  const std::vector<char> again = ReadAll("again.mp3");
  ASSERT_GT(built.size(), 100000u);
  EXPECT_TRUE(built == again);
}

// Energy of the high band (above about 2.5 kHz), in 1 ms blocks: where the
// hits, cymbals and bursts of the accents live and the pad and bass do not.
static std::vector<double> HighBandEnergy(const Decoded& decoded, int blockFrames) {
  // Second-order high-pass (RBJ biquad) at 2.5 kHz.
  const double w = 2.0 * M_PI * 2500.0 / double(decoded.rate), alpha = std::sin(w) / (2.0 * 0.707);
  const double a0 = 1.0 + alpha;
  const double b0 = (1.0 + std::cos(w)) / 2.0 / a0, b1 = -(1.0 + std::cos(w)) / a0, b2 = b0;
  const double a1 = -2.0 * std::cos(w) / a0, a2 = (1.0 - alpha) / a0;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  std::vector<double> energy(decoded.Frames() / size_t(blockFrames) + 1, 0.0);
  for (size_t i = 0; i < decoded.Frames(); ++i) {
    double x = 0;
    for (int c = 0; c < decoded.channels; ++c) x += decoded.pcm[i * size_t(decoded.channels) + size_t(c)];
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1, x1 = x, y2 = y1, y1 = y;
    energy[i / size_t(blockFrames)] += y * y;
  }
  return energy;
}

TEST(Soundgen, OutlastsTheShowWithAnAccentOnEveryMark) {
  Decoded track;
  ASSERT_TRUE(DecodeMp3(kBuildDir + "/TrailerLOW.mp3", &track));
  EXPECT_EQ(track.fileRate, 22050);
  const double positionBytes = double(track.Frames()) * kBytesPerSecond / double(track.rate);
  EXPECT_GE(positionBytes, double(kShowEnd));
  EXPECT_LT(positionBytes / kBytesPerSecond, 140.0);

  // The onset of a mark: within 15 ms of it, the first block that reaches a
  // quarter of the loudest block there; it must stand well above what came
  // before (35 to 15 ms earlier), and lie within 5 ms of the mark.
  const int block = int(track.rate / 1000);  // 44 frames: 1 ms
  const std::vector<double> energy = HighBandEnergy(track, block);
  auto at = [&](double seconds) { return long(std::lround(seconds * double(track.rate) / block)); };
  for (uint32_t mark : kAccentedMarks) {
    const double seconds = mark / kBytesPerSecond;
    const long from = at(seconds - 0.015), to = at(seconds + 0.015);
    double loudest = 0.0, before = 0.0;
    for (long b = from; b <= to; ++b) loudest = std::max(loudest, energy[size_t(b)]);
    for (long b = at(seconds - 0.035); b < from; ++b) before = std::max(before, energy[size_t(b)]);
    long onset = from;
    while (energy[size_t(onset)] < loudest / 4) ++onset;
    const double onsetSeconds = (double(onset) * block + block / 2.0) / double(track.rate);
    SCOPED_TRACE(mark);
    EXPECT_GT(loudest, 4.0 * before);
    EXPECT_NEAR(onsetSeconds, seconds, 0.005);
  }

  // The final chord sounds under the closing lines until the show ends.
  for (double t = 11575424 / kBytesPerSecond + 0.2; t < kShowEnd / kBytesPerSecond; t += 0.25) {
    double sum = 0.0;
    const size_t first = size_t(t * double(track.rate));
    for (size_t i = first; i < first + 2205; ++i) sum += std::pow(track.pcm[i * 2], 2.0);
    EXPECT_GT(std::sqrt(sum / 2205.0), 1000.0) << t;
  }
}
