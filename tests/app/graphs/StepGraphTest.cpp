#include "ui/graphs/StepGraph.h"

#include "ui/graphs/GraphCanvas.h"
#include "core/config/ChannelSettings.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTest>
#include <vector>

using namespace orvex;

namespace {

// The settings dialog's step graph.
constexpr int kWidth = 221;
constexpr int kHeight = 541;

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kBar = qRgb(0, 200, 0);
const QRgb kBoundary = qRgb(0, 0, 255);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kYellow = qRgb(255, 255, 0);

constexpr std::uint8_t kFourSteps = 2;
constexpr std::uint8_t kThirtyTwoSteps = 5;
constexpr std::uint8_t kKeyA = 0x04;
constexpr std::uint8_t kKeyE = 0x08;
constexpr std::uint8_t kKeyDelete = 0x4C;
constexpr std::uint8_t kUnnamedKey = 0x32;

QFont labelFont(int pointSize = 8)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(pointSize);
    return font;
}

ChannelSettings channel(std::uint8_t steps, std::uint8_t mode, std::uint8_t hysteresis = 0)
{
    ChannelSettings settings;
    settings.steps = steps;
    settings.mode = mode;
    settings.hysteresis = hysteresis;
    return settings;
}

struct Tick
{
    int channelIndex = 0;
    std::uint8_t value = 0;
    std::uint8_t direction = 0;
    QString axis = QStringLiteral("X");
};

QImage drawn(const ChannelSettings &settings, const Tick &tick = {},
             const QFont &font = labelFont())
{
    GraphCanvas canvas(QSize(kWidth, kHeight));
    canvas.erase(QColor(1, 2, 3)); // anything the graph fails to paint shows up
    StepGraphPainter painter(font);
    painter.draw(canvas, {tick.channelIndex, &settings, sectionsForSteps(settings.steps),
                          tick.value, tick.direction, tick.axis});
    return canvas.image();
}

// A label printed independently with QPainter::drawText, centred the way the graph centres it.
struct ExpectedLabel
{
    QString text;
    QPoint centre;
    bool bold = false;
};

void printExpected(QImage &image, const std::vector<ExpectedLabel> &labels)
{
    QPainter painter(&image);
    for (const ExpectedLabel &label : labels) {
        QFont font = labelFont();
        font.setBold(label.bold);
        const QFontMetricsF metrics(font);
        painter.setFont(font);
        painter.setPen(label.bold ? QColor(255, 255, 0) : QColor(255, 255, 255));
        const QPointF topLeft(label.centre.x() - metrics.horizontalAdvance(label.text) / 2.0,
                              label.centre.y() - metrics.height() / 2.0);
        painter.drawText(topLeft + QPointF(0, metrics.ascent()), label.text);
    }
}

QImage blackImage()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(kBlack);
    return image;
}

void drawRows(QImage &image, const std::vector<int> &rows)
{
    for (const int y : rows)
        for (int x = 0; x < kWidth; ++x)
            image.setPixel(x, y, kBoundary);
}

// Antialiased text has few pixels of exactly its colour; its ink is told apart from the graph's
// own colours by channels that none of them has.  The graph colours have red 0, 128 or 255 with
// no blue, or no red at all.
bool isKeyInk(QRgb pixel)
{
    return qRed(pixel) > 128 && qBlue(pixel) > 128;
}

bool isJoystickInk(QRgb pixel)
{
    return qRed(pixel) > 128 && qGreen(pixel) > 128 && qBlue(pixel) == 0;
}

const QRect kWholeGraph(0, 0, kWidth, kHeight);

template <typename Predicate>
int countIf(const QImage &image, Predicate matches, QRect area = kWholeGraph)
{
    int found = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            found += matches(image.pixel(x, y));
    return found;
}

int count(const QImage &image, QRgb colour, QRect area = kWholeGraph)
{
    return countIf(
        image, [colour](QRgb pixel) { return pixel == colour; }, area);
}

template <typename Predicate>
QRect boundsIf(const QImage &image, Predicate matches, QRect area = kWholeGraph)
{
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (matches(image.pixel(x, y)))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

bool sameImage(const QImage &actual, const QImage &expected)
{
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            if (actual.pixel(x, y) != expected.pixel(x, y)) {
                qWarning("first difference at %d,%d: %08x instead of %08x", x, y,
                         actual.pixel(x, y), expected.pixel(x, y));
                return false;
            }
        }
    }
    return true;
}

} // namespace

class StepGraphTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void boundaryThicknessFollowsHysteresis_data();
    void boundaryThicknessFollowsHysteresis();
    void keyLabelsAreCentredInTheirBands();
    void labelsCarryModifiersAndUnnamedKeys();
    void directionalLabelsSitInTheArrowHeads();
    void directionalWithoutKeyboardShowsNoArrows();
    void neitherOutputShowsOnlyTheBar();
    void joystickOnlyShowsTheBarAndTheAxis();
    void joystickLabelIsPrintedOverTheMiddleStep();
    void barOnlyForAChannel();
    void cachedLabelsFollowEveryChange();
};

