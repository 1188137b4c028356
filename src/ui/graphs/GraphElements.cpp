#include "ui/graphs/GraphElements.h"

#include "core/graph/GraphGeometry.h"
#include "ui/graphs/GraphCanvas.h"

namespace orvex::graph {

namespace {

void drawArrow(GraphCanvas &canvas, const std::array<QLineF, 7> &lines, QPoint seed, bool active)
{
    const QColor &outline = active ? colours::activeOutline : colours::inactiveOutline;
    const QColor &interior = active ? colours::activeInterior : colours::inactiveInterior;
    for (const QLineF &line : lines)
        canvas.line(line.p1(), line.p2(), outline);
    canvas.borderFloodFill(seed, outline, interior);
}

} // namespace

void drawBackground(GraphCanvas &canvas)
{
    canvas.fillRect({0, 0}, QPointF(canvas.width(), canvas.height()), colours::background);
}

void drawValueBar(GraphCanvas &canvas, std::uint8_t value, QColor colour)
{
    const int height = canvas.height();
    canvas.fillRect({0, valueTop(value, height)}, QPointF(canvas.width(), height), colour);
}

void drawBackgroundAndBar(GraphCanvas &canvas, std::uint8_t value, QColor colour)
{
    const int width = canvas.width();
    const int height = canvas.height();
    const double barTop = valueTop(value, height);
    canvas.fillRect({0, 0}, QPointF(width, barTop), colours::background);
    canvas.fillRect({0, barTop}, QPointF(width, height), colour);
}

void drawDirectionArrows(GraphCanvas &canvas, std::uint8_t direction, std::uint8_t hysteresis)
{
    const int height = canvas.height();
    const ArrowGeometry g = arrowGeometry(canvas.width(), height, hysteresis);
    if (!arrowsFit(g))
        return;
    drawArrow(canvas, upperArrowLines(g), upperArrowSeed(g), direction == 1);
    drawArrow(canvas, lowerArrowLines(g, height), lowerArrowSeed(g, height), direction == 2);
}

void drawStepBoundaries(GraphCanvas &canvas, int sections, std::uint8_t hysteresis)
{
    const int width = canvas.width();
    for (const int row : boundaryRows(sections, canvas.height(), hysteresis))
        canvas.line(QPointF(0, row), QPointF(width, row), colours::boundary);
}

} // namespace orvex::graph
