#pragma once

#include <cstdint>

namespace orvex {

class GraphCanvas;

// Composes one live overview graph on the whole canvas: black background, the value bar in
// (0, 255, 0) and, when `steps` is the Directional code, the two direction arrows drawn over the
// bar (`direction` 1 lights the upper arrow, 2 the lower one).
void drawOverviewGraph(GraphCanvas &canvas, std::uint8_t value, std::uint8_t direction,
                       std::uint8_t steps, std::uint8_t hysteresis);

} // namespace orvex