void StepGraphTest::boundaryThicknessFollowsHysteresis_data()
{
    QTest::addColumn<int>("hysteresis");
    QTest::addColumn<std::vector<int>>("rows");

    QTest::newRow("Low") << 0 << std::vector<int>{135, 270, 406};
    QTest::newRow("Medium") << 1 << std::vector<int>{135, 136, 270, 271, 406, 407};
    QTest::newRow("High") << 2 << std::vector<int>{134, 135, 136, 269, 270, 271, 405, 406, 407};
}

void StepGraphTest::boundaryThicknessFollowsHysteresis()
{
    QFETCH(int, hysteresis);
    QFETCH(std::vector<int>, rows);

    const QImage image = drawn(channel(kFourSteps, kModeKeyboard, std::uint8_t(hysteresis)));
    QImage expected = blackImage();
    drawRows(expected, rows);
    printExpected(expected, {{QStringLiteral("Not Used"), {110, 473}},
                             {QStringLiteral("Not Used"), {110, 338}},
                             {QStringLiteral("Not Used"), {110, 203}},
                             {QStringLiteral("Not Used"), {110, 68}}});
    QVERIFY(sameImage(image, expected));
}

void StepGraphTest::keyLabelsAreCentredInTheirBands()
{
    ChannelSettings settings = channel(kFourSteps, kModeKeyboard);
    settings.keys = {kKeyDelete, kKeyDelete, kKeyDelete, kKeyDelete};
    settings.keyOperators = {kOperatorCtrl, kOperatorShift, kOperatorAlt, 0};
    const QImage image = drawn(settings);

    // Each label's white ink is centred on x = 110 and its own label row, and there is no
    // white anywhere else.
    int inkInBands = 0;
    for (const int row : {473, 338, 203, 68}) {
        const QRect band(0, row - 12, kWidth, 25);
        const QRect ink = boundsIf(image, isKeyInk, band);
        QVERIFY2(!ink.isEmpty(), qPrintable(QString::number(row)));
        QVERIFY2(std::abs(ink.center().x() - 110) <= 2, qPrintable(QString::number(row)));
        QVERIFY2(std::abs(ink.center().y() - row) <= 3, qPrintable(QString::number(row)));
        inkInBands += countIf(image, isKeyInk, band);
    }
    QCOMPARE(countIf(image, isKeyInk), inkInBands);
}

void StepGraphTest::labelsCarryModifiersAndUnnamedKeys()
{
    ChannelSettings settings = channel(kFourSteps, kModeKeyboard);
    settings.keys = {kKeyDelete, kUnnamedKey, 0, kKeyA};
    settings.keyOperators = {kOperatorCtrl | kOperatorAlt, kOperatorShift, 0,
                             kOperatorCtrl | kOperatorShift | kOperatorAlt};
    const QImage image = drawn(settings);

    QImage expected = blackImage();
    drawRows(expected, {135, 270, 406});
    printExpected(expected, {{QStringLiteral("[ctrl] [alt] Delete"), {110, 473}},
                             {QStringLiteral("[shift] Not Used"), {110, 338}},
                             {QStringLiteral("Not Used"), {110, 203}},
                             {QStringLiteral("[ctrl] [shift] [alt] A"), {110, 68}}});
    QVERIFY(sameImage(image, expected));
}

void StepGraphTest::directionalLabelsSitInTheArrowHeads()
{
    ChannelSettings settings = channel(kDirectionalSteps, kModeKeyboard);
    settings.keys[0] = kKeyE;
    settings.keys[1] = kKeyDelete;
    const QImage image = drawn(settings, {.direction = 1});

    QCOMPARE(image.pixel(111, 5), kRed);                            // apex of the lit upper arrow
    QCOMPARE(image.pixel(111, 536), kBoundary);                     // apex of the lower one
    QCOMPARE(count(image, kBoundary, QRect(0, 268, kWidth, 5)), 0); // no band boundary

    // Upper head: base at row 111, label centred on row 99; lower head: base at 430, label 442.
    const QRect upperInk = boundsIf(image, isKeyInk, QRect(0, 0, kWidth, 111));
    const QRect lowerInk = boundsIf(image, isKeyInk, QRect(0, 431, kWidth, 110));
    QVERIFY(!upperInk.isEmpty() && !lowerInk.isEmpty());
    QVERIFY(std::abs(upperInk.center().y() - 99) <= 3);
    QVERIFY(std::abs(lowerInk.center().y() - 442) <= 3);
    QVERIFY(upperInk.width() > lowerInk.width()); // "Delete" rises, "E" falls
    QCOMPARE(countIf(image, isKeyInk),
             countIf(image, isKeyInk, upperInk) + countIf(image, isKeyInk, lowerInk));
}

