#include "core/graph/GraphGeometry.h"

#include <algorithm>
#include <cmath>

namespace orvex::graph {

namespace {

// Hysteresis codes above High come only from damaged data; they are drawn as High.
int clampedHysteresis(std::uint8_t hysteresis)
{
    return std::min<int>(hysteresis, 2);
}

struct BoundarySpread
{
    int above = 0;
    int below = 0;
};

BoundarySpread boundarySpread(std::uint8_t hysteresis)
{
    switch (clampedHysteresis(hysteresis)) {
    case 0:
        return {0, 0};
    case 1:
        return {0, 1};
    default:
        return {1, 1};
    }
}

QPointF mirrored(QPointF p, int height)
{
    return {p.x(), height - p.y()};
}

} // namespace

int nearest(double x)
{
    const double below = std::floor(x);
    const double fraction = x - below;
    double result = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0))
        result = below + 1.0;
    return static_cast<int>(result);
}

double valueTop(std::uint8_t value, int height)
{
    return height - (value / 255.0) * height;
}

ArrowGeometry arrowGeometry(int width, int height, std::uint8_t hysteresis)
{
    const int h = clampedHysteresis(hysteresis);
    return {nearest(width / 2.0 - 5.0), nearest(height / 2.0 - 10.0 * (h + 1) + 5.0)};
}

bool arrowsFit(const ArrowGeometry &g)
{
    // The seed (a, b / 2) must lie between the shaft walls at x = 0.5a + 5 and 1.5a + 5, below
    // the apex lines (which cross x = a at y = 10) and above the end of the shaft.
    const int seedRow = nearest(g.b / 2.0);
    return g.a > 10 && g.b > g.a + 6 && seedRow > 10 && seedRow < g.b;
}

std::array<QLineF, 7> upperArrowLines(const ArrowGeometry &g)
{
    const double a = g.a;
    const double b = g.b;
    const double base = a + 5.0;
    const double shaftLeft = 0.5 * a + 5.0;
    const double shaftRight = 1.5 * a + 5.0;
    return {{
        {5.0, base, a + 5.0, 5.0},
        {a + 5.0, 5.0, 2.0 * a + 5.0, base},
        {5.0, base, shaftLeft, base},
        {2.0 * a + 5.0, base, shaftRight, base},
        {shaftLeft, base, shaftLeft, b},
        {shaftRight, base, shaftRight, b},
        // One pixel past the right wall, because a line leaves out its end point.
        {shaftLeft, b, shaftRight + 1.0, b},
    }};
}

std::array<QLineF, 7> lowerArrowLines(const ArrowGeometry &g, int height)
{
    std::array<QLineF, 7> lines = upperArrowLines(g);
    for (QLineF &line : lines)
        line = {mirrored(line.p1(), height), mirrored(line.p2(), height)};
    return lines;
}

QPoint upperArrowSeed(const ArrowGeometry &g)
{
    return {g.a, nearest(g.b / 2.0)};
}

QPoint lowerArrowSeed(const ArrowGeometry &g, int height)
{
    return {g.a, nearest(height - g.b / 2.0)};
}

int boundaryRow(int i, int sections, int height)
{
    const double bandHeight = static_cast<double>(height) / sections;
    return nearest(bandHeight * i);
}

std::vector<int> boundaryRows(int sections, int height, std::uint8_t hysteresis)
{
    std::vector<int> rows;
    const BoundarySpread spread = boundarySpread(hysteresis);
    for (int i = 1; i < sections; ++i) {
        const int y = boundaryRow(i, sections, height);
        for (int row = y - spread.above; row <= y + spread.below; ++row)
            rows.push_back(row);
    }
    return rows;
}

QPoint sectionLabelPoint(int k, int sections, int width, int height)
{
    const double bandHeight = static_cast<double>(height) / sections;
    return {nearest(width / 2.0), nearest(height - bandHeight * (k + 0.5))};
}

QPoint directionalLabelPoint(int section, const ArrowGeometry &g, int width, int height)
{
    const int x = nearest(width / 2.0);
    return section == 1 ? QPoint(x, g.a - 7) : QPoint(x, height - g.a + 7);
}

int sectionAt(double y, int sections, int height)
{
    if (sections <= 0 || height <= 0)
        return 0;
    // The top row would compute as `sections`, one past the top band; it belongs to the top band.
    const int k = nearest((height - y) * sections) / height;
    return std::clamp(k, 0, sections - 1);
}

} // namespace orvex::graph
