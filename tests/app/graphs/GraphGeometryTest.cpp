#include "core/graph/GraphGeometry.h"

#include <gtest/gtest.h>
#include <vector>

namespace orvex::graph {
namespace {

// The main window's overview pictures and the settings dialog's step graph.
constexpr int kOverviewWidth = 77;
constexpr int kOverviewHeight = 261;
constexpr int kStepWidth = 221;
constexpr int kStepHeight = 541;

TEST(GraphGeometry, NearestRoundsHalvesToEven)
{
    EXPECT_EQ(nearest(33.5), 34);
    EXPECT_EQ(nearest(125.5), 126);
    EXPECT_EQ(nearest(270.5), 270);
    EXPECT_EQ(nearest(0.5), 0);
    EXPECT_EQ(nearest(1.5), 2);
    EXPECT_EQ(nearest(-0.5), 0);
    EXPECT_EQ(nearest(-1.5), -2);
    EXPECT_EQ(nearest(2.4999), 2);
    EXPECT_EQ(nearest(2.5001), 3);
    EXPECT_EQ(nearest(-2.6), -3);
}

TEST(GraphGeometry, ValueScaleRunsFromBottomToTopKeepingFractions)
{
    EXPECT_DOUBLE_EQ(valueTop(0, kOverviewHeight), 261.0);
    EXPECT_DOUBLE_EQ(valueTop(255, kOverviewHeight), 0.0);
    EXPECT_DOUBLE_EQ(valueTop(128, kOverviewHeight), 261.0 - 128.0 / 255.0 * 261.0);
}

TEST(GraphGeometry, ArrowSizeFollowsHysteresis)
{
    const ArrowGeometry low = arrowGeometry(kOverviewWidth, kOverviewHeight, 0);
    EXPECT_EQ(low.a, 34);
    EXPECT_EQ(low.b, 126);
    EXPECT_EQ(arrowGeometry(kOverviewWidth, kOverviewHeight, 1).b, 116);
    EXPECT_EQ(arrowGeometry(kOverviewWidth, kOverviewHeight, 2).b, 106);

    // Neutral gaps between the shafts: 9, 29 and 49 rows.
    for (const auto &[h, gap] : std::vector<std::pair<int, int>>{{0, 9}, {1, 29}, {2, 49}})
        EXPECT_EQ(kOverviewHeight - 2 * arrowGeometry(kOverviewWidth, kOverviewHeight, h).b, gap)
            << "hysteresis " << h;

    // Damaged hysteresis codes are drawn as High rather than pushing the shafts off the graph.
    EXPECT_EQ(arrowGeometry(kOverviewWidth, kOverviewHeight, 200).b, 106);
}

TEST(GraphGeometry, UpperArrowLinesInDrawingOrder)
{
    const ArrowGeometry g = arrowGeometry(kOverviewWidth, kOverviewHeight, 0);
    const std::array<QLineF, 7> expected{{
        {5, 39, 39, 5},
        {39, 5, 73, 39},
        {5, 39, 22, 39},
        {73, 39, 56, 39},
        {22, 39, 22, 126},
        {56, 39, 56, 126},
        {22, 126, 57, 126},
    }};
    EXPECT_EQ(upperArrowLines(g), expected);
    EXPECT_EQ(upperArrowSeed(g), QPoint(34, 63));
}

TEST(GraphGeometry, LowerArrowMirrorsTheUpperOne)
{
    const ArrowGeometry g = arrowGeometry(kOverviewWidth, kOverviewHeight, 0);
    const std::array<QLineF, 7> upper = upperArrowLines(g);
    const std::array<QLineF, 7> lower = lowerArrowLines(g, kOverviewHeight);
    for (std::size_t i = 0; i < upper.size(); ++i) {
        EXPECT_EQ(lower[i].p1(), QPointF(upper[i].x1(), kOverviewHeight - upper[i].y1())) << i;
        EXPECT_EQ(lower[i].p2(), QPointF(upper[i].x2(), kOverviewHeight - upper[i].y2())) << i;
    }
    EXPECT_EQ(lower[6], QLineF(22, 135, 57, 135));
    EXPECT_EQ(lowerArrowSeed(g, kOverviewHeight), QPoint(34, 198));
}

TEST(GraphGeometry, OddArrowWidthKeepsShaftFractions)
{
    const ArrowGeometry g = arrowGeometry(80, kOverviewHeight, 0); // a = 35
    ASSERT_EQ(g.a, 35);
    const std::array<QLineF, 7> lines = upperArrowLines(g);
    EXPECT_EQ(lines[4], QLineF(22.5, 40, 22.5, 126));
    EXPECT_EQ(lines[5], QLineF(57.5, 40, 57.5, 126));
    EXPECT_EQ(lines[6], QLineF(22.5, 126, 58.5, 126));
}

TEST(GraphGeometry, ArrowsFitOnlyGraphsLargeEnoughToEncloseTheirSeeds)
{
    EXPECT_TRUE(arrowsFit(arrowGeometry(kOverviewWidth, kOverviewHeight, 2)));
    EXPECT_TRUE(arrowsFit(arrowGeometry(kStepWidth, kStepHeight, 2)));
    EXPECT_FALSE(arrowsFit(arrowGeometry(20, kOverviewHeight, 0))); // seed left of the shaft
    EXPECT_FALSE(arrowsFit(arrowGeometry(kOverviewWidth, 80, 2)));  // shaft above the head base
    EXPECT_FALSE(arrowsFit(arrowGeometry(0, 0, 0)));
}

TEST(GraphGeometry, BoundaryRowsAndThickness)
{
    EXPECT_EQ(boundaryRows(4, kStepHeight, 0), (std::vector<int>{135, 270, 406}));
    EXPECT_EQ(boundaryRows(4, kStepHeight, 1), (std::vector<int>{135, 136, 270, 271, 406, 407}));
    EXPECT_EQ(boundaryRows(4, kStepHeight, 2),
              (std::vector<int>{134, 135, 136, 269, 270, 271, 405, 406, 407}));
    EXPECT_EQ(boundaryRows(2, kStepHeight, 0), (std::vector<int>{270}));
    EXPECT_TRUE(boundaryRows(0, kStepHeight, 2).empty());
    EXPECT_EQ(boundaryRows(32, kStepHeight, 0).size(), 31u);
}

TEST(GraphGeometry, SectionLabelPoints)
{
    const std::vector<int> rows{473, 338, 203, 68};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(sectionLabelPoint(k, 4, kStepWidth, kStepHeight), QPoint(110, rows[k])) << k;

    const ArrowGeometry g = arrowGeometry(kStepWidth, kStepHeight, 0);
    ASSERT_EQ(g.a, 106);
    EXPECT_EQ(directionalLabelPoint(1, g, kStepWidth, kStepHeight), QPoint(110, 99));
    EXPECT_EQ(directionalLabelPoint(0, g, kStepWidth, kStepHeight), QPoint(110, 442));
}

TEST(GraphGeometry, PointToSection)
{
    // The top row would compute one past the top band; it belongs to the top band.
    EXPECT_EQ(sectionAt(0, 32, kStepHeight), 31);
    EXPECT_EQ(sectionAt(0.4, 32, kStepHeight), 31);
    EXPECT_EQ(sectionAt(kStepHeight - 1, 32, kStepHeight), 0);
    EXPECT_EQ(sectionAt(kStepHeight - 0.5, 4, kStepHeight), 0);

    // Directional: upper half rising (1), lower half falling (0).
    EXPECT_EQ(sectionAt(270, 2, kStepHeight), 1);
    EXPECT_EQ(sectionAt(271, 2, kStepHeight), 0);

    // Band edges with four sections: a band starts where its top edge lies.
    EXPECT_EQ(sectionAt(135, 4, kStepHeight), 3);
    EXPECT_EQ(sectionAt(136, 4, kStepHeight), 2);

    EXPECT_EQ(sectionAt(100, 0, kStepHeight), 0);
    EXPECT_EQ(sectionAt(0, 0, kStepHeight), 0);
    EXPECT_EQ(sectionAt(100, 4, 0), 0);

    // Points just outside the picture stay in range.
    EXPECT_EQ(sectionAt(-3, 8, kStepHeight), 7);
    EXPECT_EQ(sectionAt(kStepHeight + 3, 8, kStepHeight), 0);
}

} // namespace
} // namespace orvex::graph
