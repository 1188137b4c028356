// The main window over the real hidapi backend and a scripted composite Device 1 that answers
// late or never: the window answers the user while an exchange is in flight, and its commands
// work with a device that answers within the time-out.

#include "Fakes.h"
#include "LinkWaits.h"
#include "ScriptedHidPlatform.h"
#include "ui/program/Program.h"
#include "ui/windows/MainWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QtTest>

using namespace orvex;
using namespace orvex::testing;

namespace {

// The whole program on the scripted device, its timers stopped: the test asks for the ticks.
struct LateProgram
{
    explicit LateProgram(std::optional<int> replyDelayMs)
    {
        script.node(InterfaceKind::Vendor).replyDelayMs = replyDelayMs;
        program.files().newConfiguration();
        link.startSearching();
        window.show();
        link.waitForDeviceTick();
        settle();
    }

    void settle() { orvex::testing::settle(link); }

    // A poll that waits in the device thread for its reply until release() is called.
    void pollHeld()
    {
        script.holdRead();
        link.pollDevice();
        QVERIFY(script.waitUntilHeld());
    }

    template <typename T> T *control(const char *name)
    {
        return window.findChild<T *>(QString::fromLatin1(name));
    }
    QString status() { return control<QLabel>("lblStatus")->text(); }

    std::pair<std::unique_ptr<HidapiDeviceAccess>, ScriptedHidPlatform *> made =
        ScriptedHidPlatform::device1();
    ScriptedHidPlatform &script = *made.second;
    ScriptedPrompts prompts;
    FakePlatform platform;
    Program program{{std::move(made.first), &prompts, &platform, Startup::Timers::LeaveStopped}};
    DeviceLink &link = program.link();
    MainWindow &window = program.window();
};

} // namespace

class LateDeviceWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // While a poll waits for its reply, the menus open, a transfer starts and the device choice
    // changes at once; the device thread takes each in turn once the poll is over.  Exit hides
    // the window at once and ends the program once the device is released.
    void theWindowAnswersWhileAPollWaitsForItsReply()
    {
        LateProgram late(600);
        QCOMPARE(late.status(), "Viewing device 1");

        late.pollHeld();
        QTest::keyClick(&late.window, Qt::Key_H, Qt::AltModifier);
        QVERIFY(late.control<QMenu>("mnuHelp")->isVisible());
        QTest::keyClick(late.control<QMenu>("mnuHelp"), Qt::Key_Escape);
        late.control<QAction>("mnuWrite")->trigger();
        QVERIFY(!late.control<QAction>("mnuRead")->isEnabled());
        late.script.release();
        late.settle();
        QCOMPARE(late.prompts.messages.back().text,
                 "The configuration was successfully saved to the device");
        QVERIFY(late.control<QAction>("mnuRead")->isEnabled());

        late.pollHeld();
        QTest::mouseClick(late.control<QCheckBox>("chkID0"), Qt::LeftButton);
        QVERIFY(late.control<QCheckBox>("chkID1")->isChecked());
        QCOMPARE(late.status(), "Viewing device 1"); // until the poll is over
        late.script.release();
        late.settle();
        QCOMPARE(late.status(), "Searching for device...");
        QVERIFY(late.control<QCheckBox>("chkID1")->isChecked());

        late.control<QAction>("mnuDevice0")->trigger();
        late.link.waitForDeviceTick();
        late.settle();
        QSignalSpy ended(&late.window, &MainWindow::programEnded);
        late.pollHeld();
        late.control<QAction>("mnuExit")->trigger();
        QVERIFY(!late.window.isVisible());
        QCOMPARE(ended.count(), 0);
        late.script.release();
        late.settle();
        QCOMPARE(ended.count(), 1);
        QCOMPARE(late.script.resets.size(), std::size_t(1)); // it was written: restarted
    }

    // A device that never answers is viewed all the same (its attach write is not answered);
    // a transfer with it fails with the usual message, and it is lost at its next poll.
    void aSilentDeviceFailsItsTransferAndIsLost()
    {
        LateProgram silent(std::nullopt);
        QCOMPARE(silent.status(), "Viewing device 1");
        silent.control<QAction>("mnuWrite")->trigger();
        silent.settle();
        QCOMPARE(silent.prompts.messages.back().text, "Error while writing to the ORVEX (1)");
        silent.link.pollDevice();
        silent.settle();
        QCOMPARE(silent.status(), "Searching for device...");
    }
};

QTEST_MAIN(LateDeviceWindowTest)
#include "LateDeviceWindowTest.moc"
