#include "tests/lookat_spy.h"

#include <GL/glu.h>
#include <dlfcn.h>

#include <cstdlib>

static std::vector<LookAtCall> Calls;  // since the last clear

const std::vector<LookAtCall>& LookAtSpyCalls() { return Calls; }
void LookAtSpyClear() { Calls.clear(); }

extern "C" void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centreX, GLdouble centreY,
                          GLdouble centreZ, GLdouble upX, GLdouble upY, GLdouble upZ) {
  Calls.push_back({{eyeX, eyeY, eyeZ}, {centreX, centreY, centreZ}, {upX, upY, upZ}});
  using LookAt = void (*)(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble);
  static const LookAt glu = reinterpret_cast<LookAt>(dlsym(RTLD_NEXT, "gluLookAt"));
  if (!glu) std::abort();  // GLU is linked: this cannot miss
  glu(eyeX, eyeY, eyeZ, centreX, centreY, centreZ, upX, upY, upZ);
}
