#include "ui/graphs/OverviewGraph.h"

#include "core/config/ChannelSettings.h"
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

} // namespace orvex
