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
//
// The canvas notes which rows every operation writes, so that whoever shows the picture need
// only look at those rows for what changed (takeChangedRows()).
class GraphCanvas
{
public:
    // Rows [first, end) of the picture.
    struct Rows
    {
        int first = 0;
        int end = 0;
        bool isEmpty() const { return first >= end; }
        bool operator==(const Rows &) const = default;
    };

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

    // Copies the rows [first, end) of a picture of the same size, such as another canvas's
    // image(); nothing happens when the sizes or the pixel formats differ.
    void copyRows(const QImage &from, Rows rows);

    // The band of rows written since the last call, and a fresh start for the next one.  It may
    // hold rows that were written with the colours they already had.
    Rows takeChangedRows();

    const QImage &image() const { return m_image; }

    // The picture as a paint device, for text drawn with QPainter over the rasterised shapes.
    // What is drawn through it is not followed, so every row counts as written.
    QImage &paintDevice();

    QRgb pixel(int x, int y) const { return m_image.pixel(x, y); }

    // The first pixel whose centre lies at or after `edge`: where fillRect() starts and stops.
    static int firstPixelFrom(double edge);

private:
    bool contains(int x, int y) const;
    QRgb *pixels();
    void fillSpan(QRgb *row, std::uint32_t *stamps, int left, int right, QRgb colour);
    void noteWritten(int first, int end);

    QImage m_image;
    Rows m_changed;

    // Reused by every flood fill: pending seeds and a per-pixel "already filled" stamp, so that
    // repeated fills neither allocate nor clear a mask.
    std::vector<QPoint> m_fillStack;
    std::vector<std::uint32_t> m_fillStamps;
    std::uint32_t m_fillGeneration = 0;
};

} // namespace orvex
