#include "core/startup/Startup.h"

#include "WindowFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

using namespace orvex;
using namespace orvex::test;

namespace {

// Start-up as main() runs it: the window is shown only when start-up says so.
struct StartupFixture : WindowFixture
{
    StartupOutcome runStartup() { return program.start(); }
};

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void elevationRule_data();
    void elevationRule();
    void relaunchedInstanceEndsBeforeTouchingDevices();
    void noDeviceEndsWithMessageAndNoWindow();
    void deniedDeviceIsReportedAsPermissionProblem();
    void onlyDevice2IsViewedAfterOneWaitTick();
    void volumeLabelWarning_data();
    void volumeLabelWarning();
};

void StartupTest::elevationRule_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<bool>("platformCalls");
    QTest::addColumn<bool>("elevates");
    QTest::newRow("plain") << QStringLiteral("") << true << true;
    QTest::newRow("admin") << QStringLiteral("admin") << true << false;
    QTest::newRow("inside a word") << QStringLiteral("--xadminy") << true << false;
    QTest::newRow("capitals do not count") << QStringLiteral("ADMIN") << true << true;
    QTest::newRow("platform does not ask") << QStringLiteral("") << false << false;
}

void StartupTest::elevationRule()
{
    QFETCH(QString, commandLine);
    QFETCH(bool, platformCalls);
    QFETCH(bool, elevates);
    QCOMPARE(shouldElevate(commandLine, platformCalls), elevates);

    StartupFixture f;
    f.platform.line = commandLine;
    f.platform.wantsElevation = platformCalls;
    QCOMPARE(f.runStartup(), StartupOutcome::ShowWindow); // elevation refused: carry on
    QCOMPARE(f.platform.elevateCalls, elevates ? 1 : 0);
}

void StartupTest::relaunchedInstanceEndsBeforeTouchingDevices()
{
    StartupFixture f;
    f.platform.wantsElevation = true;
    f.platform.elevationCarriesOn = true;
    QCOMPARE(f.runStartup(), StartupOutcome::Relaunched);
    QVERIFY(f.devices.log().empty());
    QVERIFY(f.prompts.messages.empty());
    QVERIFY(!f.window->isVisible());
}

void StartupTest::noDeviceEndsWithMessageAndNoWindow()
{
    StartupFixture f;
    f.devices.setPresent(0, false);
    f.devices.setPresent(1, false);
    QSignalSpy defaults(&f.model, &ConfigModel::configurationChanged);

    QCOMPARE(f.runStartup(), StartupOutcome::NoDevice);

    QCOMPARE(f.prompts.messages.size(), std::size_t{1});
    const UserMessage &message = f.prompts.messages.front();
    QCOMPARE(message.title, QStringLiteral("ORVEX"));
    QCOMPARE(message.icon, MessageIcon::Exclamation);
    QCOMPARE(message.text, QStringLiteral("        No ORVEX devices detected !\r\n\r\n"
                                          "Click the OK button below, plug the ORVEX\r\n"
                                          "into the USB Port, and restart the program."));
    QVERIFY(!f.window->isVisible());
    QCOMPARE(defaults.count(), 0); // the defaults were never set
    QCOMPARE(f.devices.openHandleCount(), 0);
}

void StartupTest::deniedDeviceIsReportedAsPermissionProblem()
{
    StartupFixture f;
    f.devices.device(0).openRefusal = hid::kAccessDenied;
    f.devices.setPresent(1, false);

    QCOMPARE(f.runStartup(), StartupOutcome::NoDevice);

    QCOMPARE(f.prompts.messages.size(), std::size_t{1});
    const UserMessage &message = f.prompts.messages.front();
    QCOMPARE(message.text, permissionProblemMessage(0));
    QVERIFY(!message.text.contains(QStringLiteral("No ORVEX devices detected")));
    QCOMPARE(message.icon, MessageIcon::Exclamation);
    QVERIFY(!f.window->isVisible());
}

void StartupTest::onlyDevice2IsViewedAfterOneWaitTick()
{
    StartupFixture f;
    f.devices.setPresent(0, false);

    QCOMPARE(f.runStartup(), StartupOutcome::ShowWindow);
    QVERIFY(f.window->isVisible());
    QVERIFY(f.prompts.messages.empty());
    QCOMPARE(f.link.deviceNumber(), 0); // the presence test leaves the selection alone
    QCOMPARE(f.devices.openHandleCount(), 0);
    QCOMPARE(f.devices.device(1).attached, std::optional<bool>(true)); // prepareDevices
    QCOMPARE(f.model.channel(0).steps, std::uint8_t{3});               // New loaded the defaults
    auto *status = f.child<QLabel>(QStringLiteral("lblStatus"));
    QCOMPARE(status->text(), QStringLiteral("Searching for device..."));
    QVERIFY(f.link.isSearching());

    f.link.waitForDeviceTick();

    QVERIFY(f.link.isViewing());
    QCOMPARE(f.link.deviceNumber(), 1);
    QVERIFY(f.child<QCheckBox>(QStringLiteral("chkID1"))->isChecked());
    QVERIFY(!f.child<QCheckBox>(QStringLiteral("chkID0"))->isChecked());
    QVERIFY(f.child<QAction>(QStringLiteral("mnuDevice1"))->isChecked());
    QVERIFY(!f.child<QAction>(QStringLiteral("mnuDevice0"))->isChecked());
    QCOMPARE(status->text(), QStringLiteral("Viewing device 2"));
    QCOMPARE(f.child<QLabel>(QStringLiteral("lblBoardID"))->text(), QStringLiteral("Device 2"));
    QVERIFY(!f.link.isSearching());
    QCOMPARE(f.devices.openHandleCount(), 1); // only the polling handle
}

void StartupTest::volumeLabelWarning_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("warns");
    QTest::newRow("exact") << QStringLiteral("ORVEX") << true;
    QTest::newRow("surrounded") << QStringLiteral("MY_ORVEX_CD") << true;
    QTest::newRow("other case") << QStringLiteral("Orvex") << false;
    QTest::newRow("no label") << QStringLiteral("") << false;
}

void StartupTest::volumeLabelWarning()
{
    QFETCH(QString, label);
    QFETCH(bool, warns);
    QCOMPARE(volumeLabelNeedsWarning(label), warns);

    StartupFixture f;
    f.platform.volumeLabel = label;
    QCOMPARE(f.runStartup(), StartupOutcome::ShowWindow); // a warning does not stop start-up
    QCOMPARE(f.prompts.messages.size(), std::size_t{warns ? 1u : 0u});
    if (warns) {
        QCOMPARE(f.prompts.messages.front(), Startup::volumeWarning());
        QCOMPARE(f.prompts.messages.front().text,
                 QStringLiteral("Warning: The ORVEX programs must be copied to and run\r\n"
                                "from its own folder on the PC's harddrive. The CD itself\r\n"
                                "should be reserved for backup purposes only."));
    }
}

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
