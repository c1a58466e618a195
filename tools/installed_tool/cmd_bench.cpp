// velmora-trailer-tool bench [--frames N] [--csv]: how long the show's frames take
// headless at 640 x 480, scene by scene, and how fast it exports.
//
// Every scene's window is cut into N evenly spaced positions (default 120);
// the scenes' frames are drawn once each, in show order, with ShowFrame at the
// moment of a soundtrack playing at 88,200 bytes per second, and timed to the
// end of rendering (glFinish). Per scene: frames, mean, median, 99th
// percentile and slowest frame in milliseconds, the scene's first frame and
// its first after a jump into it from another scene, and the triangles OpenGL was
// handed per frame (counted in a second, untimed pass), and the mean CPU time
// of the whole process per frame (the rasteriser's threads included: on a
// shared machine it moves less with the load than the clock does). Then the
// load time
// (start to the first show frame drawn) and the frames per second of a
// ten-second export of the castle scene, the slowest, at 640 x 480, 60 fps.
// --no-caches draws as the show did before its drawing caches (meshes
// triangle by triangle, spent flashes drawn), for comparison.
#define GL_GLEXT_PROTOTYPES 1
#include "tools/installed_tool/commands.h"

#include "app/arguments.h"
#include "tools/installed_tool/show_moment.h"
#include "tools/installed_tool/video_export.h"

#include "models/mesh.h"
#include "render/overlay.h"
#include "show/score.h"
#include "show/timeline.h"
#include "tools/shared_kit/show_seam.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

static const struct {
  const char* name;
  uint32_t from, until;  // stream bytes
} kSceneWindows[] = {
    {"title", kTitleStart, kHandStart},       {"hand", kHandStart, kCastleStart},
    {"castle", kCastleStart, kFlightStart},   {"flight", kFlightStart, kCreditsStart},
    {"credits", kCreditsStart, kClosingStart},
};

using Clock = std::chrono::steady_clock;

