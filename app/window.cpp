#include "app/window.h"

#include "platform/messages.h"
#include "platform/msgbox.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <SDL.h>

#include <chrono>
#include <cstring>
#include <thread>

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
SDL_Window* hMainWindow = nullptr;
void* hGLContext = nullptr;
bool fullscreen = false;
bool keys[256] = {};
bool active = true;

static bool KeyPressed[256] = {};        // a key-down seen and not yet taken, by virtual-key code
static bool VideoUp = false;              // SDL video and the GL library loaded ("class registered")
static SDL_GLContext ParkedContext = nullptr;  // kept across a mode switch by KillGLWindow(Keep)
static bool ModeSwitch = false;           // full screen switches the display mode
static int DepthBits = 24;                // the depth buffer the context got; a kept one needs the same

// The picture: where it sits in the drawable and what it is rendered at.
static struct {
  int requestedWidth = 0, requestedHeight = 0;  // --render-size; 0: chosen here
  bool softwareRenderer = false;  // GL_RENDERER names llvmpipe or softpipe
  PictureLayout layout = {640, 480, 0, 0, 640, 480, 640, 480};
  GLuint framebuffer = 0;         // the offscreen picture of renderWidth x renderHeight; 0: none
  GLuint colourTexture = 0, depthBuffer = 0;  // what it draws into
  int framebufferWidth = 0, framebufferHeight = 0;  // pixels
} Picture;

// Framebuffer objects (OpenGL 3.0, or ARB_framebuffer_object), fetched once a
// context is current; all null where the driver has none, and the picture is
// then never scaled.
static struct {
  PFNGLGENFRAMEBUFFERSPROC genFramebuffers;
  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer;
  PFNGLGENRENDERBUFFERSPROC genRenderbuffers;
  PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers;
  PFNGLBINDRENDERBUFFERPROC bindRenderbuffer;
  PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer;
  PFNGLFRAMEBUFFERTEXTURE2DPROC framebufferTexture2D;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus;
} Fbo;

static const int kPictureWidth = 640;  // the picture's proportions: the size the show was composed at
static const int kPictureHeight = 480;

static const GLfloat LightAmbient[] = {0.5f, 0.5f, 0.5f, 1.0f};
static const GLfloat LightDiffuse[] = {1.0f, 1.0f, 1.0f, 1.0f};
static const GLfloat LightPosition[] = {0.0f, 0.0f, 2.0f, 1.0f};

static void CreationError(const char* text) { MessageBoxA(text, "ERROR", MB_ICONEXCLAMATION); }
static void ShutdownError(const char* text) { MessageBoxA(text, "SHUTDOWN ERROR", MB_ICONINFORMATION); }

void SetFullscreenModeSwitch(bool modeSwitch) { ModeSwitch = modeSwitch; }

void SetRenderSize(int width, int height) {
  Picture.requestedWidth = width > 0 && height > 0 ? width : 0;
  Picture.requestedHeight = width > 0 && height > 0 ? height : 0;
}

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

// The display mode closest to width x height, as full screen with a mode
// switch asks for it.
static bool FindFullscreenMode(int width, int height, SDL_DisplayMode* mode) {
  SDL_DisplayMode wanted{};
  wanted.w = width;
  wanted.h = height;
  return SDL_GetClosestDisplayMode(0, &wanted, mode) != nullptr;
}

// Whether full screen can be had: a display mode to switch to, or a desktop
// to cover.
static bool FullscreenAvailable(int width, int height, SDL_DisplayMode* mode) {
  if (ModeSwitch) return FindFullscreenMode(width, height, mode);
  return SDL_GetDesktopDisplayMode(0, mode) == 0;
}

// The show's colour format whatever `bits` says (16-bit colour is long gone),
// and the depth buffer asked for.
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

