// velmora-trailer-tool texture FILE.tga OUT.png: the pixel buffer of a texture as the
// show hands it to OpenGL, PNG row i = buffer row i (texture row t = i).
// Both are paths as given, relative to the working directory.
#include "tools/installed_tool/commands.h"

#include "tools/shared_kit/headless_gl.h"
#include "tools/shared_kit/png_file.h"
#include "platform/win_files.h"
#include "render/tga.h"

#include <cstdio>
#include <vector>

static int Usage() {
  std::fputs("usage: velmora-trailer-tool texture FILE.tga OUT.png\n", stderr);
  return 2;
}

int CmdTexture(int argc, char** argv) {
  if (argc != 2 || !*argv[0] || !*argv[1]) return Usage();
  if (!HeadlessGLCreate(64, 64)) return 1;

  // The file is the one the user named, from where the user stands.
  TakeShowNamesAsPaths(true);
  TextureImage texture = {};
  TgaProblem problem = TgaProblem::None;
  if (!LoadTGA(&texture, argv[0], &problem)) {
    std::fprintf(stderr, "velmora-trailer-tool: texture %s: %s\n", argv[0], TgaProblemText(problem));
    std::puts("refused");
    HeadlessGLDestroy();
    return 1;
  }
  // A 32-bit texture is written without its alpha: the colour channels exactly
  // as they went to OpenGL.
  const size_t pixelCount = size_t(texture.width) * texture.height;
  const size_t bytesPerPixel = texture.bitsPerPixel / 8;
  std::vector<unsigned char> rgb(pixelCount * 3);
  for (size_t i = 0; i < pixelCount; ++i)
    for (size_t c = 0; c < 3; ++c) rgb[i * 3 + c] = texture.pixels[i * bytesPerPixel + c];
  FreeTexturePixels(&texture);
  HeadlessGLDestroy();

  if (!WritePNG(argv[1], int(texture.width), int(texture.height), rgb.data())) return 1;
  std::printf("%ux%u, %u bits per pixel\n", texture.width, texture.height, texture.bitsPerPixel);
  return 0;
}
