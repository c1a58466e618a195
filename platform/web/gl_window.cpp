// The show window in a browser: a WebGL 1 context on the page's canvas,
// drawn through the fixed-function layer (gl_fixed_function.h). The page
// keeps the canvas the size of its viewport in device pixels; full screen is
// the Fullscreen API's, on the canvas's frame; presenting hands the frame to
// the browser and waits for its next animation frame.
#include "platform/gl_window.h"

#include "platform/messages.h"
#include "platform/web/gl_fixed_function.h"

#include <GLES2/gl2.h>
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstring>

struct GLWindow {
  EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
};

static struct {
  EMSCRIPTEN_WEBGL_CONTEXT_HANDLE parked = 0;  // kept across a mode switch
} Web;

static const char kCanvas[] = "#canvas";
static const uint32_t kWindowId = 1;  // the page has one window

// clang-format off
EM_JS(int, velmora_canvas_width, (), { return Module.canvas.width; });
EM_JS(int, velmora_canvas_height, (), { return Module.canvas.height; });
EM_JS(int, velmora_is_fullscreen, (), { return document.fullscreenElement ? 1 : 0; });
EM_JS(void, velmora_set_fullscreen, (int on), {
  var frame = Module.canvas.parentElement || Module.canvas;
  if (on && !document.fullscreenElement && frame.requestFullscreen) frame.requestFullscreen().catch(function() {});
  if (!on && document.fullscreenElement) document.exitFullscreen().catch(function() {});
});
// The frame is shown when control returns to the browser; the loop goes on
// at its next animation frame, or after a tenth of a second in a hidden tab,
// which has none (the loop then learns it is hidden and waits instead).
// A page measuring frame times (Module.unpaced) goes on at once instead.
EM_JS(void, velmora_wait_frame, (), {
  Asyncify.handleSleep(function(wakeUp) {
    if (Module.onPresent) Module.onPresent();
    if (Module.unpaced) return Module.unpaced(wakeUp);
    var woken = false;
    var wake = function() { if (!woken) { woken = true; wakeUp(); } };
    requestAnimationFrame(wake);
    setTimeout(wake, 100);
  });
});
EM_JS(int, velmora_software_renderer, (), {
  var gl = Module.ctx;
  if (!gl) return 0;
  var info = gl.getExtension('WEBGL_debug_renderer_info');
  var name = info ? String(gl.getParameter(info.UNMASKED_RENDERER_WEBGL)) : "";
  return /SwiftShader|llvmpipe|softpipe|Software/i.test(name) ? 1 : 0;
});
// clang-format on

bool GLVideoUp() { return true; }
bool GLVideoDown() { return true; }

bool GLFullscreenAvailable(int, int, bool) { return EM_ASM_INT({ return document.fullscreenEnabled ? 1 : 0; }) != 0; }

static EMSCRIPTEN_WEBGL_CONTEXT_HANDLE MakeContext() {
  EmscriptenWebGLContextAttributes attributes;
  emscripten_webgl_init_context_attributes(&attributes);
  attributes.alpha = false;  // the show's pixel format: RGB, a depth buffer, nothing else
  attributes.depth = true;
  attributes.stencil = false;
  attributes.antialias = false;
  attributes.premultipliedAlpha = false;
  attributes.preserveDrawingBuffer = false;
  attributes.majorVersion = 1;
  attributes.minorVersion = 0;
  return emscripten_webgl_create_context(kCanvas, &attributes);
}

GLWindow* GLWindowCreate(const GLWindowRequest& request, bool* freshContext, GLWindowFailure* failure) {
  GLWindow* window = new GLWindow;
  *freshContext = Web.parked == 0;
  window->context = Web.parked ? Web.parked : MakeContext();
  Web.parked = 0;
  *failure = GLWindowFailure::None;
  if (window->context <= 0) *failure = GLWindowFailure::NoContext;
  else if (emscripten_webgl_make_context_current(window->context) != EMSCRIPTEN_RESULT_SUCCESS)
    *failure = GLWindowFailure::NotCurrent;
  else if (*freshContext && !FFGLStart())
    *failure = GLWindowFailure::NoContext;
  if (*failure != GLWindowFailure::None) {
    GLWindowDestroy(window, false);
    return nullptr;
  }
  SetMessageWindow(kWindowId);
  if (request.fullscreen) velmora_set_fullscreen(1);  // granted only within a gesture's grace
  return window;
}

