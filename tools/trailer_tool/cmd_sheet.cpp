// trailer-tool sheet: placeholder until its module lands.
#include "tools/trailer_tool/commands.h"

#include <cstdio>

int CmdSheet(int, char**) {
  std::fputs("trailer-tool: 'sheet' is not built yet\n", stderr);
  return 1;
}
