// velmora-trailer-tool frame POSITION OUT.png [--time MS]
#include "tools/trailer_tool/commands.h"
#include "tools/trailer_tool/show_moment.h"

#include "tools/kit/png_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static int Usage() {
  std::fputs("usage: velmora-trailer-tool frame POSITION OUT.png [--time MS]\n", stderr);
  return 2;
}

static bool ParsePosition(const char* text, uint32_t* position) {
  if (!*text || *text == '-') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (errno || *end || value > 0xFFFFFFFFull) return false;
  *position = uint32_t(value);
  return true;
}

static bool ParseMillis(const char* text, double* millis) {
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (errno || end == text || *end || !std::isfinite(value) || std::fabs(value) > 1e9) return false;
  *millis = value;
  return true;
}

int CmdFrame(int argc, char** argv) {
  uint32_t position = 0;
  if (argc != 2 && argc != 4) return Usage();
  if (!ParsePosition(argv[0], &position)) return Usage();
  double millis = ClockAtPosition(position);
  if (argc == 4 && (std::strcmp(argv[2], "--time") != 0 || !ParseMillis(argv[3], &millis))) return Usage();

  if (!StartHeadlessShow()) return 1;
  const auto rgb = RenderShowMoment(position, millis);
  return WritePNG(argv[1], kFrameWidth, kFrameHeight, rgb.data()) ? 0 : 1;
}
