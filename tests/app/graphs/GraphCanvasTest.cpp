#include "ui/graphs/GraphCanvas.h"

#include <QTest>
#include <set>
#include <utility>

using orvex::GraphCanvas;

namespace {

const QColor kBlack(0, 0, 0);
const QColor kBorder(0, 0, 255);
const QColor kFill(0, 0, 128);
const QColor kPaint(255, 0, 0);

using PixelSet = std::set<std::pair<int, int>>;

PixelSet pixelsOf(const GraphCanvas &canvas, QColor colour)
{
    PixelSet found;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (canvas.pixel(x, y) == colour.rgb())
                found.insert({x, y});
    return found;
}

GraphCanvas blackCanvas(int width, int height)
{
    GraphCanvas canvas(QSize(width, height));
    canvas.erase(kBlack);
    return canvas;
}

} // namespace

class GraphCanvasTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linesDrawTheStartAndLeaveOutTheEnd_data();
    void linesDrawTheStartAndLeaveOutTheEnd();
    void fractionalPointsMapToTheCellContainingThem();
    void linesAreClippedToThePicture();
    void rectanglesCoverPixelsWhoseCentresLieInside_data();
    void rectanglesCoverPixelsWhoseCentresLieInside();
    void floodFillStopsAtTheBorderColourOnly();
    void floodFillDoesNotCrossDiagonalLines();
    void floodFillIgnoresSeedsOnTheBorderOrOutside();
    void repeatedFillsRepaintAreasFilledBefore();
    void eraseAndResize();
};

void GraphCanvasTest::linesDrawTheStartAndLeaveOutTheEnd_data()
{
    QTest::addColumn<QPointF>("from");
    QTest::addColumn<QPointF>("to");
    QTest::addColumn<PixelSet>("expected");

    QTest::newRow("horizontal") << QPointF(2, 3) << QPointF(6, 3)
                                << PixelSet{{2, 3}, {3, 3}, {4, 3}, {5, 3}};
    QTest::newRow("leftwards") << QPointF(6, 3) << QPointF(2, 3)
                               << PixelSet{{6, 3}, {5, 3}, {4, 3}, {3, 3}};
    QTest::newRow("vertical up") << QPointF(1, 5) << QPointF(1, 2)
                                 << PixelSet{{1, 5}, {1, 4}, {1, 3}};
    QTest::newRow("diagonal") << QPointF(5, 9) << QPointF(9, 5)
                              << PixelSet{{5, 9}, {6, 8}, {7, 7}, {8, 6}};
    QTest::newRow("shallow") << QPointF(0, 0) << QPointF(4, 2)
                             << PixelSet{{0, 0}, {1, 0}, {2, 1}, {3, 1}};
    QTest::newRow("single point") << QPointF(3, 3) << QPointF(3, 3) << PixelSet{};
}

void GraphCanvasTest::linesDrawTheStartAndLeaveOutTheEnd()
{
    QFETCH(QPointF, from);
    QFETCH(QPointF, to);
    QFETCH(PixelSet, expected);
    GraphCanvas canvas = blackCanvas(12, 12);
    canvas.line(from, to, kPaint);
    QCOMPARE(pixelsOf(canvas, kPaint), expected);
}

void GraphCanvasTest::fractionalPointsMapToTheCellContainingThem()
{
    GraphCanvas canvas = blackCanvas(12, 12);
    canvas.line({2.5, 1}, {2.5, 4}, kPaint);       // x 2.5 lies in column 2
    canvas.line({2.5, 4}, {6.5, 4}, kPaint);       // and meets the first line there
    canvas.line({6.999, 4.2}, {6.999, 1}, kPaint); // column 6, starting in row 4
    QCOMPARE(
        pixelsOf(canvas, kPaint),
        (PixelSet{{2, 1}, {2, 2}, {2, 3}, {2, 4}, {3, 4}, {4, 4}, {5, 4}, {6, 4}, {6, 3}, {6, 2}}));
}

void GraphCanvasTest::linesAreClippedToThePicture()
{
    GraphCanvas canvas = blackCanvas(5, 5);
    canvas.line({-3, 2}, {8, 2}, kPaint);
    canvas.line({-1e12, -1e12}, {1e12, 1e12}, kPaint); // absurd input neither hangs nor crashes
    const PixelSet painted = pixelsOf(canvas, kPaint);
    for (int x = 0; x < 5; ++x)
        QVERIFY(painted.count({x, 2}));
}

void GraphCanvasTest::rectanglesCoverPixelsWhoseCentresLieInside_data()
{
    QTest::addColumn<QPointF>("from");
    QTest::addColumn<QPointF>("to");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("whole pixels") << QPointF(1, 2) << QPointF(4, 5) << QRect(1, 2, 3, 3);
    QTest::newRow("corners swapped") << QPointF(4, 5) << QPointF(1, 2) << QRect(1, 2, 3, 3);
    QTest::newRow("edge below a centre") << QPointF(0, 2.4) << QPointF(3, 6) << QRect(0, 2, 3, 4);
    QTest::newRow("edge past a centre") << QPointF(0, 2.6) << QPointF(3, 6) << QRect(0, 3, 3, 3);
    QTest::newRow("overhanging") << QPointF(-5, -5) << QPointF(50, 50) << QRect(0, 0, 8, 8);
    QTest::newRow("too thin for a centre") << QPointF(1, 3.6) << QPointF(5, 4.4) << QRect();
}

