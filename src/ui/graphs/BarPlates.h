#pragma once

#include "ui/graphs/GraphCanvas.h"

#include <QImage>
#include <QSize>
#include <array>
#include <cstdint>
#include <optional>

namespace orvex {

// The two pictures ("plates") a graph with a value bar is composed from, tick after tick.
//
// Both graphs draw the bar over whole rows first and everything else over it: lines and text,
// which blend each pixel with that pixel alone, and arrows, whose fill stops only at their own
// outline colour, which neither the background nor a bar has.  So the picture of any value is the
// picture of value 0 above the bar's first row and the picture of value 255 from that row down,
// and a new value costs the rows between the bar's old top and its new one.
class BarPlates
{
public:
    // Draws both plates with `draw(canvas, value)`, which composes the whole picture of a value.
    template <typename Draw> void build(QSize size, Draw &&draw)
    {
        GraphCanvas canvas(size);
        draw(canvas, std::uint8_t(0));
        m_empty = canvas.image().copy();
        draw(canvas, std::uint8_t(255));
        m_full = canvas.image();
    }

    bool isBuilt() const { return !m_empty.isNull() || !m_full.isNull(); }

    // Writes the picture of `value` into a canvas of the plates' size: every row, or, when the
    // canvas holds the picture of `shown` from these plates, the rows between the two bars' tops.
    void compose(GraphCanvas &canvas, std::uint8_t value, std::optional<std::uint8_t> shown) const;

    // The first row the bar of `value` fills on a graph `height` pixels high; `height` itself when
    // it fills none.
    static int firstBarRow(std::uint8_t value, int height);

private:
    QImage m_empty; // value 0: no bar
    QImage m_full;  // value 255: the bar in every row
};

// Brings a canvas from one picture of a bar graph to the next.  `Key` is everything the picture
// depends on besides the value and the lit arrow, the size included; plates are kept for the
// last key, one pair for each lit arrow (none, upper, lower), since the arrows of a moving input
// light up and go out often.
template <typename Key> class BarGraphComposer
{
public:
    // False, touching nothing, when key, lit arrow and value are those the canvas shows.
    template <typename Draw>
    bool compose(GraphCanvas &canvas, const Key &key, int litArrow, std::uint8_t value, Draw &&draw)
    {
        const bool samePlates = m_shown && m_shown->key == key && m_shown->litArrow == litArrow;
        if (samePlates && m_shown->value == value)
            return false;
        if (m_platesKey != key) {
            m_plates = {};
            m_platesKey = key;
        }
        BarPlates &plates = m_plates.at(static_cast<std::size_t>(litArrow));
        if (!plates.isBuilt())
            plates.build(canvas.size(), draw);
        plates.compose(canvas, value, samePlates ? std::optional(m_shown->value) : std::nullopt);
        m_shown = Shown{key, litArrow, value};
        return true;
    }

    // The canvas was drawn over by something else: the next compose() writes every row.
    void forget() { m_shown.reset(); }

private:
    struct Shown
    {
        Key key;
        int litArrow = 0;
        std::uint8_t value = 0;
    };

    std::optional<Shown> m_shown;
    std::optional<Key> m_platesKey;
    std::array<BarPlates, 3> m_plates;
};

// The arrow a direction lights (1 upper, 2 lower), 0 for none, when arrows are drawn at all.
int litArrow(bool arrowsDrawn, std::uint8_t direction);

} // namespace orvex
