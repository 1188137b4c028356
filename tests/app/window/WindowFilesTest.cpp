#include "ModelEditing.h"
#include "WindowFixture.h"
#include "core/config/ConfigImage.h"
#include "ui/windows/StatusWindow.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace orvex;
using namespace orvex::test;

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

// Records every progress text the status window shows during one transfer.
struct StatusRecorder
{
    explicit StatusRecorder(MainWindow &window)
    {
        QObject::connect(window.statusWindow(), &StatusWindow::statusChanged,
                         [this](const QString &text) { texts << text; });
    }
    QStringList texts;
};

} // namespace

class WindowFilesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void openCancelledChangesNothing();
    void yesThenCancelledSaveStopsNew();
    void failedSaveStopsCommandThatAsked();
    void wrongFileLengthIsRejected_data();
    void wrongFileLengthIsRejected();
    void saveThenOpenRoundTrip();
    void readLoadsDeviceConfiguration();
    void readCancelledAtPromptTouchesNothing();
    void writeStoresModelAndSignature();
    void writeFailureIsReportedWithWindowTitle();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
};

void WindowFilesTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_previousDir = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
}

void WindowFilesTest::cleanup()
{
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

void WindowFilesTest::openCancelledChangesNothing()
{
    WindowFixture f;
    f.startSearching();
    f.model.setPowerOnDelay(7); // a user change, not saved yet
    f.prompts.saveChangesAnswers = {SaveChangesAnswer::No};
    f.prompts.openFileAnswers = {QString()};

    f.child<QAction>(QStringLiteral("mnuOpen"))->trigger();

    QCOMPARE(f.model.powerOnDelay(), std::uint8_t{7});
    QVERIFY(f.model.configChanged()); // so the next New asks again
    QVERIFY(f.model.configFileName().isEmpty());
    QVERIFY(f.prompts.messages.empty());
    QCOMPARE(f.prompts.unexpectedQuestions, 0);
}

void WindowFilesTest::yesThenCancelledSaveStopsNew()
{
    WindowFixture f;
    f.startSearching();
    f.model.setPowerOnDelay(7); // a user change, not saved yet
    f.prompts.saveChangesAnswers = {SaveChangesAnswer::Yes};
    f.prompts.saveFileAnswers = {QString()};

    f.child<QAction>(QStringLiteral("mnuNew"))->trigger();

    QCOMPARE(f.prompts.questions.size(), std::size_t{1});
    const UserMessage &question = f.prompts.questions.front();
    QCOMPARE(question.title, QStringLiteral("ORVEX Configuration Utility"));
    QCOMPARE(question.icon, MessageIcon::None);
    QCOMPARE(f.prompts.saveDialogInitialPaths,
             QStringList{QDir::current().filePath(QStringLiteral("Config.ORV"))});
    QCOMPARE(f.model.powerOnDelay(), std::uint8_t{7});
    QVERIFY(f.model.configChanged());
    QVERIFY(f.model.configFileName().isEmpty());
}

void WindowFilesTest::failedSaveStopsCommandThatAsked()
{
    WindowFixture f;
    f.startViewing();
    f.model.setPowerOnDelay(7); // a user change, not saved yet
    const QString unwritable = m_dir->filePath(QStringLiteral("missing/folder/x.ORV"));
    f.prompts.saveChangesAnswers = {SaveChangesAnswer::Yes};
    f.prompts.saveFileAnswers = {unwritable};
    f.devices.clearLog();

    f.child<QAction>(QStringLiteral("mnuRead"))->trigger();

    QCOMPARE(f.prompts.messages.size(), std::size_t{1});
    QCOMPARE(f.prompts.messages.front().text, QStringLiteral("Error saving file"));
    QCOMPARE(f.prompts.messages.front().icon, MessageIcon::Critical);
    QCOMPARE(f.prompts.messages.front().title, QStringLiteral("ORVEX Configuration Utility"));
    QVERIFY(f.devices.transfers().empty()); // the read never started
    QCOMPARE(f.model.powerOnDelay(), std::uint8_t{7});
    QVERIFY(f.model.configChanged());
    QCOMPARE(f.model.configFileName(), unwritable);
    QVERIFY(f.link.isViewing());
}

void WindowFilesTest::wrongFileLengthIsRejected_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("empty") << 0;
    QTest::newRow("511") << 511;
    QTest::newRow("513") << 513;
}

void WindowFilesTest::wrongFileLengthIsRejected()
{
    QFETCH(int, length);
    WindowFixture f;
    f.startSearching();
    testing::editConfiguration(f.model, [](Configuration &c) { c.powerOnDelay = 9; });
    const QString path = m_dir->filePath(QStringLiteral("short.ORV"));
    writeFile(path, QByteArray(length, '\0'));
    f.prompts.openFileAnswers = {path};

    f.child<QAction>(QStringLiteral("mnuOpen"))->trigger();

    QCOMPARE(f.prompts.messages.size(), std::size_t{1});
    QCOMPARE(f.prompts.messages.front(),
             (UserMessage{QStringLiteral("Invalid configuration file"),
                          QStringLiteral("ORVEX Configuration Utility"), MessageIcon::Critical}));
    QCOMPARE(f.model.powerOnDelay(), std::uint8_t{9});
    QCOMPARE(f.model.configFileName(), path);

    f.prompts.saveFileAnswers = {QString()};
    f.child<QAction>(QStringLiteral("mnuSave"))->trigger();
    QCOMPARE(f.prompts.saveDialogInitialPaths, QStringList{path});
}

