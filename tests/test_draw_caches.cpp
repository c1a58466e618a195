// The drawing caches (meshes compiled into display lists, spent flashes
// skipped) change no pixel: the whole show with the default data, drawn frame
// after frame with and without them, gives identical frames.
#include "tests/support/gl_test.h"

#include "models/mesh.h"
#include "platform/crt_rand.h"
#include "render/overlay.h"
#include "render/text.h"
#include "show/timeline.h"
#include "tools/shared_kit/headless_gl.h"
#include "tools/shared_kit/show_seam.h"

#include <GL/gl.h>

#include <filesystem>
#include <vector>

namespace {

// Positions in stream bytes, in show order: every scene, both flight phases,
// the castle with and without fog, flashes fresh, fading and spent (the
// castle's lower clouds take the colour a spent flash leaves), the closing.
const uint32_t kMoments[] = {
    150500,  800000,  2600000, 4300000, 4940000, 5250000, 5359744, 5800000, 6012000, 6091000, 6250000,
    6338104, 6450000, 6700000, 6900000, 7200000, 7400000, 7600000, 8300000, 8364624, 8500000, 8700000,
    8875600, 9100000, 9240000, 9300000, 9389696, 9500000, 10300000, 11000000, 11575424, 11700000};

class DrawCaches : public HeadlessGL {
 protected:
  void SetUp() override {
    HeadlessGL::SetUp();
    std::filesystem::current_path(TRAILER_BUILD_DIR);
    BuildFont();
    ASSERT_TRUE(ShowLoadAll(nullptr));
  }
  void TearDown() override {
    QTL_UseCompiledMeshes(true);
    OverlaySkipSpentFlashes(true);
    ShowFreeAll();
    SeamReleaseStreamPosition();
    SeamReleaseCounter();
    HeadlessGL::TearDown();
  }

  // Every moment drawn once, in order, each frame starting from the state
  // the one before left, after the same first frame; the flashing words'
  // places restart too.
  static std::vector<std::vector<unsigned char>> Show(bool caches) {
    QTL_UseCompiledMeshes(caches);
    OverlaySkipSpentFlashes(caches);
    CrtSrand(1);
    std::vector<std::vector<unsigned char>> frames;
    for (int i = -1; i < int(std::size(kMoments)); ++i) {
      const uint32_t p = i < 0 ? 9300000 : kMoments[i];
      SeamPinMoment(p, double(p) / 88.2);
      ShowFrame();
      if (i >= 0) frames.push_back(HeadlessGLReadRGB());
    }
    return frames;
  }
};

TEST_F(DrawCaches, ChangeNoPixelAnywhereInTheShow) {
  const auto reference = Show(false);
  const auto cached = Show(true);
  ASSERT_EQ(cached.size(), reference.size());
  for (size_t i = 0; i < reference.size(); ++i) {
    size_t differing = 0;
    for (size_t b = 0; b < reference[i].size(); ++b) differing += reference[i][b] != cached[i][b];
    EXPECT_EQ(differing, 0u) << "at position " << kMoments[i];
  }
  // Again with the lists already compiled.
  EXPECT_TRUE(Show(true) == cached);
}

}  // namespace
