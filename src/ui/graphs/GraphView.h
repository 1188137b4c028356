#pragma once

#include "ui/graphs/FramePacer.h"
#include "ui/graphs/GraphCanvas.h"

#include <QFrame>
#include <QImage>
#include <QPointF>
#include <QString>
#include <cstdint>

namespace orvex {

// A graph picture: a sunken frame two pixels wide around a drawing area that shows the last
// refreshed state of its canvas.  Painters compose into canvas() and call refresh() once; the
// widget repaints only when the refreshed picture differs from the one on screen.
class GraphView : public QFrame
{
    Q_OBJECT

public:
    static constexpr int kBorderWidth = 2;

    explicit GraphView(QWidget *parent = nullptr);

    // Fixes the widget's outer size; the drawing area is that size less the border on each side.
    void setDesignSize(QSize widgetSize);
    QSize drawingAreaSize() const;

    // The persistent picture, always the size of the drawing area.
    GraphCanvas &canvas() { return m_canvas; }

    // Shows the canvas as it is now, with at most one update().
    void refresh();

    // Paces the repaints that refresh() asks for with the other views of its window; without a
    // pacer each refresh is painted at once.
    void setFramePacer(FramePacer *pacer) { m_pacer = pacer; }

    // Erases the picture to the widget's own background colour and shows it.
    void clear();

    // What a live picture stands for, as assistive technology reads it: the input (0 to 255)
    // and a word on its movement.  Owners set it with the picture; clear() resets it.
    void setReading(std::uint8_t value, const QString &movement);
    std::uint8_t readingValue() const { return m_readingValue; }
    const QString &readingText() const { return m_readingText; }

    // The picture currently on screen.
    const QImage &shownImage() const { return m_shown; }

    // Number of repaints requested so far; lets callers see that unchanged pictures cost nothing.
    int updateCount() const { return m_updateCount; }

Q_SIGNALS:
    // A mouse button went down inside the drawing area, at this position in its pixels.
    void mousePressed(QPointF posInDrawingArea);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void matchCanvasToDrawingArea();

    GraphCanvas m_canvas;
    QImage m_shown;
    FramePacer *m_pacer = nullptr;
    int m_updateCount = 0;
    std::uint8_t m_readingValue = 0;
    QString m_readingText;
};

} // namespace orvex
