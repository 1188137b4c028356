// orvex-config on a real Wayland compositor, a headless Weston that run-on-weston.sh starts: the
// program as main() builds it on the simulated device reaches "Viewing device 1", every window
// survives what a compositor may ask of it (maximize, fullscreen, a modal child minimized)
// with its design and its state, and the exit procedure ends the program.

#include "WindowChecks.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "core/link/DeviceLink.h"
#include "ui/dialogs/KeyPicker.h"
#include "ui/dialogs/SettingsDialog.h"
#include "ui/program/Program.h"
#include "ui/windows/MainWindow.h"

#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QWindow>
#include <QtTest>

using namespace orvex;
using namespace orvex::testing;

namespace {

// Announces the update requests of a window.  On Wayland a window that has just committed a
// frame gets its next one only once the compositor has shown that frame.
class UpdateWatcher : public QObject
{
    Q_OBJECT

public:
    explicit UpdateWatcher(QWindow *window) { window->installEventFilter(this); }

Q_SIGNALS:
    void updateRequested();

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::UpdateRequest)
            Q_EMIT updateRequested();
        return false;
    }
};

// Draws `window` now and waits until the compositor has shown that frame.  A window that broke
// the protocol is cut off from the compositor before, and Qt ends the program.
bool shownByCompositor(QWidget *window)
{
    UpdateWatcher watcher(window->windowHandle());
    QSignalSpy shown(&watcher, &UpdateWatcher::updateRequested);
    window->repaint();
    window->windowHandle()->requestUpdate();
    return shown.wait();
}

// Asks `window` for `state` as Qt's own title bar does, and waits until the compositor's size
// for it is applied and shown.
bool reachState(QWidget *window, Qt::WindowState state)
{
    QSignalSpy resized(window->windowHandle(), &QWindow::widthChanged);
    window->setWindowState(state);
    return resized.wait() && shownByCompositor(window);
}

// The design of a window: where its named controls are, what they say, and its title.
QStringList design(const QWidget &window, const QStringList &controls)
{
    QStringList placedControls{window.windowTitle()};
    for (const QString &name : controls)
        placedControls << placed(window, name);
    return placedControls;
}

// Maximize and fullscreen, each followed by the normal state: the window takes the compositor's
// size and keeps its design; back to normal it has the size of its design again.
void survivesGrowing(QWidget *window, const QStringList &controls)
{
    const QSize designSize = window->size();
    const QStringList designed = design(*window, controls);
    for (const Qt::WindowState state : {Qt::WindowMaximized, Qt::WindowFullScreen}) {
        QVERIFY2(reachState(window, state), qPrintable(window->objectName()));
        QVERIFY(window->width() > designSize.width());
        QCOMPARE(design(*window, controls), designed);
        QVERIFY(reachState(window, Qt::WindowNoState));
        QCOMPARE(window->size(), designSize);
    }
}

// A modal child minimized: the compositor hides it; the program goes on drawing its windows.
void survivesMinimizing(QWidget *child, MainWindow &window)
{
    child->setWindowState(Qt::WindowMinimized);
    QVERIFY(shownByCompositor(&window));
    QVERIFY(child->isVisible());
}

} // namespace

class WaylandTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyWindowSurvivesTheCompositor()
    {
        QCOMPARE(QGuiApplication::platformName(), "wayland");
        const std::unique_ptr<Program> program =
            Program::forOptions({.simulate = true, .emulatorPath = {}});
        QSignalSpy states(&program->link(), &DeviceLink::stateChanged);
        QCOMPARE(program->start(), StartupOutcome::ShowWindow);
        MainWindow &window = program->window();
        auto *status = window.findChild<QLabel *>("lblStatus");
        while (status->text() != "Viewing device 1")
            QVERIFY(states.wait());
        QVERIFY(shownByCompositor(&window));

        survivesGrowing(&window, {"client", "lblStatus", "cmdSettings5", "chkID1"});

        int pickerChecks = 0;
        whenShown<SettingsDialog>(&window, [&](SettingsDialog *settings) {
            survivesGrowing(settings, {"picGraph", "Frame1", "Frame2", "cmdOK", "cmdCancel"});
            whenShown<KeyPicker>(settings, [&](KeyPicker *picker) {
                survivesGrowing(picker, {"picFrame", "chkOperator0", "cmdKey4"});
                survivesMinimizing(picker, window);
                ++pickerChecks;
            });
            settings->onGraphPressed(QPointF(20, 20));
            survivesMinimizing(settings, window);
        });
        QTest::mouseClick(window.findChild<QWidget *>("cmdSettings0"), Qt::LeftButton);
        QCOMPARE(pickerChecks, 1);
        QCOMPARE(status->text(), "Viewing device 1");

        QSignalSpy ended(&window, &MainWindow::programEnded);
        window.findChild<QAction *>("mnuExit")->trigger();
        QVERIFY(ended.count() == 1 || ended.wait()); // once the device thread let them go
        QCOMPARE(static_cast<VirtualDeviceAccess &>(program->devices()).openHandleCount(), 0);
    }
};

QTEST_MAIN(WaylandTest)
#include "WaylandTest.moc"
