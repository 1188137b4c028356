#include "ui/graphs/OverviewGraph.h"

#include "ui/graphs/GraphCanvas.h"
#include "core/graph/GraphGeometry.h"
#include "core/config/ChannelSettings.h"

#include <QTest>
#include <set>
#include <utility>

using namespace orvex;

namespace {

// The main window's overview pictures.
constexpr int kWidth = 77;
constexpr int kHeight = 261;

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kBar = qRgb(0, 255, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kDarkRed = qRgb(128, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kDarkBlue = qRgb(0, 0, 128);

constexpr std::uint8_t kLow = 0;
constexpr std::uint8_t kHigh = 2;

GraphCanvas drawn(std::uint8_t value, std::uint8_t direction, std::uint8_t steps,
                  std::uint8_t hysteresis, QSize size = {kWidth, kHeight})
{
    GraphCanvas canvas(size);
    canvas.erase(QColor(1, 2, 3)); // anything the graph fails to paint shows up
    drawOverviewGraph(canvas, value, direction, steps, hysteresis);
    return canvas;
}

// The upper arrow's outline on 77 x 261 with hysteresis Low, written out pixel by pixel.
std::set<std::pair<int, int>> upperOutlinePixels()
{
    std::set<std::pair<int, int>> pixels;
    for (int i = 0; i < 34; ++i) {
        pixels.insert({5 + i, 39 - i}); // left edge of the head, up to the apex
        pixels.insert({39 + i, 5 + i}); // right edge of the head, from the apex
    }
    for (int x = 5; x <= 21; ++x)
        pixels.insert({x, 39}); // base, left of the shaft
    for (int x = 57; x <= 73; ++x)
        pixels.insert({x, 39}); // base, right of the shaft
    for (int y = 39; y <= 125; ++y) {
        pixels.insert({22, y});
        pixels.insert({56, y});
    }
    for (int x = 22; x <= 56; ++x)
        pixels.insert({x, 126}); // end of the shaft
    return pixels;
}

bool insideUpperArrow(int x, int y)
{
    if (y >= 6 && y <= 38)
        return x > 44 - y && x < 34 + y;
    return y >= 39 && y <= 125 && x >= 23 && x <= 55;
}

int countRows(const GraphCanvas &canvas, int x, QRgb colour)
{
    int rows = 0;
    for (int y = 0; y < canvas.height(); ++y)
        rows += canvas.pixel(x, y) == colour;
    return rows;
}

} // namespace

class OverviewGraphTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void upperArrowIsExactOutlineAndInterior();
    void lowerArrowIsTheMirrorImage();
    void directionLightsOneArrow_data();
    void directionLightsOneArrow();
    void barFillsFromTheBottom_data();
    void barFillsFromTheBottom();
    void arrowsCoverTheBar();
    void onlyDirectionalChannelsShowArrows();
    void highHysteresisWidensTheGapByFortyRows();
    void arrowOutlinesStayClosedForEveryWidth();
    void smallPicturesGetNoArrows();
};

void OverviewGraphTest::upperArrowIsExactOutlineAndInterior()
{
    const GraphCanvas canvas = drawn(0, 0, kDirectionalSteps, kLow);
    const auto outline = upperOutlinePixels();
    for (int y = 0; y <= 130; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const QRgb expected = outline.count({x, y})    ? kBlue
                                  : insideUpperArrow(x, y) ? kDarkBlue
                                                           : kBlack;
            QVERIFY2(canvas.pixel(x, y) == expected,
                     qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        }
    }
    QCOMPARE(canvas.pixel(34, 63), kDarkBlue); // the fill seed
}

void OverviewGraphTest::lowerArrowIsTheMirrorImage()
{
    const GraphCanvas canvas = drawn(0, 0, kDirectionalSteps, kLow);
    // Mirrored about the middle the drawn lines keep their start pixels, so the lower arrow is
    // the upper one reflected with a one row shift: row y maps to row 261 - y.
    for (int y = 131; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            QVERIFY2(canvas.pixel(x, y) == canvas.pixel(x, kHeight - y),
                     qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
    QCOMPARE(canvas.pixel(34, 198), kDarkBlue);
    QCOMPARE(canvas.pixel(22, 135), kBlue);
    QCOMPARE(canvas.pixel(39, 256), kBlue); // apex of the lower head
}

void OverviewGraphTest::directionLightsOneArrow_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<QRgb>("upperOutline");
    QTest::addColumn<QRgb>("upperInterior");
    QTest::addColumn<QRgb>("lowerOutline");
    QTest::addColumn<QRgb>("lowerInterior");

    QTest::newRow("still") << 0 << kBlue << kDarkBlue << kBlue << kDarkBlue;
    QTest::newRow("rising") << 1 << kRed << kDarkRed << kBlue << kDarkBlue;
    QTest::newRow("falling") << 2 << kBlue << kDarkBlue << kRed << kDarkRed;
    QTest::newRow("unknown") << 3 << kBlue << kDarkBlue << kBlue << kDarkBlue;
}

void OverviewGraphTest::directionLightsOneArrow()
{
    QFETCH(int, direction);
    QFETCH(QRgb, upperOutline);
    QFETCH(QRgb, upperInterior);
    QFETCH(QRgb, lowerOutline);
    QFETCH(QRgb, lowerInterior);

    const GraphCanvas canvas = drawn(100, direction, kDirectionalSteps, kLow);
    QCOMPARE(canvas.pixel(39, 5), upperOutline);
    QCOMPARE(canvas.pixel(22, 126), upperOutline);
    QCOMPARE(canvas.pixel(34, 63), upperInterior);
    QCOMPARE(canvas.pixel(39, 20), upperInterior);
    QCOMPARE(canvas.pixel(39, 256), lowerOutline);
    QCOMPARE(canvas.pixel(22, 135), lowerOutline);
    QCOMPARE(canvas.pixel(34, 198), lowerInterior);
    QCOMPARE(canvas.pixel(39, 240), lowerInterior);
}

void OverviewGraphTest::barFillsFromTheBottom_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("firstBarRow");

    QTest::newRow("0 leaves nothing") << 0 << kHeight;
    QTest::newRow("1 fills the bottom row") << 1 << 260;
    QTest::newRow("128") << 128 << 130; // top edge at 129.99
    QTest::newRow("254") << 254 << 1;   // top edge at 1.02
    QTest::newRow("255 fills to the top") << 255 << 0;
}

void OverviewGraphTest::barFillsFromTheBottom()
{
    QFETCH(int, value);
    QFETCH(int, firstBarRow);
    const GraphCanvas canvas = drawn(static_cast<std::uint8_t>(value), 1, 1, kLow);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            QVERIFY2(canvas.pixel(x, y) == (y >= firstBarRow ? kBar : kBlack),
                     qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
}

void OverviewGraphTest::arrowsCoverTheBar()
{
    const GraphCanvas canvas = drawn(255, 1, kDirectionalSteps, kLow);
    QCOMPARE(canvas.pixel(34, 63), kDarkRed);
    QCOMPARE(canvas.pixel(39, 5), kRed);
    QCOMPARE(canvas.pixel(34, 198), kDarkBlue);
    QCOMPARE(canvas.pixel(2, 63), kBar);   // beside the shaft
    QCOMPARE(canvas.pixel(34, 130), kBar); // the neutral gap
    QCOMPARE(canvas.pixel(0, 0), kBar);
    QCOMPARE(canvas.pixel(76, 260), kBar);
}

void OverviewGraphTest::onlyDirectionalChannelsShowArrows()
{
    for (const std::uint8_t steps : {0, 1, 2, 3, 4, 5, 7, 255}) {
        const GraphCanvas canvas = drawn(128, 1, steps, kHigh);
        QCOMPARE(countRows(canvas, 34, kBar) + countRows(canvas, 34, kBlack), kHeight);
    }
}

void OverviewGraphTest::highHysteresisWidensTheGapByFortyRows()
{
    // Rows in the middle column that belong to neither arrow.
    auto gapRows = [](std::uint8_t hysteresis) {
        const GraphCanvas canvas = drawn(0, 0, kDirectionalSteps, hysteresis);
        return countRows(canvas, 34, kBlack);
    };
    // In this column: rows 127..134 between the shafts, 10 rows above the upper head's edge and
    // 9 below the lower one's.
    QCOMPARE(gapRows(kLow), 8 + 10 + 9);
    QCOMPARE(gapRows(1), gapRows(kLow) + 20);
    QCOMPARE(gapRows(kHigh), gapRows(kLow) + 40);
}

void OverviewGraphTest::arrowOutlinesStayClosedForEveryWidth()
{
    // Odd a puts the shaft walls on half pixels; the fill must stay inside for any picture.
    for (int width = 60; width <= 90; ++width) {
        for (const int height : {200, 261, 262}) {
            for (std::uint8_t hysteresis = 0; hysteresis <= 2; ++hysteresis) {
                const GraphCanvas canvas =
                    drawn(255, 1, kDirectionalSteps, hysteresis, QSize(width, height));
                const graph::ArrowGeometry g = graph::arrowGeometry(width, height, hysteresis);
                const QString where =
                    QStringLiteral("%1x%2 h%3").arg(width).arg(height).arg(hysteresis);
                QVERIFY2(canvas.pixel(g.a, graph::nearest(g.b / 2.0)) == kDarkRed,
                         qPrintable(where));
                for (int y = 0; y < height; ++y) {
                    // Interior pixels lie strictly between the outermost outline pixels of their
                    // row, and only within the rows of their own arrow.
                    const bool upper = y < height / 2;
                    const QRgb outline = upper ? kRed : kBlue;
                    const QRgb interior = upper ? kDarkRed : kDarkBlue;
                    int firstOutline = width;
                    int lastOutline = -1;
                    for (int x = 0; x < width; ++x) {
                        if (canvas.pixel(x, y) == outline) {
                            firstOutline = std::min(firstOutline, x);
                            lastOutline = x;
                        }
                    }
                    const int arrowTop = upper ? 5 : height - g.b;
                    const int arrowBottom = upper ? g.b : height - 5;
                    for (int x = 0; x < width; ++x) {
                        if (canvas.pixel(x, y) != interior)
                            continue;
                        QVERIFY2(
                            x > firstOutline && x < lastOutline && y > arrowTop && y < arrowBottom,
                            qPrintable(where + QStringLiteral(" leak at %1,%2").arg(x).arg(y)));
                    }
                }
            }
        }
    }
}

void OverviewGraphTest::smallPicturesGetNoArrows()
{
    for (const QSize size : {QSize(20, 261), QSize(77, 60), QSize(1, 1), QSize(0, 0)}) {
        const GraphCanvas canvas = drawn(0, 1, kDirectionalSteps, kLow, size);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                QCOMPARE(canvas.pixel(x, y), kBlack);
    }
}

QTEST_MAIN(OverviewGraphTest)
#include "OverviewGraphTest.moc"