bool GLWindowSetFullscreen(GLWindow* window, bool fullscreen, int, int, bool) {
  if (!window) return false;
  velmora_set_fullscreen(fullscreen ? 1 : 0);
  return true;
}

bool GLWindowFullscreen(const GLWindow* window) { return window && velmora_is_fullscreen(); }

void* GLWindowContext(const GLWindow* window) {
  return window ? reinterpret_cast<void*>(static_cast<intptr_t>(window->context)) : nullptr;
}

bool GLWindowDestroy(GLWindow* window, bool keepContext) {
  if (window) {
    if (keepContext) {
      Web.parked = window->context;
    } else if (window->context > 0) {
      FFGLForget();
      emscripten_webgl_destroy_context(window->context);
    }
    delete window;
  }
  if (!keepContext && Web.parked) {
    FFGLForget();
    emscripten_webgl_destroy_context(Web.parked);
    Web.parked = 0;
  }
  SetMessageWindow(0);
  return true;
}

void GLWindowDrawableSize(const GLWindow*, int* width, int* height) {
  *width = velmora_canvas_width();
  *height = velmora_canvas_height();
  if (*width < 1) *width = 1;
  if (*height < 1) *height = 1;
}

void GLWindowPresent(GLWindow*) { velmora_wait_frame(); }

// WebGL 1 keeps a 24-bit depth buffer behind its depth-and-stencil format
// only: the offscreen picture asks for 24 bits and gets that.
static const GLenum kDepthStencil = 0x84F9;            // WebGL 1's DEPTH_STENCIL
static const GLenum kDepthStencilAttachment = 0x821A;  // and its attachment point

static void RenderbufferStorage(GLenum target, GLenum format, GLsizei width, GLsizei height) {
  glRenderbufferStorage(target, format == 0x81A6 /* GL_DEPTH_COMPONENT24 */ ? kDepthStencil : format, width,
                        height);
}

static void FramebufferRenderbuffer(GLenum target, GLenum attachment, GLenum renderbufferTarget,
                                    GLuint renderbuffer) {
  glFramebufferRenderbuffer(target, attachment == GL_DEPTH_ATTACHMENT ? kDepthStencilAttachment : attachment,
                            renderbufferTarget, renderbuffer);
}

void* GLProcAddress(const char* name) {
  static const struct {
    const char* name;
    void* function;
  } kFunctions[] = {
      {"glGenFramebuffers", reinterpret_cast<void*>(glGenFramebuffers)},
      {"glDeleteFramebuffers", reinterpret_cast<void*>(glDeleteFramebuffers)},
      {"glBindFramebuffer", reinterpret_cast<void*>(glBindFramebuffer)},
      {"glGenRenderbuffers", reinterpret_cast<void*>(glGenRenderbuffers)},
      {"glDeleteRenderbuffers", reinterpret_cast<void*>(glDeleteRenderbuffers)},
      {"glBindRenderbuffer", reinterpret_cast<void*>(glBindRenderbuffer)},
      {"glRenderbufferStorage", reinterpret_cast<void*>(RenderbufferStorage)},
      {"glFramebufferRenderbuffer", reinterpret_cast<void*>(FramebufferRenderbuffer)},
      {"glFramebufferTexture2D", reinterpret_cast<void*>(glFramebufferTexture2D)},
      {"glCheckFramebufferStatus", reinterpret_cast<void*>(glCheckFramebufferStatus)},
  };
  for (const auto& f : kFunctions)
    if (std::strcmp(f.name, name) == 0) return f.function;
  return nullptr;
}

// WebGL 1 has framebuffer objects of its own.
bool GLExtensionSupported(const char* name) { return std::strcmp(name, "GL_ARB_framebuffer_object") == 0; }

bool GLSoftwareRenderer() { return velmora_software_renderer() != 0; }
