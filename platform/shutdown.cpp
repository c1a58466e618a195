#include "platform/shutdown.h"

#include <SDL.h>

void ShutdownPlatform() { SDL_Quit(); }
