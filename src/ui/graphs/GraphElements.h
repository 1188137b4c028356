#pragma once

#include <QColor>
#include <cstdint>

namespace orvex {
class GraphCanvas;
}

// The parts both graphs are composed of: the value bar, the direction arrows and the step
// boundaries, each drawn in the graph's fixed colours over whatever the canvas holds.
namespace orvex::graph {

namespace colours {
inline const QColor background{0, 0, 0};
inline const QColor overviewBar{0, 255, 0};
inline const QColor stepBar{0, 200, 0};
inline const QColor activeOutline{255, 0, 0};
inline const QColor activeInterior{128, 0, 0};
inline const QColor inactiveOutline{0, 0, 255};
inline const QColor inactiveInterior{0, 0, 128};
inline const QColor boundary{0, 0, 255};
inline const QColor keyLabel{255, 255, 255};
inline const QColor joystickLabel{255, 255, 0};
} // namespace colours

// Fills the whole canvas with the graph background.
void drawBackground(GraphCanvas &canvas);

// The bar of `value` from the bottom edge up to its place on the value scale.
void drawValueBar(GraphCanvas &canvas, std::uint8_t value, QColor colour);

// The background with the bar over it, as drawBackground() then drawValueBar() leave them but
// writing each pixel once: the graphs repaint every 10 ms.
void drawBackgroundAndBar(GraphCanvas &canvas, std::uint8_t value, QColor colour);

// The upper (rising) and lower (falling) arrow, outlined and filled; `direction` 1 lights the
// upper one, 2 the lower one, anything else neither.  Graphs too small to hold them get none.
void drawDirectionArrows(GraphCanvas &canvas, std::uint8_t direction, std::uint8_t hysteresis);

// The full-width lines between `sections` equal bands, thickened by the hysteresis.
void drawStepBoundaries(GraphCanvas &canvas, int sections, std::uint8_t hysteresis);

} // namespace orvex::graph
