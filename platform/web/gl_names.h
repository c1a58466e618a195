// Force-included (-include platform/web/gl_names.h) when the show is built to
// draw through the fixed-function layer over OpenGL ES 2.0 / WebGL 1: every
// OpenGL 1.1 and GLU entry point the show calls gets the layer's name before
// <GL/gl.h> and <GL/glu.h> declare it, so those headers declare the layer's
// functions and the show's sources stay as they are. The GLU tessellator is
// not renamed: it only calls back into the caller and never into OpenGL.
#pragma once

#define glBegin ffglBegin
#define glEnd ffglEnd
#define glVertex2f ffglVertex2f
#define glVertex3f ffglVertex3f
#define glTexCoord2f ffglTexCoord2f
#define glNormal3f ffglNormal3f
#define glColor3f ffglColor3f
#define glColor4f ffglColor4f

#define glMatrixMode ffglMatrixMode
#define glLoadIdentity ffglLoadIdentity
#define glLoadMatrixf ffglLoadMatrixf
#define glPushMatrix ffglPushMatrix
#define glPopMatrix ffglPopMatrix
#define glTranslatef ffglTranslatef
#define glTranslated ffglTranslated
#define glRotatef ffglRotatef
#define glScalef ffglScalef
#define glMultMatrixf ffglMultMatrixf
#define glMultMatrixd ffglMultMatrixd
#define glFrustum ffglFrustum
#define glOrtho ffglOrtho

#define glEnable ffglEnable
#define glDisable ffglDisable
#define glIsEnabled ffglIsEnabled
#define glLightfv ffglLightfv
#define glLightf ffglLightf
#define glLightModelfv ffglLightModelfv
#define glMaterialfv ffglMaterialfv
#define glMaterialf ffglMaterialf
#define glMateriali ffglMateriali
#define glColorMaterial ffglColorMaterial
#define glFogf ffglFogf
#define glFogfv ffglFogfv
#define glFogi ffglFogi
#define glShadeModel ffglShadeModel
#define glHint ffglHint
#define glTexEnvi ffglTexEnvi
#define glTexEnvf ffglTexEnvf

#define glFrontFace ffglFrontFace
#define glCullFace ffglCullFace
#define glDepthFunc ffglDepthFunc
#define glDepthMask ffglDepthMask
#define glClearDepth ffglClearDepth
#define glClearColor ffglClearColor
#define glClear ffglClear
#define glColorMask ffglColorMask
#define glPolygonMode ffglPolygonMode
#define glBlendFunc ffglBlendFunc
#define glViewport ffglViewport
#define glScissor ffglScissor

#define glGenTextures ffglGenTextures
#define glBindTexture ffglBindTexture
#define glTexParameterf ffglTexParameterf
#define glTexParameteri ffglTexParameteri
#define glTexImage2D ffglTexImage2D
#define glDeleteTextures ffglDeleteTextures
#define glPixelStorei ffglPixelStorei
#define glPushClientAttrib ffglPushClientAttrib
#define glPopClientAttrib ffglPopClientAttrib

#define glGetIntegerv ffglGetIntegerv
#define glGetFloatv ffglGetFloatv
#define glGetString ffglGetString
#define glGetError ffglGetError

#define glGenLists ffglGenLists
#define glNewList ffglNewList
#define glEndList ffglEndList
#define glCallList ffglCallList
#define glCallLists ffglCallLists
#define glListBase ffglListBase
#define glDeleteLists ffglDeleteLists
#define glIsList ffglIsList
#define glPushAttrib ffglPushAttrib
#define glPopAttrib ffglPopAttrib

#define glFlush ffglFlush
#define glFinish ffglFinish

#define gluPerspective ffgluPerspective
#define gluLookAt ffgluLookAt
