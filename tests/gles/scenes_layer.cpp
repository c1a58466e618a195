// The scenes through the fixed-function layer (compiled with gl_names.h
// force-included).
#include "tests/gles/scenes.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstring>

namespace layer {
#include "tests/gles/scenes.inc"
}
