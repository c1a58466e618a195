// trailer-tool texture: placeholder until its module lands.
#include "tools/trailer_tool/commands.h"

#include <cstdio>

int CmdTexture(int, char**) {
  std::fputs("trailer-tool: 'texture' is not built yet\n", stderr);
  return 1;
}
