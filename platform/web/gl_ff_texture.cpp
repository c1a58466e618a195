// Texture objects as the layer sees them, over OpenGL ES 2.0's own.
//
// WebGL 1 samples a non-power-of-two texture only with CLAMP_TO_EDGE and no
// mipmaps. Such an image is uploaded as it is and sampled texel by texel
// (nearest, clamped); the shader does OpenGL's wrapping and bilinear
// filtering itself from four texels, so it draws as desktop OpenGL draws it,
// tiling included. Resampling to a power of two instead would move every
// texel and blur the image; clamping alone would break tiling. Mipmapped
// filters on such an image take their base filter (the magnification filter
// decides, as the shader cannot tell minification without derivatives).
//
// OpenGL ES 2.0 also wants the internal format to be the format, and knows no
// row length or skips when unpacking: such images are repacked first.
#include "platform/web/gl_fixed_function.h"
#include "platform/web/gl_ff_internal.h"

#include <cstring>
#include <vector>

constexpr int kMaxTextures = 512;         // textures the layer tells apart at once
constexpr int kClientAttribStackDepth = 16;
constexpr GLenum kGlGenerateMipmap = 0x8191;

struct TextureRecord {
  bool used;
  GLuint name;  // 0 is the default texture
  int width, height;          // level 0
  unsigned levels;            // bit n: level n has an image
  bool hasAlpha;              // its internal format is RGBA
  GLenum minFilter, magFilter, wrapS, wrapT;  // as asked for
};

struct PixelStore {
  GLint unpackAlignment, unpackRowLength, unpackSkipRows, unpackSkipPixels, packAlignment;
};

// The module's state: a record per texture name in use, and the pixel store
// with its glPushClientAttrib stack.
static struct {
  TextureRecord records[kMaxTextures];
  PixelStore store;
  struct {
    GLbitfield mask;
    PixelStore store;
  } saved[kClientAttribStackDepth];
  int savedDepth;
} Textures;

static const PixelStore kDefaultStore = {4, 0, 0, 0, 4};

void FFTextureForget() {
  for (TextureRecord& r : Textures.records) r = {};
  Textures.store = kDefaultStore;
  Textures.savedDepth = 0;
}

static bool PowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

static TextureRecord* Find(GLuint name) {
  for (TextureRecord& r : Textures.records)
    if (r.used && r.name == name) return &r;
  return nullptr;
}

// The record of `name`, made with a new texture's defaults when it has none;
// null (GL_OUT_OF_MEMORY) when every record is taken.
static TextureRecord* Record(GLuint name) {
  if (TextureRecord* r = Find(name)) return r;
  for (TextureRecord& r : Textures.records)
    if (!r.used) {
      r = {true, name, 0, 0, 0, false, GL_NEAREST_MIPMAP_LINEAR, GL_LINEAR, GL_REPEAT, GL_REPEAT};
      return &r;
    }
  FFSetError(GL_OUT_OF_MEMORY);
  return nullptr;
}

static bool Npot(const TextureRecord& r) { return !PowerOfTwo(r.width) || !PowerOfTwo(r.height); }

static bool Mipmapped(GLenum filter) { return filter != GL_NEAREST && filter != GL_LINEAR; }

// Every level down to 1 x 1 has an image, as a mipmapped filter needs.
static bool LevelsComplete(const TextureRecord& r) {
  int size = r.width > r.height ? r.width : r.height;
  for (unsigned level = 0; size > 0 && level < 32; ++level, size >>= 1)
    if (!(r.levels & (1u << level))) return false;
  return true;
}

// Hands OpenGL ES the parameters of the bound texture `r`; a
// non-power-of-two image is read texel by texel, the shader doing the rest.
static void ApplyParameters(const TextureRecord& r) {
  const bool npot = Npot(r);
  auto wrap = [npot](GLenum w) { return npot || w == kGlClamp ? GLenum(GL_CLAMP_TO_EDGE) : w; };
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GLint(npot ? GL_NEAREST : r.minFilter));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GLint(npot ? GL_NEAREST : r.magFilter));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GLint(wrap(r.wrapS)));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GLint(wrap(r.wrapT)));
}

FFTextureUse FFBoundTextureUse() {
  FFTextureUse use = {};
  if (!FFIsOn(kCapTexture2D)) return use;
  const TextureRecord* r = Find(FFCurrentState().boundTexture);
  // An incomplete texture switches texturing off, as in OpenGL 1.1.
  if (!r || !(r->levels & 1) || (Mipmapped(r->minFilter) && !LevelsComplete(*r))) return use;
  use.enabled = true;
  use.hasAlpha = r->hasAlpha;
  use.npot = Npot(*r);
  if (use.npot) {
    use.linear = r->magFilter == GL_LINEAR;
    use.repeatS = r->wrapS == GL_REPEAT, use.repeatT = r->wrapT == GL_REPEAT;
    use.width = float(r->width), use.height = float(r->height);
  }
  return use;
}

extern "C" void ffglGenTextures(int n, unsigned int* textures) { glGenTextures(n, textures); }

extern "C" void ffglBindTexture(unsigned int target, unsigned int texture) {
  if (FFRefusedInList()) return;
  if (target != GL_TEXTURE_2D) return FFSetError(GL_INVALID_ENUM);
  FFEditState().boundTexture = texture;
  glBindTexture(GL_TEXTURE_2D, texture);
}

extern "C" void ffglDeleteTextures(int n, const unsigned int* textures) {
  for (int i = 0; i < n; ++i) {
    if (TextureRecord* r = Find(textures[i]); r && textures[i] != 0) *r = {};
    if (textures[i] != 0 && textures[i] == FFCurrentState().boundTexture) FFEditState().boundTexture = 0;
  }
  glDeleteTextures(n, textures);
}

