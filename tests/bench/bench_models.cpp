// Loading and drawing a 40000-triangle model (the record's capacity),
// headless on Mesa's software renderer. Run by hand:
//   build/tests/bench/bench_models [--benchmark_repetitions=5]
#include "app/window.h"
#include "models/mesh.h"
#include "tools/shared_kit/headless_gl.h"
#include "platform/msgbox.h"
#include "tests/support/show_data.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <ext/stdio_filebuf.h>

#include <cstdio>
#include <memory>
#include <unistd.h>

// A 100 x 200 grid of quads, two triangles each, bent into a low dome.
static std::vector<uint8_t> GridModel() {
  constexpr int kColumns = 100, kRows = 200;
  std::vector<ModelVertex> vertices;
  std::vector<std::array<uint16_t, 3>> faces;
  for (int row = 0; row <= kRows; ++row)
    for (int column = 0; column <= kColumns; ++column) {
      const float x = float(column) / kColumns * 2 - 1, y = float(row) / kRows * 2 - 1;
      vertices.push_back({x * 10, y * 10, 2 - x * x - y * y, float(column) / kColumns, float(row) / kRows});
    }
  for (int row = 0; row < kRows; ++row)
    for (int column = 0; column < kColumns; ++column) {
      const uint16_t at = uint16_t(row * (kColumns + 1) + column), up = uint16_t(at + kColumns + 1);
      faces.push_back({at, uint16_t(at + 1), uint16_t(up + 1)});
      faces.push_back({at, uint16_t(up + 1), up});
    }
  return Make3DS(vertices, faces);
}

static std::unique_ptr<ScratchDir> Folder;
static std::unique_ptr<QTL_3DObject> Model = std::make_unique<QTL_3DObject>();

static void BM_Load40000Triangles(benchmark::State& state) {
  for (auto _ : state) {
    if (!QTL_3DSMain("Data\\Grid.3ds", Model.get())) state.SkipWithError("cannot load the model");
    benchmark::DoNotOptimize(Model->Triangle[39999]);
  }
  state.counters["triangles"] = Model->NumTriangles;
}
BENCHMARK(BM_Load40000Triangles)->Unit(benchmark::kMillisecond);

static void BM_Draw40000Triangles(benchmark::State& state) {
  if (!HeadlessGLCreate(640, 480)) {
    state.SkipWithError("no headless OpenGL context");
    return;
  }
  ReSizeGLScene(640, 480);
  InitGL();
  QTL_3DSMain("Data\\Grid.3ds", Model.get());
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    QTL_DrawObjectTexture(Model.get(), 0, 0, -30, -30, 0, 20);
    glFinish();  // the frame is done only when the renderer has drawn it
  }
  state.counters["triangles/s"] =
      benchmark::Counter(double(Model->NumTriangles) * double(state.iterations()), benchmark::Counter::kIsRate);
  HeadlessGLDestroy();
}
BENCHMARK(BM_Draw40000Triangles)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Folder = std::make_unique<ScratchDir>();
  Folder->Write("Data/Grid.3ds", GridModel());
  MessageBoxStartRecording();

  // The loader's progress dots go to stdout; the report keeps the terminal.
  const int reportFd = dup(STDOUT_FILENO);
  __gnu_cxx::stdio_filebuf<char> reportBuffer(reportFd, std::ios::out);
  std::ostream report(&reportBuffer);
  if (!std::freopen("/dev/null", "w", stdout)) return 1;
  benchmark::ConsoleReporter reporter(isatty(reportFd) ? benchmark::ConsoleReporter::OO_Defaults
                                                       : benchmark::ConsoleReporter::OO_Tabular);
  reporter.SetOutputStream(&report);
  reporter.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  Folder.reset();
  return 0;
}
