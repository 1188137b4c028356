#include "CtlTestSupport.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "core/config/ConfigImage.h"
#include "core/config/ConfigModel.h"
#include "core/link/DeviceTransport.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace orvex::ctl::test {
namespace {

constexpr std::uint8_t kWrite = 0x81;

int addressOf(const VirtualExchange &exchange)
{
    return exchange.request[2] * 256 + exchange.request[3];
}

bool isControlWrite(const VirtualExchange &exchange, int deviceNumber, std::uint8_t value)
{
    return exchange.deviceNumber == deviceNumber && exchange.request[1] == kWrite &&
           addressOf(exchange) == address::kLiveValuesLow && exchange.request[4] == value;
}

QByteArray bytes(const ConfigImage &image)
{
    return QByteArray(reinterpret_cast<const char *>(image.data()), kImageSize);
}

ConfigImage sampleImage()
{
    Configuration configuration = defaultConfiguration();
    configuration.powerOnDelay = 4;
    configuration.channels[0].steps = 1; // 2 steps
    configuration.channels[0].keys[0] = 0x04;
    configuration.channels[0].keys[1] = 0x05;
    configuration.channels[0].keyOperators[1] = kOperatorShift;
    configuration.channels[5].mode = kModeJoystick;
    return encodeImage(configuration);
}

class CommandsTest : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    VirtualDeviceAccess m_access;
};

// --- files ---------------------------------------------------------------------------------

TEST_F(CommandsTest, ShowJsonThenComposeGivesBackTheEncodedFile)
{
    ConfigImage stored = sampleImage();
    stored[75] = 0x99; // reserved bytes are not part of the configuration
    writeFile(path("in.orv"), bytes(stored));

    const RunResult shown = runCtl({"show", path("in.orv"), "--json"});
    ASSERT_EQ(shown.status, 0) << shown.err.toStdString();
    const RunResult composed =
        runCtl({"compose", "-", path("out.orv")}, nullptr, shown.out.toUtf8());
    ASSERT_EQ(composed.status, 0) << composed.err.toStdString();

    ConfigModel decoded;
    ASSERT_TRUE(decodeImage(decoded, stored));
    EXPECT_EQ(readFile(path("out.orv")), bytes(encodeImage(decoded)));
}

