// The show window and its OpenGL context (SDL2 in place of Win32 and WGL),
// the projection set on every resize, the baseline GL state every scene starts
// from, and the window procedure that records keys and activity.
//
// Sizes are in pixels of the GL drawable (on HiDPI displays larger than the
// window's size in screen units). The picture is always composed as at
// 640 x 480: a 4:3 viewport centred in the drawable, black bars beside or
// above and below it. Full screen covers the display at its own resolution
// unless the display mode switch is chosen. Main thread only.
#pragma once

#include <cstdint>

struct SDL_Window;

extern SDL_Window* hMainWindow;  // the show window; null when none
extern void* hGLContext;         // its OpenGL context; null when none
extern bool fullscreen;          // true while the window covers the display
extern bool keys[256];           // true while the key of that virtual-key code is down
extern bool active;              // false while the window is minimised or hidden

// The pixel format every context of the show asks for, the window's and the
// offline tool's alike, so that both draw the same pixels: 8 bits for each
// of red, green and blue, no alpha, no stencil, and a depth buffer of at
// least the first of these bit counts that can be had.
constexpr int kShowColourBits = 8;
constexpr int kShowAlphaBits = 0;
constexpr int kShowDepthBits[] = {24, 16};

// How full screen is made; set before CreateGLWindow. By default the window
// covers its display at the display's resolution; with `modeSwitch` the
// display is switched to the mode closest to the window's size.
void SetFullscreenModeSwitch(bool modeSwitch);

// The size the picture is rendered at before it is scaled up to the
// viewport; 0 x 0 (the default) chooses: 640 x 480 on a software rasteriser
// (llvmpipe, softpipe), the viewport's own size elsewhere. Never larger than
// the viewport.
void SetRenderSize(int width, int height);

// Creates the window (width x height when windowed, resizable), its context
// and the baseline GL state. False after its own message box.
bool CreateGLWindow(const char* title, int width, int height, int bits, bool fullscreenflag);

// Switches the existing window between full screen and a width x height
// window, keeping window, context and keyboard focus. False when the
// platform refuses; the caller then re-creates the window.
bool SwitchGLWindowMode(bool fullscreenflag, int width, int height);

// What KillGLWindow does with the OpenGL context. Keep parks it so that the
// next CreateGLWindow makes it current on the new window: textures and display
// lists then survive a switch between full screen and window.
enum class GLContextFate { Release, Keep };

// Releases whatever exists, in order; safe with any subset missing.
void KillGLWindow(GLContextFate context = GLContextFate::Release);

// Viewport and 45-degree projection for a drawable of that size: the 4:3
// picture centred in it, with the projection's aspect exactly 640 / 480.
// A 640 x 480 drawable gets the viewport (0, 0, 640, 480).
void ReSizeGLScene(int width, int height);

// Calls ReSizeGLScene when the window's drawable size is not the one the
// viewport was last set for (a resize whose event has not arrived yet).
void FollowDrawableSize();

// Where the last ReSizeGLScene placed the picture, in drawable pixels from
// the bottom-left corner, and the size it is rendered at (equal to the
// viewport's unless it is scaled up when presented).
struct PictureLayout {
  int drawableWidth, drawableHeight;
  int x, y, width, height;         // the 4:3 viewport on the screen
  int renderWidth, renderHeight;   // drawn at the bottom left, then scaled
};
PictureLayout CurrentPictureLayout();

// True once for each key-down of that virtual-key code since the last call:
// a press shorter than a frame is not lost between two frames.
bool TakeKeyPress(unsigned virtualKey);

// The fixed initial GL state; always true.
bool InitGL();

// The window procedure: handles WM_ACTIVATE, WM_CLOSE, WM_KEYDOWN, WM_KEYUP
// and WM_SIZE; returns 0.
int64_t WndProc(unsigned uMsg, uint64_t wParam, int64_t lParam);

// Presents the frame: scales the picture up to its viewport when it was
// rendered smaller, then swaps the window's buffers; only flushes when there
// is no window (headless rendering). The GL state the next frame sees is the
// one this frame left.
void SwapBuffers(SDL_Window* window);
