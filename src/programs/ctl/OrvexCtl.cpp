#include "programs/ctl/OrvexCtl.h"

#include "core/access/DeviceAccess.h"
#include "core/backends/DeviceAccessFactory.h"
#include "core/backends/emulator/EmulatorSocketPath.h"
#include "core/config/ConfigFile.h"
#include "core/config/ConfigImage.h"
#include "core/config/ConfigModel.h"
#include "core/link/ConfigTransfer.h"
#include "core/link/DeviceLink.h"
#include "core/link/DeviceMessages.h"
#include "core/link/DeviceSurvey.h"
#include "core/platform/linux/SignalNotifier.h"
#include "programs/ctl/ConfigJson.h"
#include "programs/ctl/ConfigTable.h"
#include "programs/ctl/Console.h"
#include "programs/ctl/DeviceReport.h"
#include "programs/ctl/DeviceSession.h"
#include "programs/ctl/LiveMonitor.h"
#include "programs/ctl/TerminalTransferView.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <algorithm>
#include <memory>
#include <optional>

namespace orvex::ctl {

enum class Command { Show, Compose, Read, Write, Monitor, Devices };

// What the command line of one command looks like.
struct CommandSpec
{
    Command command;
    const char *name;
    const char *synopsis; // after "orvexctl NAME"
    const char *summary;
    QStringList arguments; // names of the positional arguments, all required
    bool usesDevice;
};

namespace {

const QString kDeviceOption = QStringLiteral("device");
const QString kJsonOption = QStringLiteral("json");
const QString kPollsOption = QStringLiteral("polls");

const std::array<CommandSpec, 6> &commands()
{
    static const std::array<CommandSpec, 6> specs = {{
        {Command::Show,
         "show",
         "FILE [--json]",
         "Print a configuration file as a table, or as JSON with --json.",
         {QStringLiteral("FILE")},
         false},
        {Command::Compose,
         "compose",
         "JSON FILE",
         "Write the configuration file FILE from a JSON description (as printed by show --json; "
         "\"-\" reads it from standard input).",
         {QStringLiteral("JSON"), QStringLiteral("FILE")},
         false},
        {Command::Read,
         "read",
         "FILE [--device 1|2]",
         "Read the device's configuration and save it to FILE.",
         {QStringLiteral("FILE")},
         true},
        {Command::Write,
         "write",
         "FILE [--device 1|2]",
         "Write the configuration file FILE to the device.",
         {QStringLiteral("FILE")},
         true},
        {Command::Monitor,
         "monitor",
         "[--device 1|2] [--polls N] [--json]",
         "Show the six live inputs and their directions (^ rising, v falling), polled every "
         "10 ms, until Ctrl+C or N polls.",
         {},
         true},
        {Command::Devices,
         "devices",
         "[--json]",
         "Say for Device 1 and Device 2 whether it is plugged in, which HID interface is used "
         "and whether this user may use it.",
         {},
         true},
    }};
    return specs;
}

const CommandSpec *findCommand(const QString &name)
{
    const auto &specs = commands();
    const auto it = std::find_if(specs.begin(), specs.end(), [&name](const CommandSpec &entry) {
        return name == QLatin1String(entry.name);
    });
    return it == specs.end() ? nullptr : &*it;
}

QString usageLine(const CommandSpec &command)
{
    return QStringLiteral("Usage: %1 %2 %3")
        .arg(OrvexCtl::programName(), QLatin1String(command.name), QLatin1String(command.synopsis));
}

QCommandLineOption helpOption()
{
    return {{QStringLiteral("h"), QStringLiteral("help")},
            QStringLiteral("Show this help and exit.")};
}

void addOptions(QCommandLineParser &parser, const CommandSpec &command)
{
    parser.setApplicationDescription(QString::fromUtf8(command.summary));
    parser.addOption(helpOption());
    for (const QString &argument : command.arguments) {
        const QString description = argument == QLatin1String("JSON")
                                        ? QStringLiteral("JSON file, or \"-\" for standard input.")
                                        : QStringLiteral("Configuration file (512 bytes).");
        parser.addPositionalArgument(argument, description);
    }
    if (command.command == Command::Show || command.command == Command::Monitor ||
        command.command == Command::Devices)
        parser.addOption({kJsonOption, QStringLiteral("Print JSON instead of text.")});
    if (command.usesDevice) {
        // `devices` looks at both devices.
        if (command.command != Command::Devices) {
            parser.addOption({kDeviceOption, QStringLiteral("The device to use: 1 (default) or 2."),
                              QStringLiteral("1|2"), QStringLiteral("1")});
        }
        addDeviceOptions(parser);
    }
    if (command.command == Command::Monitor) {
        parser.addOption(
            {kPollsOption, QStringLiteral("Stop after N polls."), QStringLiteral("N")});
    }
}

// The parser's help text with our own usage line in place of its first line, which names the
// executable's full path and puts the options before the command.
QString commandHelp(const QCommandLineParser &parser, const CommandSpec &command)
{
    QString text = parser.helpText();
    const qsizetype firstBreak = text.indexOf(QLatin1Char('\n'));
    return usageLine(command) + (firstBreak < 0 ? QString() : text.mid(firstBreak));
}

// The text broken into lines of at most kHelpWidth characters, each starting with `indent`.
QString wrapped(const QString &text, const QString &indent)
{
    constexpr qsizetype kHelpWidth = 79;
    QString result;
    QString line = indent;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (line.size() > indent.size() && line.size() + 1 + word.size() > kHelpWidth) {
            result += line + QLatin1Char('\n');
            line = indent;
        }
        if (line.size() > indent.size())
            line += QLatin1Char(' ');
        line += word;
    }
    return result + line + QLatin1Char('\n');
}

QString outcomeText(TransferResult result)
{
    // Fallback for outcomes the transfer reports without a message of its own.
    switch (result) {
    case TransferResult::Busy:
        return QStringLiteral("Another transfer is still running");
    case TransferResult::Cancelled:
        return QStringLiteral("Cancelled");
    default:
        return QString();
    }
}

// One transfer in a device session: attach first, release (or restart) after.  Ctrl+C waits for
// the transfer, so the device is released on every way out.
TransferResult runTransfer(DeviceAccess &access, ConfigModel &model, int deviceNumber,
                           TransferView &view, TransferDirection direction)
{
    SignalNotifier interrupt;
    DeviceSession session(access, model, deviceNumber);
    session.begin();
    ConfigTransfer transfer(session.link(), model, view);
    const TransferResult result = runToEnd(transfer, [&transfer, direction] {
        return direction == TransferDirection::Read ? transfer.readFromDevice(nullptr)
                                                    : transfer.writeToDevice();
    });
    session.end();
    return result;
}

// Why a device cannot be used: another program holds it, or it is not there.
QString unavailableText(DeviceLink &link, int deviceNumber)
{
    DevicePresence presence;
    const QMetaObject::Connection connection =
        QObject::connect(&link, &DeviceLink::presenceTested, &link,
                         [&presence](const DevicePresence &tested) { presence = tested; });
    link.testPresence();
    link.waitUntilIdle();
    QObject::disconnect(connection);
    const QString text = presence.unavailableText.at(static_cast<std::size_t>(deviceNumber));
    return text.isEmpty() ? deviceNotFoundText(deviceNumber) : text;
}

std::vector<DeviceSurveyEntry> surveyedDevices(DeviceAccess &access)
{
    ConfigModel model;
    DeviceLink link(access, model);
    std::vector<DeviceSurveyEntry> devices;
    QObject::connect(&link, &DeviceLink::surveyed, &link,
                     [&devices](const std::vector<DeviceSurveyEntry> &found) { devices = found; });
    link.surveyDevices();
    link.waitUntilIdle();
    return devices;
}

} // namespace

