// The built orvexctl with orvex-emulator: what only the real processes show.

#include "Printers.h"
#include "core/backends/emulator/EmulatorClient.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

namespace orvex {
namespace {

// Exit statuses; the emulator's private socket, which a second emulator leaves alone; the device
// lock that keeps a second program from a device in use; Ctrl+C, which ends the monitor with
// the device released; and the emulator's own end on SIGTERM.
TEST(Programs, TwoProgramsOneDeviceCtrlCAndTheEmulatorsEnd)
{
    int argc = 1;
    char name[] = "test_programs_ctl", *argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    QTemporaryDir folder;
    const QString socket = folder.filePath("emulator.sock"), file = folder.filePath("dev.orv");
    const auto run = [&socket](QProcess &process, const QStringList &arguments) {
        process.start(ORVEXCTL_PATH, arguments + QStringList{"--emulator", socket});
        process.waitForFinished(30'000);
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };
    const auto released = [&socket] {
        const QByteArray state = EmulatorClient(socket).roundTrip("STATE 1").value_or("");
        return state.endsWith("attached=no restarts=0 handles=0 animated=0 refusal=0");
    };
    QProcess emulator, second, monitor, reader, usage;
    emulator.start(ORVEX_EMULATOR_PATH, {"--socket", socket});
    ASSERT_TRUE(emulator.waitForReadyRead(30'000));          // it listens
    EXPECT_EQ(QFile::permissions(socket).toInt() & 0x77, 0); // nothing for group and others
    EXPECT_TRUE(EmulatorClient(socket).roundTrip("STATE 2").value_or("").startsWith(
        "OK present=0")); // only Device 1 is plugged in by default
    second.start(ORVEX_EMULATOR_PATH, {"--socket", socket});
    EXPECT_TRUE(second.waitForFinished(30'000) && second.exitCode() == 1);
    EXPECT_EQ(second.readAllStandardError(),
              "orvex-emulator: Another emulator is already serving " + socket + '\n');

    monitor.start(ORVEXCTL_PATH, {"monitor", "--json", "--emulator", socket});
    ASSERT_TRUE(monitor.waitForReadyRead(30'000)); // attached and polling
    EXPECT_EQ(run(reader, {"read", file}), 1);
    EXPECT_EQ(reader.readAllStandardError(),
              QStringLiteral("The ORVEX (1) is in use by another program: orvexctl (PID %1)\n")
                  .arg(monitor.processId()));
    EXPECT_EQ(run(usage, {"devices", "--simulate"}), 2);
    ::kill(static_cast<pid_t>(monitor.processId()), SIGINT);
    ASSERT_TRUE(monitor.waitForFinished(30'000));
    EXPECT_EQ(monitor.exitStatus() == QProcess::NormalExit ? monitor.exitCode() : -1, 0);
    EXPECT_TRUE(released());
    EXPECT_EQ(run(reader, {"read", file}), 0);

    emulator.terminate();
    EXPECT_TRUE(emulator.waitForFinished(30'000) && emulator.exitCode() == 0);
    EXPECT_FALSE(QFileInfo::exists(socket)); // the socket went with it
}

} // namespace
} // namespace orvex
