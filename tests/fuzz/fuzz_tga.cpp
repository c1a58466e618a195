// Fuzzes LoadTGA's parsing. It needs a current OpenGL context: a small
// headless one (EGL, Mesa's software renderer) made once for the process.
#include "tools/shared_kit/headless_gl.h"
#include "platform/msgbox.h"
#include "render/tga.h"
#include "tests/fuzz/fuzz_input.h"

#include <GL/gl.h>

static const char* Path;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Path = FuzzFileName(".tga");
  if (!HeadlessGLCreate(64, 64)) {
    std::fputs("fuzz_tga: no headless OpenGL context\n", stderr);
    std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteFuzzFile(Path, data, size);
  MessageBoxStartRecording();
  TextureImage texture = {};
  if (LoadTGA(&texture, Path)) {
    const bool sane = texture.pixels && (texture.bitsPerPixel == 24 || texture.bitsPerPixel == 32) &&
                      texture.width >= 1 && texture.width <= 65535 && texture.height >= 1 && texture.height <= 65535;
    if (!sane) std::abort();
    // Touch the buffer's last byte: AddressSanitizer checks it was allocated whole.
    const size_t bytes = size_t(texture.width) * texture.height * (texture.bitsPerPixel / 8);
    volatile uint8_t last = texture.pixels[bytes - 1];
    (void)last;
    // The show keeps its texture names; a fuzzer making millions must not.
    glDeleteTextures(1, &texture.texID);
    FreeTexturePixels(&texture);
  } else if (texture.pixels) {
    std::abort();  // a failed load leaves no pixel buffer
  }
  // Dropped within the input: libFuzzer runs a leak check after any input
  // that allocates more than it frees.
  MessageBoxStartRecording();
  MessageBoxStopRecording();
  return 0;
}
