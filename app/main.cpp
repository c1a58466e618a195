// "Velmora One, The Trailer": the show's executable.
#include "app/main_loop.h"

#include <SDL.h>

int main() {
  const int exitCode = WinMain();
  SDL_Quit();
  return exitCode;
}
