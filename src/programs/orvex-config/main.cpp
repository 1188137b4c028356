// orvex-config: the ORVEX Configuration Utility.

#include "core/backends/DeviceAccessFactory.h"
#include "core/config/UserMessage.h"
#include "ui/program/Program.h"
#include "ui/windows/DisplayConnectionGuard.h"
#include "ui/windows/MainWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

using namespace orvex;

// Not shown by --help: ends the program through its exit procedure as soon as the main window
// has been shown and painted once, so that start-up time and memory can be measured on the
// whole process (bench/run does).
const QString kQuitAfterShowOption = QStringLiteral("quit-after-show");

// Not shown by --help either: once the main window is on screen and a device is viewed, prints
// the status bar's text and ends the program through its exit procedure.  A test started from
// outside (tests/programs/orvex-config) sees with it that the program's own timers find a device
// after start-up and that the exit procedure ends the event loop.
const QString kQuitWhenViewingOption = QStringLiteral("quit-when-viewing");

struct ProgramOptions
{
    DeviceOptions devices;
    bool quitAfterShow = false;
    bool quitWhenViewing = false;
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
            QMetaObject::invokeMethod(&m_window, &MainWindow::onExitTriggered,
                                      Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    MainWindow &m_window;
};

// Prints the status bar once the shown window views a device, then runs the exit procedure.
class QuitWhenViewing : public QObject
{
public:
    QuitWhenViewing(MainWindow &window, DeviceLink &link)
        : m_window(window)
    {
        // Connected after the window's own handler, so that the status bar already shows the
        // viewed device.
        m_connection =
            connect(&link, &DeviceLink::stateChanged, this, &QuitWhenViewing::onStateChanged);
    }

private:
    void onStateChanged(const LinkState &state)
    {
        if (!state.viewing || !m_window.isVisible())
            return;
        disconnect(m_connection);
        const auto *status = m_window.findChild<QLabel *>(QStringLiteral("lblStatus"));
        std::printf("%s\n", qPrintable(status->text()));
        std::fflush(stdout);
        QMetaObject::invokeMethod(&m_window, &MainWindow::onExitTriggered, Qt::QueuedConnection);
    }

    MainWindow &m_window;
    QMetaObject::Connection m_connection;
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
    QCommandLineOption quitWhenViewing(
        kQuitWhenViewingOption,
        QStringLiteral("Print the status bar and quit as soon as a device is viewed."));
    quitWhenViewing.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(quitWhenViewing);
}

// --help and --version are answered before the windowing system is touched, so that they work
// without a display.  Everything else waits for QApplication, which takes its own options
// (-platform, -style, ...) off the command line first.
void answerHelpAndVersion(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
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
    return ProgramOptions{*devices, parser.isSet(kQuitAfterShowOption),
                          parser.isSet(kQuitWhenViewingOption)};
}

int runProgram(QApplication &app, const ProgramOptions &options)
{
    const std::unique_ptr<Program> program = Program::forOptions(options.devices);
    switch (program->start()) {
    case StartupOutcome::Relaunched:
        return EXIT_SUCCESS;
    case StartupOutcome::NoDevice:
        return EXIT_FAILURE;
    case StartupOutcome::ShowWindow:
        break;
    }

    MainWindow &window = program->window();
    QObject::connect(&window, &MainWindow::programEnded, &app, [] { QCoreApplication::exit(); });
    std::optional<QuitAfterFirstPaint> quitAfterShow;
    if (options.quitAfterShow)
        quitAfterShow.emplace(window);
    std::optional<QuitWhenViewing> quitWhenViewing;
    if (options.quitWhenViewing)
        quitWhenViewing.emplace(window, program->link());
    return QApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    describeProgram(); // the name and version outlive the application objects made below
    answerHelpAndVersion(argc, argv);

    std::optional<DisplayConnectionGuard> displayGuard(std::in_place,
                                                       QStringLiteral("orvex-config"));
    QApplication app(argc, argv);
    displayGuard.reset();
    QGuiApplication::setDesktopFileName(QStringLiteral("orvex-config"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("orvex-config")));
    // The main window only hides at exit; the exit procedure ends the program itself.
    QApplication::setQuitOnLastWindowClosed(false);

    const std::optional<ProgramOptions> options = parseCommandLine(app);
    if (!options)
        return EXIT_FAILURE;
    return runProgram(app, *options);
}