OrvexCtl::OrvexCtl(Console &console)
    : m_console(console)
{}

QString OrvexCtl::programName()
{
    return QStringLiteral("orvexctl");
}

QString OrvexCtl::versionText()
{
    return QStringLiteral("%1 %2.%3")
        .arg(programName())
        .arg(ORVEX_VERSION_MAJOR)
        .arg(ORVEX_VERSION_MINOR, 2, 10, QLatin1Char('0'));
}

QString OrvexCtl::generalHelp()
{
    QString text = QStringLiteral("Usage: %1 COMMAND [options] [arguments]\n\n").arg(programName());
    text += wrapped(QStringLiteral("Command-line companion of the ORVEX Configuration Utility: "
                                   "configuration files and the device, from scripts and "
                                   "terminals."),
                    QString());
    text += QStringLiteral("\nCommands:\n");
    for (const CommandSpec &command : commands()) {
        text += QStringLiteral("  %1 %2\n")
                    .arg(QLatin1String(command.name), QLatin1String(command.synopsis));
        text += wrapped(QString::fromUtf8(command.summary), QStringLiteral("      "));
    }
    text += QLatin1Char('\n') +
            wrapped(QStringLiteral("Device commands also take --simulate (a simulated device) "
                                   "or --emulator PATH (the device emulator listening at "
                                   "PATH)."),
                    QString());
    text += QStringLiteral(
        "\nOptions:\n  -h, --help     Show this help, or a command's help after it.\n"
        "  -v, --version  Show the version.\n\n"
        "Exit status: 0 success, 1 the file or the device failed, 2 usage error.\n");
    return text;
}

