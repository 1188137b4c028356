#include "ui/graphs/GraphView.h"

#include "ui/graphs/GraphAccessibility.h"

#include <QMouseEvent>
#include <QPainter>
#include <cstring>

namespace orvex {

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

void GraphView::refresh()
{
    const QImage &composed = m_canvas.image();
    if (m_shown.size() != composed.size()) {
        m_shown = composed.copy();
    } else {
        const auto bytes = static_cast<std::size_t>(composed.sizeInBytes());
        if (std::memcmp(m_shown.constBits(), composed.constBits(), bytes) == 0)
            return;
        // Copying into the existing buffer keeps the 10 ms refresh free of allocations.
        std::memcpy(m_shown.bits(), composed.constBits(), bytes);
    }
    ++m_updateCount;
    update(contentsRect());
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

void GraphView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(contentsRect().topLeft(), m_shown);
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
