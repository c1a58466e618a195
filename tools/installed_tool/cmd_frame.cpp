// velmora-trailer-tool frame POSITION OUT.png [--time MS]
#include "tools/installed_tool/commands.h"
#include "tools/installed_tool/show_moment.h"

#include "app/arguments.h"
#include "tools/shared_kit/png_file.h"

#include <cstdio>
#include <cstring>

static int Usage() {
  std::fputs("usage: velmora-trailer-tool frame POSITION OUT.png [--time MS]\n", stderr);
  return 2;
}

static bool ParsePosition(const char* text, uint32_t* position) {
  long long value = 0;
  if (!ParseInteger(text, 0LL, 0xFFFFFFFFLL, &value)) return false;
  *position = uint32_t(value);
  return true;
}

int CmdFrame(int argc, char** argv) {
  uint32_t position = 0;
  if (argc != 2 && argc != 4) return Usage();
  if (!ParsePosition(argv[0], &position)) return Usage();
  double millis = ClockAtPosition(position);
  if (argc == 4 && (std::strcmp(argv[2], "--time") != 0 || !ParseNumber(argv[3], -1e9, 1e9, &millis))) return Usage();

  if (!StartHeadlessShow()) return 1;
  const auto rgb = RenderShowMoment(position, millis);
  return WritePNG(argv[1], kFrameWidth, kFrameHeight, rgb.data()) ? 0 : 1;
}
