#include "ModelEditing.h"
#include "WindowFixture.h"
#include "ui/dialogs/SettingsDialog.h"
#include "ui/graphs/GraphView.h"
#include "ui/windows/StatusWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>

using namespace orvex;
using namespace orvex::test;

namespace {

int countKind(const VirtualDeviceAccess &devices, VirtualExchange::Kind kind)
{
    return static_cast<int>(
        std::count_if(devices.log().begin(), devices.log().end(),
                      [kind](const VirtualExchange &entry) { return entry.kind == kind; }));
}

} // namespace

class WindowDeviceTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unplugWhileViewingClearsGraphsAndSearches();
    void selectingAbsentDevice2FallsBackToDevice1();
    void clickingEitherBoxSwitchesDevice();
    void optionsMenuSelectsOnlyOnChange();
    void delayMenuSetsDelayAndChangedFlag();
    void delayMenuFollowsModel();
    void exitCancelledAtPromptKeepsRunning();
    void exitReleasesDevicesAndEnds();
    void closeBoxRunsExitProcedure();
    void closeBoxAboutAndEscapeRefusedDuringTransfer();
    void simulatedDevicesMoveWithEveryPoll();
    void settingsButtonsShareOneModalDialog();
};

void WindowDeviceTest::unplugWhileViewingClearsGraphsAndSearches()
{
    WindowFixture f;
    f.startViewing();
    f.devices.device(0).liveValues = {200, 200, 200, 200, 200, 200};
    f.link.pollDevice();
    auto *status = f.child<QLabel>(QStringLiteral("lblStatus"));
    QCOMPARE(status->text(), QStringLiteral("Viewing device 1"));

    f.devices.setPresent(0, false);
    f.link.pollDevice();

    QVERIFY(!f.link.isViewing());
    QCOMPARE(status->text(), QStringLiteral("Searching for device..."));
    QVERIFY(f.link.isSearching());
    for (int i = 0; i < 6; ++i) {
        auto *graph = f.child<GraphView>(QStringLiteral("picGraph%1").arg(i));
        const QColor background = graph->palette().color(graph->backgroundRole());
        QCOMPARE(graph->shownImage().pixelColor(38, 200), background);
    }

    f.devices.setPresent(0, true);
    f.link.waitForDeviceTick();
    QCOMPARE(status->text(), QStringLiteral("Viewing device 1"));
}

void WindowDeviceTest::selectingAbsentDevice2FallsBackToDevice1()
{
    WindowFixture f;
    f.devices.setPresent(1, false);
    f.startViewing();
    auto *box0 = f.child<QCheckBox>(QStringLiteral("chkID0"));
    auto *box1 = f.child<QCheckBox>(QStringLiteral("chkID1"));
    auto *status = f.child<QLabel>(QStringLiteral("lblStatus"));
    auto *board = f.child<QLabel>(QStringLiteral("lblBoardID"));
    f.devices.clearLog();

    QTest::mouseClick(box1, Qt::LeftButton);

    QVERIFY(box1->isChecked());
    QVERIFY(!box0->isChecked());
    QVERIFY(f.child<QAction>(QStringLiteral("mnuDevice1"))->isChecked());
    QVERIFY(!f.child<QAction>(QStringLiteral("mnuDevice0"))->isChecked());
    QCOMPARE(board->text(), QStringLiteral("Device 2"));
    QCOMPARE(f.link.deviceNumber(), 1);
    QVERIFY(!f.link.isViewing());
    QCOMPARE(status->text(), QStringLiteral("Searching for device..."));
    QVERIFY(f.link.isSearching());
    QCOMPARE(countKind(f.devices, VirtualExchange::Kind::Close), 1); // one detach, not two

    f.link.waitForDeviceTick();

    QVERIFY(box0->isChecked());
    QVERIFY(!box1->isChecked());
    QVERIFY(f.child<QAction>(QStringLiteral("mnuDevice0"))->isChecked());
    QCOMPARE(f.link.deviceNumber(), 0);
    QCOMPARE(board->text(), QStringLiteral("Device 1"));
    QCOMPARE(status->text(), QStringLiteral("Viewing device 1"));
    QVERIFY(!f.link.isSearching());
}

void WindowDeviceTest::clickingEitherBoxSwitchesDevice()
{
    WindowFixture f;
    f.startSearching();
    auto *box0 = f.child<QCheckBox>(QStringLiteral("chkID0"));
    auto *box1 = f.child<QCheckBox>(QStringLiteral("chkID1"));

    QTest::mouseClick(box0, Qt::LeftButton); // unchecking the checked box selects the other
    QVERIFY(!box0->isChecked());
    QVERIFY(box1->isChecked());
    QCOMPARE(f.link.deviceNumber(), 1);

    QTest::mouseClick(box0, Qt::LeftButton);
    QVERIFY(box0->isChecked());
    QVERIFY(!box1->isChecked());
    QCOMPARE(f.link.deviceNumber(), 0);
    QVERIFY(f.devices.log().empty()); // nothing was viewed, so nothing was detached
}

