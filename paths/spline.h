// Uniform cubic B-spline paths, sampled once at load time into point tables
// that scenes follow by time.
//
// Units: coordinates are world units of the scene that owns the path; a point
// index is whatever time step the scene chooses (milliseconds per point).
// Memory: nothing is allocated; a table holds its points inline (120 KB), so
// keep tables static. Threads: main thread only (an overflow shows a box).
#pragma once

#include <cstdint>

struct SPL_TPoint {
  float x, y, z;  // world units of the scene
};

struct SPL_PointType {
  int32_t NumPoints;          // valid entries of Point
  SPL_TPoint Point[10000];
};

// Samples the curve of `PointTable`'s control points into `Out`, `Steps`
// samples per segment (Steps or Steps + 1, from float rounding of t). Each
// sample is twice the standard curve's point. False after the "Index
// overflow!" box, when the path would need 10000 or more points; Out.NumPoints
// is then left as it was.
bool SPL_Generate(const SPL_PointType* PointTable, SPL_PointType* Out, int32_t Steps);

// Point i of a sampled path: the first point for i below 0, the last for i
// past the end. An empty table gives its first slot (zero unless written).
// The reference points into `table`: valid while the table lives unchanged.
const SPL_TPoint& SPL_PointAt(const SPL_PointType* table, int64_t i);
