// orvex-config: the ORVEX Configuration Utility.

#include "core/backends/DeviceAccessFactory.h"
#include "core/config/UserMessage.h"
#include "core/platform/PlatformServices.h"
#include "programs/orvex-config/SessionInstance.h"
#include "ui/program/Program.h"
#include "ui/windows/DisplayConnectionGuard.h"
#include "ui/windows/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QUrl>
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

// Not shown by --help either: prints every file that was handed to the window (on the command
// line, by a drop or by another start) once it has been opened, with the delay that the Options
// menu then shows.  The test of the hand-over between two starts (tests/desktop) reads it.
const QString kPrintOpenedFilesOption = QStringLiteral("print-opened-files");

struct ProgramOptions
{
    DeviceOptions devices;
    QString fileArgument; // the file as named on the command line
    QString file;         // absolute; empty when none was named
    bool quitAfterShow = false;
    bool quitWhenViewing = false;
    bool printOpenedFiles = false;
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

// Prints each opened file with the delay the window then shows.
void printOpenedFiles(MainWindow &window)
{
    QObject::connect(&window, &MainWindow::fileOpened, &window, [&window](const QString &path) {
        QString delay;
        for (const QAction *item : window.findChildren<QAction *>()) {
            if (item->objectName().startsWith(QLatin1String("mnuSupressItem")) && item->isChecked())
                delay = item->text();
        }
        std::printf("Opened %s: %s\n", qPrintable(path), qPrintable(delay));
        std::fflush(stdout);
    });
}

// A file as the desktop names it, a path or a file: URL, made absolute: the running instance
// that may open it has a current folder of its own.
QString absoluteFilePath(const QString &argument)
{
    const QUrl url(argument);
    const QString path = url.isLocalFile() ? url.toLocalFile() : argument;
    return QFileInfo(path).absoluteFilePath();
}

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
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("A configuration file to open once the program "
                                                "has started, as File > Open opens it."),
                                 QStringLiteral("[FILE]"));
    QCommandLineOption quitAfterShow(kQuitAfterShowOption,
                                     QStringLiteral("Quit as soon as the main window is painted."));
    quitAfterShow.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(quitAfterShow);
    QCommandLineOption quitWhenViewing(
        kQuitWhenViewingOption,
        QStringLiteral("Print the status bar and quit as soon as a device is viewed."));
    quitWhenViewing.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(quitWhenViewing);
    QCommandLineOption printOpenedFiles(
        kPrintOpenedFilesOption,
        QStringLiteral("Print every file handed to the window once opened."));
    printOpenedFiles.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(printOpenedFiles);
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
    const QStringList files = parser.positionalArguments();
    if (devices && files.size() > 1) {
        error = QStringLiteral("only one configuration file can be opened at a time (%1 were "
                               "named).")
                    .arg(files.size());
        devices.reset();
    }
    if (!devices) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(error));
        return std::nullopt;
    }
    const QString file = files.value(0);
    return ProgramOptions{*devices,
                          file,
                          file.isEmpty() ? QString() : absoluteFilePath(file),
                          parser.isSet(kQuitAfterShowOption),
                          parser.isSet(kQuitWhenViewingOption),
                          parser.isSet(kPrintOpenedFilesOption)};
}

// The window takes what later starts hand over once start-up is done, after its own file.
void openHandedFiles(MainWindow &window, SessionInstance &instance, const QString &file)
{
    QObject::connect(&instance, &SessionInstance::activationRequested, &window,
                     &MainWindow::bringToFront);
    QObject::connect(&instance, &SessionInstance::fileHandedOver, &window, &MainWindow::openFile);
    QObject::connect(&window, &MainWindow::programEnded, &instance, &SessionInstance::release);
    if (!file.isEmpty())
        window.openFile(file);
    instance.startDelivering();
}

int runProgram(QApplication &app, const ProgramOptions &options, SessionInstance &instance)
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
    if (options.printOpenedFiles)
        printOpenedFiles(window);
    openHandedFiles(window, instance, options.file);
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
    QGuiApplication::setDesktopFileName(SessionInstance::applicationId());
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("orvex-config")));
    // The main window only hides at exit; the exit procedure ends the program itself.
    QApplication::setQuitOnLastWindowClosed(false);

    const std::optional<ProgramOptions> options = parseCommandLine(app);
    if (!options)
        return EXIT_FAILURE;
    takeFileArgument(argc, argv, options->fileArgument);

    // Before start-up touches a device: the running instance may hold them.
    SessionInstance instance(options->devices);
    switch (instance.claimOrHandOver(options->file)) {
    case SessionInstance::Role::HandedOver:
        return EXIT_SUCCESS;
    case SessionInstance::Role::Failed:
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(instance.error()));
        return EXIT_FAILURE;
    case SessionInstance::Role::Alone:
    case SessionInstance::Role::First:
        break;
    }
    return runProgram(app, *options, instance);
}
