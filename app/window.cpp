#include "app/window.h"

#include "platform/gl_window.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "render/picture.h"

#include <GL/gl.h>

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
GLWindow* hMainWindow = nullptr;
void* hGLContext = nullptr;
bool fullscreen = false;
bool keys[256] = {};
bool active = true;

static bool KeyPressed[256] = {};  // a key-down seen and not yet taken, by virtual-key code
static bool ModeSwitch = false;    // full screen switches the display mode

static void CreationError(const char* text) { MessageBoxA(text, "ERROR", MB_ICONEXCLAMATION); }
static void ShutdownError(const char* text) { MessageBoxA(text, "SHUTDOWN ERROR", MB_ICONINFORMATION); }

void SetFullscreenModeSwitch(bool modeSwitch) { ModeSwitch = modeSwitch; }

void SetRenderSize(int width, int height) { PictureSetRenderSize(width, height); }

// ---------------------------------------------------------------------------
// Creation and teardown
// ---------------------------------------------------------------------------

// A kept context still carries what the last frame left: the texture bound
// last and the switches scenes turn on. A new context would have neither, and
// the show after a switch must look as it would on one.
static void ResetToFreshContextState() {
  glBindTexture(GL_TEXTURE_2D, 0);
  glDisable(GL_LIGHTING);
  glDisable(GL_LIGHT0);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_CULL_FACE);
  glDisable(GL_FOG);
  glDisable(GL_POLYGON_SMOOTH);
}

bool CreateGLWindow(const char* title, int width, int height, int bits, bool fullscreenflag) {
  (void)bits;  // always 8 bits per channel: 16-bit colour is long gone
  fullscreen = fullscreenflag;

  if (!GLVideoUp()) {
    CreationError("Failed To Register The Window Class.");
    return false;
  }

  if (fullscreen && !GLFullscreenAvailable(width, height, ModeSwitch)) {
    if (MessageBoxA("The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?",
                    "Tavik GL", MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
      fullscreen = false;
    } else {
      MessageBoxA("Program Will Now Close.", "ERROR", MB_ICONSTOP);
      return false;
    }
  }

  bool freshContext = true;
  GLWindowFailure failure = GLWindowFailure::None;
  hMainWindow = GLWindowCreate({title, width, height, fullscreen, ModeSwitch}, &freshContext, &failure);
  if (!hMainWindow) {
    KillGLWindow();
    CreationError(failure == GLWindowFailure::NoWindow    ? "Window Creation Error."
                  : failure == GLWindowFailure::NoContext ? "Can't Create A GL Rendering Context."
                                                          : "Can't Activate The GL Rendering Context.");
    return false;
  }
  hGLContext = GLWindowContext(hMainWindow);
  fullscreen = GLWindowFullscreen(hMainWindow);  // a compositor may have refused it
  if (freshContext) PictureUseContext(GLProcAddress, GLExtensionSupported, GLSoftwareRenderer());

  // The size the window really got, which full screen decides.
  int drawableWidth = width, drawableHeight = height;
  GLWindowDrawableSize(hMainWindow, &drawableWidth, &drawableHeight);
  ReSizeGLScene(drawableWidth, drawableHeight);
  if (!freshContext) ResetToFreshContextState();
  if (!InitGL()) {
    KillGLWindow();
    CreationError("Initialization Failed.");
    return false;
  }
  return true;
}

bool SwitchGLWindowMode(bool fullscreenflag, int width, int height) {
  if (!GLWindowSetFullscreen(hMainWindow, fullscreenflag, width, height, ModeSwitch)) return false;
  fullscreen = fullscreenflag;
  FollowDrawableSize();
  return true;
}

void KillGLWindow(GLContextFate context) {
  const bool keep = context == GLContextFate::Keep;
  if (!GLWindowDestroy(hMainWindow, keep)) ShutdownError("Release Of DC And RC Failed.");
  if (!keep) PictureForgetContext();
  hMainWindow = nullptr;
  hGLContext = nullptr;

  // A kept context needs the GL library and video to stay up.
  if (keep) return;
  if (!GLVideoDown()) ShutdownError("Could Not Unregister Class.");
}

// ---------------------------------------------------------------------------
// GL state
// ---------------------------------------------------------------------------
void ReSizeGLScene(int width, int height) { PictureResize(width, height, hMainWindow != nullptr); }

void FollowDrawableSize() {
  if (!hMainWindow) return;
  // The platform may leave full screen on its own (a browser takes Escape
  // for that): the next Space then goes back to it.
  fullscreen = GLWindowFullscreen(hMainWindow);
  int width = 0, height = 0;
  GLWindowDrawableSize(hMainWindow, &width, &height);
  const PictureLayout layout = PictureCurrentLayout();
  if (width != layout.drawableWidth || height != layout.drawableHeight) ReSizeGLScene(width, height);
}

bool InitGL() {
  PictureBaselineState();
  return true;
}

void SwapBuffers(GLWindow* window) {
  if (!window) {
    glFlush();
    return;
  }
  const bool scaled = PictureBeforePresent();
  GLWindowPresent(window);
  if (scaled) PictureAfterPresent();
}

// ---------------------------------------------------------------------------
// Window procedure
// ---------------------------------------------------------------------------
bool TakeKeyPress(unsigned virtualKey) {
  if (virtualKey >= 256 || !KeyPressed[virtualKey]) return false;
  KeyPressed[virtualKey] = false;
  return true;
}

int64_t WndProc(unsigned uMsg, uint64_t wParam, int64_t lParam) {
  switch (uMsg) {
    case WM_ACTIVATE:
      active = ((wParam >> 16) & 0xFFFF) == 0;  // high word set: minimised
      return 0;
    case WM_CLOSE:
      PostQuitMessage(0);
      return 0;
    case WM_KEYDOWN:
      if (wParam < 256) keys[wParam] = KeyPressed[wParam] = true;
      return 0;
    case WM_KEYUP:
      if (wParam < 256) keys[wParam] = false;
      return 0;
    case WM_SIZE: {
      // The drawable's pixels, which differ from the window's size on HiDPI.
      int width = int(lParam & 0xFFFF), height = int((lParam >> 16) & 0xFFFF);
      if (hMainWindow) GLWindowDrawableSize(hMainWindow, &width, &height);
      ReSizeGLScene(width, height);
      return 0;
    }
    default:
      return 0;
  }
}
