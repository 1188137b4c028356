#include "WindowFixture.h"
#include "ui/graphs/GraphView.h"
#include "ui/windows/AboutWindow.h"
#include "ui/windows/StatusWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace orvex;
using namespace orvex::test;

namespace {

QStringList actionNames(const QList<QAction *> &actions)
{
    QStringList names;
    for (const QAction *action : actions)
        names << action->objectName();
    return names;
}

} // namespace

class WindowLayoutTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void windowHasFixedDesignSize();
    void channelColumnsFollowDesignGrid();
    void statusBarControls();
    void menusInOrderWithKeysAndShortcuts();
    void delayMenuHasThirtyOneItems();
    void timersHaveDesignIntervals();
    void clearedGraphsShowBackgroundColour();
    void drawnGraphsShowLiveValues();
    void statusWindowLayoutAndText();
    void aboutWindowTextAndButton();
    void versionLineWritesPlainNumbers();
};

void WindowLayoutTest::windowHasFixedDesignSize()
{
    WindowFixture f;
    f.window->show();
    QCOMPARE(f.window->windowTitle(), QStringLiteral("ORVEX Configuration Utility"));
    QCOMPARE(f.window->centralWidget()->size(), QSize(536, 361));
    QCOMPARE(f.window->size(), QSize(536, 361 + f.window->menuBar()->height()));
    QCOMPARE(f.window->minimumSize(), f.window->maximumSize());
}

void WindowLayoutTest::channelColumnsFollowDesignGrid()
{
    WindowFixture f;
    for (int i = 0; i < 6; ++i) {
        const int left = 8 + 88 * i;
        auto *label = f.child<QLabel>(QStringLiteral("lblChannel%1").arg(i));
        QVERIFY(label);
        QCOMPARE(label->text(), QStringLiteral("Channel %1").arg(i + 1));
        QCOMPARE(label->geometry(), QRect(left, 8, 81, 17));

        auto *graph = f.child<GraphView>(QStringLiteral("picGraph%1").arg(i));
        QVERIFY(graph);
        QCOMPARE(graph->geometry(), QRect(left, 24, 81, 265));
        QCOMPARE(graph->drawingAreaSize(), QSize(77, 261));

        auto *button = f.child<QPushButton>(QStringLiteral("cmdSettings%1").arg(i));
        QVERIFY(button);
        QCOMPARE(button->text(), QStringLiteral("Settings"));
        QCOMPARE(button->geometry(), QRect(left, 296, 81, 33));
    }
}

void WindowLayoutTest::statusBarControls()
{
    WindowFixture f;
    f.window->show();
    auto *bar = f.child<QWidget>(QStringLiteral("picStatus"));
    QCOMPARE(bar->geometry(), QRect(0, 336, 536, 25));
    QCOMPARE(f.child<QLabel>(QStringLiteral("lblStatus"))->geometry(), QRect(1, 1, 424, 25));
    QCOMPARE(f.child<QLabel>(QStringLiteral("lblBoardID"))->text(), QStringLiteral("Device 1"));
    QVERIFY(f.child<QCheckBox>(QStringLiteral("chkID0"))->isChecked());
    QVERIFY(!f.child<QCheckBox>(QStringLiteral("chkID1"))->isChecked());
    QCOMPARE(f.child<QCheckBox>(QStringLiteral("chkID0"))->geometry(), QRect(440, 4, 17, 17));
    QCOMPARE(f.child<QCheckBox>(QStringLiteral("chkID1"))->geometry(), QRect(512, 5, 17, 17));

    // The divider is one pixel of the palette's button-shadow colour.
    auto *divider = f.child<QWidget>(QStringLiteral("LineStatusDivider"));
    QCOMPARE(divider->geometry(), QRect(432, 2, 1, 20));
    const QImage shot = bar->grab().toImage();
    const QColor shadow = f.window->palette().color(QPalette::Dark);
    QCOMPARE(shot.pixel(432, 10), shadow.rgb());
    QVERIFY(shot.pixel(431, 10) != shadow.rgb());
}

