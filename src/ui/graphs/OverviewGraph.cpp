#include "ui/graphs/OverviewGraph.h"

#include "core/config/ChannelSettings.h"
#include "ui/graphs/GraphCanvas.h"
#include "ui/graphs/GraphElements.h"

namespace orvex {

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
    m_composed = inputs;
    m_composedSize = size;
    const bool arrows = inputs.steps == kDirectionalSteps;
    const Key key{arrows, arrows ? inputs.hysteresis : std::uint8_t(0), size};
    m_bars.compose(canvas, key, litArrow(arrows, inputs.direction), inputs.value,
                   [&inputs](GraphCanvas &plate, std::uint8_t value) {
                       drawOverviewGraph(plate, value, inputs.direction, inputs.steps,
                                         inputs.hysteresis);
                   });
    return true;
}

void OverviewComposer::forget()
{
    m_composed.reset();
    m_bars.forget();
}

} // namespace orvex
