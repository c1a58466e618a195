// The fixed-function layer (platform/web) against Mesa's desktop OpenGL: each
// scene of scenes.inc drawn on desktop OpenGL and through the layer on OpenGL
// ES 2.0, both on llvmpipe, in fresh contexts of the show's pixel format. At
// most 1 % of the pixels may be more than 8 levels off in any channel, the
// browser build's bound; what a scene queried must be equal. FFGL_TEST_PNG=DIR
// writes each scene's two pictures and their differences (x8) there.
#include "tests/gles/scenes.h"

#include "tools/ffgl/headless_gles.h"
#include "tools/shared_kit/headless_gl.h"
#include "tools/shared_kit/png_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

using Scene = void (*)(std::vector<float>*);

struct Picture {
  std::vector<unsigned char> rgb;
  std::vector<float> queried;
};

static bool Draw(bool throughLayer, Scene scene, Picture* out) {
  if (throughLayer ? !HeadlessGLESCreate(kSceneWidth, kSceneHeight) : !HeadlessGLCreate(kSceneWidth, kSceneHeight))
    return false;
  scene(&out->queried);
  out->rgb = throughLayer ? HeadlessGLESReadRGB() : HeadlessGLReadRGB();
  throughLayer ? HeadlessGLESDestroy() : HeadlessGLDestroy();
  return true;
}

static void Compare(const char* name, Scene desktopScene, Scene layerScene) {
  Picture desktop, layer;
  ASSERT_TRUE(Draw(false, desktopScene, &desktop)) << "no desktop OpenGL context";
  ASSERT_TRUE(Draw(true, layerScene, &layer)) << "no OpenGL ES 2.0 context for the layer";
  ASSERT_EQ(desktop.rgb.size(), layer.rgb.size());

  long over = 0;
  int most = 0;
  std::vector<unsigned char> diff(desktop.rgb.size());
  for (size_t p = 0; p < desktop.rgb.size(); p += 3) {
    int worst = 0;
    for (size_t c = 0; c < 3; ++c) {
      const int d = std::abs(int(desktop.rgb[p + c]) - int(layer.rgb[p + c]));
      worst = std::max(worst, d);
      diff[p + c] = static_cast<unsigned char>(std::min(255, 8 * d));
    }
    over += worst > 8;
    most = std::max(most, worst);
  }
  const double share = double(over) / double(kSceneWidth * kSceneHeight);
  std::printf("%s: %.3f %% of pixels more than 8 levels off, largest difference %d\n", name, 100.0 * share, most);
  if (const char* folder = std::getenv("FFGL_TEST_PNG")) {
    const std::string stem = std::string(folder) + "/" + name;
    WritePNG((stem + "-desktop.png").c_str(), kSceneWidth, kSceneHeight, desktop.rgb.data());
    WritePNG((stem + "-layer.png").c_str(), kSceneWidth, kSceneHeight, layer.rgb.data());
    WritePNG((stem + "-diff.png").c_str(), kSceneWidth, kSceneHeight, diff.data());
  }
  EXPECT_LE(share, 0.01) << name << ": largest difference " << most;
  EXPECT_EQ(desktop.queried, layer.queried) << name << ": the state read back differs";
}

#define FFGL_TEST(name) \
  TEST(FixedFunctionLayer, name) { Compare(#name, desktop::name, layer::name); }
FFGL_SCENES(FFGL_TEST)
