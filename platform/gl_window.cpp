#include "platform/gl_window.h"

#include "platform/gl_window_sdl.h"
#include "platform/messages.h"

#include <GL/gl.h>
#include <SDL.h>

#include <chrono>
#include <cstring>
#include <thread>

struct GLWindow {
  SDL_Window* sdl = nullptr;
  SDL_GLContext context = nullptr;
  bool fullscreen = false;  // covering the display now
};

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
static struct {
  bool videoUp = false;                  // SDL video and the GL library loaded
  SDL_GLContext parked = nullptr;        // kept across a mode switch by GLWindowDestroy
  int depthBits = 24;                    // the depth buffer the context got; a kept one needs the same
  uint64_t lastFrameTicks = 0;           // performance counter when the last frame was presented
} Gl;

SDL_Window* GLWindowSDL(const GLWindow* window) { return window ? window->sdl : nullptr; }

void* GLWindowContext(const GLWindow* window) { return window ? window->context : nullptr; }

bool GLWindowFullscreen(const GLWindow* window) { return window && window->fullscreen; }

// ---------------------------------------------------------------------------
// Video
// ---------------------------------------------------------------------------
bool GLVideoUp() {
  if (Gl.videoUp) return true;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  if (SDL_GL_LoadLibrary(nullptr) != 0) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  Gl.videoUp = true;
  return true;
}

bool GLVideoDown() {
  if (!Gl.videoUp) return false;
  SDL_GL_UnloadLibrary();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  Gl.videoUp = false;
  return true;
}

// The display mode closest to width x height, as full screen with a mode
// switch asks for it.
static bool FindFullscreenMode(int width, int height, SDL_DisplayMode* mode) {
  SDL_DisplayMode wanted{};
  wanted.w = width;
  wanted.h = height;
  return SDL_GetClosestDisplayMode(0, &wanted, mode) != nullptr;
}

bool GLFullscreenAvailable(int width, int height, bool modeSwitch) {
  SDL_DisplayMode mode{};
  if (modeSwitch) return FindFullscreenMode(width, height, &mode);
  return SDL_GetDesktopDisplayMode(0, &mode) == 0;
}

// ---------------------------------------------------------------------------
// Creation and teardown
// ---------------------------------------------------------------------------

// The show's colour format and the depth buffer asked for.
static void RequestPixelFormat(int depthBits) {
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, kShowColourBits);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, kShowColourBits);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, kShowColourBits);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, kShowAlphaBits);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits);
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

static bool OnWayland() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && std::strcmp(driver, "wayland") == 0;
}

// The window, and a context for it unless a kept one waits: a 24-bit depth
// buffer where it can be had, 16 bits otherwise.
static GLWindowFailure MakeWindowAndContext(GLWindow* window, const GLWindowRequest& request, Uint32 flags) {
  const bool kept = window->context != nullptr;
  bool windowMade = false;
  for (int depth : kShowDepthBits) {
    if (kept && depth != Gl.depthBits) continue;  // the kept context's format
    RequestPixelFormat(depth);
    window->sdl = SDL_CreateWindow(request.title, 0, 0, request.width, request.height, flags);
    if (!window->sdl) continue;
    windowMade = true;
    Gl.depthBits = depth;
    if (!kept) window->context = SDL_GL_CreateContext(window->sdl);
    if (window->context) return GLWindowFailure::None;
    SDL_DestroyWindow(window->sdl);
    window->sdl = nullptr;
  }
  return windowMade ? GLWindowFailure::NoContext : GLWindowFailure::NoWindow;
}

GLWindow* GLWindowCreate(const GLWindowRequest& request, bool* freshContext, GLWindowFailure* failure) {
  GLWindow* window = new GLWindow;
  window->fullscreen = request.fullscreen;
  if (request.fullscreen) SDL_ShowCursor(SDL_DISABLE);

  // Windowed, SDL sizes the client area, not the frame: it is exactly width x height.
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_RESIZABLE;
  const Uint32 fullscreenFlag = request.modeSwitch ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_FULLSCREEN_DESKTOP;
  // A Wayland window cannot place itself, and one that maps full screen has
  // no place of its own to come back to: weston puts it at the output's
  // corner, over its panel. So it maps as a window first, placed where the
  // compositor puts new windows, and goes full screen from there.
  const bool placeFirst = request.fullscreen && OnWayland();
  if (request.fullscreen && !placeFirst) flags |= fullscreenFlag;
  window->context = Gl.parked;  // a kept context goes on in the new window
  Gl.parked = nullptr;
  *freshContext = window->context == nullptr;
  *failure = MakeWindowAndContext(window, request, flags);
  if (*failure == GLWindowFailure::None) {
    if (request.fullscreen && request.modeSwitch) {
      SDL_DisplayMode mode{};
      if (FindFullscreenMode(request.width, request.height, &mode)) SDL_SetWindowDisplayMode(window->sdl, &mode);
    }
    SetMessageWindow(SDL_GetWindowID(window->sdl));
    if (SDL_GL_MakeCurrent(window->sdl, window->context) != 0) *failure = GLWindowFailure::NotCurrent;
  }
  if (*failure != GLWindowFailure::None) {
    GLWindowDestroy(window, false);
    return nullptr;
  }

  SDL_ShowWindow(window->sdl);
  SDL_RaiseWindow(window->sdl);
  // No screen saver or display power-off during the show (SDL keeps this
  // up for as long as video is initialised).
  SDL_DisableScreenSaver();
  EnableVsync();
  if (placeFirst) {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    SDL_GL_SwapWindow(window->sdl);  // a frame maps the window
    if (SDL_SetWindowFullscreen(window->sdl, fullscreenFlag) != 0) {
      window->fullscreen = false;
      SDL_ShowCursor(SDL_ENABLE);
    }
  }
  return window;
}

