// gluPerspective and gluLookAt with the arithmetic of Mesa's libGLU, which the
// native show links: the same doubles and floats in the same order, then the
// same matrix commands, so the matrices come out identical to the bit.
#include "platform/web/gl_fixed_function.h"

#include <cmath>

extern "C" void ffgluPerspective(double fovy, double aspect, double zNear, double zFar) {
  const double radians = fovy / 2 * 3.14159265358979323846 / 180;
  const double deltaZ = zFar - zNear;
  const double sine = std::sin(radians);
  if (deltaZ == 0 || sine == 0 || aspect == 0) return;
  const double cotangent = std::cos(radians) / sine;
  double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  m[0] = cotangent / aspect;
  m[5] = cotangent;
  m[10] = -(zFar + zNear) / deltaZ;
  m[11] = -1;
  m[14] = -2 * zNear * zFar / deltaZ;
  m[15] = 0;
  ffglMultMatrixd(m);
}

static void Normalize(float v[3]) {
  const float r = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (r == 0.0f) return;
  v[0] /= r, v[1] /= r, v[2] /= r;
}

static void Cross(const float a[3], const float b[3], float out[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

extern "C" void ffgluLookAt(double eyeX, double eyeY, double eyeZ, double centerX, double centerY, double centerZ,
                            double upX, double upY, double upZ) {
  float forward[3] = {float(centerX - eyeX), float(centerY - eyeY), float(centerZ - eyeZ)};
  float up[3] = {float(upX), float(upY), float(upZ)};
  float side[3];
  Normalize(forward);
  Cross(forward, up, side);
  Normalize(side);
  Cross(side, forward, up);
  const float m[16] = {side[0], up[0], -forward[0], 0, side[1], up[1], -forward[1], 0,
                       side[2], up[2], -forward[2], 0, 0,       0,     0,           1};
  ffglMultMatrixf(m);
  ffglTranslated(-eyeX, -eyeY, -eyeZ);
}