TEST_F(CommandsTest, ShowPrintsTheTableAndRefusesBadFiles)
{
    writeFile(path("in.orv"), bytes(sampleImage()));
    const RunResult table = runCtl({"show", path("in.orv")});
    EXPECT_EQ(table.status, 0);
    EXPECT_TRUE(table.out.contains("Power-on delay: 4 sec\n"));
    EXPECT_TRUE(table.out.contains("     2  [shift] B\n"));

    writeFile(path("short.orv"), QByteArray(511, '\0'));
    const RunResult shortFile = runCtl({"show", path("short.orv")});
    EXPECT_EQ(shortFile.status, 1);
    EXPECT_EQ(shortFile.err, "Invalid configuration file\n");
    EXPECT_TRUE(shortFile.out.isEmpty());

    ConfigImage badDelay{};
    badDelay[image::kPowerOnDelayAddress] = 31;
    writeFile(path("delay.orv"), bytes(badDelay));
    EXPECT_EQ(runCtl({"show", path("delay.orv"), "--json"}).err, "Invalid configuration file\n");

    const RunResult missing = runCtl({"show", path("nothing.orv")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Error opening the file\n");
}

TEST_F(CommandsTest, ComposeRefusalWritesNoFileAndKeepsAnOldOne)
{
    writeFile(path("in.orv"), bytes(sampleImage()));
    QString json = runCtl({"show", path("in.orv"), "--json"}).out;
    json.replace("\"periodic\": 0", "\"periodic\": 101");
    writeFile(path("bad.json"), json.toUtf8());

    const RunResult refused = runCtl({"compose", path("bad.json"), path("new.orv")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "channels[0].periodic: 101 is out of range 0-100\n");
    EXPECT_FALSE(QFileInfo::exists(path("new.orv")));

    const RunResult over = runCtl({"compose", path("bad.json"), path("in.orv")});
    EXPECT_EQ(over.status, 1);
    EXPECT_EQ(readFile(path("in.orv")), bytes(sampleImage()));
}

TEST_F(CommandsTest, ComposeReportsUnreadableInputAndUnwritableOutput)
{
    const RunResult noJson = runCtl({"compose", path("none.json"), path("out.orv")});
    EXPECT_EQ(noJson.status, 1);
    EXPECT_EQ(noJson.err, "Error opening the file\n");

    writeFile(path("in.orv"), bytes(sampleImage()));
    const QByteArray json = runCtl({"show", path("in.orv"), "--json"}).out.toUtf8();
    const RunResult noFolder =
        runCtl({"compose", "-", path("missing-folder/out.orv")}, nullptr, json);
    EXPECT_EQ(noFolder.status, 1);
    EXPECT_EQ(noFolder.err, "Error saving file\n");
}

// --- usage ---------------------------------------------------------------------------------

TEST_F(CommandsTest, UsageErrorsExitWithTwoAndAUsageText)
{
    const QList<QStringList> wrong = {
        {},
        {"frobnicate"},
        {"show"},
        {"show", "a", "b"},
        {"compose", "a"},
        {"show", "a", "--bogus"},
        {"read", "a", "--device", "3"},
        {"write", "a", "--device"},
        {"monitor", "--polls", "0"},
        {"monitor", "--polls", "x"},
        {"show", ""},
    };
    for (const QStringList &arguments : wrong) {
        const RunResult result = runCtl(arguments, &m_access);
        EXPECT_EQ(result.status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(result.err.contains("Usage: orvexctl")) << result.err.toStdString();
        EXPECT_TRUE(result.out.isEmpty());
    }
    EXPECT_TRUE(m_access.log().empty()); // no device was touched
}

TEST_F(CommandsTest, HelpAndVersion)
{
    const RunResult general = runCtl({"--help"});
    EXPECT_EQ(general.status, 0);
    for (const char *command : {"show", "compose", "read", "write", "monitor"})
        EXPECT_TRUE(general.out.contains(QStringLiteral("  %1 ").arg(command)));

    const RunResult read = runCtl({"read", "--help"});
    EXPECT_EQ(read.status, 0);
    EXPECT_TRUE(read.out.startsWith("Usage: orvexctl read FILE [--device 1|2]\n"));
    EXPECT_TRUE(read.out.contains("--device <1|2>"));

    const RunResult version = runCtl({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith("orvexctl 2."));
}

// --- device --------------------------------------------------------------------------------

TEST_F(CommandsTest, ReadSavesTheDecodedConfigurationAndFollowsTheSessionOrder)
{
    m_access.device(0).memory = sampleImage();
    m_access.device(0).memory[image::kSignatureAddress] = 'R';
    const RunResult result = runCtl({"read", path("dev.orv")}, &m_access);
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "The configuration was successfully read from the device\n");
    EXPECT_EQ(result.err, QString()); // no progress when standard error is not a terminal

    ConfigModel decoded;
    ASSERT_TRUE(decodeImage(decoded, sampleImage()));
    EXPECT_EQ(readFile(path("dev.orv")), bytes(encodeImage(decoded)));

    const std::vector<VirtualExchange> transfers = m_access.transfers();
    // Attach writes to both devices, 36 header bytes + byte 508, 4 + 4 * 16 section bytes (the
    // joystick-only channel has none), then the release writes.
    ASSERT_EQ(transfers.size(), 2u + 37u + 68u + 2u);
    EXPECT_TRUE(isControlWrite(transfers[0], 0, address::kAttach));
    EXPECT_TRUE(isControlWrite(transfers[1], 1, address::kAttach));
    EXPECT_EQ(addressOf(transfers[2]), 64);
    EXPECT_EQ(addressOf(transfers[38]), image::kPowerOnDelayAddress);
    EXPECT_EQ(addressOf(transfers[39]), 0);
    EXPECT_TRUE(isControlWrite(transfers[transfers.size() - 2], 0, address::kRelease));
    EXPECT_TRUE(isControlWrite(transfers.back(), 1, address::kRelease));
    EXPECT_EQ(m_access.openHandleCount(), 0);
    EXPECT_EQ(m_access.device(0).restartCount, 0);
}

TEST_F(CommandsTest, ReadOfAnAbsentDeviceDoesNotFallBack)
{
    m_access.setPresent(1, false);
    const RunResult result = runCtl({"read", path("dev.orv"), "--device", "2"}, &m_access);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "The ORVEX (2) was not found\n");
    EXPECT_FALSE(QFileInfo::exists(path("dev.orv")));
    for (const VirtualExchange &exchange : m_access.transfers())
        EXPECT_EQ(addressOf(exchange), address::kLiveValuesLow); // attach and release only
}

TEST_F(CommandsTest, ReadIntoAFolderThatIsNotThereTouchesNoDevice)
{
    for (const QString &target : {path("missing/dev.orv"), m_dir.path()}) {
        const RunResult result = runCtl({"read", target}, &m_access);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "Error saving file\n");
    }
    EXPECT_TRUE(m_access.log().empty());
}

TEST_F(CommandsTest, ReadOfAnInvalidDeviceImageWritesNothing)
{
    m_access.device(0).memory[image::kPowerOnDelayAddress] = 31;
    const RunResult result = runCtl({"read", path("dev.orv")}, &m_access);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Invalid configuration\n");
    EXPECT_FALSE(QFileInfo::exists(path("dev.orv")));
}

TEST_F(CommandsTest, WriteStoresTheFileSignsItAndRestartsTheDevice)
{
    writeFile(path("in.orv"), bytes(sampleImage()));
    m_access.device(0).memory.fill(0xEE);
    const RunResult result = runCtl({"write", path("in.orv")}, &m_access);
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "The configuration was successfully saved to the device\n");

    const ConfigImage &memory = m_access.device(0).memory;
    const ConfigImage expected = sampleImage();
    EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + 4, memory.begin()));
    EXPECT_EQ(memory[4], 0xEE); // behind the two sections: not moved
    EXPECT_EQ(memory[64], 1);
    EXPECT_EQ(memory[image::kPowerOnDelayAddress], 4);
    EXPECT_EQ(memory[510], 'R');
    EXPECT_EQ(memory[511], '4');
    EXPECT_EQ(m_access.device(0).restartCount, 1);
    EXPECT_EQ(m_access.device(1).restartCount, 0);
    EXPECT_TRUE(isControlWrite(m_access.transfers().back(), 1, address::kRelease));
}