int OrvexCtl::run(const QStringList &arguments)
{
    const QString first = arguments.value(1);
    if (first.isEmpty())
        return usageError(QStringLiteral("no command given"));
    if (first == QLatin1String("-h") || first == QLatin1String("--help") ||
        first == QLatin1String("help")) {
        m_console.out() << generalHelp() << Qt::flush;
        return kExitSuccess;
    }
    if (first == QLatin1String("-v") || first == QLatin1String("--version")) {
        m_console.printLine(versionText());
        return kExitSuccess;
    }
    const CommandSpec *command = findCommand(first);
    if (command == nullptr)
        return usageError(QStringLiteral("unknown command \"%1\"").arg(first));
    return runCommand(*command, arguments);
}

int OrvexCtl::usageError(const QString &message, const CommandSpec *command)
{
    m_console.errorLine(QStringLiteral("%1: %2").arg(programName(), message));
    if (command != nullptr) {
        m_console.errorLine(usageLine(*command));
        m_console.errorLine(QStringLiteral("Run \"%1 %2 --help\" for more information.")
                                .arg(programName(), QLatin1String(command->name)));
    } else {
        m_console.err() << generalHelp() << Qt::flush;
    }
    return kExitUsage;
}

int OrvexCtl::runCommand(const CommandSpec &command, const QStringList &arguments)
{
    QCommandLineParser parser;
    addOptions(parser, command);
    // The command word itself is not one of the parser's arguments.
    const QStringList withoutCommand = QStringList{arguments.constFirst()} + arguments.mid(2);
    if (!parser.parse(withoutCommand))
        return usageError(parser.errorText(), &command);
    if (parser.isSet(QStringLiteral("help"))) {
        m_console.out() << commandHelp(parser, command) << Qt::flush;
        return kExitSuccess;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.size() != command.arguments.size()) {
        return usageError(positional.size() < command.arguments.size()
                              ? QStringLiteral("missing %1")
                                    .arg(command.arguments.mid(positional.size()).join(u' '))
                              : QStringLiteral("unexpected argument \"%1\"")
                                    .arg(positional.value(command.arguments.size())),
                          &command);
    }
    for (const QString &argument : positional) {
        if (argument.isEmpty())
            return usageError(QStringLiteral("empty file name"), &command);
    }
    if (command.usesDevice) {
        QString error;
        const std::optional<DeviceOptions> options = readDeviceOptions(parser, &error);
        if (!options)
            return usageError(error, &command);
        m_deviceOptions = *options;
        if (!emulatorAnswers())
            return kExitFailure;
    }

    switch (command.command) {
    case Command::Show:
        return show(parser, positional);
    case Command::Compose:
        return compose(positional);
    case Command::Read:
        return read(parser, positional);
    case Command::Write:
        return write(parser, positional);
    case Command::Monitor:
        return monitor(parser);
    case Command::Devices:
        return devices(parser);
    }
    return kExitUsage;
}