static bool IsSoftwareRenderer() {
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  return renderer && (std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe"));
}

template <typename Function>
static bool Fetch(Function* function, const char* name) {
  *function = reinterpret_cast<Function>(SDL_GL_GetProcAddress(name));
  return *function != nullptr;
}

static void FetchFramebufferFunctions() {
  Fbo = {};
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  if (!(version && version[0] >= '3' && version[1] == '.') &&
      !SDL_GL_ExtensionSupported("GL_ARB_framebuffer_object"))
    return;
  const bool all = Fetch(&Fbo.genFramebuffers, "glGenFramebuffers") &&
                   Fetch(&Fbo.deleteFramebuffers, "glDeleteFramebuffers") &&
                   Fetch(&Fbo.bindFramebuffer, "glBindFramebuffer") &&
                   Fetch(&Fbo.genRenderbuffers, "glGenRenderbuffers") &&
                   Fetch(&Fbo.deleteRenderbuffers, "glDeleteRenderbuffers") &&
                   Fetch(&Fbo.bindRenderbuffer, "glBindRenderbuffer") &&
                   Fetch(&Fbo.renderbufferStorage, "glRenderbufferStorage") &&
                   Fetch(&Fbo.framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
                   Fetch(&Fbo.framebufferTexture2D, "glFramebufferTexture2D") &&
                   Fetch(&Fbo.checkFramebufferStatus, "glCheckFramebufferStatus");
  if (!all) Fbo = {};
}

// The window, and a context for it unless a kept one waits: a 24-bit depth
// buffer where it can be had, 16 bits otherwise. False after its box, with
// whatever was made released.
static bool CreateWindowAndContext(const char* title, int width, int height, Uint32 flags, bool reusingContext) {
  bool windowMade = false;
  for (int depth : kShowDepthBits) {
    if (reusingContext && depth != DepthBits) continue;  // the kept context's format
    RequestPixelFormat(depth);
    hMainWindow = SDL_CreateWindow(title, 0, 0, width, height, flags);
    if (!hMainWindow) continue;
    windowMade = true;
    DepthBits = depth;
    if (reusingContext) return true;
    hGLContext = SDL_GL_CreateContext(hMainWindow);
    if (hGLContext) return true;
    SDL_DestroyWindow(hMainWindow);
    hMainWindow = nullptr;
  }
  KillGLWindow();
  CreationError(windowMade ? "Can't Create A GL Rendering Context." : "Window Creation Error.");
  return false;
}

static bool OnWayland() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && std::strcmp(driver, "wayland") == 0;
}

bool CreateGLWindow(const char* title, int width, int height, int bits, bool fullscreenflag) {
  (void)bits;  // always 8 bits per channel
  fullscreen = fullscreenflag;

  if (!RegisterWindowClass()) {
    CreationError("Failed To Register The Window Class.");
    return false;
  }

  SDL_DisplayMode mode{};
  if (fullscreen && !FullscreenAvailable(width, height, &mode)) {
    if (MessageBoxA("The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?",
                    "Tavik GL", MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
      fullscreen = false;
    } else {
      MessageBoxA("Program Will Now Close.", "ERROR", MB_ICONSTOP);
      return false;
    }
  }

  if (fullscreen) SDL_ShowCursor(SDL_DISABLE);

  // Windowed, SDL sizes the client area, not the frame: it is exactly width x height.
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_RESIZABLE;
  const Uint32 fullscreenFlag = ModeSwitch ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_FULLSCREEN_DESKTOP;
  // A Wayland window cannot place itself, and one that maps full screen has
  // no place of its own to come back to: weston puts it at the output's
  // corner, over its panel. So it maps as a window first, placed where the
  // compositor puts new windows, and goes full screen from there.
  const bool placeFirst = fullscreen && OnWayland();
  if (fullscreen && !placeFirst) flags |= fullscreenFlag;
  const bool reusingContext = ParkedContext != nullptr;
  if (reusingContext) {
    hGLContext = ParkedContext;
    ParkedContext = nullptr;
  }
  if (!CreateWindowAndContext(title, width, height, flags, reusingContext)) return false;
  if (fullscreen && ModeSwitch) SDL_SetWindowDisplayMode(hMainWindow, &mode);
  SetMessageWindow(SDL_GetWindowID(hMainWindow));

  if (SDL_GL_MakeCurrent(hMainWindow, hGLContext) != 0) {
    KillGLWindow();
    CreationError("Can't Activate The GL Rendering Context.");
    return false;
  }
  if (!reusingContext) {
    Picture.softwareRenderer = IsSoftwareRenderer();
    FetchFramebufferFunctions();
  }

  SDL_ShowWindow(hMainWindow);
  SDL_RaiseWindow(hMainWindow);
  // No screen saver or display power-off during the show (SDL keeps this
  // up for as long as video is initialised).
  SDL_DisableScreenSaver();
  EnableVsync();
  if (placeFirst) {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    SDL_GL_SwapWindow(hMainWindow);  // a frame maps the window
    if (SDL_SetWindowFullscreen(hMainWindow, fullscreenFlag) != 0) {
      fullscreen = false;
      SDL_ShowCursor(SDL_ENABLE);
    }
  }

  // The size the window really got, which full screen decides.
  int drawableWidth = width, drawableHeight = height;
  SDL_GL_GetDrawableSize(hMainWindow, &drawableWidth, &drawableHeight);
  ReSizeGLScene(drawableWidth, drawableHeight);
  if (reusingContext) ResetToFreshContextState();
  if (!InitGL()) {
    KillGLWindow();
    CreationError("Initialization Failed.");
    return false;
  }
  return true;
}

bool SwitchGLWindowMode(bool fullscreenflag, int width, int height) {
  if (!hMainWindow) return false;
  if (fullscreenflag) {
    Uint32 flag = SDL_WINDOW_FULLSCREEN_DESKTOP;
    if (ModeSwitch) {
      SDL_DisplayMode mode{};
      if (!FindFullscreenMode(width, height, &mode) || SDL_SetWindowDisplayMode(hMainWindow, &mode) != 0) return false;
      flag = SDL_WINDOW_FULLSCREEN;
    }
    if (SDL_SetWindowFullscreen(hMainWindow, flag) != 0) return false;
    SDL_ShowCursor(SDL_DISABLE);
  } else {
    if (SDL_SetWindowFullscreen(hMainWindow, 0) != 0) return false;
    SDL_ShowCursor(SDL_ENABLE);
    if (SDL_GetWindowFlags(hMainWindow) & SDL_WINDOW_MAXIMIZED) SDL_RestoreWindow(hMainWindow);
    SDL_SetWindowSize(hMainWindow, width, height);
  }
  fullscreen = fullscreenflag;
  SDL_RaiseWindow(hMainWindow);  // keeps the keyboard
  FollowDrawableSize();
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
  if (context == GLContextFate::Release) {
    if (ParkedContext) SDL_GL_DeleteContext(ParkedContext);
    ParkedContext = nullptr;
    Picture.framebuffer = Picture.colourTexture = Picture.depthBuffer = 0;  // went with their context
    Picture.framebufferWidth = Picture.framebufferHeight = 0;
  }

  if (hMainWindow) {
    SDL_DestroyWindow(hMainWindow);
    hMainWindow = nullptr;
  }
  SetMessageWindow(0);  // its events, still queued, are stale now

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

// The largest 4:3 rectangle inside width x height, rounded to whole pixels.
static void FitPicture(int width, int height, int* fitWidth, int* fitHeight) {
  if (int64_t(width) * kPictureHeight >= int64_t(height) * kPictureWidth) {
    *fitHeight = height;
    *fitWidth = int((int64_t(height) * 2 * kPictureWidth + kPictureHeight) / (2 * kPictureHeight));
  } else {
    *fitWidth = width;
    *fitHeight = int((int64_t(width) * 2 * kPictureHeight + kPictureWidth) / (2 * kPictureWidth));
  }
  if (*fitWidth < 1) *fitWidth = 1;
  if (*fitHeight < 1) *fitHeight = 1;
}

static PictureLayout LayoutFor(int width, int height) {
  if (width < 1) width = 1;
  if (height < 1) height = 1;  // a collapsed window: no division by zero
  PictureLayout layout{};
  layout.drawableWidth = width;
  layout.drawableHeight = height;
  FitPicture(width, height, &layout.width, &layout.height);
  layout.x = (width - layout.width) / 2;
  layout.y = (height - layout.height) / 2;

  // Smaller rendering only where a window presents it (the headless tool
  // reads the back buffer as drawn).
  layout.renderWidth = layout.width;
  layout.renderHeight = layout.height;
  int wantWidth = Picture.requestedWidth, wantHeight = Picture.requestedHeight;
  if (!wantWidth && Picture.softwareRenderer) {
    wantWidth = kPictureWidth;
    wantHeight = kPictureHeight;
  }
  if (hMainWindow && Fbo.checkFramebufferStatus && wantWidth > 0) {
    int renderWidth = 0, renderHeight = 0;
    FitPicture(wantWidth, wantHeight, &renderWidth, &renderHeight);
    if (renderWidth < layout.width && renderHeight < layout.height) {
      layout.renderWidth = renderWidth;
      layout.renderHeight = renderHeight;
    }
  }
  return layout;
}

static bool Scaled(const PictureLayout& layout) {
  return layout.renderWidth != layout.width || layout.renderHeight != layout.height;
}

static void DeleteFramebuffer() {
  if (!Picture.framebuffer) return;
  Fbo.bindFramebuffer(GL_FRAMEBUFFER, 0);
  Fbo.deleteFramebuffers(1, &Picture.framebuffer);
  glDeleteTextures(1, &Picture.colourTexture);
  Fbo.deleteRenderbuffers(1, &Picture.depthBuffer);
  Picture.framebuffer = Picture.colourTexture = Picture.depthBuffer = 0;
  Picture.framebufferWidth = Picture.framebufferHeight = 0;
}

// The offscreen picture of that size, bound for drawing; false (with none
// left) when the driver cannot make it.
static bool BindFramebuffer(int width, int height) {
  if (Picture.framebuffer && (width != Picture.framebufferWidth || height != Picture.framebufferHeight))
    DeleteFramebuffer();
  if (!Picture.framebuffer) {
    Fbo.genFramebuffers(1, &Picture.framebuffer);
    // The scenes' texture binding stays as they left it.
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGenTextures(1, &Picture.colourTexture);
    glBindTexture(GL_TEXTURE_2D, Picture.colourTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
    Fbo.genRenderbuffers(1, &Picture.depthBuffer);
    Fbo.bindRenderbuffer(GL_RENDERBUFFER, Picture.depthBuffer);
    Fbo.renderbufferStorage(GL_RENDERBUFFER, DepthBits >= 24 ? GL_DEPTH_COMPONENT24 : GL_DEPTH_COMPONENT16, width,
                            height);
    Fbo.bindRenderbuffer(GL_RENDERBUFFER, 0);
    Fbo.bindFramebuffer(GL_FRAMEBUFFER, Picture.framebuffer);
    Fbo.framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, Picture.colourTexture, 0);
    Fbo.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, Picture.depthBuffer);
    Picture.framebufferWidth = width;
    Picture.framebufferHeight = height;
    if (Fbo.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      DeleteFramebuffer();
      return false;
    }
  }
  Fbo.bindFramebuffer(GL_FRAMEBUFFER, Picture.framebuffer);
  return true;
}

void ReSizeGLScene(int width, int height) {
  Picture.layout = LayoutFor(width, height);
  PictureLayout& layout = Picture.layout;
  if (Scaled(layout) && !BindFramebuffer(layout.renderWidth, layout.renderHeight)) {
    layout.renderWidth = layout.width;  // drawn at full size after all
    layout.renderHeight = layout.height;
  }
  if (!Scaled(layout) && Picture.framebuffer) DeleteFramebuffer();  // back to the window's own buffer
  if (Scaled(layout))
    glViewport(0, 0, layout.renderWidth, layout.renderHeight);  // scaled up when presented
  else
    glViewport(layout.x, layout.y, layout.width, layout.height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // The near plane is the single-precision 0.1, as the show was tuned with;
  // the aspect is the picture's whatever the window's.
  gluPerspective(45.0, double(kPictureWidth) / double(kPictureHeight), double(0.1f), 100.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void FollowDrawableSize() {
  if (!hMainWindow) return;
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(hMainWindow, &width, &height);
  if (width < 1) width = 1;
  if (height < 1) height = 1;
  if (width != Picture.layout.drawableWidth || height != Picture.layout.drawableHeight) ReSizeGLScene(width, height);
}

PictureLayout CurrentPictureLayout() { return Picture.layout; }

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

// Draws the offscreen picture over the viewport of the window's back
// buffer, between black bars, as one textured quad; drawing goes back to the
// picture afterwards (SwapBuffers). Every GL state it touches is saved and
// restored: the next frame starts from what the scenes left, as it would
// without the scaling.
static void ScalePictureUp() {
  const PictureLayout& layout = Picture.layout;
  Fbo.bindFramebuffer(GL_FRAMEBUFFER, 0);
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glMatrixMode(GL_TEXTURE);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();

  const GLenum off[] = {GL_DEPTH_TEST,     GL_BLEND,         GL_LIGHTING,      GL_FOG,
                        GL_CULL_FACE,      GL_ALPHA_TEST,    GL_SCISSOR_TEST,  GL_STENCIL_TEST,
                        GL_POLYGON_SMOOTH, GL_COLOR_MATERIAL, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T,
                        GL_TEXTURE_1D,     GL_COLOR_LOGIC_OP};
  for (GLenum capability : off) glDisable(capability);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glViewport(0, 0, layout.drawableWidth, layout.drawableHeight);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);  // the bars

  glViewport(layout.x, layout.y, layout.width, layout.height);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, Picture.colourTexture);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0), glVertex2f(-1, -1);
  glTexCoord2f(1, 0), glVertex2f(1, -1);
  glTexCoord2f(1, 1), glVertex2f(1, 1);
  glTexCoord2f(0, 1), glVertex2f(-1, 1);
  glEnd();

  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_TEXTURE);
  glPopMatrix();
  glPopAttrib();  // the matrix mode and texture binding too
}

// Where swaps do not wait for the display (Xvfb, a driver that refused
// vsync) frames would come as fast as the cores allow, far more than any
// display shows, and take the cores from the sound. They are paced to the
// display's refresh instead (60 Hz where it does not say); where swaps do
// wait, frames already come a refresh apart and nothing sleeps.
static uint64_t LastFrameTicks = 0;  // performance counter when the last frame was presented

static void PaceFrame(SDL_Window* window) {
  SDL_DisplayMode mode;
  const int display = SDL_GetWindowDisplayIndex(window);
  const int hertz = display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0
                        ? mode.refresh_rate : 60;
  const uint64_t frequency = SDL_GetPerformanceFrequency();
  const uint64_t period = frequency / uint64_t(hertz);
  uint64_t now = SDL_GetPerformanceCounter();
  if (LastFrameTicks && now - LastFrameTicks < period * 3 / 4) {
    const uint64_t wait = LastFrameTicks + period - now;
    std::this_thread::sleep_for(std::chrono::nanoseconds(int64_t(double(wait) * 1e9 / double(frequency))));
    now = SDL_GetPerformanceCounter();
  }
  LastFrameTicks = now;
}

void SwapBuffers(SDL_Window* window) {
  if (!window) {
    glFlush();
    return;
  }
  const bool scaled = Scaled(Picture.layout) && Picture.framebuffer;
  if (scaled) ScalePictureUp();
  SDL_GL_SwapWindow(window);
  if (scaled) Fbo.bindFramebuffer(GL_FRAMEBUFFER, Picture.framebuffer);
  PaceFrame(window);
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
      if (hMainWindow) SDL_GL_GetDrawableSize(hMainWindow, &width, &height);
      ReSizeGLScene(width, height);
      return 0;
    }
    default:
      return 0;
  }
}
