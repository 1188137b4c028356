#include "ui/graphs/GraphCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace orvex {

namespace {

// Far enough outside any picture to keep clipped lines short, small enough to never overflow.
constexpr double kCoordinateLimit = 1 << 20;

// The pixel whose cell contains the coordinate.
int pixelOf(double coordinate)
{
    if (std::isnan(coordinate))
        return 0;
    return static_cast<int>(
        std::floor(std::clamp(coordinate, -kCoordinateLimit, kCoordinateLimit)));
}

} // namespace

int GraphCanvas::firstPixelFrom(double edge)
{
    if (std::isnan(edge))
        return 0;
    return static_cast<int>(std::ceil(std::clamp(edge, -kCoordinateLimit, kCoordinateLimit) - 0.5));
}

GraphCanvas::GraphCanvas(QSize size)
{
    resize(size);
}

void GraphCanvas::resize(QSize size)
{
    if (size == m_image.size() && !m_image.isNull())
        return;
    m_image = QImage(size.expandedTo({0, 0}), QImage::Format_RGB32);
    // Rows of 32-bit pixels need no padding, so a pixel's offset is y * width + x.
    Q_ASSERT(m_image.isNull() ||
             m_image.bytesPerLine() == m_image.width() * qsizetype(sizeof(QRgb)));
    m_fillStamps.assign(static_cast<std::size_t>(m_image.width()) * m_image.height(), 0);
    m_fillGeneration = 0;
    noteWritten(0, m_image.height());
}

void GraphCanvas::noteWritten(int first, int end)
{
    first = std::max(first, 0);
    end = std::min(end, m_image.height());
    if (first >= end)
        return;
    if (m_changed.isEmpty()) {
        m_changed = {first, end};
    } else {
        m_changed.first = std::min(m_changed.first, first);
        m_changed.end = std::max(m_changed.end, end);
    }
}

GraphCanvas::Rows GraphCanvas::takeChangedRows()
{
    return std::exchange(m_changed, Rows{});
}

QImage &GraphCanvas::paintDevice()
{
    noteWritten(0, m_image.height());
    return m_image;
}

bool GraphCanvas::contains(int x, int y) const
{
    return x >= 0 && y >= 0 && x < m_image.width() && y < m_image.height();
}

QRgb *GraphCanvas::pixels()
{
    // bits() detaches once per operation, not once per row.
    return reinterpret_cast<QRgb *>(m_image.bits());
}

void GraphCanvas::fillRect(QPointF from, QPointF to, QColor colour)
{
    const int left = std::max(firstPixelFrom(std::min(from.x(), to.x())), 0);
    const int right = std::min(firstPixelFrom(std::max(from.x(), to.x())), m_image.width());
    const int top = std::max(firstPixelFrom(std::min(from.y(), to.y())), 0);
    const int bottom = std::min(firstPixelFrom(std::max(from.y(), to.y())), m_image.height());
    if (left >= right)
        return;
    noteWritten(top, bottom);
    const QRgb rgb = colour.rgb();
    QRgb *rows = pixels();
    for (int y = top; y < bottom; ++y) {
        QRgb *row = rows + static_cast<std::size_t>(y) * width();
        std::fill(row + left, row + right, rgb);
    }
}

void GraphCanvas::line(QPointF from, QPointF to, QColor colour)
{
    int x = pixelOf(from.x());
    int y = pixelOf(from.y());
    const int endX = pixelOf(to.x());
    const int endY = pixelOf(to.y());
    const int dx = std::abs(endX - x);
    const int dy = std::abs(endY - y);
    const int stepX = x < endX ? 1 : -1;
    const int stepY = y < endY ? 1 : -1;
    const QRgb rgb = colour.rgb();
    QRgb *rows = pixels();
    noteWritten(std::min(y, endY), std::max(y, endY) + 1);

    // Bresenham: every step moves one pixel along the longer axis and at most one along the
    // other, so the line is 8-connected and a 4-neighbour fill cannot cross it.
    int error = dx - dy;
    while (x != endX || y != endY) {
        if (contains(x, y))
            rows[static_cast<std::size_t>(y) * width() + x] = rgb;
        const int doubled = 2 * error;
        if (doubled > -dy) {
            error -= dy;
            x += stepX;
        }
        if (doubled < dx) {
            error += dx;
            y += stepY;
        }
    }
}

void GraphCanvas::fillSpan(QRgb *row, std::uint32_t *stamps, int left, int right, QRgb colour)
{
    std::fill(row + left, row + right + 1, colour);
    std::fill(stamps + left, stamps + right + 1, m_fillGeneration);
}

void GraphCanvas::borderFloodFill(QPoint seed, QColor border, QColor fill)
{
    if (!contains(seed.x(), seed.y()))
        return;
    const int width = m_image.width();
    const int height = m_image.height();
    QRgb *rows = pixels();
    const auto offset = [width](int x, int y) {
        return static_cast<std::size_t>(y) * width + x;
    };
    const QRgb borderRgb = border.rgb();
    const QRgb fillRgb = fill.rgb();
    if (rows[offset(seed.x(), seed.y())] == borderRgb)
        return;

    // A new generation marks "not yet filled" for every pixel at once.
    if (m_fillGeneration == std::numeric_limits<std::uint32_t>::max()) {
        std::fill(m_fillStamps.begin(), m_fillStamps.end(), 0);
        m_fillGeneration = 0;
    }
    ++m_fillGeneration;

    const std::uint32_t *stamps = m_fillStamps.data();
    const auto fillable = [&](int x, int y) {
        const std::size_t at = offset(x, y);
        return rows[at] != borderRgb && stamps[at] != m_fillGeneration;
    };

    // Scanline fill: paint the whole horizontal run around a seed, then queue one seed per run
    // of fillable pixels directly above and below it.  Only vertical and horizontal neighbours
    // are ever reached.
    m_fillStack.clear();
    m_fillStack.push_back(seed);
    while (!m_fillStack.empty()) {
        const QPoint p = m_fillStack.back();
        m_fillStack.pop_back();
        if (!fillable(p.x(), p.y()))
            continue;
        int left = p.x();
        while (left > 0 && fillable(left - 1, p.y()))
            --left;
        int right = p.x();
        while (right + 1 < width && fillable(right + 1, p.y()))
            ++right;
        fillSpan(rows + offset(0, p.y()), m_fillStamps.data() + offset(0, p.y()), left, right,
                 fillRgb);
        noteWritten(p.y(), p.y() + 1);

        for (const int y : {p.y() - 1, p.y() + 1}) {
            if (y < 0 || y >= height)
                continue;
            bool inRun = false;
            for (int x = left; x <= right; ++x) {
                const bool open = fillable(x, y);
                if (open && !inRun)
                    m_fillStack.emplace_back(x, y);
                inRun = open;
            }
        }
    }
}

void GraphCanvas::erase(QColor background)
{
    m_image.fill(background.rgb());
    noteWritten(0, m_image.height());
}

void GraphCanvas::copyRows(const QImage &from, Rows rows)
{
    if (from.size() != size() || from.format() != m_image.format())
        return;
    rows.first = std::max(rows.first, 0);
    rows.end = std::min(rows.end, height());
    if (rows.isEmpty())
        return;
    const auto bytes = static_cast<std::size_t>(m_image.bytesPerLine()) * (rows.end - rows.first);
    std::memcpy(m_image.scanLine(rows.first), from.constScanLine(rows.first), bytes);
    noteWritten(rows.first, rows.end);
}

} // namespace orvex
