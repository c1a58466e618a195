#include "app/window.h"

#include "platform/messages.h"
#include "platform/msgbox.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
SDL_Window* hMainWindow = nullptr;
void* hGLContext = nullptr;
bool fullscreen = false;
bool keys[256] = {};
bool active = true;

static bool VideoUp = false;              // SDL video and the GL library loaded ("class registered")
static SDL_GLContext ParkedContext = nullptr;  // kept across a mode switch by KillGLWindow(Keep)

static const GLfloat LightAmbient[] = {0.5f, 0.5f, 0.5f, 1.0f};
static const GLfloat LightDiffuse[] = {1.0f, 1.0f, 1.0f, 1.0f};
static const GLfloat LightPosition[] = {0.0f, 0.0f, 2.0f, 1.0f};

static void CreationError(const char* text) { MessageBoxA(text, "ERROR", MB_ICONEXCLAMATION); }
static void ShutdownError(const char* text) { MessageBoxA(text, "SHUTDOWN ERROR", MB_ICONINFORMATION); }

// ---------------------------------------------------------------------------
// Creation and teardown
// ---------------------------------------------------------------------------

// Brings up SDL's video and loads the GL library once, so that a context
// outlives the window it was made on.
static bool RegisterWindowClass() {
  if (VideoUp) return true;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  if (SDL_GL_LoadLibrary(nullptr) != 0) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  VideoUp = true;
  return true;
}

// The display mode closest to width x height, as full screen asks for it.
static bool FindFullscreenMode(int width, int height, SDL_DisplayMode* mode) {
  SDL_DisplayMode wanted{};
  wanted.w = width;
  wanted.h = height;
  return SDL_GetClosestDisplayMode(0, &wanted, mode) != nullptr;
}

static void RequestPixelFormat(int bits) {
  const int channelBits = bits >= 24 ? 8 : 5;
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channelBits);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channelBits);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channelBits);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

// Vsync where the driver offers it: frames come as fast as the display takes
// them, without tearing or burning a core.
static void EnableVsync() {
  if (SDL_GL_SetSwapInterval(1) == 0) return;
  if (SDL_GL_SetSwapInterval(-1) == 0) return;
  SDL_GL_SetSwapInterval(0);
}

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
  fullscreen = fullscreenflag;

  if (!RegisterWindowClass()) {
    CreationError("Failed To Register The Window Class.");
    return false;
  }

  SDL_DisplayMode mode{};
  if (fullscreen && !FindFullscreenMode(width, height, &mode)) {
    if (MessageBoxA("The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?",
                    "Tavik GL", MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
      fullscreen = false;
    } else {
      MessageBoxA("Program Will Now Close.", "ERROR", MB_ICONSTOP);
      return false;
    }
  }

  if (fullscreen) SDL_ShowCursor(SDL_DISABLE);

  RequestPixelFormat(bits);
  // Windowed, SDL sizes the client area, not the frame: it is exactly width x height.
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
  if (fullscreen) flags |= SDL_WINDOW_FULLSCREEN;
  hMainWindow = SDL_CreateWindow(title, 0, 0, width, height, flags);
  if (!hMainWindow) {
    KillGLWindow();
    CreationError("Window Creation Error.");
    return false;
  }
  if (fullscreen) SDL_SetWindowDisplayMode(hMainWindow, &mode);

  const bool reusingContext = ParkedContext != nullptr;
  if (reusingContext) {
    hGLContext = ParkedContext;
    ParkedContext = nullptr;
  } else {
    hGLContext = SDL_GL_CreateContext(hMainWindow);
    if (!hGLContext) {
      KillGLWindow();
      CreationError("Can't Create A GL Rendering Context.");
      return false;
    }
  }
  if (SDL_GL_MakeCurrent(hMainWindow, hGLContext) != 0) {
    KillGLWindow();
    CreationError("Can't Activate The GL Rendering Context.");
    return false;
  }

  SDL_ShowWindow(hMainWindow);
  SDL_RaiseWindow(hMainWindow);
  // No screen saver or display power-off during the show (SDL keeps this
  // up for as long as video is initialised).
  SDL_DisableScreenSaver();
  EnableVsync();

  ReSizeGLScene(width, height);
  if (reusingContext) ResetToFreshContextState();
  if (!InitGL()) {
    KillGLWindow();
    CreationError("Initialization Failed.");
    return false;
  }
  return true;
}

void KillGLWindow(GLContextFate context) {
  if (fullscreen) {
    if (hMainWindow) SDL_SetWindowFullscreen(hMainWindow, 0);  // back to the desktop mode
    SDL_ShowCursor(SDL_ENABLE);
  }

  if (hGLContext) {
    if (context == GLContextFate::Keep) {
      ParkedContext = hGLContext;
    } else {
      if (SDL_GL_MakeCurrent(hMainWindow, nullptr) != 0) ShutdownError("Release Of DC And RC Failed.");
      SDL_GL_DeleteContext(hGLContext);
    }
    hGLContext = nullptr;
  }
  if (context == GLContextFate::Release && ParkedContext) {
    SDL_GL_DeleteContext(ParkedContext);
    ParkedContext = nullptr;
  }

  if (hMainWindow) {
    SDL_DestroyWindow(hMainWindow);
    hMainWindow = nullptr;
  }

  // A kept context needs the GL library and SDL's video to stay up.
  if (context == GLContextFate::Keep) return;
  if (!VideoUp) {
    ShutdownError("Could Not Unregister Class.");
    return;
  }
  SDL_GL_UnloadLibrary();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  VideoUp = false;
}

// ---------------------------------------------------------------------------
// GL state
// ---------------------------------------------------------------------------
void ReSizeGLScene(int width, int height) {
  if (height == 0) height = 1;  // a collapsed window: no division by zero
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // The near plane is the single-precision 0.1, as the show was tuned with.
  gluPerspective(45.0, double(width) / double(height), double(0.1f), 100.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

bool InitGL() {
  glEnable(GL_TEXTURE_2D);
  glShadeModel(GL_SMOOTH);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  // Light 1 sits at eye-space (0, 0, 2): the model-view matrix is the identity here.
  glLightfv(GL_LIGHT1, GL_AMBIENT, LightAmbient);
  glLightfv(GL_LIGHT1, GL_DIFFUSE, LightDiffuse);
  glLightfv(GL_LIGHT1, GL_POSITION, LightPosition);
  glEnable(GL_LIGHT1);  // lighting as a whole stays off; scenes that want it turn it on
  glEnable(GL_BLEND);
  glColor4f(1.0f, 1.0f, 1.0f, 0.5f);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glLoadIdentity();
  return true;
}

void SwapBuffers(SDL_Window* window) {
  if (window)
    SDL_GL_SwapWindow(window);
  else
    glFlush();
}

// ---------------------------------------------------------------------------
// Window procedure
// ---------------------------------------------------------------------------
int64_t WndProc(unsigned uMsg, uint64_t wParam, int64_t lParam) {
  switch (uMsg) {
    case WM_ACTIVATE:
      active = ((wParam >> 16) & 0xFFFF) == 0;  // high word set: minimised
      return 0;
    case WM_CLOSE:
      PostQuitMessage(0);
      return 0;
    case WM_KEYDOWN:
      if (wParam < 256) keys[wParam] = true;
      return 0;
    case WM_KEYUP:
      if (wParam < 256) keys[wParam] = false;
      return 0;
    case WM_SIZE:
      ReSizeGLScene(int(lParam & 0xFFFF), int((lParam >> 16) & 0xFFFF));
      return 0;
    default:
      return 0;
  }
}
