// velmora-trailer-tool video OUT.mp4 [--fps N] [--size WxH] [--from S] [--to S] [--msaa N]
#include "tools/installed_tool/commands.h"
#include "tools/installed_tool/video_export.h"

#include "app/arguments.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static int Usage() {
  std::fputs("usage: velmora-trailer-tool video OUT.mp4 [--fps N] [--size WxH] [--from S] [--to S] [--msaa N]\n"
             "       (N 1 to 240; W and H even, 16 to 7680; S seconds of the show; --msaa samples per pixel)\n",
             stderr);
  return 2;
}

static bool ParseEvenSize(const char* text, int* width, int* height) {
  return ParseSize(text, 16, 7680, width, height) && *width % 2 == 0 && *height % 2 == 0;
}

int CmdVideo(int argc, char** argv) {
  if (argc < 1 || !*argv[0] || argv[0][0] == '-') return Usage();
  VideoOptions options;
  options.out = argv[0];
  for (int i = 1; i < argc; i += 2) {
    if (i + 1 >= argc) return Usage();
    const char* name = argv[i];
    const char* value = argv[i + 1];
    bool ok = false;
    if (std::strcmp(name, "--fps") == 0) ok = ParseInteger(value, 1, 240, &options.fps);
    else if (std::strcmp(name, "--size") == 0) ok = ParseEvenSize(value, &options.width, &options.height);
    else if (std::strcmp(name, "--from") == 0) ok = ParseNumber(value, 0.0, 100000.0, &options.from);
    else if (std::strcmp(name, "--to") == 0) ok = ParseNumber(value, 0.0, 100000.0, &options.to);
    else if (std::strcmp(name, "--msaa") == 0) ok = ParseInteger(value, 0, 64, &options.samples);
    if (!ok) return Usage();
  }
  if (options.to >= 0 && options.to <= options.from) return Usage();
  if (options.samples == 1) options.samples = 0;  // one sample a pixel is no multisampling

  VideoReport report;
  if (!ExportVideo(options, &report)) return 1;
  char* where = realpath(options.out, nullptr);
  std::printf("wrote %s: %ld frames, %.3f s, %d x %d at %d fps (%.1f frames per second, %.2f x real time)\n",
              where ? where : options.out, report.frames, report.mediaSeconds, options.width, options.height,
              options.fps, report.wallSeconds > 0 ? double(report.frames) / report.wallSeconds : 0.0,
              report.wallSeconds > 0 ? report.mediaSeconds / report.wallSeconds : 0.0);
  std::free(where);
  return 0;
}
