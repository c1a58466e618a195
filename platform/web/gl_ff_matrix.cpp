// Matrix arithmetic done as Mesa does it, in single precision and the same
// order of operations, so that the layer's matrices match desktop OpenGL's to
// the bit: vertices then land on the same pixels. Column-major, as OpenGL.
#include "platform/web/gl_ff_internal.h"

#include <cmath>
#include <cstring>

#define MAT(m, r, c) (m)[(c) * 4 + (r)]

static const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

void FFMatIdentity(float m[16]) { std::memcpy(m, kIdentity, sizeof kIdentity); }

void FFMatMultiply(float product[16], const float a[16], const float b[16]) {
  // Row by row, each row of `a` read before it is written: product may be a.
  for (int i = 0; i < 4; ++i) {
    const float ai0 = MAT(a, i, 0), ai1 = MAT(a, i, 1), ai2 = MAT(a, i, 2), ai3 = MAT(a, i, 3);
    for (int j = 0; j < 4; ++j)
      MAT(product, i, j) = ai0 * MAT(b, 0, j) + ai1 * MAT(b, 1, j) + ai2 * MAT(b, 2, j) + ai3 * MAT(b, 3, j);
  }
}

void FFMatTranslate(float m[16], float x, float y, float z) {
  m[12] = m[0] * x + m[4] * y + m[8] * z + m[12];
  m[13] = m[1] * x + m[5] * y + m[9] * z + m[13];
  m[14] = m[2] * x + m[6] * y + m[10] * z + m[14];
  m[15] = m[3] * x + m[7] * y + m[11] * z + m[15];
}

void FFMatScale(float m[16], float x, float y, float z) {
  for (int i = 0; i < 4; ++i) {
    m[i] *= x;
    m[4 + i] *= y;
    m[8 + i] *= z;
  }
}

void FFMatRotate(float mat[16], float angle, float x, float y, float z) {
  // The sine and cosine of the float argument, as Mesa takes them.
  const float s = sinf(float(angle * M_PI / 180.0));
  const float c = cosf(float(angle * M_PI / 180.0));
  float m[16];
  FFMatIdentity(m);
  // Rotations about one axis are built exactly, without the general formula.
  if (x == 0.0f && y == 0.0f && z != 0.0f) {
    MAT(m, 0, 0) = c, MAT(m, 1, 1) = c;
    MAT(m, 0, 1) = z < 0.0f ? s : -s;
    MAT(m, 1, 0) = z < 0.0f ? -s : s;
  } else if (x == 0.0f && z == 0.0f && y != 0.0f) {
    MAT(m, 0, 0) = c, MAT(m, 2, 2) = c;
    MAT(m, 0, 2) = y < 0.0f ? -s : s;
    MAT(m, 2, 0) = y < 0.0f ? s : -s;
  } else if (y == 0.0f && z == 0.0f && x != 0.0f) {
    MAT(m, 1, 1) = c, MAT(m, 2, 2) = c;
    MAT(m, 1, 2) = x < 0.0f ? s : -s;
    MAT(m, 2, 1) = x < 0.0f ? -s : s;
  } else {
    const float mag = sqrtf(x * x + y * y + z * z);
    if (mag <= 1.0e-4f) return;  // no axis: no rotation
    x /= mag, y /= mag, z /= mag;
    const float xx = x * x, yy = y * y, zz = z * z, xy = x * y, yz = y * z, zx = z * x;
    const float xs = x * s, ys = y * s, zs = z * s, oneC = 1.0f - c;
    MAT(m, 0, 0) = (oneC * xx) + c, MAT(m, 0, 1) = (oneC * xy) - zs, MAT(m, 0, 2) = (oneC * zx) + ys;
    MAT(m, 1, 0) = (oneC * xy) + zs, MAT(m, 1, 1) = (oneC * yy) + c, MAT(m, 1, 2) = (oneC * yz) - xs;
    MAT(m, 2, 0) = (oneC * zx) - ys, MAT(m, 2, 1) = (oneC * yz) + xs, MAT(m, 2, 2) = (oneC * zz) + c;
  }
  FFMatMultiply(mat, mat, m);
}

void FFMatFrustum(float mat[16], float left, float right, float bottom, float top, float zNear, float zFar) {
  float m[16] = {};
  MAT(m, 0, 0) = (2.0f * zNear) / (right - left);
  MAT(m, 1, 1) = (2.0f * zNear) / (top - bottom);
  MAT(m, 0, 2) = (right + left) / (right - left);
  MAT(m, 1, 2) = (top + bottom) / (top - bottom);
  MAT(m, 2, 2) = -(zFar + zNear) / (zFar - zNear);
  MAT(m, 2, 3) = -(2.0f * zFar * zNear) / (zFar - zNear);
  MAT(m, 3, 2) = -1.0f;
  FFMatMultiply(mat, mat, m);
}

void FFMatOrtho(float mat[16], float left, float right, float bottom, float top, float zNear, float zFar) {
  float m[16] = {};
  MAT(m, 0, 0) = 2.0f / (right - left);
  MAT(m, 0, 3) = -(right + left) / (right - left);
  MAT(m, 1, 1) = 2.0f / (top - bottom);
  MAT(m, 1, 3) = -(top + bottom) / (top - bottom);
  MAT(m, 2, 2) = -2.0f / (zFar - zNear);
  MAT(m, 2, 3) = -(zFar + zNear) / (zFar - zNear);
  MAT(m, 3, 3) = 1.0f;
  FFMatMultiply(mat, mat, m);
}

