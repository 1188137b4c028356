// The graphs' pixels: the rasteriser they are composed on, the overview and step graphs as the
// design draws them, and which presses the widget showing them reports.  How it shows them is
// proven by the windows that hold it.

#include "ui/graphs/FramePacer.h"
#include "ui/graphs/GraphAccessibility.h"
#include "ui/graphs/GraphCanvas.h"
#include "ui/graphs/GraphView.h"
#include "ui/graphs/OverviewGraph.h"
#include "ui/graphs/StepGraph.h"
#include "ui/graphs/StepGraphView.h"

#include <QAccessible>
#include <QFontMetricsF>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <set>

using namespace orvex;

namespace {

const QRgb kBlack = qRgb(0, 0, 0), kRed = qRgb(255, 0, 0), kDarkRed = qRgb(128, 0, 0),
           kBlue = qRgb(0, 0, 255), kDarkBlue = qRgb(0, 0, 128), kGreen = qRgb(0, 255, 0);

using Pixels = std::set<std::pair<int, int>>;

QImage filled(QSize size, QRgb colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A cleared canvas.  The graphs are drawn over a colour none of them uses, so that any pixel a
// graph fails to paint shows.
GraphCanvas canvasOf(QSize size, QColor background = Qt::black)
{
    GraphCanvas canvas(size);
    canvas.erase(background);
    return canvas;
}

// The design's arrows, apexes at (a + 5, 5) and mirrored (a + 5, height - 5), head bases on
// row a + 5, shafts a wide ending on row b; the one of the direction (1 up, 2 down) in red.
void drawDesignArrows(QImage &image, int a, int b, int direction)
{
    const int left = a / 2 + 5, right = 3 * a / 2 + 5, base = a + 5;
    for (const int arrow : {1, 2}) {
        const QRgb outline = direction == arrow ? kRed : kBlue;
        for (int y = 5; y <= b; ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const bool edge =
                    (x + y == a + 10 && x >= 5 && x < base) ||
                    (x - y == a && x >= base && x < 2 * a + 5) ||
                    (y == base && x >= 5 && x <= 2 * a + 5 && (x < left || x > right)) ||
                    ((x == left || x == right) && y >= base && y < b) ||
                    (y == b && x >= left && x <= right);
                const bool inside = (y < base && x > a + 10 - y && x < a + y) ||
                                    (y >= base && y < b && x > left && x < right);
                if (edge || inside)
                    image.setPixel(x, arrow == 1 ? y : image.height() - y,
                                   edge              ? outline
                                   : outline == kRed ? kDarkRed
                                                     : kDarkBlue);
            }
        }
    }
}

QImage overview(int value, int direction, int steps, int hysteresis, QSize size = {77, 261})
{
    GraphCanvas canvas = canvasOf(size, QColor(1, 2, 3));
    drawOverviewGraph(canvas, std::uint8_t(value), std::uint8_t(direction), std::uint8_t(steps),
                      std::uint8_t(hysteresis));
    return canvas.image();
}

QImage stepGraph(const ChannelSettings &settings, int channel = 0, int value = 0, int direction = 0,
                 const QString &axis = QStringLiteral("Slider"))
{
    GraphCanvas canvas = canvasOf({221, 541}, QColor(1, 2, 3));
    StepGraphPainter(QFont(QStringLiteral("DejaVu Sans"), 8))
        .draw(canvas, {channel, &settings, sectionsForSteps(settings.steps), std::uint8_t(value),
                       std::uint8_t(direction), axis});
    return canvas.image();
}

using Label = std::tuple<QString, QPoint, bool>; // text, centre, joystick axis

// The design's step graph: the bar from `firstBarRow` down, blue boundary rows, arrows ending on
// row `arrowEnd` (0 for none), and labels centred on their points with QPainter::drawText, keys
// in white and the joystick axis in bold yellow.
QImage designStepGraph(int firstBarRow, const std::vector<int> &rows = {},
                       const std::vector<Label> &labels = {}, int arrowEnd = 0)
{
    QImage image = filled({221, 541}, kBlack);
    for (int y = 0; y < 541; ++y)
        for (int x = 0; x < 221; ++x)
            if (y >= firstBarRow || std::ranges::count(rows, y))
                image.setPixel(x, y, y >= firstBarRow ? qRgb(0, 200, 0) : kBlue);
    if (arrowEnd > 0)
        drawDesignArrows(image, 106, arrowEnd, 1);
    QPainter painter(&image);
    for (const auto &[text, centre, joystick] : labels) {
        QFont font(QStringLiteral("DejaVu Sans"), 8, joystick ? QFont::Bold : QFont::Normal);
        const QFontMetricsF metrics(font);
        painter.setFont(font);
        painter.setPen(joystick ? QColor(255, 255, 0) : QColor(255, 255, 255));
        painter.drawText(QPointF(centre.x() - metrics.horizontalAdvance(text) / 2,
                                 centre.y() - metrics.height() / 2 + metrics.ascent()),
                         text);
    }
    return image;
}

} // namespace

class GraphsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The pictures below draw every kind of line, bar and fill the graphs use, on canvases of
    // every size they have; these are the rasteriser's rules that they do not reach.
    void canvasDrawsOddAndAbsurdShapesSafely()
    {
        // clang-format off
        const struct { QPointF from, to; Pixels drawn; } lines[] = {
            {{0, 0}, {4, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
            {{2.5, 1}, {2.9, 4}, {{2, 1}, {2, 2}, {2, 3}}}, // a point is in the pixel holding it
            {{qQNaN(), 3}, {2, 3}, {{0, 3}, {1, 3}}},
            {{-3, -1}, {2, 4}, {{0, 2}, {1, 3}}},           // clipped to the picture
            {{-1e12, 5}, {3, 5}, {{0, 5}, {1, 5}, {2, 5}}}, // and no absurd one hangs
        };
        const std::tuple<QPointF, QPointF, QRect> rectangles[] = { // pixels whose centres are in
            {{4, 5}, {1, 2.4}, {1, 2, 3, 3}}, {{-5, -5}, {50, 50}, {0, 0, 8, 8}},
            {{1, 3.6}, {5, 4.4}, {}}, {{qQNaN(), 0}, {2, 1}, {}}};
        // clang-format on
        for (const auto &c : lines) {
            GraphCanvas canvas = canvasOf({8, 8});
            canvas.line(c.from, c.to, Qt::red);
            QImage expected = filled({8, 8}, kBlack);
            for (const auto &[x, y] : c.drawn)
                expected.setPixel(x, y, kRed);
            QCOMPARE(canvas.image(), expected);
        }
        for (const auto &[from, to, covered] : rectangles) {
            GraphCanvas canvas = canvasOf({8, 8});
            canvas.fillRect(from, to, Qt::red);
            QImage expected = filled({8, 8}, kBlack);
            QPainter(&expected).fillRect(covered, Qt::red);
            QCOMPARE(canvas.image(), expected);
        }
        GraphCanvas canvas = canvasOf({8, 8});
        for (const QPoint seed : {QPoint(-1, 2), QPoint(2, 8), QPoint(8, 0)}) // outside: no fill
            canvas.borderFloodFill(seed, Qt::blue, Qt::red);
        QCOMPARE(canvas.image(), filled({8, 8}, kBlack));
        canvas.borderFloodFill({7, 7}, Qt::blue, Qt::red); // an open picture fills to its edges
        QCOMPARE(canvas.image(), filled({8, 8}, kRed));
    }

    // Each picture drawn afresh, and the same pictures one after the other on one graph on
    // screen, where each sample rewrites and repaints only some rows: none may be left over.
    void overviewIsTheDesignsPicture()
    {
        GraphView view;
        view.setDesignSize({81, 265});
        view.show();
        OverviewComposer composer;
        // value, direction, steps, hysteresis; first bar row, row of the shafts' ends (0: none).
        // A damaged hysteresis code draws as High rather than push the shafts off the graph.
        // clang-format off
        const int cases[][6] = {
            {0, 0, 6, 0, 261, 126}, {255, 0, 6, 0, 0, 126}, {128, 0, 6, 0, 130, 126},
            {128, 1, 6, 0, 130, 126}, {255, 1, 6, 0, 0, 126}, {128, 2, 6, 200, 130, 106},
            {1, 3, 6, 1, 260, 116}, {254, 1, 5, 0, 1, 0}, {128, 1, 0, 2, 130, 0},
            {128, 2, 7, 0, 130, 0}, {128, 1, 255, 0, 130, 0}, {0, 0, 6, 0, 261, 126}};
        // clang-format on
        for (const auto &[value, direction, steps, hysteresis, firstBarRow, shaftEnd] : cases) {
            QImage expected = filled({77, 261}, kBlack);
            QPainter(&expected).fillRect(0, firstBarRow, 77, 261, QColor(kGreen));
            if (shaftEnd > 0)
                drawDesignArrows(expected, 34, shaftEnd, direction);
            QCOMPARE(overview(value, direction, steps, hysteresis), expected);

            composer.compose(view.canvas(), {std::uint8_t(value), std::uint8_t(direction),
                                             std::uint8_t(steps), std::uint8_t(hysteresis)});
            view.refresh();
            QCoreApplication::processEvents(); // the repaint it asked for
            const QImage screen = view.screen()->grabWindow(view.winId()).toImage();
            QCOMPARE(screen.copy(2, 2, 77, 261).convertToFormat(QImage::Format_RGB32), expected);
        }
        // Too small to enclose their fills, the arrows are left out.
        for (const QSize size : {QSize(77, 60), QSize(1, 1), QSize(0, 0)})
            QCOMPARE(overview(0, 1, 6, 0, size), filled(size, kBlack));
    }

    // Paced, a graph is painted at most once per frame of a 60 Hz screen, and what a frame shows
    // is the newest picture, whole: the rows of the pictures it skipped are painted too.
    void pacedGraphShowsTheNewestPictureOncePerFrame()
    {
        GraphView view;
        view.setDesignSize({81, 265});
        FramePacer frames(&view);
        view.setFramePacer(&frames);
        qint64 now = 0;
        frames.setClock([&now] { return now; });
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        OverviewComposer composer;
        const auto screen = [&] {
            const QImage shown = view.screen()->grabWindow(view.winId()).toImage();
            return shown.copy(2, 2, 77, 261).convertToFormat(QImage::Format_RGB32);
        };
        const auto showAt = [&](qint64 time, int value) {
            now = time;
            composer.compose(view.canvas(), {std::uint8_t(value), 0, 3, 0});
            view.refresh();
            QCoreApplication::processEvents();
            return screen();
        };
        QCOMPARE(showAt(100, 50), overview(50, 0, 3, 0));
        QCOMPARE(showAt(110, 200), overview(50, 0, 3, 0)); // too soon after the last frame
        QWidget other; // another view of the window waits for the same frame, apart
        frames.update(&other, {0, 0, 1, 1});
        QCOMPARE(frames.heldBack(), 2);
        QCOMPARE(showAt(120, 100), overview(100, 0, 3, 0));
        QSignalSpy released(&frames, &FramePacer::released);
        QCOMPARE(showAt(130, 180), overview(100, 0, 3, 0)); // and nothing after it
        QVERIFY(released.wait());
        QCoreApplication::processEvents();
        QCOMPARE(screen(), overview(180, 0, 3, 0));
    }

    void stepGraphIsTheDesignsPicture()
    {
        const auto bands = [](const std::vector<int> &rows, const QStringList &keys) {
            std::vector<Label> labels; // from the lowest band up
            for (int k = 0; k < 4; ++k)
                labels.emplace_back(keys[k], QPoint(110, std::array{473, 338, 203, 68}[k]), false);
            return designStepGraph(541, rows, labels);
        };
        const ChannelSettings none{.steps = 2, .mode = kModeNone};
        // The settings (steps code, hysteresis, keys, modifiers...), channel, live value; picture.
        // clang-format off
        const std::tuple<ChannelSettings, int, int, QImage> cases[] = {
            {{2}, 0, 0, bands({135, 270, 406}, {"Not Used", "Not Used", "Not Used", "Not Used"})},
            {{2, 1, {0x4C, 0x32, 0, 0x04}, {5, 2, 0, 7}}, 0, 0,
             bands({135, 136, 270, 271, 406, 407},
             {"[ctrl] [alt] Delete", "[shift] Not Used", "Not Used", "[ctrl] [shift] [alt] A"})},
            {{2, 2, {0x4C, 0x4C, 0x4C, 0x4C}, {1, 2, 4}}, 0, 0,
             bands({134, 135, 136, 269, 270, 271, 405, 406, 407},
             {"[ctrl] Delete", "[shift] Delete", "[alt] Delete", "Delete"})},
            // Directional: the rising key in the upper arrow head, the falling one in the lower.
            {{.steps = kDirectionalSteps, .keys = {0x08, 0x4C}}, 0, 0,
             designStepGraph(541, {}, {{"Delete", {110, 99}, {}}, {"E", {110, 442}, {}}}, 266)},
            // Neither output: the bar alone, and only for a channel 0 to 5.
            {none, 0, 128, designStepGraph(269)}, {none, 5, 255, designStepGraph(0)},
            {none, -1, 255, designStepGraph(541)}, {none, 6, 255, designStepGraph(541)},
            // Joystick only: no arrows, bands or keys; the axis in the middle.
            {{.steps = kDirectionalSteps, .mode = kModeJoystick}, 0, 0,
             designStepGraph(541, {}, {{"Joystick: Slider", {110, 270}, true}})}};
        // clang-format on
        for (const auto &[settings, channel, value, expected] : cases)
            QCOMPARE(stepGraph(settings, channel, value, 1), expected);
    }

    // Tick after tick, what the composer keeps on its canvas is what a new painter draws: the bar
    // moving either way, a key, a modifier or the axis changed, arrows lit and put out.
    void stepGraphFollowsEveryChangeTickAfterTick()
    {
        GraphCanvas canvas({221, 541});
        StepGraphComposer reused;
        ChannelSettings settings{.steps = 2, .mode = kModeBoth};
        const auto drawsAsNew = [&](int value, int direction, const char *axis) {
            const StepGraphInput input{0,
                                       &settings,
                                       sectionsForSteps(settings.steps),
                                       std::uint8_t(value),
                                       std::uint8_t(direction),
                                       axis};
            reused.compose(canvas, input);
            GraphCanvas fresh({221, 541});
            StepGraphPainter().draw(fresh, input);
            return canvas.image() == fresh.image();
        };
        QVERIFY(drawsAsNew(40, 0, "X"));
        QVERIFY(drawsAsNew(200, 0, "X"));
        QVERIFY(drawsAsNew(200, 0, "Z"));
        settings.keys[2] = 0x4C;
        QVERIFY(drawsAsNew(200, 0, "X"));
        settings.keyOperators[2] = kOperatorShift;
        QVERIFY(drawsAsNew(30, 0, "Y"));
        settings.steps = kDirectionalSteps;
        for (const auto &[value, direction] : {std::pair{30, 1}, {90, 2}, {90, 0}, {89, 0}})
            QVERIFY(drawsAsNew(value, direction, "Y"));
    }

    // A screen reader hears the step graph as a list of its sections, the top one first, each
    // named with its key, and reads where the input is as its description.  Up, Down, Home and
    // End move the focus along the list.
    void stepGraphReadsAsAListOfItsSections()
    {
        ChannelSettings settings{.steps = 3, .mode = kModeBoth};
        settings.keys[7] = 0x4B;
        settings.keyOperators[7] = kOperatorCtrl | kOperatorShift;
        settings.keyOperators[0] = kOperatorAlt; // said as drawn: "[alt] Not Used"
        StepGraphView view;
        view.setDesignSize({225, 545});
        view.draw({0, &settings, 8, 200, 0, "X"});
        QAccessibleInterface *graph = QAccessible::queryAccessibleInterface(&view);
        QCOMPARE(graph->role(), QAccessible::List);
        QCOMPARE(graph->childCount(), 8);
        QAccessibleInterface *top = graph->child(0);
        QCOMPARE(top->text(QAccessible::Name), "Step 8: Ctrl+Shift+Page Up");
        QCOMPARE(graph->child(7)->text(QAccessible::Name), "Step 1: Alt+Not Used");
        int tiled = 0; // each section is its own band, and they cover the graph's height
        for (int i = 0; i < 8; ++i)
            tiled += graph->child(i)->rect().height();
        QCOMPARE(tiled, 541);
        QCOMPARE(graph->text(QAccessible::Value), "200");
        QCOMPARE(graph->text(QAccessible::Description), "Input 200 of 255, in step 7 of 8, "
                                                        "Joystick: X");

        view.show();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        view.setFocus();
        QTest::keyClick(&view, Qt::Key_Up);
        QCOMPARE(graph->focusChild(), graph->child(6));
        QVERIFY(graph->child(6)->state().selected && !graph->child(5)->state().selected);
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(graph->focusChild(), graph->child(7));
        for (const Qt::Key key : {Qt::Key_Home, Qt::Key_End, Qt::Key_Down})
            QTest::keyClick(&view, key);
        QCOMPARE(graph->focusChild(), graph->child(7));
        for (const Qt::Key key : {Qt::Key_Home, Qt::Key_Up})
            QTest::keyClick(&view, key);
        QCOMPARE(graph->focusChild(), top); // no move past either end
        const auto onScreen = [&view] {
            const QImage all = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
            return all.copy(view.contentsRect());
        };
        const QImage picture = view.shownImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(onScreen() != picture); // the chosen section is framed while focused, only
        view.clearFocus();
        QCOMPARE(onScreen(), picture);
        view.setFocus();

        view.draw({0, &settings, 7, 200, 0, "X"}); // one step fewer: the top section is gone
        QVERIFY(!top->isValid() && top->text(QAccessible::Name).isEmpty());
        QCOMPARE(graph->focusChild(), graph->child(0)); // the focus moves to the new top
        settings.mode = kModeJoystick;                  // no keys, no sections
        view.draw({0, &settings, 4, 200, 0, "X"});
        QCOMPARE(graph->childCount(), 0);
        QCOMPARE(graph->text(QAccessible::Description), "Input 200 of 255, Joystick: X");

        settings = {.steps = kDirectionalSteps, .keys = {0x4C, 0x08}, .mode = kModeKeyboard};
        view.draw({0, &settings, 2, 90, 1, {}});
        QCOMPARE(graph->child(0)->text(QAccessible::Name), "Rising: E");
        QCOMPARE(graph->child(1)->text(QAccessible::Name), "Falling: Delete");
        QCOMPARE(graph->text(QAccessible::Description), "Input 90 of 255, rising");
    }

    // The view shows its picture inside its frame, and reports presses there only.
    void viewShowsItsPictureAndReportsPressesOnIt()
    {
        GraphView view; // a frame 2 pixels wide around 77 x 261
        view.setDesignSize({81, 265});
        view.canvas().erase(Qt::red);
        view.refresh();
        const QImage shown = view.grab().toImage();
        QCOMPARE(QList<QRgb>({shown.pixel(2, 2), shown.pixel(78, 262), shown.pixel(1, 1)}),
                 QList<QRgb>({kRed, kRed, view.palette().color(QPalette::Dark).rgb()}));
        QSignalSpy pressed(&view, &GraphView::mousePressed);
        for (const QPoint at :
             {QPoint(2, 2), QPoint(78, 262), QPoint(1, 40), QPoint(40, 263), QPoint(79, 40)})
            QTest::mousePress(&view, Qt::LeftButton, {}, at);
        QCOMPARE(pressed.count(), 2);
        QCOMPARE(pressed.at(0).at(0).toPointF(), QPointF(0, 0));
        QCOMPARE(pressed.at(1).at(0).toPointF(), QPointF(76, 260));
    }
};

QTEST_MAIN(GraphsTest)
#include "GraphsTest.moc"
