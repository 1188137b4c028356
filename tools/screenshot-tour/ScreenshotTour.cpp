// orvex-screenshot-tour: makes the pictures of the user guide.  It puts the program's own
// windows together on the in-process simulated Device 1, exactly as orvex-config --simulate
// does, opens a sample configuration, clicks its way through the windows as a user would and
// saves each window as a PNG.  The poll ticks are driven here, so that every run gives the same
// pictures of the same windows.
//
// Usage: orvex-screenshot-tour OUTPUT-FOLDER   (scripts/screenshots runs it under Xvfb)

#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "core/config/ConfigImage.h"
#include "core/config/ConfigModel.h"
#include "core/link/DeviceLink.h"
#include "core/platform/PlatformServices.h"
#include "ui/dialogs/KeyPicker.h"
#include "ui/dialogs/SettingsDialog.h"
#include "ui/program/Program.h"
#include "ui/windows/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace orvex;

// After this many 10 ms poll ticks the six simulated inputs stand well apart from each other
// and from both ends of the range.
constexpr int kPollTicks = 1185;

// The channel whose settings dialog is shown, and the step clicked in its graph.
constexpr int kShownChannel = 0;
constexpr int kClickedSection = 1;

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "orvex-screenshot-tour: %s\n", qPrintable(message));
    std::exit(EXIT_FAILURE);
}

// No elevation and no volume warning: start-up goes straight to the main window.
class QuietPlatform : public PlatformServices
{
public:
    QString commandLine() const override { return QStringLiteral("--simulate"); }
    bool callsForElevation() override { return false; }
    bool elevate() override { return false; }
    QString currentVolumeLabel() override { return {}; }
};

// A configuration for a foot pedal and a few sliders, loaded the way File > Open loads a file.
void loadSampleConfiguration(ConfigModel &model)
{
    Configuration sample = defaultConfiguration();
    ChannelSettings &pedal = sample.channels[0];
    pedal.steps = 2; // 4 steps: nothing, then Left, Ctrl+Space and Right as the pedal goes down
    pedal.keys = {0, 0x50, 0x2C, 0x4F};
    pedal.keyOperators = {0, 0, kOperatorCtrl, 0};
    pedal.hysteresis = 1;
    ChannelSettings &wheel = sample.channels[1];
    wheel.steps = kDirectionalSteps; // Page Down falling, Page Up rising
    wheel.keys = {0x4E, 0x4B};
    wheel.repeat = 1;
    sample.channels[2].steps = 4; // 16 steps
    sample.channels[3].mode = kModeJoystick;
    sample.channels[4].steps = kDirectionalSteps;
    sample.channels[5].mode = kModeBoth;
    sample.powerOnDelay = 2;

    if (!decodeImage(model, encodeImage(sample)))
        fail(QStringLiteral("the sample configuration does not decode"));
    model.markUnchanged();
}

class Tour
{
public:
    explicit Tour(const QString &folder)
        : m_folder(folder)
    {}

    // A top-level window as it is drawn, without the window manager's frame.
    void save(QWidget *window, const QString &name) { save(window->grab(), name); }

    void save(const QPixmap &picture, const QString &name)
    {
        const QString path = m_folder.filePath(name);
        if (picture.isNull() || !picture.save(path, "PNG"))
            fail(QStringLiteral("cannot save %1").arg(path));
        std::printf("%s (%dx%d)\n", qPrintable(path), picture.width(), picture.height());
    }

    // The window with one of its menu bar's menus open, the menu drawn where it pops up.
    void saveWithMenu(QMainWindow &window, QMenu *menu, const QString &name)
    {
        window.menuBar()->setActiveAction(menu->menuAction());
        if (!QTest::qWaitFor([menu] { return menu->isVisible(); }))
            fail(QStringLiteral("the %1 menu does not open").arg(menu->objectName()));
        const QPixmap windowPicture = window.grab();
        const QPixmap menuPicture = menu->grab();
        const QPoint menuOffset = menu->pos() - window.mapToGlobal(QPoint(0, 0));
        const QRect area =
            QRect(QPoint(0, 0), windowPicture.size()).united(QRect(menuOffset, menuPicture.size()));
        QPixmap picture(area.size());
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.drawPixmap(0, 0, windowPicture);
        painter.drawPixmap(menuOffset, menuPicture);
        painter.end();
        save(picture, name);
        menu->hide();
    }