bool GLWindowSetFullscreen(GLWindow* window, bool fullscreen, int width, int height, bool modeSwitch) {
  if (!window) return false;
  if (fullscreen) {
    Uint32 flag = SDL_WINDOW_FULLSCREEN_DESKTOP;
    if (modeSwitch) {
      SDL_DisplayMode mode{};
      if (!FindFullscreenMode(width, height, &mode) || SDL_SetWindowDisplayMode(window->sdl, &mode) != 0) return false;
      flag = SDL_WINDOW_FULLSCREEN;
    }
    if (SDL_SetWindowFullscreen(window->sdl, flag) != 0) return false;
    SDL_ShowCursor(SDL_DISABLE);
  } else {
    if (SDL_SetWindowFullscreen(window->sdl, 0) != 0) return false;
    SDL_ShowCursor(SDL_ENABLE);
    if (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_MAXIMIZED) SDL_RestoreWindow(window->sdl);
    SDL_SetWindowSize(window->sdl, width, height);
  }
  window->fullscreen = fullscreen;
  SDL_RaiseWindow(window->sdl);  // keeps the keyboard
  return true;
}

bool GLWindowDestroy(GLWindow* window, bool keepContext) {
  bool released = true;
  if (window) {
    if (window->fullscreen) {
      if (window->sdl) SDL_SetWindowFullscreen(window->sdl, 0);  // back to the desktop mode
      SDL_ShowCursor(SDL_ENABLE);
    }
    if (window->context) {
      if (keepContext) {
        Gl.parked = window->context;
      } else {
        released = SDL_GL_MakeCurrent(window->sdl, nullptr) == 0;
        SDL_GL_DeleteContext(window->context);
      }
    }
    if (window->sdl) SDL_DestroyWindow(window->sdl);
    delete window;
  }
  if (!keepContext && Gl.parked) {
    SDL_GL_DeleteContext(Gl.parked);
    Gl.parked = nullptr;
  }
  SetMessageWindow(0);  // its events, still queued, are stale now
  return released;
}

void GLWindowDrawableSize(const GLWindow* window, int* width, int* height) {
  *width = *height = 1;
  if (window) SDL_GL_GetDrawableSize(window->sdl, width, height);
  if (*width < 1) *width = 1;
  if (*height < 1) *height = 1;
}

// ---------------------------------------------------------------------------
// Presenting
// ---------------------------------------------------------------------------

// Frames where swaps wait come a refresh apart and nothing sleeps; where
// they do not, the frame sleeps out the rest of its refresh (60 Hz where the
// display does not say).
static void PaceFrame(SDL_Window* window) {
  SDL_DisplayMode mode;
  const int display = SDL_GetWindowDisplayIndex(window);
  const int hertz = display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0
                        ? mode.refresh_rate : 60;
  const uint64_t frequency = SDL_GetPerformanceFrequency();
  const uint64_t period = frequency / uint64_t(hertz);
  uint64_t now = SDL_GetPerformanceCounter();
  if (Gl.lastFrameTicks && now - Gl.lastFrameTicks < period * 3 / 4) {
    const uint64_t wait = Gl.lastFrameTicks + period - now;
    std::this_thread::sleep_for(std::chrono::nanoseconds(int64_t(double(wait) * 1e9 / double(frequency))));
    now = SDL_GetPerformanceCounter();
  }
  Gl.lastFrameTicks = now;
}

void GLWindowPresent(GLWindow* window) {
  SDL_GL_SwapWindow(window->sdl);
  PaceFrame(window->sdl);
}

void* GLProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

bool GLSoftwareRenderer() {
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  return renderer && (std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe"));
}

bool GLExtensionSupported(const char* name) { return SDL_GL_ExtensionSupported(name) == SDL_TRUE; }
