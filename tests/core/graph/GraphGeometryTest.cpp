// The arithmetic behind the graphs that their pictures (tests/ui/graphs) do not pin down.

#include "core/graph/GraphGeometry.h"

#include <gtest/gtest.h>

namespace orvex::graph {
namespace {

TEST(GraphGeometry, NearestRoundsHalvesToEven)
{
    // clang-format off
    const std::pair<double, int> cases[] = {{33.5, 34}, {270.5, 270}, {0.5, 0}, {1.5, 2},
        {-0.5, 0}, {-1.5, -2}, {2.4999, 2}, {2.5001, 3}, {-2.6, -3}};
    // clang-format on
    for (const auto &[x, rounded] : cases)
        EXPECT_EQ(nearest(x), rounded) << x;
}

TEST(GraphGeometry, ArrowsAreDrawnOnlyWhereTheirFillsStayInside)
{
    // A fill starts at (a, b / 2): it needs a > 10, a shaft longer than the head (b > a + 6)
    // and a start below row 10, where the head's edges cross x = a.
    const std::tuple<int, int, bool> cases[] = {{11, 22, true}, {10, 22, false}, {11, 21, false},
                                                {16, 23, true}, {16, 22, false}, {0, 0, false}};
    for (const auto &[a, b, fits] : cases)
        EXPECT_EQ(arrowsFit({a, b}), fits) << a << ", " << b;
}

TEST(GraphGeometry, AClickFallsInTheBandUnderIt)
{
    // clang-format off
    const std::tuple<double, int, int, int> cases[] = { // y, sections, height: section
        {0, 32, 541, 31}, {0.4, 32, 541, 31}, {540, 32, 541, 0}, {540.5, 4, 541, 0},
        {270, 2, 541, 1}, {271, 2, 541, 0}, {135, 4, 541, 3}, {136, 4, 541, 2},
        {100, 0, 541, 0}, {100, 4, 0, 0}, {-3, 8, 541, 7}, {544, 8, 541, 0}};
    // clang-format on
    for (const auto &[y, sections, height, section] : cases)
        EXPECT_EQ(sectionAt(y, sections, height), section) << y << " of " << sections;
}

} // namespace
} // namespace orvex::graph
