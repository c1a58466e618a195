// trailer-tool model: placeholder until its module lands.
#include "tools/trailer_tool/commands.h"

#include <cstdio>

int CmdModel(int, char**) {
  std::fputs("trailer-tool: 'model' is not built yet\n", stderr);
  return 1;
}