void StepGraphTest::directionalWithoutKeyboardShowsNoArrows()
{
    const QImage image = drawn(channel(kDirectionalSteps, kModeJoystick), {.direction = 1});
    QCOMPARE(count(image, kRed), 0);
    QCOMPARE(count(image, kBoundary), 0);
    QCOMPARE(countIf(image, isKeyInk), 0);
    QVERIFY(countIf(image, isJoystickInk) > 0);
}

void StepGraphTest::neitherOutputShowsOnlyTheBar()
{
    // Value 128 puts the bar's top edge at 269.44: row 269's centre lies inside.
    const QImage image = drawn(channel(kFourSteps, kModeNone), {.value = 128});
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            QCOMPARE(image.pixel(x, y), y >= 269 ? kBar : kBlack);
}

void StepGraphTest::joystickOnlyShowsTheBarAndTheAxis()
{
    const Tick tick{.value = 0, .axis = QStringLiteral("Slider")};
    const QImage image = drawn(channel(kFourSteps, kModeJoystick), tick);
    QImage expected = blackImage();
    printExpected(expected, {{QStringLiteral("Joystick: Slider"), {110, 270}, true}});
    QVERIFY(sameImage(image, expected));
    QVERIFY(count(image, kYellow) > 0);

    // Over a full bar the text is still printed, in the same place.
    const QImage withBar = drawn(channel(kFourSteps, kModeJoystick), {.value = 255});
    QCOMPARE(withBar.pixel(0, 0), kBar);
    const QRect text = boundsIf(image, isJoystickInk);
    const QRect textOverBar = boundsIf(withBar, isJoystickInk);
    QVERIFY(!textOverBar.isEmpty() && text.contains(textOverBar));
    const QRect textArea = text.adjusted(-2, -2, 2, 2);
    QCOMPARE(count(withBar, kBar), kWidth * kHeight - textArea.width() * textArea.height() +
                                       count(withBar, kBar, textArea));
}

void StepGraphTest::joystickLabelIsPrintedOverTheMiddleStep()
{
    // With 32 steps and a large font the labels of sections 15 and 16 reach well into the
    // joystick label; where both have ink the joystick label's stays on top.
    const QFont large = labelFont(20);
    const QImage keysOnly = drawn(channel(kThirtyTwoSteps, kModeKeyboard), {}, large);
    const QImage joystickOnly = drawn(channel(kThirtyTwoSteps, kModeJoystick), {}, large);
    const QImage both = drawn(channel(kThirtyTwoSteps, kModeBoth), {}, large);

    int overlapping = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (joystickOnly.pixel(x, y) != kYellow)
                continue;
            QCOMPARE(both.pixel(x, y), kYellow);
            overlapping += isKeyInk(keysOnly.pixel(x, y));
        }
    }
    QVERIFY(overlapping > 0);
    QCOMPARE(both.pixel(0, 270), kBoundary); // the middle boundary beside the text
}

void StepGraphTest::barOnlyForAChannel()
{
    const ChannelSettings settings = channel(kFourSteps, kModeNone);
    QCOMPARE(count(drawn(settings, {.channelIndex = -1, .value = 255}), kBar), 0);
    QCOMPARE(count(drawn(settings, {.channelIndex = 6, .value = 255}), kBar), 0);
    QCOMPARE(count(drawn(settings, {.channelIndex = 5, .value = 255}), kBar), kWidth * kHeight);
}

void StepGraphTest::cachedLabelsFollowEveryChange()
{
    // One painter across ticks must draw exactly what a fresh painter draws.
    GraphCanvas canvas(QSize(kWidth, kHeight));
    StepGraphPainter reused(labelFont());
    ChannelSettings settings = channel(kFourSteps, kModeBoth);
    auto tick = [&](const QString &axis) {
        const StepGraphInput input{0, &settings, sectionsForSteps(settings.steps), 40, 0, axis};
        reused.draw(canvas, input);
        GraphCanvas fresh(QSize(kWidth, kHeight));
        StepGraphPainter(labelFont()).draw(fresh, input);
        return canvas.image() == fresh.image();
    };

    QVERIFY(tick(QStringLiteral("X")));
    settings.keys[2] = kKeyDelete;
    QVERIFY(tick(QStringLiteral("X")));
    settings.keyOperators[2] = kOperatorShift;
    QVERIFY(tick(QStringLiteral("Y")));
    settings.steps = kThirtyTwoSteps;
    settings.keys[31] = kKeyA;
    QVERIFY(tick(QStringLiteral("Y")));
    settings.steps = kDirectionalSteps;
    QVERIFY(tick(QStringLiteral("Wheel")));
}

QTEST_MAIN(StepGraphTest)
#include "StepGraphTest.moc"
