// Drives the built orvexctl program, against files in a temporary folder and against
// orvex-emulator on a socket of its own.

#include "CtlTestSupport.h"
#include "core/config/ConfigImage.h"
#include "core/config/ConfigModel.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>

namespace orvex::ctl::test {
namespace {

constexpr int kTimeoutMs = 30000;

struct ProgramResult
{
    int status = -1;
    QString out;
    QString err;
};

class ProgramTest : public ::testing::Test
{
protected:
    ProgramTest() { ensureApplication(); }

    ~ProgramTest() override
    {
        m_control.disconnectFromServer();
        if (m_emulator.state() != QProcess::NotRunning) {
            m_emulator.terminate();
            m_emulator.waitForFinished(kTimeoutMs);
        }
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString socketPath() const { return path("emulator.sock"); }

    // Starts orvex-emulator with these devices plugged in ("1", "2", "1,2", "none") and connects
    // the control connection once it listens.
    void startEmulator(const QString &devices = "1")
    {
        m_emulator.start(ORVEX_EMULATOR_PATH, {"--socket", socketPath(), "--devices", devices});
        ASSERT_TRUE(m_emulator.waitForStarted(kTimeoutMs));
        QByteArray banner;
        while (!banner.contains('\n') && m_emulator.waitForReadyRead(kTimeoutMs))
            banner += m_emulator.readAllStandardOutput();
        ASSERT_TRUE(banner.contains("listening")) << banner.toStdString();
        m_control.connectToServer(socketPath());
        ASSERT_TRUE(m_control.waitForConnected(kTimeoutMs));
    }

    // One control request; the reply line without its newline.
    QByteArray control(const QByteArray &request)
    {
        m_control.write(request + '\n');
        m_control.waitForBytesWritten(kTimeoutMs);
        while (!m_control.canReadLine()) {
            if (!m_control.waitForReadyRead(kTimeoutMs))
                return {};
        }
        return m_control.readLine().trimmed();
    }

    // The emulator's log entries of one kind ("xfer", "open", "restart", ...), as
    // "<device> <status> <request> <reply>".
    QList<QByteArray> logged(const QByteArray &kind)
    {
        QList<QByteArray> entries;
        const int count = control("LOG").mid(3).toInt();
        for (int i = 0; i < count; ++i) {
            const QByteArray entry = control("LOG " + QByteArray::number(i));
            if (entry.startsWith("OK " + kind + ' '))
                entries << entry.mid(4 + kind.size());
        }
        return entries;
    }

    ConfigImage deviceMemory(int device)
    {
        const QByteArray hex = control("DUMP " + QByteArray::number(device)).mid(3);
        const QByteArray raw = QByteArray::fromHex(hex);
        ConfigImage image{};
        std::copy_n(raw.begin(), std::min<qsizetype>(raw.size(), kImageSize), image.begin());
        return image;
    }

    ProgramResult run(const QStringList &arguments, const QByteArray &input = {},
                      bool useEmulator = false)
    {
        QProcess process;
        process.start(ORVEXCTL_PATH, useEmulator
                                         ? arguments + QStringList{"--emulator", socketPath()}
                                         : arguments);
        if (!process.waitForStarted(kTimeoutMs))
            return {};
        process.write(input);
        process.closeWriteChannel();
        process.waitForFinished(kTimeoutMs);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    ProgramResult runOnEmulator(const QStringList &arguments) { return run(arguments, {}, true); }

    QTemporaryDir m_dir;
    QProcess m_emulator;
    QLocalSocket m_control;
};

QByteArray bytes(const ConfigImage &image)
{
    return QByteArray(reinterpret_cast<const char *>(image.data()), kImageSize);
}

ConfigImage decodedAndEncoded(const ConfigImage &image)
{
    ConfigModel model;
    return decodeImage(model, image) ? encodeImage(model) : ConfigImage{};
}

ConfigImage sampleImage()
{
    Configuration configuration = defaultConfiguration();
    configuration.powerOnDelay = 9;
    configuration.channels[1].steps = 5;
    configuration.channels[1].keys[31] = 0x2C;
    configuration.channels[1].keyOperators[31] = kOperatorAlt;
    configuration.channels[4].mode = kModeBoth;
    configuration.channels[4].axis = 0x40;
    return encodeImage(configuration);
}

// --- files ---------------------------------------------------------------------------------

TEST_F(ProgramTest, ShowJsonShapeAndRoundTripThroughStandardInput)
{
    writeFile(path("in.orv"), bytes(sampleImage()));
    const ProgramResult shown = run({"show", path("in.orv"), "--json"});
    ASSERT_EQ(shown.status, 0) << shown.err.toStdString();

    const QJsonObject root = QJsonDocument::fromJson(shown.out.toUtf8()).object();
    EXPECT_EQ(root["powerOnDelay"].toInt(), 9);
    const QJsonArray channels = root["channels"].toArray();
    ASSERT_EQ(channels.size(), 6);
    for (const QJsonValue &value : channels) {
        const QJsonObject channel = value.toObject();
        for (const char *field :
             {"steps", "hysteresis", "repeat", "periodic", "preload", "mode", "axis"})
            EXPECT_TRUE(channel[field].isDouble()) << field;
        const int sections = sectionsForSteps(static_cast<std::uint8_t>(channel["steps"].toInt()));
        EXPECT_EQ(channel["keys"].toArray().size(), sections);
        EXPECT_EQ(channel["keyOperators"].toArray().size(), sections);
    }
    EXPECT_EQ(channels[1].toObject()["keys"].toArray()[31].toInt(), 0x2C);
    EXPECT_EQ(channels[4].toObject()["axisName"].toString(), "Vx");

    const ProgramResult composed = run({"compose", "-", path("out.orv")}, shown.out.toUtf8());
    ASSERT_EQ(composed.status, 0) << composed.err.toStdString();
    EXPECT_EQ(readFile(path("out.orv")), bytes(decodedAndEncoded(sampleImage())));
}

TEST_F(ProgramTest, ComposeRefusalsWriteNothing)
{
    writeFile(path("in.orv"), bytes(sampleImage()));
    const QJsonObject good =
        QJsonDocument::fromJson(run({"show", path("in.orv"), "--json"}).out.toUtf8()).object();

    const auto withField = [&good](int channel, const char *field, const QJsonValue &value) {
        QJsonObject root = good;
        QJsonArray channels = root["channels"].toArray();
        QJsonObject object = channels[channel].toObject();
        object[field] = value;
        channels[channel] = object;
        root["channels"] = channels;
        return QJsonDocument(root).toJson();
    };
    const QList<std::pair<QByteArray, QString>> cases = {
        {withField(2, "periodic", 101), "channels[2].periodic: 101 is out of range 0-100\n"},
        {withField(0, "keys", QJsonArray{1, 2}),
         "channels[0].keys: 2 entries, but the steps need exactly 8\n"},
        {withField(5, "mode", 1.5), "channels[5].mode: 1.5 is not an integer\n"},
        {"not json", "JSON syntax error at offset 1: illegal value\n"},
    };
    for (const auto &[json, message] : cases) {
        const ProgramResult result = run({"compose", "-", path("out.orv")}, json);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, message);
        EXPECT_FALSE(QFileInfo::exists(path("out.orv")));
    }
}

TEST_F(ProgramTest, UsageErrorsExitWithTwo)
{
    for (const QStringList &arguments :
         QList<QStringList>{{},
                            {"show"},
                            {"read", "x", "--device", "0"},
                            {"show", "x", "-q"},
                            {"read", "x", "--simulate", "--emulator", "y"}}) {
        const ProgramResult result = run(arguments);
        EXPECT_EQ(result.status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(result.err.contains("Usage: orvexctl")) << result.err.toStdString();
    }
    EXPECT_EQ(run({"show", "--help"}).status, 0);
    EXPECT_EQ(run({"--version"}).status, 0);
}

// --- device --------------------------------------------------------------------------------

TEST_F(ProgramTest, ReadTranscriptAndFile)
{
    startEmulator("1");
    ASSERT_EQ(control("POKE 1 508 5"), "OK");
    const ConfigImage memory = deviceMemory(1);

    const ProgramResult result = runOnEmulator({"read", path("dev.orv")});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "The configuration was successfully read from the device\n");
    EXPECT_EQ(readFile(path("dev.orv")), bytes(decodedAndEncoded(memory)));

    const QList<QByteArray> transfers = logged("xfer");
    // Attach write, 36 header bytes and the delay, 6 * 16 section bytes, release write.
    ASSERT_EQ(transfers.size(), 1 + 37 + 96 + 1);
    EXPECT_TRUE(transfers.first().startsWith("1 0 018120000000 ")); // attach
    EXPECT_TRUE(transfers[1].startsWith("1 0 018200400000 "));      // header of channel 1
    EXPECT_TRUE(transfers[37].startsWith("1 0 018201fc0000 "));     // byte 508
    EXPECT_TRUE(transfers[38].startsWith("1 0 018200000000 "));     // first section pair
    EXPECT_TRUE(transfers.last().startsWith("1 0 018120000100 "));  // release
    EXPECT_TRUE(control("STATE 1").contains("attached=no restarts=0 handles=0"));
}

TEST_F(ProgramTest, ReadOfAnAbsentDevice)
{
    startEmulator("2");
    const ProgramResult result = runOnEmulator({"read", path("dev.orv")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "The ORVEX (1) was not found\n");
    EXPECT_FALSE(QFileInfo::exists(path("dev.orv")));
}

TEST_F(ProgramTest, FaultInTheMiddleOfAReadLeavesTheFileUntouched)
{
    startEmulator("1");
    writeFile(path("dev.orv"), "old content");
    ASSERT_EQ(control("FAIL 60"), "OK"); // a section byte: after the attach write and 37 bytes
    const ProgramResult result = runOnEmulator({"read", path("dev.orv")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Error while reading from the ORVEX (1)\n");
    EXPECT_EQ(readFile(path("dev.orv")), "old content");
    const QList<QByteArray> transfers = logged("xfer");
    ASSERT_FALSE(transfers.isEmpty());
    EXPECT_TRUE(transfers.last().startsWith("1 0 018120000100 ")); // still released
}

TEST_F(ProgramTest, WriteStoresTheConfigurationAndRestartsTheDevice)
{
    startEmulator("1,2");
    writeFile(path("in.orv"), bytes(sampleImage()));
    const ProgramResult result = runOnEmulator({"write", path("in.orv"), "--device", "2"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "The configuration was successfully saved to the device\n");

    ConfigImage expected = sampleImage();
    expected[510] = 'R';
    expected[511] = '4';
    EXPECT_EQ(deviceMemory(2), expected);
    EXPECT_TRUE(control("STATE 2").contains("restarts=1"));
    EXPECT_TRUE(control("STATE 1").contains("attached=no restarts=0"));

    const QList<QByteArray> transfers = logged("xfer");
    // Attach writes to both, 2 clearing writes, 36 header bytes, the delay, 5 * 16 + 64
    // section bytes, the signature, and the release write to Device 1 only.
    ASSERT_EQ(transfers.size(), 2 + 2 + 37 + 144 + 2 + 1);
    EXPECT_TRUE(transfers[2].startsWith("2 0 018101fe0000 "));
    EXPECT_TRUE(transfers[transfers.size() - 2].startsWith("2 0 018101ff3400 "));
    EXPECT_TRUE(transfers.last().startsWith("1 0 018120000100 "));
}

TEST_F(ProgramTest, WriteOfAnInvalidFileTouchesNoDevice)
{
    startEmulator("1");
    writeFile(path("in.orv"), QByteArray(100, 'x'));
    const ProgramResult result = runOnEmulator({"write", path("in.orv")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Invalid configuration file\n");
    EXPECT_EQ(control("LOG"), "OK 0");
}

TEST_F(ProgramTest, MonitorPrintsOneLinePerPoll)
{
    startEmulator("2");
    ASSERT_EQ(control("LIVE 2 10 20 30 40 50 255"), "OK");
    const ProgramResult result = runOnEmulator({"monitor", "--polls", "4"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    const QStringList lines = result.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    // Channel 1 moved less than the threshold of 12 from the start reference 0.
    EXPECT_EQ(lines[0], " 10    20^   30^   40^   50^  255^");
    EXPECT_EQ(lines[3], " 10    20    30    40    50   255 ");
    EXPECT_EQ(result.err, "Viewing device 2\n"); // fell back from the absent Device 1
    EXPECT_TRUE(control("STATE 2").contains("attached=no"));
}

TEST_F(ProgramTest, MonitorEndsCleanlyOnCtrlC)
{
    startEmulator("1");
    QProcess monitor;
    monitor.start(ORVEXCTL_PATH, {"monitor", "--json", "--emulator", socketPath()});
    ASSERT_TRUE(monitor.waitForStarted(kTimeoutMs));
    ASSERT_TRUE(monitor.waitForReadyRead(kTimeoutMs)); // the first poll is out
    ::kill(static_cast<pid_t>(monitor.processId()), SIGINT);
    ASSERT_TRUE(monitor.waitForFinished(kTimeoutMs));
    EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(monitor.exitCode(), 0);
    const QList<QByteArray> lines = monitor.readAllStandardOutput().split('\n');
    EXPECT_TRUE(lines.first().startsWith("{\"directions\":[")) << lines.first().toStdString();
    EXPECT_TRUE(control("STATE 1").contains("attached=no restarts=0 handles=0"));
}

TEST_F(ProgramTest, MonitorEndsCleanlyWhenItsReaderGoesAway)
{
    startEmulator("1");
    QProcess shell;
    // `timeout` keeps a monitor that never ends from outliving the test.
    shell.start("bash", {"-c",
                         "timeout 20 \"$0\" monitor --emulator \"$1\" | head -n 1 >/dev/null; "
                         "exit ${PIPESTATUS[0]}",
                         ORVEXCTL_PATH, socketPath()});
    ASSERT_TRUE(shell.waitForFinished(kTimeoutMs));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    EXPECT_TRUE(control("STATE 1").contains("attached=no restarts=0 handles=0"));
}

TEST_F(ProgramTest, ASecondProgramLeavesAHeldDeviceAlone)
{
    startEmulator("1");
    QProcess monitor;
    monitor.start(ORVEXCTL_PATH, {"monitor", "--json", "--emulator", socketPath()});
    ASSERT_TRUE(monitor.waitForStarted(kTimeoutMs));
    ASSERT_TRUE(monitor.waitForReadyRead(kTimeoutMs)); // attached and polling
    ASSERT_EQ(control("LOGCLEAR"), "OK");

    const ProgramResult result = runOnEmulator({"read", path("copy.ORV")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, QStringLiteral("The ORVEX (1) is in use by another program: orvexctl "
                                         "(PID %1)\n")
                              .arg(monitor.processId()));
    EXPECT_FALSE(QFileInfo::exists(path("copy.ORV")));

    ::kill(static_cast<pid_t>(monitor.processId()), SIGINT);
    ASSERT_TRUE(monitor.waitForFinished(kTimeoutMs));

    // Only the monitor spoke to the device meanwhile: live-value reads and its release write.
    const QList<QByteArray> allowed = {"018220000000", "018220010000", "018120000100"};
    const QList<QByteArray> transfers = logged("xfer");
    ASSERT_FALSE(transfers.isEmpty());
    for (const QByteArray &entry : transfers)
        EXPECT_TRUE(allowed.contains(entry.split(' ').value(2))) << entry.toStdString();
}

} // namespace
} // namespace orvex::ctl::test
