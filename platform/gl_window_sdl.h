// On Linux a show window is an SDL window: tests that drive it through SDL
// (resizing it, reading its flags) get it here. The show itself never does.
#pragma once

struct GLWindow;
struct SDL_Window;

SDL_Window* GLWindowSDL(const GLWindow* window);
