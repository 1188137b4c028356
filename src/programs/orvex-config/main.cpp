// orvex-config: the ORVEX Configuration Utility.

#include "ui/windows/DisplayConnectionGuard.h"
#include "core/platform/linux/LinuxPlatformServices.h"
#include "ui/windows/MainWindow.h"
#include "ui/windows/MessageBoxAccessPrompts.h"
#include "ui/windows/QtFilePrompts.h"
#include "core/startup/Startup.h"
#include "core/config/ConfigModel.h"
#include "core/config/FileCommands.h"
#include "core/config/UserMessage.h"
#include "core/link/DevicePolling.h"
#include "core/link/DeviceTransport.h"
#include "core/backends/DeviceAccessFactory.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QEvent>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

using namespace orvex;

// Not shown by --help: ends the program through its exit procedure as soon as the main window
// has been shown and painted once, so that start-up time and memory can be measured on the
// whole process (bench/run does).
const QString kQuitAfterShowOption = QStringLiteral("quit-after-show");

struct ProgramOptions
{
    DeviceOptions devices;
    bool quitAfterShow = false;
};

// Runs the window's exit procedure right after its first paint.
class QuitAfterFirstPaint : public QObject
{
public:
    explicit QuitAfterFirstPaint(MainWindow &window)
        : m_window(window)
    {
        m_window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            m_window.removeEventFilter(this);
            // Queued, so that this paint is finished and on the screen first.
            QMetaObject::invokeMethod(&m_window, &MainWindow::mnuExit_Click, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    MainWindow &m_window;
};

// Virtual devices need no device permissions: a program on --simulate or --emulator must not
// offer to fix the access to a real device that it is not going to use.
class VirtualDevicesPlatform : public PlatformServices
{
public:
    explicit VirtualDevicesPlatform(PlatformServices &system)
        : m_system(system)
    {}

    QString commandLine() const override { return m_system.commandLine(); }
    bool callsForElevation() override { return false; }
    bool elevate() override { return false; }
    QString currentVolumeLabel() override { return m_system.currentVolumeLabel(); }

private:
    PlatformServices &m_system;
};

void describeProgram()
{
    QCoreApplication::setApplicationName(QStringLiteral("orvex-config"));
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2").arg(ORVEX_VERSION_MAJOR).arg(ORVEX_VERSION_MINOR));
}

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(kMainWindowTitle);
    parser.addHelpOption();
    parser.addVersionOption();
    addDeviceOptions(parser);
    QCommandLineOption quitAfterShow(kQuitAfterShowOption,
                                     QStringLiteral("Quit as soon as the main window is painted."));
    quitAfterShow.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(quitAfterShow);
}

// --help and --version are answered before the windowing system is touched, so that they work
// without a display.  Everything else waits for QApplication, which takes its own options
// (-platform, -style, ...) off the command line first.
void answerHelpAndVersion(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    describeProgram();
    QCommandLineParser parser;
    describeOptions(parser);
    parser.parse(QCoreApplication::arguments());
    for (const char *name : {"help", "help-all", "version"}) {
        if (parser.isSet(QString::fromLatin1(name)))
            parser.process(app); // prints the answer and ends the program
    }
}

std::optional<ProgramOptions> parseCommandLine(const QApplication &app)
{
    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(app); // unknown options end the program here with a message

    QString error;
    std::optional<DeviceOptions> devices = readDeviceOptions(parser, &error);
    if (!devices) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(error));
        return std::nullopt;
    }
    return ProgramOptions{*devices, parser.isSet(kQuitAfterShowOption)};
}

// The program's objects, in the order they depend on each other.
int runProgram(QApplication &app, const ProgramOptions &options)
{
    const std::unique_ptr<DeviceAccess> access = createDeviceAccess(options.devices);
    DeviceTransport transport(*access);
    ConfigModel model;
    DevicePolling polling(transport, model);
    QtFilePrompts prompts;
    FileCommands files(model, prompts);

    MainWindow window(model, polling, files, prompts);
    prompts.setDialogParent(&window);
    window.setSimulatedDevices(dynamic_cast<VirtualDeviceAccess *>(access.get()));

    MessageBoxAccessPrompts accessPrompts(&window);
    LinuxPlatformServices platform(&accessPrompts);
    VirtualDevicesPlatform virtualPlatform(platform);
    const bool virtualDevices = options.devices.simulate || options.devices.usesEmulator();
    Startup startup(virtualDevices ? static_cast<PlatformServices &>(virtualPlatform) : platform,
                    polling, files, window, window);
    switch (startup.run()) {
    case StartupOutcome::Relaunched:
        return EXIT_SUCCESS;
    case StartupOutcome::NoDevice:
        return EXIT_FAILURE;
    case StartupOutcome::ShowWindow:
        break;
    }

    QObject::connect(&window, &MainWindow::programEnded, &app, [] { QCoreApplication::exit(); });
    std::optional<QuitAfterFirstPaint> quitAfterShow;
    if (options.quitAfterShow)
        quitAfterShow.emplace(window);
    window.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    answerHelpAndVersion(argc, argv);

    std::optional<DisplayConnectionGuard> displayGuard(std::in_place,
                                                       QStringLiteral("orvex-config"));
    QApplication app(argc, argv);
    displayGuard.reset();
    describeProgram();
    QGuiApplication::setDesktopFileName(QStringLiteral("orvex-config"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("orvex-config")));
    // The main window only hides at exit; the exit procedure ends the program itself.
    QApplication::setQuitOnLastWindowClosed(false);

    const std::optional<ProgramOptions> options = parseCommandLine(app);
    if (!options)
        return EXIT_FAILURE;
    return runProgram(app, *options);
}