int OrvexCtl::selectedDevice(const QCommandLineParser &parser)
{
    const QString value = parser.value(kDeviceOption);
    if (value == QLatin1String("1"))
        return 0;
    if (value == QLatin1String("2"))
        return 1;
    return -1;
}

bool OrvexCtl::emulatorAnswers()
{
    const QString &path = m_deviceOptions.emulatorPath;
    if (!m_deviceOptions.usesEmulator() || m_accessOverride != nullptr || emulatorIsListening(path))
        return true;
    const QString start = path == defaultEmulatorSocketPath()
                              ? QStringLiteral("orvex-emulator")
                              : QStringLiteral("orvex-emulator --socket %1").arg(path);
    m_console.errorLine(
        QStringLiteral("no emulator is listening at %1; start it with %2").arg(path, start));
    return false;
}

DeviceAccess &OrvexCtl::deviceAccess(std::unique_ptr<DeviceAccess> &owned)
{
    if (m_accessOverride != nullptr)
        return *m_accessOverride;
    owned = createDeviceAccess(m_deviceOptions);
    return *owned;
}

int OrvexCtl::show(const QCommandLineParser &parser, const QStringList &files)
{
    ConfigModel model;
    QString reason;
    const FileStatus status = loadConfigFile(model, files.at(0), &reason);
    if (status != FileStatus::Ok) {
        m_console.errorLine(fileProblemText(files.at(0), status, reason));
        return kExitFailure;
    }
    if (parser.isSet(kJsonOption))
        m_console.out() << QString::fromUtf8(ConfigJson::toText(model)) << Qt::flush;
    else
        m_console.out() << ConfigTable::format(model) << Qt::flush;
    return kExitSuccess;
}

int OrvexCtl::compose(const QStringList &files)
{
    const QString &jsonPath = files.at(0);
    const bool fromInput = jsonPath == QLatin1String("-");
    QByteArray text;
    if (fromInput) {
        text = m_console.readAllInput();
    } else {
        // Only regular files of a sensible size: a FIFO would block and /dev/zero never ends.
        constexpr qint64 kMaxJsonSize = 1 << 20;
        QString reason;
        const FileStatus status = readSmallFile(jsonPath, kMaxJsonSize, text, &reason);
        if (status == FileStatus::InvalidFile) {
            m_console.errorLine(
                QStringLiteral("%1: larger than 1 MiB, not a configuration").arg(jsonPath));
            return kExitFailure;
        }
        if (status != FileStatus::Ok) {
            m_console.errorLine(fileProblemText(jsonPath, status, reason));
            return kExitFailure;
        }
    }

    ConfigModel model;
    ConfigJson json;
    if (!json.fromJson(text, model)) {
        m_console.errorLine(fromInput ? json.errorString()
                                      : QStringLiteral("%1: %2").arg(jsonPath, json.errorString()));
        return kExitFailure;
    }
    const ConfigImage image = encodeImage(model);
    // Every value passed the decoder's limits, so the decoder must accept the image; checking
    // anyway keeps a file that the program would refuse from ever being written.
    ConfigModel check;
    if (!decodeImage(check, image)) {
        m_console.errorLine(fileStatusText(FileStatus::InvalidFile));
        return kExitFailure;
    }
    QString reason;
    const FileStatus status = writeImageFile(files.at(1), image, &reason);
    if (status != FileStatus::Ok) {
        m_console.errorLine(fileProblemText(files.at(1), status, reason));
        return kExitFailure;
    }
    return kExitSuccess;
}

int OrvexCtl::read(const QCommandLineParser &parser, const QStringList &files)
{
    const int deviceNumber = selectedDevice(parser);
    if (deviceNumber < 0)
        return usageError(QStringLiteral("--device must be 1 or 2"), findCommand("read"));

    // A file that cannot be saved is known before the device is read, so no read is wasted.
    const QString problem = saveTargetProblem(files.at(0));
    if (!problem.isEmpty()) {
        m_console.errorLine(fileProblemText(files.at(0), FileStatus::SaveError, problem));
        return kExitFailure;
    }

    std::unique_ptr<DeviceAccess> ownAccess;
    DeviceAccess &access = deviceAccess(ownAccess);

    ConfigModel model;
    TerminalTransferView view(m_console);
    const TransferResult result =
        runTransfer(access, model, deviceNumber, view, TransferDirection::Read);
    if (result != TransferResult::Success) {
        if (view.message())
            printUserMessage(m_console, *view.message());
        else
            m_console.errorLine(outcomeText(result));
        return kExitFailure;
    }

    QString reason;
    const FileStatus status = writeImageFile(files.at(0), encodeImage(model), &reason);
    if (status != FileStatus::Ok) {
        m_console.errorLine(fileProblemText(files.at(0), status, reason));
        return kExitFailure;
    }
    if (view.message())
        printUserMessage(m_console, *view.message());
    return kExitSuccess;
}

