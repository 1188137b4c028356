#include "ui/graphs/GraphView.h"

#include <QSignalSpy>
#include <QTest>

using orvex::GraphView;

namespace {

// The main window's overview picture: 81 x 265 pixels outside, 77 x 261 inside.
const QSize kDesignSize(81, 265);
const QSize kDrawingArea(77, 261);

} // namespace

class GraphViewTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void drawingAreaIsTheSizeLessTheBorder();
    void refreshShowsTheCanvasAsItWasThen();
    void unchangedPicturesRequestNoRepaint();
    void paintsThePictureInsideASunkenFrame();
    void clearShowsTheBackgroundColour();
    void pressesInsideTheDrawingAreaAreReported();
};

void GraphViewTest::drawingAreaIsTheSizeLessTheBorder()
{
    GraphView view;
    view.setDesignSize(kDesignSize);
    QCOMPARE(view.size(), kDesignSize);
    QCOMPARE(view.minimumSize(), kDesignSize);
    QCOMPARE(view.maximumSize(), kDesignSize);
    QCOMPARE(view.frameWidth(), GraphView::kBorderWidth);
    QCOMPARE(view.drawingAreaSize(), kDrawingArea);
    QCOMPARE(view.canvas().size(), kDrawingArea);
    QCOMPARE(view.shownImage().size(), kDrawingArea);
}

void GraphViewTest::refreshShowsTheCanvasAsItWasThen()
{
    GraphView view;
    view.setDesignSize(kDesignSize);
    view.canvas().erase(Qt::black);
    view.refresh();
    QCOMPARE(view.shownImage().pixel(10, 10), qRgb(0, 0, 0));

    // Drawing without a refresh is not shown yet.
    view.canvas().fillRect({0, 0}, {77, 261}, QColor(0, 255, 0));
    QCOMPARE(view.shownImage().pixel(10, 10), qRgb(0, 0, 0));
    view.refresh();
    QCOMPARE(view.shownImage(), view.canvas().image());
}

void GraphViewTest::unchangedPicturesRequestNoRepaint()
{
    GraphView view;
    view.setDesignSize(kDesignSize);
    view.canvas().erase(Qt::black);
    view.refresh();
    const int before = view.updateCount();

    view.canvas().erase(Qt::black);
    view.refresh();
    QCOMPARE(view.updateCount(), before);

    view.canvas().line({76, 260}, {77, 261}, Qt::red); // one pixel in the far corner
    view.refresh();
    view.refresh();
    QCOMPARE(view.updateCount(), before + 1);
    QCOMPARE(view.shownImage().pixel(76, 260), qRgb(255, 0, 0));
}

void GraphViewTest::paintsThePictureInsideASunkenFrame()
{
    GraphView view;
    view.setDesignSize(kDesignSize);
    view.canvas().erase(QColor(0, 255, 0));
    view.canvas().fillRect({0, 0}, {1, 1}, QColor(255, 0, 0));
    view.refresh();

    const QImage shot = view.grab().toImage();
    QCOMPARE(shot.size(), kDesignSize);
    QCOMPARE(shot.pixel(2, 2), qRgb(255, 0, 0));
    QCOMPARE(shot.pixel(3, 2), qRgb(0, 255, 0));
    QCOMPARE(shot.pixel(78, 262), qRgb(0, 255, 0));
    for (const QPoint border : {QPoint(0, 0), QPoint(1, 1), QPoint(80, 264), QPoint(79, 40)})
        QVERIFY(shot.pixel(border) != qRgb(0, 255, 0));
    // Sunken: the top left edge is darker than the bottom right one.
    QVERIFY(qGray(shot.pixel(0, 40)) < qGray(shot.pixel(80, 40)));
}

void GraphViewTest::clearShowsTheBackgroundColour()
{
    GraphView view;
    view.setDesignSize(kDesignSize);
    view.canvas().erase(Qt::black);
    view.refresh();
    view.clear();
    const QRgb background = view.palette().color(view.backgroundRole()).rgb();
    QVERIFY(background != qRgb(0, 0, 0));
    QCOMPARE(view.shownImage().pixel(0, 0), background);
    QCOMPARE(view.shownImage().pixel(76, 260), background);
}

void GraphViewTest::pressesInsideTheDrawingAreaAreReported()
{
    GraphView view;
    view.setDesignSize(kDesignSize);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy spy(&view, &GraphView::mousePressed);

    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(12, 7));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toPointF(), QPointF(10, 5));

    QTest::mousePress(&view, Qt::RightButton, {}, QPoint(2, 2)); // top left of the drawing area
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toPointF(), QPointF(0, 0));

    // The border is not part of the picture.
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(1, 40));
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(79, 263));
    QCOMPARE(spy.count(), 2);
}

QTEST_MAIN(GraphViewTest)
#include "GraphViewTest.moc"