void GraphCanvasTest::rectanglesCoverPixelsWhoseCentresLieInside()
{
    QFETCH(QPointF, from);
    QFETCH(QPointF, to);
    QFETCH(QRect, expected);
    GraphCanvas canvas = blackCanvas(8, 8);
    canvas.fillRect(from, to, kPaint);
    PixelSet expectedPixels;
    for (int y = expected.top(); y <= expected.bottom(); ++y)
        for (int x = expected.left(); x <= expected.right(); ++x)
            expectedPixels.insert({x, y});
    QCOMPARE(pixelsOf(canvas, kPaint), expectedPixels);
}

void GraphCanvasTest::floodFillStopsAtTheBorderColourOnly()
{
    // A box with a differently coloured stripe inside: the stripe is filled over, the box
    // stops the fill, and pixels outside stay black.
    GraphCanvas canvas = blackCanvas(10, 10);
    canvas.line({1, 1}, {8, 1}, kBorder);
    canvas.line({8, 1}, {8, 8}, kBorder);
    canvas.line({8, 8}, {1, 8}, kBorder);
    canvas.line({1, 8}, {1, 1}, kBorder);
    canvas.line({3, 2}, {3, 8}, kPaint);
    canvas.borderFloodFill({5, 5}, kBorder, kFill);

    PixelSet inside;
    for (int y = 2; y < 8; ++y)
        for (int x = 2; x < 8; ++x)
            inside.insert({x, y});
    QCOMPARE(pixelsOf(canvas, kFill), inside);
    QCOMPARE(pixelsOf(canvas, kBorder).size(), std::size_t(28));
    QCOMPARE(pixelsOf(canvas, kBlack).size(), std::size_t(100 - 28 - 36));
}

void GraphCanvasTest::floodFillDoesNotCrossDiagonalLines()
{
    // A diamond of diagonal lines: only vertical and horizontal steps are taken, so the fill
    // cannot slip between its diagonal pixels.
    GraphCanvas canvas = blackCanvas(11, 11);
    canvas.line({5, 0}, {10, 5}, kBorder);
    canvas.line({10, 5}, {5, 10}, kBorder);
    canvas.line({5, 10}, {0, 5}, kBorder);
    canvas.line({0, 5}, {5, 0}, kBorder);
    canvas.borderFloodFill({5, 5}, kBorder, kFill);

    for (int y = 0; y < 11; ++y) {
        for (int x = 0; x < 11; ++x) {
            const int distance = std::abs(x - 5) + std::abs(y - 5);
            const QColor expected = distance < 5 ? kFill : distance == 5 ? kBorder : kBlack;
            QVERIFY2(canvas.pixel(x, y) == expected.rgb(),
                     qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        }
    }
}

void GraphCanvasTest::floodFillIgnoresSeedsOnTheBorderOrOutside()
{
    GraphCanvas canvas = blackCanvas(6, 6);
    canvas.line({0, 3}, {6, 3}, kBorder);
    canvas.borderFloodFill({2, 3}, kBorder, kFill);
    canvas.borderFloodFill({-1, 2}, kBorder, kFill);
    canvas.borderFloodFill({2, 6}, kBorder, kFill);
    QVERIFY(pixelsOf(canvas, kFill).empty());

    // An open picture is filled to its edges, and no further.
    canvas.borderFloodFill({0, 0}, kBorder, kFill);
    QCOMPARE(pixelsOf(canvas, kFill).size(), std::size_t(18));
}

void GraphCanvasTest::repeatedFillsRepaintAreasFilledBefore()
{
    // The fill reaches pixels that already have the fill colour, as every tick repaints the
    // same interiors.
    GraphCanvas canvas = blackCanvas(6, 6);
    canvas.fillRect({0, 0}, {3, 6}, kFill);
    for (int round = 0; round < 3; ++round) {
        canvas.borderFloodFill({0, 0}, kBorder, round % 2 ? kPaint : kFill);
        QCOMPARE(pixelsOf(canvas, round % 2 ? kPaint : kFill).size(), std::size_t(36));
    }
}

void GraphCanvasTest::eraseAndResize()
{
    GraphCanvas canvas(QSize(4, 3));
    QCOMPARE(canvas.image().format(), QImage::Format_RGB32);
    canvas.erase(QColor(10, 20, 30));
    QCOMPARE(pixelsOf(canvas, QColor(10, 20, 30)).size(), std::size_t(12));

    canvas.resize(QSize(7, 5));
    QCOMPARE(canvas.size(), QSize(7, 5));
    canvas.erase(kBlack);
    canvas.borderFloodFill({6, 4}, kBorder, kFill);
    QCOMPARE(pixelsOf(canvas, kFill).size(), std::size_t(35));

    GraphCanvas empty;
    empty.fillRect({0, 0}, {5, 5}, kPaint);
    empty.line({0, 0}, {5, 5}, kPaint);
    empty.borderFloodFill({0, 0}, kBorder, kFill);
    QVERIFY(empty.image().isNull());
}

QTEST_MAIN(GraphCanvasTest)
#include "GraphCanvasTest.moc"