static double Millis(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// CPU time of the whole process so far, in milliseconds.
static double ProcessCpuMillis() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

// One frame at `position`, finished: wall and process CPU milliseconds.
static double TimeFrame(uint32_t position, double* cpuMillis) {
  SeamPinMoment(position, ClockAtPosition(position));
  const double cpu = ProcessCpuMillis();
  const auto start = Clock::now();
  ShowFrame();
  glFinish();
  const double wall = Millis(start, Clock::now());
  *cpuMillis = ProcessCpuMillis() - cpu;
  return wall;
}

// Triangles (primitives) OpenGL is handed for the frame at `position`.
static double CountTriangles(uint32_t position) {
  GLuint query = 0;
  glGenQueries(1, &query);
  SeamPinMoment(position, ClockAtPosition(position));
  glBeginQuery(GL_PRIMITIVES_GENERATED, query);
  ShowFrame();
  glEndQuery(GL_PRIMITIVES_GENERATED);
  GLuint64 count = 0;
  glGetQueryObjectui64v(query, GL_QUERY_RESULT, &count);
  glDeleteQueries(1, &query);
  return double(count);
}

struct Row {
  const char* name;
  long frames;
  double first;                   // the scene's first frame, milliseconds
  double seek;                    // its first after a jump from another scene
  double mean, median, p99, max;  // milliseconds
  double triangles;               // per frame
  double cpu;                     // mean milliseconds of process CPU time
};

static Row Summarise(const char* name, std::vector<double> ms, double triangles, double cpu) {
  const double first = ms.front();
  std::sort(ms.begin(), ms.end());
  const size_t n = ms.size();
  double sum = 0;
  for (double v : ms) sum += v;
  const double median = n % 2 ? ms[n / 2] : 0.5 * (ms[n / 2 - 1] + ms[n / 2]);
  const size_t rank = size_t(std::ceil(0.99 * double(n)));  // nearest rank
  return {name,     long(n),   first, 0.0, sum / double(n), median, ms[std::max<size_t>(rank, 1) - 1],
          ms[n - 1], triangles, cpu};
}

static int Usage() {
  std::fputs(
      "usage: velmora-trailer-tool bench [--frames N] [--csv] [--no-caches]   (N frames per scene, 1 to 100000)\n",
      stderr);
  return 2;
}

int CmdBench(int argc, char** argv) {
  const auto start = Clock::now();
  long frames = 120;
  bool csv = false;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--csv") == 0) {
      csv = true;
    } else if (std::strcmp(argv[i], "--no-caches") == 0) {
      QTL_UseCompiledMeshes(false);
      OverlaySkipSpentFlashes(false);
    } else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
      long long parsed = 0;
      if (!ParseInteger(argv[++i], 1LL, 100000LL, &parsed)) return Usage();
      frames = long(parsed);
    } else {
      return Usage();
    }
  }
  if (!StartHeadlessShow()) return 1;  // draws the first show frame
  const double loadMillis = Millis(start, Clock::now());

  std::vector<Row> rows;
  for (const auto& scene : kSceneWindows) {
    std::vector<uint32_t> positions;
    for (long i = 0; i < frames; ++i)
      positions.push_back(scene.from +
                          uint32_t(uint64_t(scene.until - scene.from) * uint64_t(i) / uint64_t(frames)));
    std::vector<double> ms;
    double cpu = 0;
    for (uint32_t p : positions) {
      double frameCpu = 0;
      ms.push_back(TimeFrame(p, &frameCpu));
      cpu += frameCpu;
    }
    double triangles = 0;
    for (uint32_t p : positions) triangles += CountTriangles(p);
    rows.push_back(Summarise(scene.name, ms, triangles / double(frames), cpu / double(frames)));
  }
  // Jumps: into the middle of each scene from the middle of the one two
  // scenes away, as a seek lands in a scene whose states the frames before
  // did not use.
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& away = kSceneWindows[(i + 2) % rows.size()];
    const auto& into = kSceneWindows[i];
    double frameCpu = 0;
    TimeFrame(away.from + (away.until - away.from) / 2, &frameCpu);
    rows[i].seek = TimeFrame(into.from + (into.until - into.from) / 2, &frameCpu);
  }
  SeamReleaseStreamPosition();
  SeamReleaseCounter();

  // The export, into a folder of its own.
  char folder[] = "/tmp/trailer-bench-XXXXXX";
  VideoReport exported;
  bool exportOk = mkdtemp(folder) != nullptr;
  if (exportOk) {
    const std::string out = std::string(folder) + "/bench.mp4";
    VideoOptions options;
    options.out = out.c_str();
    options.from = 71.9;
    options.to = 81.9;
    options.progress = false;
    exportOk = ExportVideo(options, &exported);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  const double exportFps = exportOk && exported.wallSeconds > 0 ? double(exported.frames) / exported.wallSeconds : 0;

  if (csv) {
    std::printf(
        "name,frames,first_ms,seek_ms,mean_ms,median_ms,p99_ms,max_ms,triangles_per_frame,cpu_ms,frames_per_second\n");
    for (const Row& r : rows)
      std::printf("%s,%ld,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.0f,%.3f,\n", r.name, r.frames, r.first, r.seek, r.mean,
                  r.median, r.p99, r.max, r.triangles, r.cpu);
    std::printf("load,1,,,%.1f,%.1f,%.1f,%.1f,,,\n", loadMillis, loadMillis, loadMillis, loadMillis);
    if (exportOk)
      std::printf("export_640x480_60fps,%ld,,,%.3f,,,,,,%.1f\n", exported.frames, 1000.0 / exportFps, exportFps);
  } else {
    std::printf("%-8s %7s %9s %9s %9s %9s %9s %9s %10s %9s   (%d x %d, each frame once, in show order)\n",
                "scene", "frames", "first ms", "seek ms", "mean ms", "median ms", "p99 ms", "max ms", "triangles",
                "cpu ms", kFrameWidth, kFrameHeight);
    for (const Row& r : rows)
      std::printf("%-8s %7ld %9.3f %9.3f %9.3f %9.3f %9.3f %9.3f %10.0f %9.3f\n", r.name, r.frames, r.first, r.seek,
                  r.mean, r.median, r.p99, r.max, r.triangles, r.cpu);
    std::printf("load: %.1f ms from start to the first show frame\n", loadMillis);
    if (exportOk)
      std::printf("export: %.1f frames per second (%ld frames of the castle scene, 640 x 480, 60 fps; %.2f x real "
                  "time)\n",
                  exportFps, exported.frames, exportFps / 60.0);
  }
  if (!exportOk) std::fprintf(stderr, "velmora-trailer-tool: the export part of the bench failed\n");
  return exportOk ? 0 : 1;
}
