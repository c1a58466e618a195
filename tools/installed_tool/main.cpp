// velmora-trailer-tool: renders moments of the show, textures and models headless,
// for reviewing the show and its data without a display or a sound card.
#include "tools/installed_tool/commands.h"

#include <cstdio>
#include <cstring>

static const char kUsage[] =
    "usage: velmora-trailer-tool frame POSITION OUT.png [--time MS]\n"
    "       velmora-trailer-tool texture FILE.tga OUT.png\n"
    "       velmora-trailer-tool model FILE.3ds\n"
    "       velmora-trailer-tool sheet OUT.png\n"
    "       velmora-trailer-tool bench [--frames N] [--csv]\n"
    "       velmora-trailer-tool video OUT.mp4 [--fps N] [--size WxH] [--from S] [--to S] [--msaa N]\n"
    "       velmora-trailer-tool sync [--seconds S] [--driver NAME] [--start S] [--agree MS] [--also-record COMMAND]\n"
    "                                 [--pause AT,SECONDS] [--seek AT,TO]\n"
    "       velmora-trailer-tool listen SECONDS MARKS\n";

int main(int argc, char** argv) {
  static const struct {
    const char* name;
    int (*run)(int, char**);
  } kCommands[] = {
      {"frame", CmdFrame},
      {"texture", CmdTexture},
      {"model", CmdModel},
      {"sheet", CmdSheet},
      {"bench", CmdBench},
      {"video", CmdVideo},
      {"sync", CmdSync},
      {"listen", CmdListen},
  };
  if (argc >= 2) {
    for (const auto& command : kCommands)
      if (std::strcmp(argv[1], command.name) == 0) return command.run(argc - 2, argv + 2);
  }
  std::fputs(kUsage, stderr);
  return 2;
}
