// orvex-emulator: serves two virtual ORVEX devices on a Unix-domain socket, so that the
// configuration utility and orvexctl can be run and scripted without hardware
// (start them with --emulator PATH).

#include "core/backends/emulator/EmulatorSocketPath.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "core/platform/linux/SignalNotifier.h"
#include "programs/emulator/EmulatorServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>
#include <array>
#include <optional>

using namespace orvex;

namespace {

struct EmulatorOptions
{
    QString socketPath;
    std::array<bool, 2> present{true, false};
    bool animate = false;
    bool verbose = false;
    bool printSocket = false;
};

// "1", "2", "1,2" or "none".
std::optional<std::array<bool, 2>> parseDeviceList(const QString &text)
{
    std::array<bool, 2> present{false, false};
    if (text.compare(QStringLiteral("none"), Qt::CaseInsensitive) == 0)
        return present;
    for (const QString &item : text.split(QLatin1Char(','))) {
        const QString number = item.trimmed();
        if (number == QStringLiteral("1"))
            present[0] = true;
        else if (number == QStringLiteral("2"))
            present[1] = true;
        else
            return std::nullopt;
    }
    return present;
}

std::optional<EmulatorOptions> parseOptions(const QCoreApplication &app, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Serves two virtual ORVEX devices on a Unix-domain socket for the "
                       "configuration utility and orvexctl (--emulator PATH)."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption socketOption(
        QStringLiteral("socket"),
        QStringLiteral("Listen at <path> (default: %1).").arg(defaultEmulatorSocketPath()),
        QStringLiteral("path"), defaultEmulatorSocketPath());
    const QCommandLineOption devicesOption(
        QStringLiteral("devices"),
        QStringLiteral("Devices plugged in at start: 1, 2, 1,2 or none (default: 1)."),
        QStringLiteral("list"), QStringLiteral("1"));
    const QCommandLineOption animateOption(QStringLiteral("animate"),
                                           QStringLiteral("Move the live inputs in slow waves."));
    const QCommandLineOption verboseOption(
        QStringLiteral("verbose"), QStringLiteral("Print every request and reply to stderr."));
    const QCommandLineOption printSocketOption(
        QStringLiteral("print-socket"),
        QStringLiteral("Print the path of the socket it would listen at, and exit."));
    parser.addOptions(
        {socketOption, devicesOption, animateOption, verboseOption, printSocketOption});
    parser.process(app);

    if (!parser.positionalArguments().isEmpty()) {
        *error =
            QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first());
        return std::nullopt;
    }
    EmulatorOptions options;
    // QLocalServer would put a bare name in the temporary folder, not where the user is.
    options.socketPath = QFileInfo(parser.value(socketOption)).absoluteFilePath();
    options.animate = parser.isSet(animateOption);
    options.verbose = parser.isSet(verboseOption);
    options.printSocket = parser.isSet(printSocketOption);
    const auto present = parseDeviceList(parser.value(devicesOption));
    if (!present) {
        *error = QStringLiteral("--devices takes 1, 2, 1,2 or none");
        return std::nullopt;
    }
    options.present = *present;
    if (parser.value(socketOption).isEmpty()) {
        *error = QStringLiteral("--socket needs a path");
        return std::nullopt;
    }
    return options;
}

void setUpDevices(VirtualDeviceAccess &devices, const EmulatorOptions &options)
{
    for (int number : {0, 1}) {
        devices.setPresent(number, options.present[static_cast<std::size_t>(number)]);
        devices.device(number).animated = options.animate;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvex-emulator"));
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2").arg(ORVEX_VERSION_MAJOR).arg(ORVEX_VERSION_MINOR));
    QTextStream err(stderr);

    QString error;
    const std::optional<EmulatorOptions> options = parseOptions(app, &error);
    if (!options) {
        err << "orvex-emulator: " << error << Qt::endl;
        return 2;
    }

    // Scripts ask where the emulator listens rather than work it out themselves.
    if (options->printSocket) {
        QTextStream(stdout) << options->socketPath << Qt::endl;
        return 0;
    }

    VirtualDeviceAccess devices;
    setUpDevices(devices, *options);

    EmulatorServer server(devices);
    if (!prepareSocketFolder(options->socketPath, &error) ||
        !server.listen(options->socketPath, &error)) {
        err << "orvex-emulator: " << error << Qt::endl;
        return 1;
    }
    if (options->verbose) {
        QObject::connect(&server, &EmulatorServer::lineHandled,
                         [&err](const QByteArray &request, const QByteArray &reply) {
                             err << "> " << request << "\n< " << reply << Qt::endl;
                         });
    }

    // SIGINT and SIGTERM end the event loop, so the socket goes and every handle is closed.
    SignalNotifier interrupts;
    QObject::connect(&interrupts, &SignalNotifier::interrupted, &app, &QCoreApplication::quit);
    QTextStream(stdout) << "orvex-emulator: listening at " << server.socketPath() << Qt::endl;
    const int status = QCoreApplication::exec();
    server.close();
    return status;
}
