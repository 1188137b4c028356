#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QSize>
#include <cstdint>
#include <vector>

namespace orvex {

// A persistent picture that the graphs are composed in, pixel by pixel, before it is shown.
//
// Coordinates are pixels from the top left corner and may be fractional.  A point maps to the
// pixel whose cell [x, x + 1) x [y, y + 1) contains it, so two lines that share an end point
// always meet on the same pixel and an outline built from them stays closed.  Rectangles cover
// the pixels whose centres lie inside them.  All operations clip to the picture; nothing is
// allocated while drawing once the picture has its size.
class GraphCanvas
{
public:
    explicit GraphCanvas(QSize size = {});

    // Gives the picture a new size; the content is undefined until the next erase or fill.
    void resize(QSize size);
    QSize size() const { return m_image.size(); }
    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }

    // Fills the rectangle spanned by two opposite corners (in any order).
    void fillRect(QPointF from, QPointF to, QColor colour);

    // One pixel wide line; the start point is drawn and the end point is not, so lines can be
    // chained without painting the joints twice.
    void line(QPointF from, QPointF to, QColor colour);

    // Paints every pixel reachable from `seed` through horizontally or vertically adjacent pixels
    // that do not have the `border` colour.  Nothing happens when the seed lies outside the
    // picture or on the border colour.  Diagonal one-pixel lines stop the fill.
    void borderFloodFill(QPoint seed, QColor border, QColor fill);

    // Clears the whole picture to `background`.
    void erase(QColor background);

    const QImage &image() const { return m_image; }

    // The picture as a paint device, for text drawn with QPainter over the rasterised shapes.
    QImage &paintDevice() { return m_image; }

    QRgb pixel(int x, int y) const { return m_image.pixel(x, y); }

private:
    bool contains(int x, int y) const;
    QRgb *pixels();
    void fillSpan(QRgb *row, std::uint32_t *stamps, int left, int right, QRgb colour);

    QImage m_image;

    // Reused by every flood fill: pending seeds and a per-pixel "already filled" stamp, so that
    // repeated fills neither allocate nor clear a mask.
    std::vector<QPoint> m_fillStack;
    std::vector<std::uint32_t> m_fillStamps;
    std::uint32_t m_fillGeneration = 0;
};

} // namespace orvex