void WindowDeviceTest::optionsMenuSelectsOnlyOnChange()
{
    WindowFixture f;
    f.startViewing();
    auto *device0 = f.child<QAction>(QStringLiteral("mnuDevice0"));
    auto *device1 = f.child<QAction>(QStringLiteral("mnuDevice1"));
    f.devices.clearLog();

    device0->trigger(); // already selected: nothing happens, the mark stays
    QVERIFY(device0->isChecked());
    QVERIFY(f.link.isViewing());
    QVERIFY(f.devices.log().empty());

    device1->trigger();
    QVERIFY(device1->isChecked());
    QVERIFY(!device0->isChecked());
    QVERIFY(f.child<QCheckBox>(QStringLiteral("chkID1"))->isChecked());
    QVERIFY(!f.link.isViewing());
    f.link.waitForDeviceTick();
    QCOMPARE(f.child<QLabel>(QStringLiteral("lblStatus"))->text(),
             QStringLiteral("Viewing device 2"));
}

void WindowDeviceTest::delayMenuSetsDelayAndChangedFlag()
{
    WindowFixture f;
    f.startSearching();
    auto item = [&f](int i) {
        return f.child<QAction>(QStringLiteral("mnuSupressItem%1").arg(i));
    };

    item(5)->trigger();
    QCOMPARE(f.model.powerOnDelay(), std::uint8_t{5});
    QVERIFY(f.model.configChanged());
    for (int i = 0; i <= 30; ++i)
        QCOMPARE(item(i)->isChecked(), i == 5);

    f.model.markUnchanged();
    item(5)->trigger(); // the item already checked: no change, and it stays checked
    QVERIFY(!f.model.configChanged());
    QVERIFY(item(5)->isChecked());

    item(0)->trigger();
    QCOMPARE(f.model.powerOnDelay(), std::uint8_t{0});
    QVERIFY(f.model.configChanged());
    QVERIFY(item(0)->isChecked());
    QVERIFY(!item(5)->isChecked());
}

void WindowDeviceTest::delayMenuFollowsModel()
{
    WindowFixture f;
    testing::editConfiguration(f.model, [](Configuration &c) { c.powerOnDelay = 30; });
    QVERIFY(f.child<QAction>(QStringLiteral("mnuSupressItem30"))->isChecked());
    QVERIFY(!f.child<QAction>(QStringLiteral("mnuSupressItem0"))->isChecked());

    f.window->onNewTriggered(); // the defaults disable the delay again
    QVERIFY(f.child<QAction>(QStringLiteral("mnuSupressItem0"))->isChecked());
    QVERIFY(!f.child<QAction>(QStringLiteral("mnuSupressItem30"))->isChecked());
}

void WindowDeviceTest::exitCancelledAtPromptKeepsRunning()
{
    WindowFixture f;
    f.startViewing();
    testing::makeUnsavedChange(f.model);
    f.prompts.saveChangesAnswers = {SaveChangesAnswer::Cancel};
    QSignalSpy ended(f.window, &MainWindow::programEnded);

    f.child<QAction>(QStringLiteral("mnuExit"))->trigger();

    QCOMPARE(f.prompts.questions.size(), std::size_t{1});
    QCOMPARE(ended.count(), 0);
    QVERIFY(f.window->isVisible());
    QVERIFY(f.link.isViewing());
    QCOMPARE(f.devices.openHandleCount(), 1);
}

void WindowDeviceTest::exitReleasesDevicesAndEnds()
{
    WindowFixture f;
    f.startViewing();
    f.link.markWritten(1);
    QSignalSpy ended(f.window, &MainWindow::programEnded);

    f.child<QAction>(QStringLiteral("mnuExit"))->trigger();

    QVERIFY(f.prompts.questions.empty()); // nothing changed, nothing asked
    QCOMPARE(ended.count(), 1);
    QVERIFY(!f.window->isVisible());
    QCOMPARE(f.devices.openHandleCount(), 0);
    QCOMPARE(f.devices.device(0).attached, std::optional<bool>(false)); // release write
    QCOMPARE(f.devices.device(1).restartCount, 1);                      // written: restarted
}

