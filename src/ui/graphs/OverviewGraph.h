#pragma once

#include "ui/graphs/BarPlates.h"

#include <QSize>
#include <cstdint>
#include <optional>

namespace orvex {

class GraphCanvas;

// Composes one live overview graph on the whole canvas: black background, the value bar in
// (0, 255, 0) and, when `steps` is the Directional code, the two direction arrows drawn over the
// bar (`direction` 1 lights the upper arrow, 2 the lower one).
void drawOverviewGraph(GraphCanvas &canvas, std::uint8_t value, std::uint8_t direction,
                       std::uint8_t steps, std::uint8_t hysteresis);

// Everything an overview graph's picture is composed from, besides its size.
struct OverviewInputs
{
    std::uint8_t value = 0;
    std::uint8_t direction = 0;
    std::uint8_t steps = 0;
    std::uint8_t hysteresis = 0;
    bool operator==(const OverviewInputs &) const = default;
};

// Keeps one overview graph's canvas at the picture drawOverviewGraph() draws for the newest
// inputs, writing only the rows that change (see BarPlates).
class OverviewComposer
{
public:
    // Brings the canvas from the picture of the previous call to the one of `inputs`.  Returns
    // false, touching nothing, when the inputs and the canvas's size are those of that call.
    bool compose(GraphCanvas &canvas, const OverviewInputs &inputs);

    // The canvas was drawn over by something else: the next compose() writes every row.
    void forget();

private:
    // What the picture depends on besides the value and the lit arrow.
    struct Key
    {
        bool arrows = false;
        std::uint8_t hysteresis = 0;
        QSize size;
        bool operator==(const Key &) const = default;
    };

    std::optional<OverviewInputs> m_composed;
    QSize m_composedSize;
    BarGraphComposer<Key> m_bars;
};

} // namespace orvex