// An affine matrix: the adjugate of the upper 3 x 3 over its determinant, the
// translation carried through (Mesa's inverse for general 3D matrices).
static bool InvertAffine(const float* in, float* out) {
  float pos = 0.0f, neg = 0.0f;
  const float terms[6] = {
      MAT(in, 0, 0) * MAT(in, 1, 1) * MAT(in, 2, 2),  MAT(in, 1, 0) * MAT(in, 2, 1) * MAT(in, 0, 2),
      MAT(in, 2, 0) * MAT(in, 0, 1) * MAT(in, 1, 2),  -MAT(in, 2, 0) * MAT(in, 1, 1) * MAT(in, 0, 2),
      -MAT(in, 1, 0) * MAT(in, 0, 1) * MAT(in, 2, 2), -MAT(in, 0, 0) * MAT(in, 2, 1) * MAT(in, 1, 2)};
  for (float t : terms) (t >= 0.0f ? pos : neg) += t;
  float det = pos + neg;
  if (fabsf(det) < 1e-25f) return false;
  det = 1.0f / det;
  FFMatIdentity(out);
  MAT(out, 0, 0) = ((MAT(in, 1, 1) * MAT(in, 2, 2) - MAT(in, 2, 1) * MAT(in, 1, 2)) * det);
  MAT(out, 0, 1) = (-(MAT(in, 0, 1) * MAT(in, 2, 2) - MAT(in, 2, 1) * MAT(in, 0, 2)) * det);
  MAT(out, 0, 2) = ((MAT(in, 0, 1) * MAT(in, 1, 2) - MAT(in, 1, 1) * MAT(in, 0, 2)) * det);
  MAT(out, 1, 0) = (-(MAT(in, 1, 0) * MAT(in, 2, 2) - MAT(in, 2, 0) * MAT(in, 1, 2)) * det);
  MAT(out, 1, 1) = ((MAT(in, 0, 0) * MAT(in, 2, 2) - MAT(in, 2, 0) * MAT(in, 0, 2)) * det);
  MAT(out, 1, 2) = (-(MAT(in, 0, 0) * MAT(in, 1, 2) - MAT(in, 1, 0) * MAT(in, 0, 2)) * det);
  MAT(out, 2, 0) = ((MAT(in, 1, 0) * MAT(in, 2, 1) - MAT(in, 2, 0) * MAT(in, 1, 1)) * det);
  MAT(out, 2, 1) = (-(MAT(in, 0, 0) * MAT(in, 2, 1) - MAT(in, 2, 0) * MAT(in, 0, 1)) * det);
  MAT(out, 2, 2) = ((MAT(in, 0, 0) * MAT(in, 1, 1) - MAT(in, 1, 0) * MAT(in, 0, 1)) * det);
  for (int r = 0; r < 3; ++r)
    MAT(out, r, 3) =
        -(MAT(in, 0, 3) * MAT(out, r, 0) + MAT(in, 1, 3) * MAT(out, r, 1) + MAT(in, 2, 3) * MAT(out, r, 2));
  return true;
}

// Any other: Gauss-Jordan elimination with partial pivoting, in double.
static bool InvertGeneral(const float* in, float* out) {
  double a[4][8];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) a[r][c] = MAT(in, r, c), a[r][c + 4] = r == c ? 1.0 : 0.0;
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int r = col + 1; r < 4; ++r)
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    if (a[pivot][col] == 0.0) return false;
    for (int c = 0; c < 8; ++c) std::swap(a[col][c], a[pivot][c]);
    const double scale = 1.0 / a[col][col];
    for (int c = 0; c < 8; ++c) a[col][c] *= scale;
    for (int r = 0; r < 4; ++r)
      if (r != col && a[r][col] != 0.0) {
        const double f = a[r][col];
        for (int c = 0; c < 8; ++c) a[r][c] -= f * a[col][c];
      }
  }
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) MAT(out, r, c) = float(a[r][c + 4]);
  return true;
}

bool FFMatInvert(const float m[16], float inverse[16]) {
  const bool affine = m[3] == 0.0f && m[7] == 0.0f && m[11] == 0.0f && m[15] == 1.0f;
  if (affine ? InvertAffine(m, inverse) : InvertGeneral(m, inverse)) return true;
  FFMatIdentity(inverse);  // singular: Mesa keeps the identity
  return false;
}

void FFMatTransformPoint(float out[4], const float m[16], const float in[4]) {
  float r[4];
  for (int i = 0; i < 4; ++i) r[i] = m[i] * in[0] + m[4 + i] * in[1] + m[8 + i] * in[2] + m[12 + i] * in[3];
  std::memcpy(out, r, sizeof r);
}

void FFNormalize3(float v[3]) {
  float len = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
  if (len == 0.0f) return;
  len = 1.0f / sqrtf(len);
  v[0] *= len, v[1] *= len, v[2] *= len;
}
