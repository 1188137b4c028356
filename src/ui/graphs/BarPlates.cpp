#include "ui/graphs/BarPlates.h"

#include "core/graph/GraphGeometry.h"

#include <algorithm>

namespace orvex {

void BarPlates::compose(GraphCanvas &canvas, std::uint8_t value,
                        std::optional<std::uint8_t> shown) const
{
    const int height = canvas.height();
    const int barRow = firstBarRow(value, height);
    if (!shown) {
        canvas.copyRows(m_empty, {0, barRow});
        canvas.copyRows(m_full, {barRow, height});
        return;
    }
    const int shownBarRow = firstBarRow(*shown, height);
    if (barRow < shownBarRow)
        canvas.copyRows(m_full, {barRow, shownBarRow});
    else
        canvas.copyRows(m_empty, {shownBarRow, barRow});
}

// As drawBackgroundAndBar() rounds the bar's top edge.
int BarPlates::firstBarRow(std::uint8_t value, int height)
{
    return std::clamp(GraphCanvas::firstPixelFrom(graph::valueTop(value, height)), 0, height);
}

int litArrow(bool arrowsDrawn, std::uint8_t direction)
{
    return arrowsDrawn && (direction == 1 || direction == 2) ? direction : 0;
}

} // namespace orvex
