#pragma once

#include "core/backends/DeviceAccessFactory.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace orvex {
class ConfigModel;
class DeviceAccess;
} // namespace orvex

class QCommandLineParser;

namespace orvex::ctl {

class Console;
struct CommandSpec;

enum ExitStatus : int {
    kExitSuccess = 0,
    kExitFailure = 1, // the file or the device failed
    kExitUsage = 2,   // the command line is wrong; a usage text was printed
};

// The orvexctl program: parses the command line and runs one command against files and the
// device.  Everything it prints goes through the console.
class OrvexCtl
{
public:
    explicit OrvexCtl(Console &console);

    // Tests hand in their own device access layer instead of the one the options choose.
    void setDeviceAccess(DeviceAccess *access) { m_accessOverride = access; }

    int run(const QStringList &arguments);

    static QString programName();
    static QString versionText();
    static QString generalHelp();

private:
    int usageError(const QString &message, const CommandSpec *command = nullptr);
    int runCommand(const CommandSpec &command, const QStringList &arguments);

    int show(const QCommandLineParser &parser, const QStringList &files);
    int compose(const QStringList &files);
    int read(const QCommandLineParser &parser, const QStringList &files);
    int write(const QCommandLineParser &parser, const QStringList &files);
    int monitor(const QCommandLineParser &parser);
    int devices(const QCommandLineParser &parser);

    // False, with the message, when the options name an emulator's socket where nothing
    // listens: that is no emulator, not devices that are unplugged.
    bool emulatorAnswers();

    // The override, or the layer the device options choose (then kept in `owned`).
    DeviceAccess &deviceAccess(std::unique_ptr<DeviceAccess> &owned);

    // The selected device number (0 or 1) from --device, or -1 after a usage error.
    int selectedDevice(const QCommandLineParser &parser);

    Console &m_console;
    DeviceAccess *m_accessOverride = nullptr;
    DeviceOptions m_deviceOptions;
};

} // namespace orvex::ctl