void WindowFilesTest::saveThenOpenRoundTrip()
{
    WindowFixture f;
    f.startSearching();
    f.child<QAction>(QStringLiteral("mnuSupressItem12"))->trigger();
    const QString path = m_dir->filePath(QStringLiteral("mine"));
    f.prompts.saveFileAnswers = {path};

    f.child<QAction>(QStringLiteral("mnuSave"))->trigger();
    QCOMPARE(QFileInfo(path).size(), 512);
    QVERIFY(!f.model.configChanged());

    f.child<QAction>(QStringLiteral("mnuNew"))->trigger();
    QVERIFY(f.child<QAction>(QStringLiteral("mnuSupressItem0"))->isChecked());
    f.prompts.openFileAnswers = {path};
    f.child<QAction>(QStringLiteral("mnuOpen"))->trigger();
    QCOMPARE(f.model.powerOnDelay(), std::uint8_t{12});
    QVERIFY(f.child<QAction>(QStringLiteral("mnuSupressItem12"))->isChecked());
    QVERIFY(f.prompts.messages.empty());
    QCOMPARE(f.prompts.unexpectedQuestions, 0);
}

void WindowFilesTest::readLoadsDeviceConfiguration()
{
    WindowFixture f;
    f.startViewing();
    VirtualDevice &device = f.devices.device(0);
    device.memory[508] = 20;
    StatusRecorder recorder(*f.window);

    f.child<QAction>(QStringLiteral("mnuRead"))->trigger();

    QCOMPARE(f.model.powerOnDelay(), std::uint8_t{20});
    QVERIFY(f.child<QAction>(QStringLiteral("mnuSupressItem20"))->isChecked());
    QVERIFY(!recorder.texts.isEmpty());
    QCOMPARE(recorder.texts.first(),
             QStringLiteral("Reading configuration - 0%\r\nReading data - 0%"));
    QVERIFY(recorder.texts.contains(
        QStringLiteral("Reading configuration - 17%\r\nReading data - 0%")));
    QCOMPARE(recorder.texts.last(),
             QStringLiteral("Reading configuration - 100%\r\nReading data - 100%"));
    QVERIFY(!f.window->statusWindow()->isVisible());
    QCOMPARE(f.prompts.messages.back(),
             (UserMessage{QStringLiteral("The configuration was successfully read from the device"),
                          QStringLiteral("ORVEX"), MessageIcon::None}));
    // Polling carries on with a fresh handle.
    QVERIFY(f.link.isViewing());
    QCOMPARE(f.devices.openHandleCount(), 1);
    QVERIFY(!f.link.isTransferRunning());
    QVERIFY(f.child<QAction>(QStringLiteral("mnuRead"))->isEnabled());
}

void WindowFilesTest::readCancelledAtPromptTouchesNothing()
{
    WindowFixture f;
    f.startViewing();
    testing::makeUnsavedChange(f.model);
    f.prompts.saveChangesAnswers = {SaveChangesAnswer::Cancel};
    f.devices.clearLog();

    f.window->onReadTriggered();

    QVERIFY(f.devices.log().empty());
    QVERIFY(f.model.configChanged());
    QVERIFY(f.prompts.messages.empty());
    QVERIFY(!f.window->statusWindow()->isVisible());
}

void WindowFilesTest::writeStoresModelAndSignature()
{
    WindowFixture f;
    f.startViewing();
    f.child<QAction>(QStringLiteral("mnuSupressItem3"))->trigger();
    f.devices.device(0).memory[510] = 0;
    StatusRecorder recorder(*f.window);

    f.child<QAction>(QStringLiteral("mnuWrite"))->trigger();

    const ConfigImage &memory = f.devices.device(0).memory;
    QCOMPARE(memory[508], std::uint8_t{3});
    QCOMPARE(memory[510], std::uint8_t{'R'});
    QCOMPARE(memory[511], std::uint8_t{'4'});
    QVERIFY(f.link.wasWritten(0));
    QVERIFY(f.model.configChanged()); // a write is no save to a file
    QCOMPARE(recorder.texts.first(),
             QStringLiteral("Writing configuration - 0%\r\nWriting data - 0%"));
    QCOMPARE(recorder.texts.last(),
             QStringLiteral("Writing configuration - 100%\r\nWriting data - 100%"));
    QCOMPARE(f.prompts.messages.back(),
             (UserMessage{QStringLiteral("The configuration was successfully saved to the device"),
                          QStringLiteral("ORVEX"), MessageIcon::None}));
    QVERIFY(!f.window->statusWindow()->isVisible());
}

void WindowFilesTest::writeFailureIsReportedWithWindowTitle()
{
    WindowFixture f;
    f.startViewing();
    f.devices.clearLog();
    // Exchange 0 and 1 clear the signature, 2..7 are channel 1's header; fail the sixth.
    f.devices.failExchange(f.devices.exchangeCount() + 7);

    f.window->onWriteTriggered();

    QCOMPARE(f.prompts.messages.back(),
             (UserMessage{QStringLiteral("Error while writing to the ORVEX (1)"),
                          QStringLiteral("ORVEX Configuration Utility"), MessageIcon::Critical}));
    QVERIFY(!f.link.wasWritten(0));
    QVERIFY(!f.window->statusWindow()->isVisible());
    QVERIFY(f.child<QAction>(QStringLiteral("mnuWrite"))->isEnabled());
}

QTEST_MAIN(WindowFilesTest)
#include "WindowFilesTest.moc"
