// "Velmora One, The Trailer": the show's executable. Reads the command line;
// exit status 2 for bad use, with the usage on stderr.
#include "app/main_loop.h"
#include "app/options.h"

#include <SDL.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  ShowOptions options;
  std::string error;
  if (!ParseShowOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "velmora-trailer: %s\n%s", error.c_str(), ShowUsage());
    return 2;
  }
  if (options.help) {
    std::fputs(ShowUsage(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("Velmora One, The Trailer %s\n", TRAILER_VERSION);
    return 0;
  }
  const int exitCode = WinMain(options);
  SDL_Quit();
  return exitCode;
}
