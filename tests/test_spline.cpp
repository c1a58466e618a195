// B-spline sampling: the per-segment sample counts the scenes' timing relies
// on, the doubled curve, and the overflow box.
#include "paths/spline.h"
#include "platform/msgbox.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

class Spline : public ::testing::Test {
 protected:
  // Point tables are large; the scenes keep them static, the tests on the heap.
  std::unique_ptr<SPL_PointType> in = std::make_unique<SPL_PointType>();
  std::unique_ptr<SPL_PointType> out = std::make_unique<SPL_PointType>();

  void SetUp() override { MessageBoxStartRecording(); }
  void TearDown() override { MessageBoxStopRecording(); }

  void SetPoints(const std::vector<SPL_TPoint>& points) {
    in->NumPoints = int32_t(points.size());
    for (size_t i = 0; i < points.size(); ++i) in->Point[i] = points[i];
  }
  // n control points on a wavy line, distinct from each other.
  void SetWavy(int n) {
    std::vector<SPL_TPoint> points;
    for (int i = 0; i < n; ++i) points.push_back({float(i * 3), float((i * 7) % 5), float(-i)});
    SetPoints(points);
  }
};

TEST_F(Spline, SamplesPerSegmentFollowTheFloatSteps) {
  const struct {
    int32_t steps, samples;
  } cases[] = {{212, 212}, {83, 84}, {260, 260}, {240, 241}, {100, 101}, {10, 10}};
  for (const auto& c : cases) {
    SetWavy(4);
    ASSERT_TRUE(SPL_Generate(in.get(), out.get(), c.steps));
    EXPECT_EQ(out->NumPoints, c.samples) << "one segment, steps " << c.steps;
    SetWavy(7);
    ASSERT_TRUE(SPL_Generate(in.get(), out.get(), c.steps));
    EXPECT_EQ(out->NumPoints, 4 * c.samples) << "four segments, steps " << c.steps;
  }
  EXPECT_TRUE(MessageBoxLog().empty());
}

TEST_F(Spline, FewerThanFourPointsGiveAnEmptyPath) {
  for (int n : {0, 1, 2, 3}) {
    SetWavy(n);
    out->NumPoints = 55;
    EXPECT_TRUE(SPL_Generate(in.get(), out.get(), 100));
    EXPECT_EQ(out->NumPoints, 0) << n << " points";
  }
}

TEST_F(Spline, EveryPointIsTwiceTheStandardCurve) {
  SetPoints({{1.5f, -2.0f, 4.0f}, {1.5f, -2.0f, 4.0f}, {1.5f, -2.0f, 4.0f}, {1.5f, -2.0f, 4.0f}});
  ASSERT_TRUE(SPL_Generate(in.get(), out.get(), 10));
  for (int i = 0; i < out->NumPoints; ++i) {
    EXPECT_NEAR(out->Point[i].x, 3.0f, 1e-5f);
    EXPECT_NEAR(out->Point[i].y, -4.0f, 1e-5f);
    EXPECT_NEAR(out->Point[i].z, 8.0f, 1e-5f);
  }

  SetPoints({{0, 0, 0}, {3, 0, 0}, {6, 0, 0}, {9, 0, 0}});
  ASSERT_TRUE(SPL_Generate(in.get(), out.get(), 10));
  EXPECT_EQ(out->Point[0].x, 6.0f);
  EXPECT_EQ(out->Point[0].y, 0.0f);
  // On a straight evenly spaced line the curve moves evenly: 2 * (3 + 3t).
  EXPECT_NEAR(out->Point[5].x, 9.0f, 1e-5f);
  EXPECT_NEAR(out->Point[9].x, 11.4f, 1e-5f);
}