void WindowLayoutTest::menusInOrderWithKeysAndShortcuts()
{
    WindowFixture f;
    QStringList titles;
    for (QAction *menu : f.window->menuBar()->actions())
        titles << menu->text();
    QCOMPARE(titles, (QStringList{"&File", "&Options", "&Help"}));

    auto *file = f.child<QMenu>(QStringLiteral("mnuFile"));
    QCOMPARE(actionNames(file->actions()),
             (QStringList{"mnuNew", "mnuLine1", "mnuOpen", "mnuSave", "mnuLine2", "mnuRead",
                          "mnuWrite", "mnuLine3", "mnuExit"}));
    const QList<std::tuple<const char *, const char *, QKeySequence>> expected = {
        {"mnuNew", "&New", QKeySequence(Qt::CTRL | Qt::Key_N)},
        {"mnuOpen", "&Open", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {"mnuSave", "&Save", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {"mnuRead", "&Read from ORVEX", QKeySequence(Qt::CTRL | Qt::Key_R)},
        {"mnuWrite", "&Write to ORVEX", QKeySequence(Qt::CTRL | Qt::Key_W)},
        {"mnuExit", "E&xit", QKeySequence()},
    };
    for (const auto &[name, caption, shortcut] : expected) {
        auto *action = f.child<QAction>(QString::fromLatin1(name));
        QVERIFY2(action, name);
        QCOMPARE(action->text(), QString::fromLatin1(caption));
        QCOMPARE(action->shortcut(), shortcut);
    }
    for (const QAction *separator : file->actions())
        QCOMPARE(separator->isSeparator(), separator->objectName().startsWith("mnuLine"));

    auto *options = f.child<QMenu>(QStringLiteral("mnuOptions"));
    QCOMPARE(actionNames(options->actions()).mid(0, 3),
             (QStringList{"mnuDevice0", "mnuDevice1", "mnuLine4"}));
    QCOMPARE(options->actions().at(3)->menu(), f.child<QMenu>(QStringLiteral("mnuSuppress")));
    QCOMPARE(f.child<QAction>(QStringLiteral("mnuDevice0"))->text(), QStringLiteral("Device &1"));
    QCOMPARE(f.child<QAction>(QStringLiteral("mnuDevice1"))->text(), QStringLiteral("Device &2"));
    QVERIFY(f.child<QAction>(QStringLiteral("mnuDevice0"))->isChecked());
    QCOMPARE(f.child<QMenu>(QStringLiteral("mnuSuppress"))->title(),
             QStringLiteral("&Delay keystrokes at power on"));
    QCOMPARE(actionNames(f.child<QMenu>(QStringLiteral("mnuHelp"))->actions()),
             QStringList{"mnuAbout"});
    QCOMPARE(f.child<QAction>(QStringLiteral("mnuAbout"))->text(), QStringLiteral("&About"));
}

void WindowLayoutTest::delayMenuHasThirtyOneItems()
{
    WindowFixture f;
    const QList<QAction *> items = f.child<QMenu>(QStringLiteral("mnuSuppress"))->actions();
    QCOMPARE(items.size(), 31);
    QCOMPARE(items.at(0)->objectName(), QStringLiteral("mnuSupressItem0"));
    QCOMPARE(items.at(0)->text(), QStringLiteral("Disabled"));
    QCOMPARE(items.at(1)->text(), QStringLiteral("1 sec"));
    QCOMPARE(items.at(30)->objectName(), QStringLiteral("mnuSupressItem30"));
    QCOMPARE(items.at(30)->text(), QStringLiteral("30 sec"));
    QVERIFY(items.at(0)->isChecked());
}

void WindowLayoutTest::timersHaveDesignIntervals()
{
    WindowFixture f;
    auto *poll = f.link.findChild<QTimer *>(QStringLiteral("tmrPollDevice"));
    auto *wait = f.link.findChild<QTimer *>(QStringLiteral("tmrWaitForDevice"));
    QVERIFY2(poll && wait, "the link's timers are its children, found by name");
    QCOMPARE(poll->interval(), 10);
    QCOMPARE(wait->interval(), 1000);
    // Driven by the test: neither runs by itself, not even while searching.
    QVERIFY(!poll->isActive());
    f.link.startSearching();
    QVERIFY(f.link.isSearching());
    QVERIFY(!wait->isActive());
}

void WindowLayoutTest::clearedGraphsShowBackgroundColour()
{
    WindowFixture f;
    f.window->show();
    f.window->clearGraphs();
    for (int i = 0; i < 6; ++i) {
        auto *graph = f.child<GraphView>(QStringLiteral("picGraph%1").arg(i));
        const QImage &shown = graph->shownImage();
        QCOMPARE(shown.size(), QSize(77, 261));
        const QColor background = graph->palette().color(graph->backgroundRole());
        QVERIFY(background != QColor(Qt::black));
        QCOMPARE(shown.pixelColor(0, 0), background);
        QCOMPARE(shown.pixelColor(76, 260), background);
    }
}

void WindowLayoutTest::drawnGraphsShowLiveValues()
{
    WindowFixture f;
    f.model.resetSettings();
    LiveSample sample;
    sample.values = {255, 0, 128, 0, 0, 0};
    f.window->show();
    f.window->drawGraphs(sample);

    const QColor bar(0, 255, 0);
    const QImage &full = f.child<GraphView>(QStringLiteral("picGraph0"))->shownImage();
    QCOMPARE(full.pixelColor(0, 0), bar);
    QCOMPARE(full.pixelColor(76, 260), bar);
    const QImage &empty = f.child<GraphView>(QStringLiteral("picGraph1"))->shownImage();
    QCOMPARE(empty.pixelColor(38, 260), QColor(Qt::black));
    QCOMPARE(empty.pixelColor(38, 0), QColor(Qt::black));
    const QImage &half = f.child<GraphView>(QStringLiteral("picGraph2"))->shownImage();
    QCOMPARE(half.pixelColor(38, 200), bar);
    QCOMPARE(half.pixelColor(38, 60), QColor(Qt::black));
}

void WindowLayoutTest::statusWindowLayoutAndText()
{
    WindowFixture f;
    f.window->show();
    StatusWindow *status = f.window->statusWindow();
    QVERIFY(status);
    QVERIFY(!status->isVisible());

    f.window->showTransferStatus();
    QVERIFY(status->isVisible());
    QVERIFY(!status->isModal());
    QCOMPARE(status->windowTitle(), QStringLiteral("ORVEX Configuration Utility"));
    QCOMPARE(status->size(), QSize(208, 42));
    auto *label = status->findChild<QLabel *>(QStringLiteral("lblStatus"));
    QCOMPARE(label->geometry(), QRect(8, 8, 193, 33));
    QCOMPARE(label->text(), QStringLiteral("Initializing..."));

    f.window->setTransferStatus(QStringLiteral("Reading configuration - 17%\r\nReading data - 0%"));
    QCOMPARE(label->text(), QStringLiteral("Reading configuration - 17%\nReading data - 0%"));

    f.window->hideTransferStatus();
    QVERIFY(!status->isVisible());
    f.window->showTransferStatus(); // a new transfer starts from the design text
    QCOMPARE(label->text(), QStringLiteral("Initializing..."));
}

void WindowLayoutTest::aboutWindowTextAndButton()
{
    WindowFixture f;
    AboutWindow about(f.window);
    QCOMPARE(about.windowTitle(), QStringLiteral("About ORVEX"));
    QCOMPARE(about.size(), QSize(287, 104));
    auto *description = about.findChild<QLabel *>(QStringLiteral("lblDescription"));
    auto *ok = about.findChild<QPushButton *>(QStringLiteral("cmdOK"));
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());
    QVERIFY(description->alignment() & Qt::AlignHCenter);
    QVERIFY(description->text().isEmpty()); // built when first shown

    about.setModal(false); // show() instead of exec(), so the test keeps control
    about.show();
    const QStringList lines = description->text().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), QStringLiteral("ORVEX version 2.58"));
    QCOMPARE(lines.at(1), AboutWindow::kCopyright);

    QTest::keyClick(&about, Qt::Key_Escape);
    QVERIFY(!about.isVisible());
    about.show();
    QTest::keyClick(&about, Qt::Key_Return);
    QVERIFY(!about.isVisible());
}

void WindowLayoutTest::versionLineWritesPlainNumbers()
{
    QCOMPARE(versionLine(2, 58), QStringLiteral("ORVEX version 2.58"));
    QCOMPARE(versionLine(2, 5), QStringLiteral("ORVEX version 2.5"));
}

QTEST_MAIN(WindowLayoutTest)
#include "WindowLayoutTest.moc"
