#pragma once

#include "ui/graphs/GraphCanvas.h"

#include <QImage>
#include <QSize>
#include <array>
#include <cstdint>
#include <optional>

namespace orvex {

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
// inputs, writing only the rows that change from one tick to the next.
//
// Whatever the value, that picture is the one of value 0 above the bar's first row and the one of
// value 255 from that row down: the bar fills whole rows, and the arrows cover the same pixels
// whatever lies under them, because their fill stops only at their own outline colour, which
// neither the background nor the bar has.  So those two pictures ("plates") are drawn once for
// each state of the arrows, and a new value copies the rows between the bar's old top and its
// new one from them.
class OverviewComposer
{
public:
    // Brings the canvas from the picture of the previous call to the one of `inputs`.  Returns
    // false, touching nothing, when the inputs and the canvas's size are those of that call.
    bool compose(GraphCanvas &canvas, const OverviewInputs &inputs);

    // The canvas was drawn over by something else: the next compose() writes every row.
    void forget();

private:
    struct Plates
    {
        QImage empty; // value 0: no bar
        QImage full;  // value 255: bar in every row
    };
    // What the plates depend on; the lit arrow picks one of three pairs.
    struct PlateKey
    {
        bool arrows = false;
        std::uint8_t hysteresis = 0;
        QSize size;
        bool operator==(const PlateKey &) const = default;
    };

    static PlateKey plateKey(const OverviewInputs &inputs, QSize size);
    static int litArrow(const OverviewInputs &inputs);
    const Plates &plates(const OverviewInputs &inputs, QSize size);

    std::optional<OverviewInputs> m_composed;
    QSize m_composedSize;
    std::optional<PlateKey> m_plateKey;
    std::array<std::optional<Plates>, 3> m_plates; // by lit arrow: none, upper, lower
};

} // namespace orvex
