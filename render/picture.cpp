#include "render/picture.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <cstdint>

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
static struct {
  int requestedWidth = 0, requestedHeight = 0;  // --render-size; 0: chosen here
  bool softwareRenderer = false;  // the context draws on the CPU
  PictureLayout layout = {kPictureWidth, kPictureHeight, 0, 0, kPictureWidth, kPictureHeight, kPictureWidth,
                          kPictureHeight};
  GLuint framebuffer = 0;         // the offscreen picture of renderWidth x renderHeight; 0: none
  GLuint colourTexture = 0, depthBuffer = 0;  // what it draws into
  int framebufferWidth = 0, framebufferHeight = 0;  // pixels
  int depthBits = 24;             // the context's, which the offscreen depth buffer matches
} Picture;

// Framebuffer objects (OpenGL 3.0, or ARB_framebuffer_object), fetched once a
// context is current; all null where the driver has none.
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

static const GLfloat LightAmbient[] = {0.5f, 0.5f, 0.5f, 1.0f};
static const GLfloat LightDiffuse[] = {1.0f, 1.0f, 1.0f, 1.0f};
static const GLfloat LightPosition[] = {0.0f, 0.0f, 2.0f, 1.0f};

// ---------------------------------------------------------------------------
// Layout
// ---------------------------------------------------------------------------

// The largest 4:3 rectangle inside width x height, rounded to whole pixels.
static void FitFourByThree(int width, int height, int* fitWidth, int* fitHeight) {
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

PictureLayout PictureFit(int width, int height) {
  if (width < 1) width = 1;
  if (height < 1) height = 1;  // a collapsed window: no division by zero
  PictureLayout layout{};
  layout.drawableWidth = width;
  layout.drawableHeight = height;
  FitFourByThree(width, height, &layout.width, &layout.height);
  layout.x = (width - layout.width) / 2;
  layout.y = (height - layout.height) / 2;
  layout.renderWidth = layout.width;
  layout.renderHeight = layout.height;
  return layout;
}

void PictureSetRenderSize(int width, int height) {
  Picture.requestedWidth = width > 0 && height > 0 ? width : 0;
  Picture.requestedHeight = width > 0 && height > 0 ? height : 0;
}

// The layout of a drawable, rendered smaller where a window presents it (the
// headless tool reads the back buffer as drawn).
static PictureLayout LayoutFor(int width, int height, bool scalable) {
  PictureLayout layout = PictureFit(width, height);
  int wantWidth = Picture.requestedWidth, wantHeight = Picture.requestedHeight;
  if (!wantWidth && Picture.softwareRenderer) {
    wantWidth = kPictureWidth;
    wantHeight = kPictureHeight;
  }
  if (scalable && Fbo.checkFramebufferStatus && wantWidth > 0) {
    int renderWidth = 0, renderHeight = 0;
    FitFourByThree(wantWidth, wantHeight, &renderWidth, &renderHeight);
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

PictureLayout PictureCurrentLayout() { return Picture.layout; }

// ---------------------------------------------------------------------------
// The context and its offscreen picture
// ---------------------------------------------------------------------------
template <typename Function>
static bool Fetch(void* (*procAddress)(const char*), Function* function, const char* name) {
  *function = reinterpret_cast<Function>(procAddress(name));
  return *function != nullptr;
}

void PictureUseContext(void* (*procAddress)(const char* name), bool (*extensionSupported)(const char* name),
                       bool softwareRenderer) {
  PictureForgetContext();
  Picture.softwareRenderer = softwareRenderer;
  GLint depthBits = 24;
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  Picture.depthBits = depthBits;
  Fbo = {};
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  if (!(version && version[0] >= '3' && version[1] == '.') && !extensionSupported("GL_ARB_framebuffer_object"))
    return;
  const bool all = Fetch(procAddress, &Fbo.genFramebuffers, "glGenFramebuffers") &&
                   Fetch(procAddress, &Fbo.deleteFramebuffers, "glDeleteFramebuffers") &&
                   Fetch(procAddress, &Fbo.bindFramebuffer, "glBindFramebuffer") &&
                   Fetch(procAddress, &Fbo.genRenderbuffers, "glGenRenderbuffers") &&
                   Fetch(procAddress, &Fbo.deleteRenderbuffers, "glDeleteRenderbuffers") &&
                   Fetch(procAddress, &Fbo.bindRenderbuffer, "glBindRenderbuffer") &&
                   Fetch(procAddress, &Fbo.renderbufferStorage, "glRenderbufferStorage") &&
                   Fetch(procAddress, &Fbo.framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
                   Fetch(procAddress, &Fbo.framebufferTexture2D, "glFramebufferTexture2D") &&
                   Fetch(procAddress, &Fbo.checkFramebufferStatus, "glCheckFramebufferStatus");
  if (!all) Fbo = {};
}

void PictureForgetContext() {
  Picture.framebuffer = Picture.colourTexture = Picture.depthBuffer = 0;  // went with their context
  Picture.framebufferWidth = Picture.framebufferHeight = 0;
}

static void DeleteFramebuffer() {
  if (!Picture.framebuffer) return;
  Fbo.bindFramebuffer(GL_FRAMEBUFFER, 0);
  Fbo.deleteFramebuffers(1, &Picture.framebuffer);
  glDeleteTextures(1, &Picture.colourTexture);
  Fbo.deleteRenderbuffers(1, &Picture.depthBuffer);
  PictureForgetContext();
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
    Fbo.renderbufferStorage(GL_RENDERBUFFER, Picture.depthBits >= 24 ? GL_DEPTH_COMPONENT24 : GL_DEPTH_COMPONENT16,
                            width, height);
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

// ---------------------------------------------------------------------------
// Viewport, projection and the baseline state
// ---------------------------------------------------------------------------
static void ShowProjection() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // The near plane is the single-precision 0.1, as the show was tuned with;
  // the aspect is the picture's whatever the window's.
  gluPerspective(45.0, double(kPictureWidth) / double(kPictureHeight), double(0.1f), 100.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void PictureResize(int drawableWidth, int drawableHeight, bool scalable) {
  Picture.layout = LayoutFor(drawableWidth, drawableHeight, scalable);
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
  ShowProjection();
}

void PictureFrame(int width, int height) {
  Picture.layout = PictureFit(width, height);
  const PictureLayout& layout = Picture.layout;
  glViewport(layout.x, layout.y, layout.width, layout.height);
  ShowProjection();
}

void PictureBaselineState() {
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
}

// ---------------------------------------------------------------------------
// Presenting a scaled picture
// ---------------------------------------------------------------------------

// Draws the offscreen picture over the viewport of the window's back
// buffer, between black bars, as one textured quad.
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

bool PictureBeforePresent() {
  if (!Scaled(Picture.layout) || !Picture.framebuffer) return false;
  ScalePictureUp();
  return true;
}

void PictureAfterPresent() { Fbo.bindFramebuffer(GL_FRAMEBUFFER, Picture.framebuffer); }
