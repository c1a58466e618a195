#include "paths/spline.h"

#include "platform/msgbox.h"

// Weighted sum of four control coordinates. The weights sum to 6 and the sum
// is multiplied by 1/3, not 1/6: every path is the standard curve scaled by 2
// about the origin, and the scenes' control points are chosen for that.
static float Blend(float k1, float k2, float k3, float t3, float p0, float p1, float p2, float p3) {
  return float((double(k1) * p0 + double(k2) * p1 + double(k3) * p2 + double(t3) * p3) * 0.3333333333333333);
}

bool SPL_Generate(const SPL_PointType* PointTable, SPL_PointType* Out, int32_t Steps) {
  const SPL_TPoint* P = PointTable->Point;
  const int32_t numPoints = PointTable->NumPoints < 10000 ? PointTable->NumPoints : 10000;
  int32_t bl_i = 0;
  for (int32_t k = 1; k < numPoints - 2; ++k) {
    // t advances in float: a segment gives Steps or Steps + 1 samples, and the
    // scenes' timing counts on exactly that.
    for (float t = 0.0f; t < 1.0f; t = float(double(t) + 1.0 / double(Steps))) {
      const float t2 = float(double(t) * t);
      const float t3 = float(double(t) * t * t);
      const float k1 = float(1.0 - 3.0 * t + 3.0 * t2 - t3);
      const float k2 = float(4.0 - 6.0 * t2 + 3.0 * t3);
      const float k3 = float(1.0 + 3.0 * t + 3.0 * t2 - 3.0 * t3);
      SPL_TPoint& out = Out->Point[bl_i];
      out.x = Blend(k1, k2, k3, t3, P[k - 1].x, P[k].x, P[k + 1].x, P[k + 2].x);
      out.y = Blend(k1, k2, k3, t3, P[k - 1].y, P[k].y, P[k + 1].y, P[k + 2].y);
      out.z = Blend(k1, k2, k3, t3, P[k - 1].z, P[k].z, P[k + 1].z, P[k + 2].z);
      bl_i += 1;
      if (bl_i > 9999) {
        MessageBoxA("Index overflow!", "B-Spline Error", MB_ICONWARNING);
        return false;
      }
    }
  }
  Out->NumPoints = bl_i;
  return true;
}

const SPL_TPoint& SPL_PointAt(const SPL_PointType* table, int64_t i) {
  const int64_t count = table->NumPoints < 10000 ? table->NumPoints : 10000;
  if (i >= count) i = count - 1;
  if (i < 0) i = 0;
  return table->Point[i];
}
