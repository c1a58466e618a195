#include "app/window.h"

#include "platform/messages.h"
#include "platform/msgbox.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <cstring>

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
  GLuint scaleTexture = 0;        // holds the rendered picture while it is scaled up
  int scaleTextureWidth = 0, scaleTextureHeight = 0;  // powers of two, pixels
} Picture;

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

// 8 bits per colour channel whatever `bits` says (16-bit colour is long gone),
// and the depth buffer asked for.
static void RequestPixelFormat(int depthBits) {
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
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

// The window, and a context for it unless a kept one waits: a 24-bit depth
// buffer where it can be had, 16 bits otherwise. False after its box, with
// whatever was made released.
static bool CreateWindowAndContext(const char* title, int width, int height, Uint32 flags, bool reusingContext) {
  const int depths[] = {24, 16};
  bool windowMade = false;
  for (int depth : depths) {
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
  if (fullscreen) flags |= ModeSwitch ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_FULLSCREEN_DESKTOP;
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
  Picture.softwareRenderer = IsSoftwareRenderer();

  SDL_ShowWindow(hMainWindow);
  SDL_RaiseWindow(hMainWindow);
  // No screen saver or display power-off during the show (SDL keeps this
  // up for as long as video is initialised).
  SDL_DisableScreenSaver();
  EnableVsync();

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
    Picture.scaleTexture = 0;  // went with its context
    Picture.scaleTextureWidth = Picture.scaleTextureHeight = 0;
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
  if (hMainWindow && wantWidth > 0) {
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

void ReSizeGLScene(int width, int height) {
  Picture.layout = LayoutFor(width, height);
  const PictureLayout& layout = Picture.layout;
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

static int PowerOfTwoAtLeast(int value) {
  int power = 1;
  while (power < value && power < (1 << 14)) power <<= 1;
  return power;
}

// Copies the picture drawn at the bottom left of the back buffer into a
// texture and draws that over the viewport, between black bars. Every GL
// state it touches is saved and restored: the next frame starts from what
// the scenes left, as it would without the scaling.
static void ScalePictureUp() {
  const PictureLayout& layout = Picture.layout;
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

  const int textureWidth = PowerOfTwoAtLeast(layout.renderWidth);
  const int textureHeight = PowerOfTwoAtLeast(layout.renderHeight);
  if (!Picture.scaleTexture) glGenTextures(1, &Picture.scaleTexture);
  glBindTexture(GL_TEXTURE_2D, Picture.scaleTexture);
  if (textureWidth != Picture.scaleTextureWidth || textureHeight != Picture.scaleTextureHeight) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, textureWidth, textureHeight, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    Picture.scaleTextureWidth = textureWidth;
    Picture.scaleTextureHeight = textureHeight;
  }
  glReadBuffer(GL_BACK);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, layout.renderWidth, layout.renderHeight);

  const GLenum off[] = {GL_DEPTH_TEST, GL_BLEND,       GL_LIGHTING,     GL_FOG,          GL_CULL_FACE,
                        GL_ALPHA_TEST, GL_SCISSOR_TEST, GL_STENCIL_TEST, GL_POLYGON_SMOOTH, GL_COLOR_MATERIAL,
                        GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_1D, GL_DITHER, GL_COLOR_LOGIC_OP};
  for (GLenum capability : off) glDisable(capability);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glViewport(0, 0, layout.drawableWidth, layout.drawableHeight);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);  // the bars

  glViewport(layout.x, layout.y, layout.width, layout.height);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  const float s = float(layout.renderWidth) / float(textureWidth);
  const float t = float(layout.renderHeight) / float(textureHeight);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0), glVertex2f(-1, -1);
  glTexCoord2f(s, 0), glVertex2f(1, -1);
  glTexCoord2f(s, t), glVertex2f(1, 1);
  glTexCoord2f(0, t), glVertex2f(-1, 1);
  glEnd();

  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_TEXTURE);
  glPopMatrix();
  glPopAttrib();  // the matrix mode too
}

void SwapBuffers(SDL_Window* window) {
  if (!window) {
    glFlush();
    return;
  }
  if (Scaled(Picture.layout)) ScalePictureUp();
  SDL_GL_SwapWindow(window);
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
