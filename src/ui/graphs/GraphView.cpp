#include "ui/graphs/GraphView.h"

#include "ui/graphs/GraphAccessibility.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cstring>

namespace orvex {

namespace {

// The band from the first to the last row of `rows` in which two pictures of one size differ.
GraphCanvas::Rows differingRows(const QImage &a, const QImage &b, GraphCanvas::Rows rows)
{
    const auto rowBytes = static_cast<std::size_t>(a.bytesPerLine());
    const auto differs = [&](int y) {
        return std::memcmp(a.constScanLine(y), b.constScanLine(y), rowBytes) != 0;
    };
    while (!rows.isEmpty() && !differs(rows.first))
        ++rows.first;
    while (!rows.isEmpty() && !differs(rows.end - 1))
        --rows.end;
    return rows;
}

} // namespace

GraphView::GraphView(QWidget *parent)
    : QFrame(parent)
{
    installGraphAccessibility();
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kBorderWidth);
    // The picture and the frame cover every pixel; nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    matchCanvasToDrawingArea();
}

void GraphView::setDesignSize(QSize widgetSize)
{
    setFixedSize(widgetSize);
    // A hidden widget gets its resize event only when shown; the canvas is needed before that.
    matchCanvasToDrawingArea();
}

QSize GraphView::drawingAreaSize() const
{
    return contentsRect().size().expandedTo({0, 0});
}

// Rows the canvas did not write since the last refresh still match the picture on screen; of
// the rows it wrote, only the band from the first to the last that differs is copied and handed
// to the screen.  A bar that moves by one value costs a row or two, not the whole picture.
void GraphView::refresh()
{
    const GraphCanvas::Rows written = m_canvas.takeChangedRows();
    const QImage &composed = m_canvas.image();
    GraphCanvas::Rows changed{0, composed.height()};
    if (m_shown.size() != composed.size()) {
        m_shown = composed.copy();
    } else {
        changed = differingRows(composed, m_shown, written);
        if (changed.isEmpty())
            return;
        // Copying into the existing buffer keeps the 10 ms refresh free of allocations.
        const qsizetype rowBytes = composed.bytesPerLine();
        std::memcpy(m_shown.scanLine(changed.first), composed.constScanLine(changed.first),
                    static_cast<std::size_t>(rowBytes * (changed.end - changed.first)));
    }
    ++m_updateCount;
    const QRect area = contentsRect();
    const QRect rows(area.left(), area.top() + changed.first, area.width(),
                     changed.end - changed.first);
    if (m_pacer)
        m_pacer->update(this, rows);
    else
        update(rows);
}

void GraphView::clear()
{
    m_canvas.erase(palette().color(backgroundRole()));
    refresh();
    setReading(0, QString());
}

void GraphView::setReading(std::uint8_t value, const QString &movement)
{
    m_readingValue = value;
    m_readingText = movement;
}

void GraphView::paintEvent(QPaintEvent *event)
{
    if (m_pacer)
        m_pacer->notePainted();
    QPainter painter(this);
    const QRect area = contentsRect();
    const QRect picture = event->rect() & area;
    if (!picture.isEmpty())
        painter.drawImage(picture.topLeft(), m_shown, picture.translated(-area.topLeft()));
    // A repaint of picture rows alone leaves the frame around them as it is.
    if (!area.contains(event->rect()))
        drawFrame(&painter);
}

void GraphView::mousePressEvent(QMouseEvent *event)
{
    const QPointF pos = event->position() - QPointF(contentsRect().topLeft());
    const QSize area = drawingAreaSize();
    if (pos.x() >= 0 && pos.y() >= 0 && pos.x() < area.width() && pos.y() < area.height())
        Q_EMIT mousePressed(pos);
    QFrame::mousePressEvent(event);
}

void GraphView::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    matchCanvasToDrawingArea();
}

void GraphView::matchCanvasToDrawingArea()
{
    const QSize area = drawingAreaSize();
    if (m_canvas.size() == area && !m_shown.isNull())
        return;
    m_canvas.resize(area);
    m_canvas.erase(palette().color(backgroundRole()));
    refresh();
}

} // namespace orvex
