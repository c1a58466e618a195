// Placeholder until texture loading lands.
#include "render/tga.h"

#include <cstdlib>

bool LoadTGA(TextureImage*, const char*) { return false; }
void FreeTexturePixels(TextureImage* texture) {
  std::free(texture->pixels);
  texture->pixels = nullptr;
}
