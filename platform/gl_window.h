// The show window and its OpenGL context: the stand-in for Win32's window
// class, display-mode switching and WGL. It owns the window, the context and
// the frame pacing, and nothing else: what is drawn, and where the picture
// sits in the window, belong to the callers (app/window.h, render/picture.h).
// Its events reach the show as window messages (platform/messages.h).
//
// Sizes are in pixels of the GL drawable unless they say screen units (on
// HiDPI displays the drawable is larger than the window). Main thread only.
#pragma once

#include <cstdint>

struct GLWindow;  // one window with its context current

// The pixel format every context of the show asks for, the window's and the
// offline tool's alike, so that both draw the same pixels: 8 bits for each
// of red, green and blue, no alpha, no stencil, and a depth buffer of at
// least the first of these bit counts that can be had.
constexpr int kShowColourBits = 8;
constexpr int kShowAlphaBits = 0;
constexpr int kShowDepthBits[] = {24, 16};

// Video and the GL library, brought up once so that a context can outlive
// the window it was made on ("the window class"). Up is false when there is
// no display; Down is false when video was not up.
bool GLVideoUp();
bool GLVideoDown();

// Whether full screen can be had: with `modeSwitch` a display mode to switch
// to near width x height (screen units), else a desktop to cover.
bool GLFullscreenAvailable(int width, int height, bool modeSwitch);

enum class GLWindowFailure { None, NoWindow, NoContext, NotCurrent };

struct GLWindowRequest {
  const char* title;
  int width, height;  // screen units, the client area when windowed (resizable)
  bool fullscreen;    // covering the display, at its resolution unless modeSwitch
  bool modeSwitch;    // full screen switches the display to the mode closest to width x height
};

// Creates the window, shown, raised and with the keyboard, and its context
// (or takes the one parked by GLWindowDestroy), current, with vsync where the
// driver offers it. *freshContext tells a new context from a kept one. The
// window may end up windowed though full screen was asked (a compositor that
// refuses it): GLWindowFullscreen says. nullptr with *failure set, after
// releasing what was made.
GLWindow* GLWindowCreate(const GLWindowRequest& request, bool* freshContext, GLWindowFailure* failure);

// Switches the window between full screen and a width x height window
// (screen units), keeping window, context and keyboard focus. False when the
// platform refuses.
bool GLWindowSetFullscreen(GLWindow* window, bool fullscreen, int width, int height, bool modeSwitch);
bool GLWindowFullscreen(const GLWindow* window);

// The window's OpenGL context (the WGL handle's counterpart).
void* GLWindowContext(const GLWindow* window);

// Destroys the window. With `keepContext` its context is parked for the next
// GLWindowCreate (textures and display lists survive); otherwise it is
// deleted, and so is a parked one. False when the context could not be
// released from the window (it is deleted all the same).
bool GLWindowDestroy(GLWindow* window, bool keepContext);

// The GL drawable's size now, at least 1 x 1.
void GLWindowDrawableSize(const GLWindow* window, int* width, int* height);

// Shows the back buffer. Where swaps do not wait for the display (Xvfb, a
// driver that refused vsync) frames are paced to its refresh rate instead, so
// that they do not take the cores from the sound.
void GLWindowPresent(GLWindow* window);

// An OpenGL function of the current context by name, and whether an
// extension is offered; nullptr and false where there is none.
void* GLProcAddress(const char* name);
bool GLExtensionSupported(const char* name);

// Whether the current context draws on the CPU (Mesa's llvmpipe or
// softpipe, SwiftShader), where every pixel costs: the picture is then drawn
// at 640 x 480 and scaled up.
bool GLSoftwareRenderer();