extern "C" void ffglTexParameteri(unsigned int target, unsigned int pname, int param) {
  if (FFRefusedInList()) return;
  if (target != GL_TEXTURE_2D) return FFSetError(GL_INVALID_ENUM);
  TextureRecord* r = Record(FFCurrentState().boundTexture);
  if (!r) return;
  switch (pname) {
    case GL_TEXTURE_MIN_FILTER: r->minFilter = GLenum(param); break;
    case GL_TEXTURE_MAG_FILTER: r->magFilter = GLenum(param); break;
    case GL_TEXTURE_WRAP_S: r->wrapS = GLenum(param); break;
    case GL_TEXTURE_WRAP_T: r->wrapT = GLenum(param); break;
    case kGlGenerateMipmap: return;  // the show makes no mipmaps
    default: return FFSetError(GL_INVALID_ENUM);
  }
  ApplyParameters(*r);
  FFEditState();  // the shader's wrapping may change
}

extern "C" void ffglTexParameterf(unsigned int target, unsigned int pname, float param) {
  ffglTexParameteri(target, pname, int(param));
}

// Bytes per pixel of an unsigned-byte format, 0 for one the layer refuses.
static int PixelBytes(GLenum format) { return format == GL_RGB ? 3 : format == GL_RGBA ? 4 : 0; }

extern "C" void ffglTexImage2D(unsigned int target, int level, int internalFormat, int width, int height, int border,
                               unsigned int format, unsigned int type, const void* pixels) {
  if (FFRefusedInList()) return;
  const bool rgba = internalFormat == 4 || internalFormat == GL_RGBA || internalFormat == int(kGlRgba8);
  const bool rgb = internalFormat == 3 || internalFormat == GL_RGB || internalFormat == int(kGlRgb8);
  const int inBytes = PixelBytes(format);
  if (target != GL_TEXTURE_2D || (!rgb && !rgba) || !inBytes || type != GL_UNSIGNED_BYTE || border != 0)
    return FFSetError(GL_INVALID_ENUM);
  if (width < 0 || height < 0 || level < 0 || level > 31) return FFSetError(GL_INVALID_VALUE);
  const GLenum outFormat = rgba ? GL_RGBA : GL_RGB;
  const int outBytes = rgba ? 4 : 3;

  // Repacked where OpenGL ES cannot read the rows as they are.
  const PixelStore& st = Textures.store;
  std::vector<unsigned char> packed;
  const void* upload = pixels;
  if (pixels && (outFormat != format || st.unpackRowLength > 0 || st.unpackSkipRows > 0 || st.unpackSkipPixels > 0)) {
    const size_t rowPixels = size_t(st.unpackRowLength > 0 ? st.unpackRowLength : width);
    const size_t align = size_t(st.unpackAlignment > 0 ? st.unpackAlignment : 1);
    const size_t stride = (rowPixels * size_t(inBytes) + align - 1) / align * align;
    const unsigned char* in = static_cast<const unsigned char*>(pixels) + size_t(st.unpackSkipRows) * stride +
                              size_t(st.unpackSkipPixels) * size_t(inBytes);
    packed.resize(size_t(width) * size_t(height) * size_t(outBytes));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const unsigned char* p = in + size_t(y) * stride + size_t(x) * size_t(inBytes);
        unsigned char* q = &packed[(size_t(y) * size_t(width) + size_t(x)) * size_t(outBytes)];
        for (int c = 0; c < outBytes; ++c) q[c] = c < inBytes ? p[c] : 255;  // an added alpha is opaque
      }
    upload = packed.data();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  }
  glTexImage2D(GL_TEXTURE_2D, level, GLint(outFormat), width, height, 0, outFormat, GL_UNSIGNED_BYTE, upload);
  if (upload != pixels) glPixelStorei(GL_UNPACK_ALIGNMENT, st.unpackAlignment);

  TextureRecord* r = Record(FFCurrentState().boundTexture);
  if (!r) return;
  if (level == 0) {
    r->width = width, r->height = height, r->hasAlpha = rgba;
    r->levels = 0;
  }
  r->levels |= 1u << level;
  ApplyParameters(*r);  // the image may have made it a non-power-of-two one
  FFEditState();
}

extern "C" void ffglPixelStorei(unsigned int pname, int param) {
  PixelStore& st = Textures.store;
  switch (pname) {
    case GL_UNPACK_ALIGNMENT: st.unpackAlignment = param, glPixelStorei(pname, param); break;
    case GL_PACK_ALIGNMENT: st.packAlignment = param, glPixelStorei(pname, param); break;
    case kGlUnpackRowLength: st.unpackRowLength = param; break;
    case kGlUnpackSkipRows: st.unpackSkipRows = param; break;
    case kGlUnpackSkipPixels: st.unpackSkipPixels = param; break;
    default: break;  // byte swapping and the packing skips: never set by the show
  }
}

extern "C" void ffglPushClientAttrib(unsigned int mask) {
  if (Textures.savedDepth >= kClientAttribStackDepth) return FFSetError(kGlStackOverflow);
  // The pixel store is the only client state the layer keeps.
  Textures.saved[Textures.savedDepth++] = {mask, Textures.store};
}

extern "C" void ffglPopClientAttrib(void) {
  if (Textures.savedDepth <= 0) return FFSetError(kGlStackUnderflow);
  const auto& entry = Textures.saved[--Textures.savedDepth];
  if (!(entry.mask & kGlClientPixelStoreBit)) return;
  Textures.store = entry.store;
  glPixelStorei(GL_UNPACK_ALIGNMENT, Textures.store.unpackAlignment);
  glPixelStorei(GL_PACK_ALIGNMENT, Textures.store.packAlignment);
}