TEST_F(Spline, SegmentsStartAtTheirWeightedPointAndJoin) {
  SetWavy(6);
  ASSERT_TRUE(SPL_Generate(in.get(), out.get(), 240));
  ASSERT_EQ(out->NumPoints, 3 * 241);
  const SPL_TPoint* P = in->Point;
  for (int k = 1; k <= 3; ++k) {
    const SPL_TPoint& first = out->Point[(k - 1) * 241];
    EXPECT_NEAR(first.x, (P[k - 1].x + 4 * P[k].x + P[k + 1].x) / 3, 1e-5f) << "segment " << k;
    EXPECT_NEAR(first.y, (P[k - 1].y + 4 * P[k].y + P[k + 1].y) / 3, 1e-5f) << "segment " << k;
    EXPECT_NEAR(first.z, (P[k - 1].z + 4 * P[k].z + P[k + 1].z) / 3, 1e-5f) << "segment " << k;
  }
  // The extra sample of a segment lies practically on the next one's start.
  const SPL_TPoint& last = out->Point[240], &next = out->Point[241];
  EXPECT_NEAR(last.x, next.x, 1e-4f);
  EXPECT_NEAR(last.y, next.y, 1e-4f);
}

TEST_F(Spline, OverflowStopsWithTheBoxAndKeepsTheCount) {
  SetWavy(50);  // 47 segments of 212 samples would need 9964; of 260, 12220
  out->NumPoints = 123;
  EXPECT_FALSE(SPL_Generate(in.get(), out.get(), 260));
  EXPECT_EQ(out->NumPoints, 123);
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].text, "Index overflow!");
  EXPECT_EQ(MessageBoxLog()[0].caption, "B-Spline Error");
  EXPECT_EQ(MessageBoxLog()[0].style, unsigned(MB_ICONWARNING));
  // The 10000th point was stored before the stop: the same as a clean run's.
  const SPL_TPoint stored = out->Point[9999];
  EXPECT_NE(stored.x, 0.0f);

  // 9964 points still fit.
  EXPECT_TRUE(SPL_Generate(in.get(), out.get(), 212));
  EXPECT_EQ(out->NumPoints, 47 * 212);
}

TEST_F(Spline, DamagedInputsEndWithoutHangingOrOverrunning) {
  SetWavy(8);
  in->NumPoints = 2000000;  // more than the table holds: read no further than it
  EXPECT_FALSE(SPL_Generate(in.get(), out.get(), 10));
  for (int32_t steps : {-1, -1000, 1000000000}) {  // t never reaches 1
    EXPECT_FALSE(SPL_Generate(in.get(), out.get(), steps)) << steps;
  }
  SetWavy(8);
  EXPECT_TRUE(SPL_Generate(in.get(), out.get(), 0));  // one sample per segment
  EXPECT_EQ(out->NumPoints, 5);
}

TEST_F(Spline, PointsPastEitherEndHoldTheEndPoints) {
  SetPoints({{0, 0, 0}, {3, 0, 0}, {6, 0, 0}, {9, 0, 0}});
  ASSERT_TRUE(SPL_Generate(in.get(), out.get(), 10));
  ASSERT_EQ(out->NumPoints, 10);
  EXPECT_EQ(&SPL_PointAt(out.get(), -1), &out->Point[0]);
  EXPECT_EQ(&SPL_PointAt(out.get(), INT64_MIN), &out->Point[0]);
  EXPECT_EQ(&SPL_PointAt(out.get(), 4), &out->Point[4]);
  EXPECT_EQ(&SPL_PointAt(out.get(), 10), &out->Point[9]);
  EXPECT_EQ(&SPL_PointAt(out.get(), INT64_MAX), &out->Point[9]);

  auto empty = std::make_unique<SPL_PointType>();  // a path never generated
  EXPECT_EQ(&SPL_PointAt(empty.get(), 5), &empty->Point[0]);
  empty->NumPoints = 123456;  // a damaged count never reaches past the table
  EXPECT_EQ(&SPL_PointAt(empty.get(), 20000), &empty->Point[9999]);
}
