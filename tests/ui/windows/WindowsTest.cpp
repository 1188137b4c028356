// The windows of orvex-config, offscreen: the main window on the whole program and two virtual
// devices (its design, its menus, what it shows of the link, start-up and the exit procedure,
// the windows it opens), and the desktop's own message boxes and file dialogs behind the
// program's questions.

#include "ModelEditing.h"
#include "TestFiles.h"
#include "WindowChecks.h"
#include "WindowTest.h"
#include "ui/graphs/GraphView.h"
#include "ui/windows/AboutWindow.h"
#include "ui/windows/DisplayConnectionGuard.h"
#include "ui/windows/MessageBoxAccessPrompts.h"
#include "ui/windows/QtFilePrompts.h"
#include "ui/windows/StatusWindow.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <optional>

using namespace orvex;
using namespace orvex::testing;

namespace {

// A menu as the user sees it: "name caption shortcut" per entry, "name -" for a line.
QStringList entries(const QWidget *menu)
{
    QStringList shown;
    for (const QAction *entry : menu->actions()) {
        const QString name = entry->menu() ? entry->menu()->objectName() : entry->objectName();
        const QString caption = entry->text() + ' ' + entry->shortcut().toString();
        shown << name + ' ' + (entry->isSeparator() ? "-" : caption);
    }
    return shown;
}

QList<int> checkedDelays(const WindowTest &w)
{
    QList<int> checked;
    for (int i = 0; i < MainWindow::kDelayItems; ++i)
        if (w.control<QAction>(QStringLiteral("mnuSupressItem%1").arg(i))->isChecked())
            checked << i;
    return checked;
}

QAccessibleInterface *heard(const WindowTest &w, const QString &name)
{
    return QAccessible::queryAccessibleInterface(w.control<QWidget>(name));
}

// A pixel of a graph, or "background" where it shows the graph's own background colour.
QString pixel(const WindowTest &w, int channel, int x, int y)
{
    const auto *view = w.control<GraphView>(QStringLiteral("picGraph%1").arg(channel));
    const QColor colour = view->shownImage().pixelColor(x, y);
    return colour == view->palette().color(view->backgroundRole()) ? "background" : colour.name();
}

QString status(const WindowTest &w)
{
    return w.control<QLabel>("lblStatus")->text();
}

void trigger(const WindowTest &w, const QString &action)
{
    w.control<QAction>(action)->trigger();
}

// What the window does with files dragged over it and dropped: whether the cursor says yes, and
// whether it takes the drop.
QString dropOn(MainWindow &window, const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    const QPoint at(200, 100);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    return QString(enter.isAccepted() ? "entered" : "refused") +
           (drop.isAccepted() ? " and taken" : "");
}

} // namespace

class WindowsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // ---- the main window ------------------------------------------------------------------

    void windowFollowsItsDesign()
    {
        WindowTest w;
        w.window.show();
        QCOMPARE(w.window.objectName() + ": " + w.window.windowTitle(),
                 "frmmain: ORVEX Configuration Utility");
        QCOMPARE(w.window.centralWidget()->size(), QSize(536, 361));
        QCOMPARE(w.window.minimumSize(), w.window.maximumSize());
        // lblBoardID is wider than its design's 49 pixels, so that "Device 1" fits.
        QStringList designed{"picStatus 0,336 536x25 ",         "lblStatus 1,1 424x25 Status",
                             "LineStatusDivider 432,2 1x20 ",   "chkID0 440,4 17x17  [Device 1]",
                             "lblBoardID 456,5 55x17 Device 1", "chkID1 512,5 17x17  [Device 2]"};
        for (int i = 0; i < 6; ++i) {
            const QString n = QString::number(i), left = QString::number(8 + 88 * i);
            const QString channel = "Channel " + QString::number(i + 1);
            designed << "lblChannel" + n + ' ' + left + ",8 81x17 " + channel
                     << "picGraph" + n + ' ' + left + ",24 81x265  [" + channel + " input]"
                     << "cmdSettings" + n + ' ' + left + ",296 81x33 Settings [" + channel +
                            " Settings]";
        }
        QCOMPARE(placedAll(w.window, designed), designed);
        QCOMPARE(w.window.centralWidget()->findChildren<QWidget *>().size(), designed.size());
        // The divider is one pixel of the palette's button-shadow colour.
        const QImage bar = w.control<QWidget>("picStatus")->grab().toImage();
        QCOMPARE(bar.pixel(432, 10), w.window.palette().color(QPalette::Dark).rgb());
    }

    void menusFollowTheirDesign()
    {
        WindowTest w;
        QCOMPARE(entries(w.window.menuBar()),
                 QStringList({"mnuFile &File ", "mnuOptions &Options ", "mnuHelp &Help "}));
        QCOMPARE(
            entries(w.control<QMenu>("mnuFile")),
            QStringList({"mnuNew &New Ctrl+N", "mnuLine1 -", "mnuOpen &Open Ctrl+O",
                         "mnuSave &Save Ctrl+S", "mnuLine2 -", "mnuRead &Read from ORVEX Ctrl+R",
                         "mnuWrite &Write to ORVEX Ctrl+W", "mnuLine3 -", "mnuExit E&xit "}));
        QStringList options{"mnuDevice0 Device &1 ", "mnuDevice1 Device &2 ", "mnuLine4 -",
                            "mnuSuppress &Delay keystrokes at power on ",
                            "mnuSupressItem0 Disabled "};
        for (int i = 1; i <= 30; ++i)
            options << QStringLiteral("mnuSupressItem%1 %1 sec ").arg(i);
        QCOMPARE(entries(w.control<QMenu>("mnuOptions")) + entries(w.control<QMenu>("mnuSuppress")),
                 options);
        QCOMPARE(entries(w.control<QMenu>("mnuHelp")), QStringList{"mnuAbout &About "});
    }

    // The graphs show the viewed device's inputs; screen readers hear each as a level with its
    // movement.  A lost device clears them until it is back, and then the very same values must
    // be drawn again.
    void graphsFollowTheViewedDevice()
    {
        WindowTest w;
        w.startViewing();
        auto &inputs = w.devices.device(0).liveValues;
        inputs = {100, 100, 100};
        w.poll();
        inputs = {200, 50, 100};
        w.poll();
        QStringList levels;
        for (const char *name : {"picGraph0", "picGraph1", "picGraph2"})
            levels << heard(w, name)->valueInterface()->currentValue().toString() + ' ' +
                          heard(w, name)->text(QAccessible::Description);
        QCOMPARE(levels, QStringList({"200 Rising", "50 Falling", "100 Not moving"}));
        inputs = {255, 0, 128};
        const QString bar = "#00ff00", empty = "#000000";
        for (int round = 0; round < 2; ++round) {
            w.poll();
            w.poll();
            QCOMPARE(QStringList({pixel(w, 0, 0, 0), pixel(w, 0, 76, 260), pixel(w, 1, 38, 260),
                                  pixel(w, 2, 38, 200), pixel(w, 2, 38, 60)}),
                     QStringList({bar, bar, empty, bar, empty}));
            w.devices.setPresent(0, false);
            w.poll();
            QCOMPARE(status(w), "Searching for device...");
            for (int i = 0; i < 6; ++i) // bars or black at the bottom, had they stayed
                QCOMPARE(pixel(w, i, 38, 260), "background");
            QCOMPARE(heard(w, "picGraph0")->valueInterface()->currentValue().toInt(), 0);
            w.devices.setPresent(0, true);
            w.searchTick();
            QCOMPARE(status(w), "Viewing device 1");
        }
        // A window nobody can see composes nothing, and shows the newest sample on its return.
        w.window.hide();
        QCoreApplication::processEvents();
        w.poll();
        QCOMPARE(pixel(w, 0, 38, 260), "background");
        w.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        QCOMPARE(pixel(w, 0, 38, 260), bar);
    }

    // Start-up ends before the window shows when no device can be used, with the defaults never
    // loaded.  Otherwise the search runs from before its last message, the volume warning, so
    // that a device is viewed while the warning is still open.
    void startUp()
    {
        for (const bool plugged : {false, true}) {
            ScriptedPrompts prompts;
            FakePlatform platform;
            platform.volumeLabel = "ORVEX";
            auto devices = std::make_unique<VirtualDeviceAccess>();
            devices->setPresent(0, plugged);
            devices->setPresent(1, false);
            Program program{{std::move(devices), &prompts, &platform}};
            bool viewedDuringTheMessage = false;
            prompts.onMessage = [&](const UserMessage &) {
                QSignalSpy stateChanged(&program.link(), &DeviceLink::stateChanged);
                while (plugged && !program.link().isViewing() && stateChanged.wait(5000)) {
                }
                viewedDuringTheMessage = program.link().isViewing();
            };
            QCOMPARE(program.start(),
                     plugged ? StartupOutcome::ShowWindow : StartupOutcome::NoDevice);
            QCOMPARE(prompts.messages.size(), std::size_t(1));
            QCOMPARE(program.window().isVisible(), plugged);
            QCOMPARE(program.model().channel(0).steps, plugged ? 3 : 0);
            QCOMPARE(viewedDuringTheMessage, plugged);
        }
    }

    // The two boxes and the two menu items always name one device; choosing one changes
    // nothing else in the Options menu.
    void boxesAndMenuSelectOneDevice()
    {
        WindowTest w;
        w.startViewing();
        const auto selected = [&] {
            QStringList on;
            for (const char *name : {"chkID0", "chkID1", "mnuDevice0", "mnuDevice1"})
                if (w.control<QObject>(name)->property("checked").toBool())
                    on << name;
            return on << QString::number(w.link.deviceNumber()) << placed(w.window, "lblBoardID");
        };
        const QStringList device1{"chkID0", "mnuDevice0", "0", "lblBoardID 456,5 55x17 Device 1"};
        const QStringList device2{"chkID1", "mnuDevice1", "1", "lblBoardID 456,5 55x17 Device 2"};
        w.devices.clearLog();
        trigger(w, "mnuDevice0"); // already selected: nothing happens, its mark stays
        w.settle();
        QCOMPARE(selected(), device1);
        QVERIFY(w.devices.log().empty());
        for (const std::uint8_t delay : {0, 5}) {
            w.model.setPowerOnDelay(delay);
            QTest::mouseClick(w.control<QWidget>("chkID0"), Qt::LeftButton); // selects the other
            w.settle();
            QCOMPARE(selected(), device2);
            QCOMPARE(status(w), "Searching for device...");
            w.searchTick();
            QCOMPARE(status(w), "Viewing device 2");
            trigger(w, "mnuDevice0");
            w.settle();
            QCOMPARE(selected(), device1);
            QCOMPARE(checkedDelays(w), QList<int>{delay});
        }
        trigger(w, "mnuDevice1");
        w.settle();
        w.devices.setPresent(1, false); // the search then finds the other one, and says so
        w.searchTick();
        QCOMPARE(selected(), device1);
        w.devices.setPresent(1, true); // and the other way round
        w.devices.setPresent(0, false);
        w.poll();
        w.searchTick();
        QCOMPARE(selected(), device2);
    }

    // The delay menu sets the model's delay, keeps its mark when chosen again, and follows
    // whatever configuration the model gets; New, Save, Open and Read run from the File menu.
    void menusRunTheirCommands()
    {
        QTemporaryDir dir;
        WindowTest w;
        w.startViewing();
        for (const bool again : {false, true}) {
            w.model.markUnchanged();
            trigger(w, "mnuSupressItem12");
            QCOMPARE(w.model.powerOnDelay(), 12);
            QCOMPARE(w.model.configChanged(), !again);
            QCOMPARE(checkedDelays(w), QList<int>{12});
        }
        w.prompts.saveFileAnswers = {dir.filePath("mine")};
        w.prompts.openFileAnswers = {dir.filePath("mine")};
        w.devices.device(0).memory[508] = 20;
        QList<int> delays;
        for (const char *command : {"mnuSave", "mnuNew", "mnuOpen", "mnuRead"}) {
            trigger(w, command);
            w.settle();
            delays << checkedDelays(w);
        }
        QCOMPARE(delays, QList<int>({12, 0, 12, 20}));
        QCOMPARE(w.prompts.messages.back().text,
                 "The configuration was successfully read from the device");
    }

    // A file the desktop hands over (the command line, another start, a drop) opens as File >
    // Open opens its file, after the same question.  A drop takes one configuration file only.
    // While a transfer runs or a dialog is open nothing is dropped, and a handed file waits
    // until the window is free.
    void filesHandedToTheWindow()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath("Pedals.ORV");
        QVERIFY(writeFile(good, bytesOf(encodeImage(Configuration{.powerOnDelay = 7}))));
        QVERIFY(writeFile(dir.filePath("notes.txt"), "x"));
        QVERIFY(QDir(dir.path()).mkdir("folder.orv"));
        const auto url = [&](const char *name) {
            return QUrl::fromLocalFile(dir.filePath(name));
        };
        WindowTest w;
        w.startViewing();
        QSignalSpy opened(&w.window, &MainWindow::fileOpened);
        makeUnsavedChange(w.model);
        w.window.openFile(good); // the question, answered Cancel, stops it
        QCOMPARE(QList<qsizetype>({opened.count(), qsizetype(w.prompts.questions.size())}),
                 QList<qsizetype>({0, 1}));
        w.model.markUnchanged();

        QCOMPARE(QStringList({dropOn(w.window, {url("notes.txt")}),
                              dropOn(w.window, {url("folder.orv")}),
                              dropOn(w.window, {url("Pedals.ORV"), url("notes.txt")}),
                              dropOn(w.window, {QUrl("https://example.org/a.orv")})}),
                 QStringList(4, "refused"));
        QCOMPARE(dropOn(w.window, {url("Pedals.ORV")}), "entered and taken");
        QVERIFY(opened.wait());
        QCOMPARE(checkedDelays(w), QList<int>{7});

        QStringList during;
        const auto handOverNow = [&] {
            w.model.setPowerOnDelay(3);
            w.model.markUnchanged();
            during << dropOn(w.window, {url("Pedals.ORV")});
            w.window.openFile(good);
            during << QString::number(checkedDelays(w).value(0));
        };
        connect(w.window.statusWindow(), &StatusWindow::statusChanged, &w.window,
                [&] { during.isEmpty() ? handOverNow() : void(); });
        for (int round = 0; round < 2; ++round) {
            const qsizetype openedBefore = opened.count();
            if (round == 0) {
                trigger(w, "mnuWrite");
                w.settle();
            } else {
                whenShown<SettingsDialog>(&w.window, [&](SettingsDialog *dialog) {
                    handOverNow();
                    dialog->reject();
                });
                QTest::mouseClick(w.control<QWidget>("cmdSettings0"), Qt::LeftButton);
            }
            QCOMPARE(during.mid(2 * round), QStringList({"refused", "3"}));
            QVERIFY(opened.count() > openedBefore || opened.wait());
            QCOMPARE(checkedDelays(w), QList<int>{7});
        }
        QCOMPARE(opened.count(), 3);
    }

    // Exit and the close box end the program only when nothing is lost: after No, or Yes and a
    // successful save.  Ending releases both devices and restarts the one written to; anything
    // else keeps the program running as it was.
    void exitProcedure()
    {
        const auto yes = SaveChangesAnswer::Yes, no = SaveChangesAnswer::No,
                   cancel = SaveChangesAnswer::Cancel;
        const struct
        {
            std::optional<SaveChangesAnswer> answer; // to the save prompt, when there is one
            QString saveDialog;                      // "saved", "cancelled" or not shown
            bool closeBox, ends;
        } exits[] = {{{}, "", false, true},       {cancel, "", false, false},
                     {cancel, "", true, false},   {no, "", true, true},
                     {yes, "saved", false, true}, {yes, "cancelled", false, false}};
        for (const auto &exit : exits) {
            QTemporaryDir dir;
            const QString path = dir.filePath("at-exit.ORV");
            WindowTest w;
            w.startViewing();
            trigger(w, "mnuWrite");
            w.settle();
            QSignalSpy ended(&w.window, &MainWindow::programEnded);
            if (exit.answer) {
                makeUnsavedChange(w.model);
                w.prompts.saveChangesAnswers = {*exit.answer};
            }
            if (!exit.saveDialog.isEmpty())
                w.prompts.saveFileAnswers = {exit.saveDialog == "saved" ? path : QString()};
            if (exit.closeBox)
                QVERIFY(!w.window.close()); // the window only ever hides itself
            else
                trigger(w, "mnuExit");
            w.settle();
            QCOMPARE(w.prompts.questions.size() + w.prompts.unexpectedQuestions,
                     std::size_t(exit.answer ? 1 : 0));
            QCOMPARE(ended.count(), exit.ends ? 1 : 0);
            QCOMPARE(w.window.isVisible(), !exit.ends);
            QCOMPARE(w.devices.openHandleCount(), exit.ends ? 0 : 1);
            QCOMPARE(w.devices.device(0).restartCount, exit.ends ? 1 : 0);
            QCOMPARE(w.devices.device(1).attached,
                     exit.ends ? std::optional(false) : std::optional<bool>());
            QCOMPARE(readFile(path).size(), exit.saveDialog == "saved" ? 512 : 0);
        }
    }

    // While a transfer runs its progress shows, and whatever would change the model, the device
    // or the selection under it is refused: the close box, Exit, Escape on the progress, the menus.
    void transferLocksTheWindow()
    {
        WindowTest w;
        w.startViewing();
        QSignalSpy ended(&w.window, &MainWindow::programEnded);
        StatusWindow *progress = w.window.statusWindow();
        const auto enabledCommands = [&] {
            int enabled = 0;
            for (const char *name :
                 {"mnuNew", "mnuOpen", "mnuSave", "mnuRead", "mnuWrite", "mnuExit", "mnuAbout",
                  "mnuDevice0", "mnuDevice1", "mnuSuppress", "chkID0", "chkID1", "cmdSettings0",
                  "cmdSettings5"})
                enabled += w.control<QObject>(name)->property("enabled").toBool() ? 1 : 0;
            return enabled;
        };
        int updates = 0;
        connect(progress, &StatusWindow::statusChanged, &w.window, [&](QString text) {
            ++updates;
            QCOMPARE(placed(*progress, "lblStatus"),
                     "lblStatus 8,8 193x33 " + text.replace("\r\n", "\n"));
            QCOMPARE(enabledCommands(), 0);
            QVERIFY(progress->isVisible() && !progress->isModal());
            QVERIFY(!w.window.close());
            QTest::keyClick(progress, Qt::Key_Escape);
            w.window.onExitTriggered();
            w.window.onDeviceMenuTriggered(1);
        });
        trigger(w, "mnuWrite");
        w.settle();
        QVERIFY(updates > 1);
        QCOMPARE(progress->size(), QSize(208, 42));
        QVERIFY(!progress->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QCOMPARE(progress->objectName() + ": " + progress->windowTitle(),
                 "frmStatus: ORVEX Configuration Utility");
        QCOMPARE(enabledCommands(), 14);
        QVERIFY(!progress->isVisible());
        QCOMPARE(ended.count(), 0);
        QCOMPARE(w.link.deviceNumber(), 0);
        w.window.showTransferStatus(); // the next transfer starts from the first text again
        QCOMPARE(progress->statusText(), "Initializing...");
        // One line sits in the top left corner, where two lines start.
        QCOMPARE(progress->findChild<QLabel *>("lblStatus")->alignment(),
                 Qt::AlignLeft | Qt::AlignTop);
    }

    // Every Settings button opens the one modal settings dialog of the run, for its channel.  The
    // dialog shows the live input from its first picture on, and then follows the main window's
    // polls.
    void settingsButtonsShareOneDialog()
    {
        WindowTest w;
        w.startViewing();
        QList<QPointer<QDialog>> opened;
        for (const int channel : {2, 5}) {
            w.devices.device(0).liveValues[channel] = 200;
            w.poll();
            whenShown<SettingsDialog>(&w.window, [&](SettingsDialog *dialog) {
                opened << dialog;
                QCOMPARE(dialog->channelIndex(), channel);
                auto *graph = w.control<GraphView>("picGraph");
                QCOMPARE(graph->readingValue(), 200);
                const QImage before = graph->shownImage();
                w.devices.device(0).liveValues[channel] = 255;
                w.poll();
                QVERIFY(graph->shownImage() != before);
                w.poll(); // the input rests
                const QImage moved = graph->shownImage();
                std::uint8_t noModifiers = 0;
                dialog->setKey(0, 0x04, noModifiers);
                w.poll(); // the inputs rest, yet the tick shows the step's new key
                QVERIFY(graph->shownImage() != moved);
                dialog->reject();
            });
            QTest::mouseClick(w.control<QWidget>("cmdSettings" + QString::number(channel)),
                              Qt::LeftButton);
        }
        QCOMPARE(opened.size(), 2);
        QCOMPARE(opened.at(0), opened.at(1));
        QVERIFY(opened.at(0)->isModal() && !opened.at(0)->isVisible());
        // Closed, it no longer asks for the polls that bring nothing new.
        QSignalSpy sampled(&w.link, &DeviceLink::sampled);
        w.poll();
        QCOMPARE(sampled.count(), 0);
    }

    // Help > About shows the one About window of the run, modal, until Escape or Enter.
    void aboutWindowFollowsItsDesign()
    {
        WindowTest w;
        w.window.show();
        QList<QPointer<QDialog>> opened;
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            whenShown<AboutWindow>(&w.window, [&, key](AboutWindow *about) {
                opened << about;
                QCOMPARE(about->objectName() + ": " + about->windowTitle(),
                         "frmAbout: About ORVEX");
                QCOMPARE(about->size(), QSize(287, 104));
                const QStringList designed{
                    "lblDescription 16,8 259x70 ORVEX version 2.58\nCopyright \u00A9 2003-2024 "
                    "ORVEX Controls\nwww.orvex-controls.example",
                    "cmdOK 104,72 84x23 OK"};
                QCOMPARE(placedAll(*about, designed), designed);
                QVERIFY(about->findChild<QPushButton *>("cmdOK")->isDefault());
                QTest::keyClick(about, key);
                QVERIFY(!about->isVisible());
            });
            trigger(w, "mnuAbout");
        }
        QCOMPARE(opened.size(), 2);
        QCOMPARE(opened.at(0), opened.at(1));
        QVERIFY(opened.at(0)->isModal());
        QCOMPARE(versionLine(2, 5), "ORVEX version 2.5"); // plain numbers, no padding
    }

    // While the display is being opened, messages wait; afterwards they reach the handler that
    // was there before, the waiting ones first.
    void displayGuardHandsMessagesBack()
    {
        static QStringList heard;
        const QtMessageHandler before = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &text) { heard << text; });
        std::optional<DisplayConnectionGuard> guard(std::in_place, QStringLiteral("orvex-config"));
        qWarning("while connecting");
        QVERIFY(heard.isEmpty());
        guard.reset();
        qWarning("after");
        qInstallMessageHandler(before);
        QCOMPARE(heard, QStringList({"while connecting", "after"}));
    }

    // ---- the desktop's message boxes and file dialogs ----------------------------------------

    // The question before a change is lost: Yes, No and Cancel answer for themselves, and
    // Escape and the close box answer Cancel.
    void saveChangesQuestion()
    {
        WindowTest w;
        QtFilePrompts prompts;
        prompts.setDialogParent(&w.window);
        const int escape = 0, closeBox = 1;
        using Answer = SaveChangesAnswer;
        const std::pair<int, Answer> answers[] = {{QMessageBox::Yes, Answer::Yes},
                                                  {QMessageBox::No, Answer::No},
                                                  {QMessageBox::Cancel, Answer::Cancel},
                                                  {escape, Answer::Cancel},
                                                  {closeBox, Answer::Cancel}};
        for (const auto &[how, answer] : answers) {
            int asked = 0;
            whenShown<QMessageBox>(&w.window, [&, how = how](QMessageBox *box) {
                ++asked;
                QCOMPARE(box->windowTitle(), "ORVEX Configuration Utility");
                QCOMPARE(box->text(), "Save changes?\n\nfor good");
                QCOMPARE(box->icon(), QMessageBox::NoIcon);
                QCOMPARE(box->standardButtons(),
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
                QVERIFY(box->defaultButton() == box->button(QMessageBox::Yes));
                if (how == escape)
                    QTest::keyClick(box, Qt::Key_Escape);
                else if (how == closeBox)
                    box->close();
                else
                    box->button(QMessageBox::StandardButton(how))->click();
            });
            QCOMPARE(prompts.askSaveChanges({"Save changes?\r\n\r\nfor good",
                                             "ORVEX Configuration Utility", MessageIcon::None}),
                     answer);
            QCOMPARE(asked, 1);
        }
    }

    // The file commands' messages show their icon and an OK button, modal to the main window;
    // the device-access offer asks Yes or No, and tells in the same kind of box.
    void messageBoxes()
    {
        // The program's own prompts, as main() has them, rather than WindowTest's scripted ones.
        FakePlatform platform;
        Program program{{std::make_unique<VirtualDeviceAccess>(), nullptr, &platform}};
        MainWindow &window = program.window();
        MessageBoxAccessPrompts accessPrompts(&window);
        QList<QMessageBox::Icon> shown;
        const auto answerWith = [&](QMessageBox::StandardButton button) {
            whenShown<QMessageBox>(&window, [&, button](QMessageBox *box) {
                QCOMPARE(box->windowTitle(), "ORVEX");
                QCOMPARE(box->text(), "first\n(code 1)");
                QVERIFY(button == QMessageBox::Ok ||
                        box->defaultButton() == box->button(QMessageBox::Yes));
                shown << box->icon();
                box->button(button)->click();
            });
        };
        for (const MessageIcon icon : {MessageIcon::None, MessageIcon::Information,
                                       MessageIcon::Exclamation, MessageIcon::Critical}) {
            answerWith(QMessageBox::Ok);
            window.showMessage({"first\r\n(code 1)", "ORVEX", icon});
        }
        answerWith(QMessageBox::Ok);
        accessPrompts.showMessage({"first\r\n(code 1)", "ORVEX", MessageIcon::Critical});
        for (const auto button : {QMessageBox::Yes, QMessageBox::No}) {
            answerWith(button);
            QCOMPARE(accessPrompts.askYesNo({"first\r\n(code 1)", "ORVEX", MessageIcon::None}),
                     button == QMessageBox::Yes);
        }
        using Box = QMessageBox;
        QCOMPARE(shown,
                 QList<Box::Icon>({Box::NoIcon, Box::Information, Box::Warning, Box::Critical,
                                   Box::Critical, Box::Question, Box::Question}));
    }

    // Each file dialog proposes the path it is given, shows every file and returns the chosen
    // path, or nothing when cancelled.
    void fileDialogs()
    {
        QTemporaryDir dir;
        const QString proposed = dir.filePath("Config.ORV");
        WindowTest w;
        QtFilePrompts prompts;
        prompts.setDialogParent(&w.window);
        for (const bool save : {true, false}) {
            for (const bool accepted : {true, false}) {
                int shown = 0;
                whenShown<QFileDialog>(&w.window, [&](QFileDialog *dialog) {
                    ++shown;
                    QCOMPARE(dialog->windowTitle(), save ? "Save File" : "Open File");
                    QCOMPARE(dialog->acceptMode(),
                             save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
                    QCOMPARE(dialog->nameFilters(), QStringList{"All Files (*)"});
                    QCOMPARE(dialog->selectedFiles(), QStringList{proposed});
                    QMetaObject::invokeMethod(dialog, accepted ? "accept" : "reject");
                });
                const QString chosen =
                    save ? prompts.getSaveFileName(proposed) : prompts.getOpenFileName(proposed);
                QCOMPARE(shown, 1);
                QCOMPARE(chosen, accepted ? proposed : QString());
            }
            QVERIFY(writeFile(proposed, QByteArray(512, '\0'))); // what Open will find
        }
    }
};

QTEST_MAIN(WindowsTest)
#include "WindowsTest.moc"