void WindowDeviceTest::closeBoxRunsExitProcedure()
{
    WindowFixture f;
    f.startViewing();
    testing::makeUnsavedChange(f.model);
    QSignalSpy ended(f.window, &MainWindow::programEnded);

    f.prompts.saveChangesAnswers = {SaveChangesAnswer::Cancel};
    QVERIFY(!f.window->close());
    QVERIFY(f.window->isVisible());
    QCOMPARE(ended.count(), 0);

    f.prompts.saveChangesAnswers = {SaveChangesAnswer::No};
    f.window->close();
    QCOMPARE(ended.count(), 1);
    QVERIFY(!f.window->isVisible());
    QCOMPARE(f.prompts.questions.size(), std::size_t{2});
    QCOMPARE(f.devices.openHandleCount(), 0);
}

// Help > About would hold the transfer in its modal loop, and Escape would hide the progress.
void WindowDeviceTest::closeBoxAboutAndEscapeRefusedDuringTransfer()
{
    WindowFixture f;
    f.startViewing();
    QSignalSpy ended(f.window, &MainWindow::programEnded);
    StatusWindow *status = f.window->statusWindow();
    bool closedDuringTransfer = true;
    bool commandsOffDuringTransfer = false;
    bool progressShownAfterEscape = false;
    bool first = true;
    connect(status, &StatusWindow::statusChanged, f.window, [&] {
        if (!first)
            return;
        first = false;
        closedDuringTransfer = f.window->close();
        commandsOffDuringTransfer = !f.child<QAction>(QStringLiteral("mnuExit"))->isEnabled() &&
                                    !f.child<QAction>(QStringLiteral("mnuAbout"))->isEnabled() &&
                                    !f.child<QCheckBox>(QStringLiteral("chkID1"))->isEnabled() &&
                                    !f.child<QWidget>(QStringLiteral("cmdSettings0"))->isEnabled();
        QTest::keyClick(status, Qt::Key_Escape);
        progressShownAfterEscape = status->isVisible();
        f.window->onExitTriggered();
        f.window->onDeviceMenuTriggered(1);
    });

    f.window->onWriteTriggered();

    QVERIFY(!closedDuringTransfer);
    QVERIFY(commandsOffDuringTransfer);
    QVERIFY(progressShownAfterEscape);
    QVERIFY(!status->isVisible());
    QCOMPARE(ended.count(), 0);
    QVERIFY(f.prompts.questions.empty());
    QCOMPARE(f.link.deviceNumber(), 0);
    QCOMPARE(f.prompts.messages.back().text,
             QStringLiteral("The configuration was successfully saved to the device"));

    // Once the transfer is over, everything works again.
    QVERIFY(f.child<QAction>(QStringLiteral("mnuExit"))->isEnabled());
    QVERIFY(f.child<QAction>(QStringLiteral("mnuAbout"))->isEnabled());
    QVERIFY(f.child<QCheckBox>(QStringLiteral("chkID1"))->isEnabled());
    f.window->close();
    QCOMPARE(ended.count(), 1);
}

void WindowDeviceTest::simulatedDevicesMoveWithEveryPoll()
{
    WindowFixture f;
    std::int64_t clockMs = 0;
    f.devices.setClock([&clockMs] { return clockMs; });
    f.devices.device(0).animated = true;
    f.startViewing();
    f.link.pollDevice();
    const LiveValues first = f.link.sample().values;
    for (int i = 0; i < 50; ++i) {
        clockMs += DeviceLink::kPollIntervalMs;
        f.link.pollDevice();
    }
    QVERIFY(f.link.sample().values != first);
}

void WindowDeviceTest::settingsButtonsShareOneModalDialog()
{
    WindowFixture f;
    f.startViewing();
    QList<QPointer<SettingsDialog>> opened;
    QList<int> channels;
    auto closeWhenShown = [&] {
        // Runs inside the dialog's exec(): note what is open, then leave it as Cancel does.
        QTimer::singleShot(0, f.window, [&] {
            auto *dialog = qobject_cast<SettingsDialog *>(QApplication::activeModalWidget());
            opened << dialog;
            if (dialog) {
                channels << dialog->channelIndex();
                dialog->reject();
            }
        });
    };

    closeWhenShown();
    QTest::mouseClick(f.child<QPushButton>(QStringLiteral("cmdSettings2")), Qt::LeftButton);
    closeWhenShown();
    QTest::mouseClick(f.child<QPushButton>(QStringLiteral("cmdSettings5")), Qt::LeftButton);

    QCOMPARE(opened.size(), 2);
    QVERIFY(opened.at(0));
    QCOMPARE(opened.at(0), opened.at(1)); // built once, kept for the run
    QCOMPARE(opened.at(0)->parentWidget(), f.window);
    QCOMPARE(channels, (QList<int>{2, 5}));
    QVERIFY(!opened.at(0)->isVisible());
}

QTEST_MAIN(WindowDeviceTest)
#include "WindowDeviceTest.moc"
