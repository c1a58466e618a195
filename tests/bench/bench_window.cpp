// A frame of the show in a real 1920 x 1080 window on SDL's offscreen driver
// (Mesa's llvmpipe, as on a machine without a GPU): drawn at the viewport's
// full 1440 x 1080, against drawn at 640 x 480 and scaled up, against a plain
// 640 x 480 window. Each frame is
// ShowFrame, presenting and glFinish, at a moment pinned in every scene.
// Run by hand:
//   build/tests/bench/bench_window [--benchmark_repetitions=3]
#include "app/window.h"
#include "platform/msgbox.h"
#include "platform/win_files.h"
#include "render/picture.h"
#include "render/text.h"
#include "show/timeline.h"
#include "tools/shared_kit/show_seam.h"

#include <GL/gl.h>
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>

static const uint32_t kMoments[] = {1764000, 5600000, 7200000, 8800000, 10600000};  // one per scene, stream bytes

static bool StartShow(int windowWidth, int windowHeight, int renderWidth, int renderHeight) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  MessageBoxStartRecording();
  SetShowDataFolder(TRAILER_BUILD_DIR);
  SetRenderSize(renderWidth, renderHeight);
  if (!CreateGLWindow("bench", windowWidth, windowHeight, 32, false)) return false;
  BuildFont();
  return ShowLoadAll([] { SwapBuffers(hMainWindow); });
}

static void StopShow() {
  ShowFreeAll();
  KillFont();
  KillGLWindow();
}

static void DrawFrames(benchmark::State& state, int windowWidth, int windowHeight, int renderWidth,
                       int renderHeight) {
  if (!StartShow(windowWidth, windowHeight, renderWidth, renderHeight)) {
    state.SkipWithError("the show could not start");
    return;
  }
  const PictureLayout layout = PictureCurrentLayout();
  size_t moment = 0;
  for (auto _ : state) {
    const uint32_t position = kMoments[moment++ % (sizeof kMoments / sizeof kMoments[0])];
    SeamPinMoment(position, position / 88.2);
    ShowFrame();
    SwapBuffers(hMainWindow);
    glFinish();
  }
  state.SetLabel(std::to_string(layout.renderWidth) + "x" + std::to_string(layout.renderHeight) + " in " +
                 std::to_string(layout.width) + "x" + std::to_string(layout.height));
  StopShow();
}

static void BM_FullResolution(benchmark::State& state) { DrawFrames(state, 1920, 1080, 1440, 1080); }
static void BM_ScaledFrom640x480(benchmark::State& state) { DrawFrames(state, 1920, 1080, 640, 480); }
static void BM_Window640x480(benchmark::State& state) { DrawFrames(state, 640, 480, 0, 0); }  // for comparison
// llvmpipe draws on threads of its own: wall-clock time is what counts.
BENCHMARK(BM_FullResolution)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_ScaledFrom640x480)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_Window640x480)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK_MAIN();
