// Lights, the light model, material and colour material, fog, the shading
// model and the texture environment: state the shaders read.
#include "platform/web/gl_fixed_function.h"
#include "platform/web/gl_ff_internal.h"

#include <cstring>

extern "C" void ffglLightfv(unsigned int light, unsigned int pname, const float* params) {
  if (FFRefusedInList()) return;
  if (light < kGlLight0 || light >= kGlLight0 + kMaxLights) return FFSetError(GL_INVALID_ENUM);
  FFLight& l = FFEditState().lights[light - kGlLight0];
  const float* mv = FFModelview();  // positions and directions are kept in eye space
  switch (pname) {
    case kGlAmbient: std::memcpy(l.ambient, params, 16); break;
    case kGlDiffuse: std::memcpy(l.diffuse, params, 16); break;
    case kGlSpecular: std::memcpy(l.specular, params, 16); break;
    case kGlPosition: FFMatTransformPoint(l.position, mv, params); break;
    case kGlSpotDirection:
      for (int i = 0; i < 3; ++i)
        l.spotDirection[i] = params[0] * mv[i] + params[1] * mv[4 + i] + params[2] * mv[8 + i];
      break;
    case kGlSpotExponent: l.spotExponent = params[0]; break;
    case kGlSpotCutoff: l.spotCutoff = params[0]; break;
    case kGlConstantAttenuation: l.attenuation[0] = params[0]; break;
    case kGlLinearAttenuation: l.attenuation[1] = params[0]; break;
    case kGlQuadraticAttenuation: l.attenuation[2] = params[0]; break;
    default: return FFSetError(GL_INVALID_ENUM);
  }
}

extern "C" void ffglLightf(unsigned int light, unsigned int pname, float param) {
  const float v[4] = {param, 0, 0, 0};
  ffglLightfv(light, pname, v);
}

extern "C" void ffglLightModelfv(unsigned int pname, const float* params) {
  if (FFRefusedInList()) return;
  switch (pname) {
    case kGlLightModelAmbient: std::memcpy(FFEditState().modelAmbient, params, 16); break;
    case kGlLightModelLocalViewer: FFEditState().localViewer = params[0] != 0.0f; break;
    case kGlLightModelTwoSide: FFEditState().twoSide = params[0] != 0.0f; break;
    default: return FFSetError(GL_INVALID_ENUM);
  }
}

// The parameters `pname` names, as bits: 1 ambient, 2 diffuse, 4 specular,
// 8 emission, 16 shininess.
static unsigned MaterialBits(GLenum pname) {
  switch (pname) {
    case kGlAmbient: return 1;
    case kGlDiffuse: return 2;
    case kGlAmbientAndDiffuse: return 3;
    case kGlSpecular: return 4;
    case kGlEmission: return 8;
    case kGlShininess: return 16;
    default: return 0;
  }
}

static bool FaceHas(GLenum face, int side) { return face == GL_FRONT_AND_BACK || face == (side ? GL_BACK : GL_FRONT); }

extern "C" void ffglMaterialfv(unsigned int face, unsigned int pname, const float* params) {
  if (FFRefusedInList()) return;
  const unsigned bits = MaterialBits(pname);
  if (!bits || (face != GL_FRONT && face != GL_BACK && face != GL_FRONT_AND_BACK)) return FFSetError(GL_INVALID_ENUM);
  FFState& s = FFEditState();
  for (int side = 0; side < 2; ++side) {
    if (!FaceHas(face, side)) continue;
    // What colour material tracks on this face stays with the colour.
    unsigned sideBits = bits;
    if (FFIsOn(kCapColorMaterial) && FaceHas(s.colorMaterialFace, side)) sideBits &= ~MaterialBits(s.colorMaterialMode);
    FFMaterial& m = s.material[side];
    if (sideBits & 1) std::memcpy(m.ambient, params, 16);
    if (sideBits & 2) std::memcpy(m.diffuse, params, 16);
    if (sideBits & 4) std::memcpy(m.specular, params, 16);
    if (sideBits & 8) std::memcpy(m.emission, params, 16);
    if (sideBits & 16) m.shininess = params[0];
  }
}

extern "C" void ffglMaterialf(unsigned int face, unsigned int pname, float param) {
  const float v[4] = {param, 0, 0, 0};
  ffglMaterialfv(face, pname, v);
}

extern "C" void ffglMateriali(unsigned int face, unsigned int pname, int param) {
  ffglMaterialf(face, pname, float(param));
}

extern "C" void ffglColorMaterial(unsigned int face, unsigned int mode) {
  if (FFRefusedInList()) return;
  if (!MaterialBits(mode) || mode == kGlShininess) return FFSetError(GL_INVALID_ENUM);
  FFState& s = FFEditState();
  s.colorMaterialFace = face;
  s.colorMaterialMode = mode;
  if (FFIsOn(kCapColorMaterial)) FFTrackColor();
}

extern "C" void ffglFogfv(unsigned int pname, const float* params) {
  if (FFRefusedInList()) return;
  switch (pname) {
    case kGlFogMode: {
      const GLenum mode = GLenum(params[0]);
      if (mode != GL_LINEAR && mode != kGlExp && mode != kGlExp2) return FFSetError(GL_INVALID_ENUM);
      FFEditState().fogMode = mode;
      break;
    }
    case kGlFogDensity: FFEditState().fogDensity = params[0]; break;
    case kGlFogStart: FFEditState().fogStart = params[0]; break;
    case kGlFogEnd: FFEditState().fogEnd = params[0]; break;
    case kGlFogColor: std::memcpy(FFEditState().fogColor, params, 16); break;
    default: return FFSetError(GL_INVALID_ENUM);
  }
}

extern "C" void ffglFogf(unsigned int pname, float param) {
  const float v[4] = {param, 0, 0, 0};
  ffglFogfv(pname, v);
}

extern "C" void ffglFogi(unsigned int pname, int param) { ffglFogf(pname, float(param)); }

// Flat shading is kept for glGet and glPopAttrib, not drawn: the show shades smooth.
extern "C" void ffglShadeModel(unsigned int mode) {
  if (FFRefusedInList()) return;
  if (mode != kGlFlat && mode != kGlSmooth) return FFSetError(GL_INVALID_ENUM);
  FFEditState().shadeModel = mode;
}

extern "C" void ffglHint(unsigned int, unsigned int) {}

extern "C" void ffglTexEnvf(unsigned int target, unsigned int pname, float param) {
  if (FFRefusedInList()) return;
  if (target != kGlTextureEnv || pname != kGlTextureEnvMode) return FFSetError(GL_INVALID_ENUM);
  FFEditState().texEnvMode = GLenum(param);
}

extern "C" void ffglTexEnvi(unsigned int target, unsigned int pname, int param) {
  ffglTexEnvf(target, pname, float(param));
}
