// "Velmora One, The Trailer": the show's executable. Reads the command line;
// exit status 2 for bad use (a --data folder without the soundtrack too),
// with the usage on stderr.
#include "app/main_loop.h"
#include "app/options.h"
#include "platform/shutdown.h"
#include "platform/stop_signal.h"
#include "platform/win_files.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  InstallStopSignals();  // before the platform's libraries, which would take them over
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
  // A folder given by hand must be a data folder: a typo must not quietly
  // show the data of another.
  if (!options.dataFolder.empty() && !IsShowDataFolder(options.dataFolder)) {
    std::fprintf(stderr, "velmora-trailer: --data %s: no TrailerLOW.mp3 there, so it is not a data folder\n%s",
                 options.dataFolder.c_str(), ShowUsage());
    return 2;
  }
  const int exitCode = WinMain(options);
  ShutdownPlatform();
  return exitCode;
}
