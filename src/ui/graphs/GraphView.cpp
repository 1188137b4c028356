#include "ui/graphs/GraphView.h"

#include <QMouseEvent>
#include <QPainter>
#include <cstring>

namespace orvex {

GraphView::GraphView(QWidget *parent)
    : QFrame(parent)
{
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
    const QImage &composed = canvas_.image();
    if (shown_.size() != composed.size()) {
        shown_ = composed.copy();
    } else {
        const auto bytes = static_cast<std::size_t>(composed.sizeInBytes());
        if (std::memcmp(shown_.constBits(), composed.constBits(), bytes) == 0)
            return;
        // Copying into the existing buffer keeps the 10 ms refresh free of allocations.
        std::memcpy(shown_.bits(), composed.constBits(), bytes);
    }
    ++updateCount_;
    update(contentsRect());
}

void GraphView::setImage(const QImage &image)
{
    if (!canvas_.image().isNull()) {
        QPainter painter(&canvas_.paintDevice());
        painter.drawImage(QRect(QPoint(0, 0), canvas_.size()), image);
    }
    refresh();
}

void GraphView::clear()
{
    canvas_.erase(palette().color(backgroundRole()));
    refresh();
    setReading(0, QString());
}

void GraphView::setReading(std::uint8_t value, const QString &movement)
{
    readingValue_ = value;
    readingText_ = movement;
}

void GraphView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(contentsRect().topLeft(), shown_);
    drawFrame(&painter);
}

void GraphView::mousePressEvent(QMouseEvent *event)
{
    const QPointF pos = event->position() - QPointF(contentsRect().topLeft());
    const QSize area = drawingAreaSize();
    if (pos.x() >= 0 && pos.y() >= 0 && pos.x() < area.width() && pos.y() < area.height())
        emit mousePressed(pos);
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
    if (canvas_.size() == area && !shown_.isNull())
        return;
    canvas_.resize(area);
    canvas_.erase(palette().color(backgroundRole()));
    refresh();
}

} // namespace orvex