    template <typename Dialog> static Dialog *shownModal()
    {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (dialog == nullptr || !QTest::qWaitForWindowExposed(dialog))
            fail(QStringLiteral("the expected dialog did not open"));
        return dialog;
    }

    template <typename T> static T *child(QWidget *window, const QString &name)
    {
        T *found = window->findChild<T *>(name);
        if (found == nullptr)
            fail(QStringLiteral("no control named %1").arg(name));
        return found;
    }

private:
    QDir m_folder;
};

// The settings dialog of a channel, then the key picker for one of its steps; both are closed
// with Cancel, as a user only looking would.
void visitSettings(Tour &tour, MainWindow &window, DeviceLink &link)
{
    QTimer::singleShot(0, &window, [&tour, &link] {
        auto *dialog = Tour::shownModal<SettingsDialog>();
        link.pollDevice(); // the live graph at the inputs of now
        link.waitUntilIdle();
        tour.save(dialog, QStringLiteral("settings-dialog.png"));

        QTimer::singleShot(0, dialog, [&tour] {
            auto *picker = Tour::shownModal<KeyPicker>();
            picker->onFocusTimer(); // the focus on the step's key, as the picker's timer does
            tour.save(picker, QStringLiteral("key-picker.png"));
            picker->close(); // picks nothing
        });
        auto *graph = Tour::child<QWidget>(dialog, QStringLiteral("picGraph"));
        const int sections = dialog->sections();
        const QPoint step(graph->width() / 2, graph->height() *
                                                  (2 * (sections - kClickedSection) - 1) /
                                                  (2 * sections));
        QTest::mouseClick(graph, Qt::LeftButton, {}, step); // returns when the picker closes
        dialog->onCancelClicked();
    });
    QTest::mouseClick(
        Tour::child<QPushButton>(&window, QStringLiteral("cmdSettings%1").arg(kShownChannel)),
        Qt::LeftButton); // returns when the dialog closes
}

int runTour(const QString &folder)
{
    if (!QDir(folder).exists())
        fail(QStringLiteral("no folder %1").arg(folder));
    Tour tour(folder);

    // As orvex-config --simulate puts itself together, with the ticks and the clock of the
    // simulated inputs driven from here.
    auto simulation = std::make_unique<VirtualDeviceAccess>();
    simulation->setPresent(1, false);
    simulation->device(0).animated = true;
    std::int64_t clockMs = 10;
    simulation->setClock([&clockMs] { return clockMs; });
    QuietPlatform platform;
    Program program({std::move(simulation), nullptr, &platform, Startup::Timers::LeaveStopped});
    if (program.start() != StartupOutcome::ShowWindow)
        fail(QStringLiteral("start-up did not reach the main window"));

    loadSampleConfiguration(program.model());
    MainWindow &window = program.window();
    DeviceLink &link = program.link();
    if (!QTest::qWaitForWindowExposed(&window))
        fail(QStringLiteral("the main window is not shown"));
    link.waitForDeviceTick(); // finds Device 1 and starts viewing it
    for (int tick = 0; tick < kPollTicks; ++tick) {
        clockMs += 10;
        link.pollDevice();
        link.waitUntilIdle();
    }

    tour.save(&window, QStringLiteral("main-window.png"));
    tour.saveWithMenu(window, Tour::child<QMenu>(&window, QStringLiteral("mnuFile")),
                      QStringLiteral("file-menu.png"));
    visitSettings(tour, window, link);
    return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvex-config"));
    if (argc != 2) {
        std::fprintf(stderr, "usage: orvex-screenshot-tour OUTPUT-FOLDER\n");
        return 2;
    }
    // A window that never opens must not leave the tour waiting for ever.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout,
                     [] { fail(QStringLiteral("gave up after 60 seconds")); });
    watchdog.start(60'000);
    return runTour(QString::fromLocal8Bit(argv[1]));
}