TEST_F(CommandsTest, FailedWriteIsReportedAndTheDeviceOnlyReleased)
{
    writeFile(path("in.orv"), bytes(sampleImage()));
    m_access.failExchange(2 + 2 + 5); // the last header byte of channel 1
    const RunResult result = runCtl({"write", path("in.orv")}, &m_access);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Error while writing to the ORVEX (1)\n");
    EXPECT_EQ(m_access.device(0).memory[510], 0);
    EXPECT_EQ(m_access.device(0).restartCount, 0);
    EXPECT_TRUE(isControlWrite(m_access.transfers().back(), 1, address::kRelease));
}

TEST_F(CommandsTest, ProgressIsRedrawnInPlaceOnlyOnATerminal)
{
    writeFile(path("in.orv"), bytes(sampleImage()));
    const RunResult result = runCtl({"write", path("in.orv")}, &m_access, {}, true);
    ASSERT_EQ(result.status, 0);
    EXPECT_TRUE(
        result.err.contains("\r\x1b[KWriting configuration - 17%, Writing data - 0%\r\x1b[K"));
    EXPECT_TRUE(result.err.contains("Writing configuration - 100%, Writing data - 100%"));
    EXPECT_TRUE(result.err.endsWith("\r\x1b[K")); // the progress line is wiped at the end
    EXPECT_FALSE(result.err.contains('\n'));
}

TEST_F(CommandsTest, MonitorWithoutAnyDeviceFails)
{
    m_access.setPresent(0, false);
    m_access.setPresent(1, false);
    const RunResult result = runCtl({"monitor", "--polls", "1"}, &m_access);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "The ORVEX (1) was not found\n");
    EXPECT_TRUE(result.out.isEmpty());
}

} // namespace
} // namespace orvex::ctl::test
