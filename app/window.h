// The show window, with the names and steps the show was written with on
// Win32: CreateGLWindow, KillGLWindow, ReSizeGLScene, InitGL, the window
// procedure WndProc and SwapBuffers. The window and its context are the
// platform's (platform/gl_window.h); how the picture sits in it, its
// projection and the baseline GL state are the picture's (render/picture.h).
// Each step that fails shows the box the show has always shown.
//
// Sizes are in pixels of the GL drawable. Full screen covers the display at
// its own resolution unless the display mode switch is chosen. Main thread
// only.
#pragma once

#include <cstdint>

struct GLWindow;

extern GLWindow* hMainWindow;  // the show window; null when none
extern void* hGLContext;       // its OpenGL context; null when none
extern bool fullscreen;        // true while the window covers the display
extern bool keys[256];         // true while the key of that virtual-key code is down
extern bool active;            // false while the window is minimised or hidden

// How full screen is made; set before CreateGLWindow. By default the window
// covers its display at the display's resolution; with `modeSwitch` the
// display is switched to the mode closest to the window's size.
void SetFullscreenModeSwitch(bool modeSwitch);

// The size the picture is rendered at before it is scaled up to the
// viewport (render/picture.h: PictureSetRenderSize).
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
// viewport was last set for (a resize whose event has not arrived yet), and
// takes `fullscreen` from the platform (which may have left it on its own).
void FollowDrawableSize();

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
void SwapBuffers(GLWindow* window);
