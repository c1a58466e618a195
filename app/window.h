// The show window and its OpenGL context (SDL2 in place of Win32 and WGL),
// the projection set on every resize, the baseline GL state every scene starts
// from, and the window procedure that records keys and activity.
// Main thread only.
#pragma once

#include <cstdint>

struct SDL_Window;

extern SDL_Window* hMainWindow;  // the show window; null when none
extern void* hGLContext;         // its OpenGL context; null when none
extern bool fullscreen;          // true while the display mode is switched
extern bool keys[256];           // true while the key of that virtual-key code is down
extern bool active;              // false while the window is minimised

// Creates the window (640 x 480 client area when windowed), its context and
// the baseline GL state. False after its own message box.
bool CreateGLWindow(const char* title, int width, int height, int bits, bool fullscreenflag);

// What KillGLWindow does with the OpenGL context. Keep parks it so that the
// next CreateGLWindow makes it current on the new window: textures and display
// lists then survive a switch between full screen and window.
enum class GLContextFate { Release, Keep };

// Releases whatever exists, in order; safe with any subset missing.
void KillGLWindow(GLContextFate context = GLContextFate::Release);

// Viewport and 45-degree projection for a client area of that size.
void ReSizeGLScene(int width, int height);

// The fixed initial GL state; always true.
bool InitGL();

// The window procedure: handles WM_ACTIVATE, WM_CLOSE, WM_KEYDOWN, WM_KEYUP
// and WM_SIZE; returns 0.
int64_t WndProc(unsigned uMsg, uint64_t wParam, int64_t lParam);

// Presents the frame: swaps the window's buffers, or only flushes when there is
// no window (headless rendering).
void SwapBuffers(SDL_Window* window);