int OrvexCtl::write(const QCommandLineParser &parser, const QStringList &files)
{
    const int deviceNumber = selectedDevice(parser);
    if (deviceNumber < 0)
        return usageError(QStringLiteral("--device must be 1 or 2"), findCommand("write"));

    // The file is checked before any device is touched.
    ConfigModel model;
    QString reason;
    const FileStatus fileStatus = loadConfigFile(model, files.at(0), &reason);
    if (fileStatus != FileStatus::Ok) {
        m_console.errorLine(fileProblemText(files.at(0), fileStatus, reason));
        return kExitFailure;
    }

    std::unique_ptr<DeviceAccess> ownAccess;
    DeviceAccess &access = deviceAccess(ownAccess);

    TerminalTransferView view(m_console);
    const TransferResult result =
        runTransfer(access, model, deviceNumber, view, TransferDirection::Write);
    if (view.message())
        printUserMessage(m_console, *view.message());
    else if (result != TransferResult::Success)
        m_console.errorLine(outcomeText(result));
    return result == TransferResult::Success ? kExitSuccess : kExitFailure;
}

int OrvexCtl::devices(const QCommandLineParser &parser)
{
    std::unique_ptr<DeviceAccess> ownAccess;
    DeviceAccess &access = deviceAccess(ownAccess);
    const bool virtualDevices = m_deviceOptions.simulate || m_deviceOptions.usesEmulator();
    const DeviceReport report(surveyedDevices(access), virtualDevices
                                                           ? UdevRuleStatus{false, {}, {}}
                                                           : UdevRuleStatus::ofThisSystem());
    if (parser.isSet(kJsonOption))
        m_console.out() << QString::fromUtf8(report.json()) << Qt::flush;
    else
        m_console.out() << report.text() << Qt::flush;
    return report.anyUsable() ? kExitSuccess : kExitFailure;
}

int OrvexCtl::monitor(const QCommandLineParser &parser)
{
    const CommandSpec *command = findCommand(QStringLiteral("monitor"));
    const int deviceNumber = selectedDevice(parser);
    if (deviceNumber < 0)
        return usageError(QStringLiteral("--device must be 1 or 2"), command);
    LiveMonitor::Options options;
    options.json = parser.isSet(kJsonOption);
    if (parser.isSet(kPollsOption)) {
        bool ok = false;
        options.polls = parser.value(kPollsOption).toInt(&ok);
        if (!ok || options.polls < 1)
            return usageError(QStringLiteral("--polls must be a positive whole number"), command);
    }

    std::unique_ptr<DeviceAccess> ownAccess;
    DeviceAccess &access = deviceAccess(ownAccess);

    // From the attach write on, Ctrl+C must end with the release write.
    SignalNotifier interrupt;
    ConfigModel model;
    model.resetSettings(); // the default thresholds, as the main window polls with
    DeviceSession session(access, model, deviceNumber);
    session.begin();
    LiveMonitor monitor(session.link(), m_console, options);
    if (!monitor.start()) {
        const QString reason = unavailableText(session.link(), deviceNumber);
        session.end();
        m_console.errorLine(reason);
        return kExitFailure;
    }

    session.link().startTimers();
    QEventLoop loop;
    QObject::connect(&interrupt, &SignalNotifier::interrupted, &monitor, &LiveMonitor::stop);
    QObject::connect(&monitor, &LiveMonitor::finished, &loop, &QEventLoop::quit);
    loop.exec();
    session.end();
    return kExitSuccess;
}

} // namespace orvex::ctl
