// The scenes on desktop OpenGL.
#include "tests/gles/scenes.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstring>

namespace desktop {
#include "tests/gles/scenes.inc"
}
