// The fixed-function OpenGL 1.1 subset the show draws with, over OpenGL ES 2.0
// (WebGL 1 in the browser). The show calls these under their OpenGL names
// through platform/web/gl_names.h; the declarations use the plain types
// behind the GL typedefs so that they agree with <GL/gl.h>'s renamed ones.
//
// Immediate-mode vertices collect in memory and go to the GPU at glEnd, one
// upload and one draw; a display list keeps its vertices in a buffer of its
// own, one draw per begin/end batch. Lighting, colour material, fog and the
// texture environment run in shaders generated per combination of state.
// Main thread only, with the layer's context current.
//
// What it leaves out, as the show never asks for it: points and lines, flat
// shading and two-sided lighting (kept as state, drawn smooth and one-sided),
// polygon modes other than fill, texture generation, alpha test and logic
// ops (kept as enables only), polygon smoothing (llvmpipe has none either).
// A display list holds begin/end batches, glNormal, glColor, glTexCoord,
// glTranslatef, glRotatef, glScalef, glCallList(s) and glListBase; any other
// command made while one is compiled is refused with GL_INVALID_OPERATION.
#pragma once

// Sets the layer up in the current OpenGL ES 2.0 context, as a fresh OpenGL
// context starts. False when the context lacks what the layer needs (its
// basic program does not compile).
bool FFGLStart();
// The context is gone, and every buffer, program and list with it: forget
// them without calling OpenGL.
void FFGLForget();

// What the layer has sent to OpenGL ES since it started: draws and the
// vertices they carried, and the programs it made.
struct FFGLCounts {
  long draws;
  long vertices;
  int programs;
};
FFGLCounts FFGLCountsNow();

extern "C" {
void ffglBegin(unsigned int mode);
void ffglEnd(void);
void ffglVertex2f(float x, float y);
void ffglVertex3f(float x, float y, float z);
void ffglTexCoord2f(float s, float t);
void ffglNormal3f(float nx, float ny, float nz);
void ffglColor3f(float red, float green, float blue);
void ffglColor4f(float red, float green, float blue, float alpha);

void ffglMatrixMode(unsigned int mode);
void ffglLoadIdentity(void);
void ffglLoadMatrixf(const float* m);
void ffglPushMatrix(void);
void ffglPopMatrix(void);
void ffglTranslatef(float x, float y, float z);
void ffglTranslated(double x, double y, double z);
void ffglRotatef(float angle, float x, float y, float z);
void ffglScalef(float x, float y, float z);
void ffglMultMatrixf(const float* m);
void ffglMultMatrixd(const double* m);
void ffglFrustum(double left, double right, double bottom, double top, double zNear, double zFar);
void ffglOrtho(double left, double right, double bottom, double top, double zNear, double zFar);

void ffglEnable(unsigned int cap);
void ffglDisable(unsigned int cap);
unsigned char ffglIsEnabled(unsigned int cap);
void ffglLightfv(unsigned int light, unsigned int pname, const float* params);
void ffglLightf(unsigned int light, unsigned int pname, float param);
void ffglLightModelfv(unsigned int pname, const float* params);
void ffglMaterialfv(unsigned int face, unsigned int pname, const float* params);
void ffglMaterialf(unsigned int face, unsigned int pname, float param);
void ffglMateriali(unsigned int face, unsigned int pname, int param);
void ffglColorMaterial(unsigned int face, unsigned int mode);
void ffglFogf(unsigned int pname, float param);
void ffglFogfv(unsigned int pname, const float* params);
void ffglFogi(unsigned int pname, int param);
void ffglShadeModel(unsigned int mode);
void ffglHint(unsigned int target, unsigned int mode);
void ffglTexEnvi(unsigned int target, unsigned int pname, int param);
void ffglTexEnvf(unsigned int target, unsigned int pname, float param);

void ffglFrontFace(unsigned int mode);
void ffglCullFace(unsigned int mode);
void ffglDepthFunc(unsigned int func);
void ffglDepthMask(unsigned char flag);
void ffglClearDepth(double depth);
void ffglClearColor(float red, float green, float blue, float alpha);
void ffglClear(unsigned int mask);
void ffglColorMask(unsigned char red, unsigned char green, unsigned char blue, unsigned char alpha);
void ffglPolygonMode(unsigned int face, unsigned int mode);
void ffglBlendFunc(unsigned int sfactor, unsigned int dfactor);
void ffglViewport(int x, int y, int width, int height);
void ffglScissor(int x, int y, int width, int height);

void ffglGenTextures(int n, unsigned int* textures);
void ffglBindTexture(unsigned int target, unsigned int texture);
void ffglTexParameterf(unsigned int target, unsigned int pname, float param);
void ffglTexParameteri(unsigned int target, unsigned int pname, int param);
void ffglTexImage2D(unsigned int target, int level, int internalFormat, int width, int height, int border,
                    unsigned int format, unsigned int type, const void* pixels);
void ffglDeleteTextures(int n, const unsigned int* textures);
void ffglPixelStorei(unsigned int pname, int param);
void ffglPushClientAttrib(unsigned int mask);
void ffglPopClientAttrib(void);

void ffglGetIntegerv(unsigned int pname, int* params);
void ffglGetFloatv(unsigned int pname, float* params);
const unsigned char* ffglGetString(unsigned int name);
unsigned int ffglGetError(void);

unsigned int ffglGenLists(int range);
void ffglNewList(unsigned int list, unsigned int mode);
void ffglEndList(void);
void ffglCallList(unsigned int list);
void ffglCallLists(int n, unsigned int type, const void* lists);
void ffglListBase(unsigned int base);
void ffglDeleteLists(unsigned int list, int range);
unsigned char ffglIsList(unsigned int list);
void ffglPushAttrib(unsigned int mask);
void ffglPopAttrib(void);

void ffglFlush(void);
void ffglFinish(void);

void ffgluPerspective(double fovy, double aspect, double zNear, double zFar);
void ffgluLookAt(double eyeX, double eyeY, double eyeZ, double centerX, double centerY, double centerZ, double upX,
                 double upY, double upZ);
}
