#include "ui/graphs/OverviewGraph.h"

#include "core/config/ChannelSettings.h"
#include "core/graph/GraphGeometry.h"
#include "ui/graphs/GraphElements.h"

#include <algorithm>

namespace orvex {

namespace {

// The first row the bar of `value` fills, as drawBackgroundAndBar() rounds its top edge; the
// height itself when the bar is empty.
int firstBarRow(std::uint8_t value, int height)
{
    return std::clamp(GraphCanvas::firstPixelFrom(graph::valueTop(value, height)), 0, height);
}

} // namespace

void drawOverviewGraph(GraphCanvas &canvas, std::uint8_t value, std::uint8_t direction,
                       std::uint8_t steps, std::uint8_t hysteresis)
{
    graph::drawBackgroundAndBar(canvas, value, graph::colours::overviewBar);
    // The arrows show the direction the device reports whether or not the channel's keyboard
    // output is on, and they cover the bar where it reaches into them.
    if (steps == kDirectionalSteps)
        graph::drawDirectionArrows(canvas, direction, hysteresis);
}

bool OverviewComposer::compose(GraphCanvas &canvas, const OverviewInputs &inputs)
{
    const QSize size = canvas.size();
    if (m_composed == inputs && m_composedSize == size)
        return false;
    const Plates &pair = plates(inputs, size);
    const int height = size.height();
    const int barRow = firstBarRow(inputs.value, height);
    const bool samePlates = m_composed && m_composedSize == size &&
                            plateKey(*m_composed, size) == plateKey(inputs, size) &&
                            litArrow(*m_composed) == litArrow(inputs);
    if (samePlates) {
        const int oldBarRow = firstBarRow(m_composed->value, height);
        if (barRow < oldBarRow)
            canvas.copyRows(pair.full, {barRow, oldBarRow});
        else
            canvas.copyRows(pair.empty, {oldBarRow, barRow});
    } else {
        canvas.copyRows(pair.empty, {0, barRow});
        canvas.copyRows(pair.full, {barRow, height});
    }
    m_composed = inputs;
    m_composedSize = size;
    return true;
}

void OverviewComposer::forget()
{
    m_composed.reset();
}

OverviewComposer::PlateKey OverviewComposer::plateKey(const OverviewInputs &inputs, QSize size)
{
    const bool arrows = inputs.steps == kDirectionalSteps;
    return {arrows, arrows ? inputs.hysteresis : std::uint8_t(0), size};
}

int OverviewComposer::litArrow(const OverviewInputs &inputs)
{
    if (inputs.steps != kDirectionalSteps)
        return 0;
    return inputs.direction == 1 || inputs.direction == 2 ? inputs.direction : 0;
}

const OverviewComposer::Plates &OverviewComposer::plates(const OverviewInputs &inputs, QSize size)
{
    const PlateKey key = plateKey(inputs, size);
    if (m_plateKey != key) {
        m_plates.fill(std::nullopt);
        m_plateKey = key;
    }
    std::optional<Plates> &pair = m_plates[static_cast<std::size_t>(litArrow(inputs))];
    if (!pair) {
        GraphCanvas canvas(size);
        drawOverviewGraph(canvas, 0, inputs.direction, inputs.steps, inputs.hysteresis);
        const QImage empty = canvas.image().copy();
        drawOverviewGraph(canvas, 255, inputs.direction, inputs.steps, inputs.hysteresis);
        pair = Plates{empty, canvas.image()};
    }
    return *pair;
}

} // namespace orvex
