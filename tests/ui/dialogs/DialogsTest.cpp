// The editing dialogs, offscreen: the channel settings dialog as the main window opens it (its
// design, the rules that enable its lists, what it stores, the live step graph, the fit to a
// short screen) and the key picker it opens.

#include "ModelEditing.h"
#include "WindowChecks.h"
#include "WindowTest.h"
#include "core/keys/KeyNames.h"
#include "ui/dialogs/ScreenMetrics.h"
#include "ui/graphs/StepGraphView.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

using namespace orvex;
using namespace orvex::testing;

namespace {

// The window test of the settings dialog: the defaults loaded, the dialog's controls by name.
struct DialogTest : WindowTest
{
    DialogTest() { model.resetSettings(); }

    QComboBox *list(const QString &name) const { return control<QComboBox>("list" + name); }
    QPushButton *button(const QString &name) const { return control<QPushButton>("cmd" + name); }
    void click(const QString &name) const { control<QAbstractButton>(name)->click(); }

    // The lists the user can use now, each with its label; "X?" when label and list disagree.
    QStringList enabledLists() const
    {
        QStringList enabled;
        for (const QString name :
             {"Steps", "Hysteresis", "Preload", "Repeat", "Periodic", "Joystick"}) {
            const bool label = control<QLabel>("lbl" + name)->isEnabled();
            if (label != list(name)->isEnabled() || label)
                enabled << name + (label != list(name)->isEnabled() ? "?" : "");
        }
        return enabled;
    }
};

// Whether a key lies wholly inside the picker's window.
bool inView(const KeyPicker &picker, std::uint8_t code)
{
    const QWidget *key = picker.keyButton(code);
    return picker.rect().contains(QRect(key->mapTo(&picker, QPoint(0, 0)), key->size()));
}

} // namespace

class DialogsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { ScreenMetrics::setScreenSizeOverride(QSize(1920, 1080)); }
    void cleanup() { ScreenMetrics::setScreenSizeOverride(std::nullopt); }

    // ---- the settings dialog ----------------------------------------------------------------

    // The design, the labels' shared font that fits them all, and the names screen readers
    // hear: each list is named by its label and reads its entry.
    void dialogFollowsItsDesign()
    {
        DialogTest w;
        SettingsDialog &dialog = w.settings(2);
        QCOMPARE(dialog.objectName() + ": " + dialog.windowTitle(),
                 "frmSettings: ORVEX Configuration Utility - Channel 3 Settings");
        QCOMPARE(dialog.size(), QSize(369, 561));
        const QStringList designed{"picGraph 8,8 225x545  [Step graph]",
                                   "Frame1 240,8 121x329 ",
                                   "Frame2 240,344 121x97 ",
                                   "listPeriodic 8,288 97x21 ",
                                   "chkEnabled0 8,24 81x17 Enabled [Keyboard output]",
                                   "chkEnabled1 8,24 81x17 Enabled [Joystick output]",
                                   "cmdOK 248,480 97x33 OK",
                                   "cmdCancel 248,520 97x33 Cancel"};
        QCOMPARE(placedAll(dialog, designed), designed);
        for (const QLabel *label : dialog.findChildren<QLabel *>()) {
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->text()));
            QCOMPARE(label->height(), 17);
        }
        const QStringList lists{"Steps", "Hysteresis", "Preload", "Repeat", "Periodic", "Joystick"};
        const QStringList labels{"Number of steps", "Hysteresis",          "Preload",
                                 "Key repeat",      "Periodic keystrokes", "Axis"};
        for (int i = 0; i < lists.size(); ++i) {
            QComboBox *list = w.list(lists[i]);
            QAccessibleInterface *heard = QAccessible::queryAccessibleInterface(list);
            QCOMPARE(heard->text(QAccessible::Name), labels[i]);
            QCOMPARE(heard->text(QAccessible::Value), list->currentText());
            QAccessibleInterface *entry = heard->child(0)->child(list->currentIndex());
            QCOMPARE(entry->text(QAccessible::Name), list->currentText());
            QVERIFY(entry->state().selected);
        }
        // Either of a list's actions opens it and closes it again.
        QComboBox *steps = w.list("Steps");
        QAccessibleActionInterface *actions =
            QAccessible::queryAccessibleInterface(steps)->actionInterface();
        for (const QString &action : {QAccessibleActionInterface::pressAction(),
                                      QAccessibleActionInterface::showMenuAction()}) {
            actions->doAction(action);
            QVERIFY(steps->view()->isVisible());
            actions->doAction(action);
            QVERIFY(!steps->view()->isVisible());
        }
        dialog.loadForm(6); // no such channels: the dialog stays where it is
        dialog.loadForm(-1);
        QCOMPARE(dialog.channelIndex(), 2);
        w.settings(5);
        QCOMPARE(dialog.windowTitle(), "ORVEX Configuration Utility - Channel 6 Settings");
    }

    // Every load applies the loaded output boxes and then the step and repeat rules, which
    // enable the lists they govern even without keyboard output; a box the user clicks applies
    // the keyboard box to all its lists at once.
    void outputsAndStepsEnableTheLists()
    {
        const QStringList all{"Steps", "Hysteresis", "Preload", "Repeat", "Periodic", "Joystick"};
        const std::tuple<std::uint8_t, std::uint8_t, std::uint8_t, QStringList> loads[] = {
            {kModeKeyboard, 3, 0, all.mid(0, 5)},
            {kModeJoystick, 3, 0, all.mid(1)},
            {kModeJoystick, 3, 1, {"Hysteresis", "Preload", "Repeat", "Joystick"}},
            {kModeNone, kDirectionalSteps, 0, {"Hysteresis"}},
            {kModeBoth, 3, 0, all},
            {kModeKeyboard, kDirectionalSteps, 0, {"Steps", "Hysteresis"}}};
        DialogTest w;
        const SettingsDialog &dialog = w.settings(0);
        for (const auto &[mode, steps, repeat, enabled] : loads) {
            editChannel(w.model, 0,
                        [&, load = std::tuple(mode, steps, repeat)](ChannelSettings &c) {
                            std::tie(c.mode, c.steps, c.repeat) = load;
                        });
            w.settings(0);
            QCOMPARE(w.enabledLists(), enabled);
        }
        const std::tuple<const char *, std::uint8_t, QStringList> clicks[] = {
            {"chkEnabled1", kModeBoth, all},
            {"chkEnabled0", kModeJoystick, {"Joystick"}},
            {"chkEnabled1", kModeNone, {}}};
        for (const auto &[box, mode, enabled] : clicks) {
            w.click(box);
            QCOMPARE(dialog.workSettings().mode, mode);
            QCOMPARE(w.enabledLists(), enabled);
        }
    }

    // The periodic list: "Disabled", then 0.1 to 10.0 seconds with the user's decimal separator
    // but always the digits 0 to 9.  Key repeat and the step count switch it on and off.  Lists
    // that are switched off or cannot show a value keep it, and so do the keys of the sections
    // above a lowered step count; OK stores it all.  "Disabled" is chosen as any other entry.
    void listsKeepWhatTheyCannotShow()
    {
        const auto restore = qScopeGuard([before = QLocale()] { QLocale::setDefault(before); });
        QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
        DialogTest w;
        editChannel(w.model, 0, [](ChannelSettings &c) {
            c.steps = 5;      // 32 steps
            c.periodic = 150; // not in the list
            c.keys[31] = 0x04;
        });
        SettingsDialog &dialog = w.settings(0);
        QComboBox *periodic = w.list("Periodic");
        QCOMPARE(
            QStringList({QString::number(periodic->count()), periodic->itemText(0),
                         periodic->itemText(1), periodic->itemText(100), periodic->currentText()}),
            QStringList({"101", "Disabled", "0\u066B1 sec", "10\u066B0 sec", ""}));
        // The list and entry chosen; whether the periodic list is on, and the sections then.
        for (const auto &[list, entry, enabled, sections] : {std::tuple("Repeat", 1, false, 32),
                                                             {"Repeat", 0, true, 32},
                                                             {"Steps", 5, false, 2},
                                                             {"Steps", 4, true, 32}}) {
            w.list(list)->setCurrentIndex(entry);
            QCOMPARE(std::pair(w.enabledLists().contains("Periodic"), int(dialog.sections())),
                     std::pair(enabled, sections));
        }
        w.list("Repeat")->setCurrentIndex(1);
        w.click("cmdOK");
        const ChannelSettings &stored = w.model.channel(0);
        QCOMPARE(QList<int>({stored.steps, stored.repeat, stored.periodic, stored.keys[31]}),
                 QList<int>({5, 1, 150, 0x04}));
        QVERIFY(w.model.configChanged());
        editChannel(w.model, 0, [](ChannelSettings &c) { c.periodic = 100; });
        w.settings(0);
        QCOMPARE(periodic->currentText(), "10\u066B0 sec");
        periodic->setCurrentIndex(0);
        QCOMPARE(dialog.workSettings().periodic, 0);
    }

    // The axis list offers the axes no other joystick channel uses, built anew at every opening;
    // a taken axis falls back to the first one offered.
    void axisListOffersTheFreeAxes()
    {
        DialogTest w;
        editChannel(w.model, 0, [](ChannelSettings &c) { c.mode = kModeJoystick; }); // X
        w.settings(2);
        QComboBox *axes = w.list("Joystick");
        QCOMPARE(QList<QVariant>({axes->count(), axes->itemText(0), axes->currentText()}),
                 QList<QVariant>({15, "Y", "Z"}));
        w.click("cmdCancel");
        editChannel(w.model, 0, [](ChannelSettings &c) { c.mode = kModeKeyboard; });
        editChannel(w.model, 1, [](ChannelSettings &c) { c.mode = kModeBoth; });
        editChannel(w.model, 2, [](ChannelSettings &c) { c.axis = 0x31; }); // channel 2's Y
        const SettingsDialog &dialog = w.settings(2);
        QCOMPARE(QList<QVariant>({axes->count(), axes->itemText(0), axes->currentText()}),
                 QList<QVariant>({15, "X", "X"}));
        QCOMPARE(dialog.workSettings().axis, 0x30);
        axes->setCurrentIndex(axes->findText("Vbry"));
        w.click("cmdOK");
        QCOMPARE(w.model.channel(2).axis, 0x44);
    }

    // The dialog ends only by its buttons or its close box, not by Enter or Escape.  Cancel
    // puts back the live threshold that followed the hysteresis list at once; OK and the close
    // box store the changes, and the close box only hides the dialog.  Once ended, the graph no
    // longer follows the polls.
    void endingKeepsOrDropsTheChanges()
    {
        for (const QString ending : {"cmdCancel", "cmdOK", "close box"}) {
            DialogTest w;
            w.searchTick();
            SettingsDialog &dialog = w.settings(2);
            dialog.show();
            w.list("Hysteresis")->setCurrentIndex(0);
            w.list("Preload")->setCurrentIndex(0);
            QCOMPARE(w.model.hysteresisThreshold(2), 8);
            w.button("OK")->setFocus();
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QTest::keyClick(&dialog, Qt::Key_Return);
            QVERIFY(dialog.isVisible());
            if (ending == "close box")
                QVERIFY(dialog.close());
            else
                w.click(ending);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            const QImage shown = w.control<GraphView>("picGraph")->shownImage();
            w.devices.device(0).liveValues[2] = 255;
            w.poll();
            const bool kept = ending != "cmdCancel";
            QCOMPARE(QList<int>({w.model.hysteresisThreshold(2), w.model.channel(2).hysteresis,
                                 w.model.channel(2).preload, w.model.configChanged()}),
                     QList<int>({kept ? 8 : 12, kept ? 0 : 1, kept ? 0 : 1, kept}));
            QVERIFY(!dialog.isVisible());
            QCOMPARE(w.control<GraphView>("picGraph")->shownImage(), shown);
        }
    }

    // From the keyboard alone: OK and Cancel come first, then the graph and the frames in
    // reading order; on the graph Up chooses a section and Enter opens its key picker.  There
    // the focus goes to the current key; Tab reaches the modifier boxes and Space ticks one, and
    // Enter picks nothing until a key has the focus: then it picks that key.
    void keyboardReachesEveryControl()
    {
        DialogTest w;
        editChannel(w.model, 0, [](ChannelSettings &c) {
            c.steps = 2;
            c.keys[1] = 0x63; // ". (Num)", the last key
        });
        SettingsDialog &dialog = w.settings(0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QWidget *first = QApplication::focusWidget();
        QStringList order;
        for (QWidget *widget = first; order.isEmpty() || widget != first;
             widget = widget->nextInFocusChain())
            if (widget->focusPolicy() & Qt::TabFocus)
                order << widget->objectName();
        QCOMPARE(order, QStringList({"cmdOK", "cmdCancel", "picGraph", "chkEnabled0", "listSteps",
                                     "listHysteresis", "listPreload", "listRepeat", "listPeriodic",
                                     "chkEnabled1", "listJoystick"}));
        QTest::keyClick(first, Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        int pickedFor = -1;
        const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
            QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        };
        whenShown<KeyPicker>(&dialog, [&](KeyPicker *picker) {
            pickedFor = picker->section();
            picker->activateWindow(); // a tool window: the keys go to the picker's own focus
            QTRY_COMPARE(QApplication::activeWindow(), picker);
            QTRY_COMPARE(QApplication::focusWidget(), picker->keyButton(0x63));
            QVERIFY(!picker->findChild<QTimer *>("tmrSetFocus")->isActive()); // moved once
            auto *ctrl = picker->findChild<QCheckBox *>("chkOperator0");
            press(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), ctrl);
            press(Qt::Key_Space);
            press(Qt::Key_Return);
            QVERIFY(ctrl->isChecked() && picker->isVisible());
            press(Qt::Key_Tab, Qt::ShiftModifier);
            press(Qt::Key_Up);
            QTest::keyPress(QApplication::focusWidget(), Qt::Key_Return); // picks going down
            QVERIFY(!picker->isVisible());
        });
        QTest::keyClick(w.control<StepGraphView>("picGraph"), Qt::Key_Return);
        QCOMPARE(pickedFor, 1);
        QCOMPARE(QList<int>({dialog.workSettings().keys[1], dialog.workSettings().keyOperators[1]}),
                 QList<int>({0x5B, kOperatorCtrl})); // "3 (Num)"
    }

    // A click on the graph picks a key for the section under it, with its modifier boxes ticked,
    // for OK to store, and the keyboard carries on from that section; the section's key is
    // framed for the keyboard.  The picker is kept after a pick and unloaded by Escape, as by
    // its close box; a key without a button of its own gets no focus.  Without keyboard output
    // neither a click nor Enter picks anything.
    void graphClicksPickKeys()
    {
        DialogTest w;
        editChannel(w.model, 0, [](ChannelSettings &c) {
            c.steps = 5; // 32 steps
            c.keys[31] = 0x32;
            c.keyOperators[31] = kOperatorCtrl | kOperatorAlt | 0x08; // and a bit of no box
        });
        SettingsDialog &dialog = w.settings(0);
        auto *graph = w.control<StepGraphView>("picGraph");
        const auto pickFor = [&](int y, int section, std::function<void(KeyPicker *)> pick) {
            whenShown<KeyPicker>(&dialog, [section, pick](KeyPicker *picker) {
                QCOMPARE(picker->section(), section);
                pick(picker);
            });
            QTest::mousePress(graph, Qt::LeftButton, {}, QPoint(100, y + 2)); // inside its frame
        };
        QList<bool> boxes; // Ctrl, Shift, Alt
        pickFor(0, 31, [&](KeyPicker *picker) {
            for (const QCheckBox *box : picker->findChildren<QCheckBox *>())
                boxes << box->isChecked();
            picker->onFocusTimer();
            picker->keyButton(0x04)->click();
        });
        QCOMPARE(boxes, QList<bool>({true, false, true}));
        QCOMPARE(dialog.workSettings().keys[31], 0x04);
        QCOMPARE(dialog.workSettings().keyOperators[31], kOperatorCtrl | kOperatorAlt);
        QCOMPARE(w.model.channel(0).keys[31], 0x32); // stored only by OK
        QCOMPARE(graph->selectedSection(), 31);
        QPointer<KeyPicker> kept = dialog.keyPicker();
        QVERIFY(kept && !kept->isVisible());
        pickFor(540, 0, [](KeyPicker *picker) {
            picker->activateWindow();
            QTRY_VERIFY(picker->isActiveWindow());
            const QImage unmarked = picker->keyButton(0)->grab().toImage();
            picker->onFocusTimer(); // the current key is framed, though no key was pressed
            QVERIFY(picker->keyButton(0)->grab().toImage() != unmarked);
            picker->keyButton(0x05)->click();
        });
        QCOMPARE(dialog.keyPicker(), kept.data());
        QCOMPARE(dialog.workSettings().keys[0], 0x05);
        pickFor(540, 0, [](KeyPicker *picker) {
            QTest::keyClick(picker, Qt::Key_Escape);
            QVERIFY(!picker->isVisible());
        });
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!kept);
        QCOMPARE(dialog.workSettings().keys[0], 0x05);
        bool opened = false;
        whenShown<KeyPicker>(&dialog, [&](KeyPicker *) { opened = true; });
        Q_EMIT graph->sectionActivated(kMaxSections); // no such section
        w.click("chkEnabled0");                       // keyboard output off
        Q_EMIT graph->sectionActivated(3);
        pickFor(100, 3, [&](KeyPicker *) { opened = true; });
        QVERIFY(!opened && !dialog.keyPicker());
    }

    // A dialog taller than the screen (less 30 pixels for a panel) gives up the difference at
    // the bottom, once, when it is built: the buttons stay below the Joystick frame while the
    // screen allows, and move up over it when OK and Cancel would leave the screen.
    void shortScreensKeepTheButtonsOnScreen()
    {
        QWidget probe;
        const QMargins frame = ScreenMetrics::frameMargins(&probe);
        // The dialog's outer height over the room it has, and whether the buttons stay below.
        const std::pair<int, bool> screens[] = {{31, true},
                                                {39 + frame.bottom(), true},
                                                {40 + frame.bottom(), false},
                                                {561 + 45 - 450, false}}; // 800 x 480
        for (const auto &[excess, belowTheFrame] : screens) {
            const int screenHeight = 561 + frame.top() + frame.bottom() + 30 - excess;
            ScreenMetrics::setScreenSizeOverride(QSize(1024, screenHeight));
            DialogTest w;
            SettingsDialog &dialog = w.settings(0);
            const int moved = belowTheFrame ? 31 : excess;
            QCOMPARE(QList<int>({dialog.height(), w.control<QWidget>("picGraph")->height(),
                                 w.button("OK")->y(), w.button("Cancel")->y()}),
                     QList<int>({561 - moved, 545 - moved, 480 - moved, 520 - moved}));
            QVERIFY(frame.top() + w.button("Cancel")->geometry().bottom() < screenHeight - 30);
            for (QPushButton *button : {w.button("OK"), w.button("Cancel")}) // over the frame
                QCOMPARE(dialog.childAt(button->geometry().bottomLeft() + QPoint(8, -2)), button);
        }
    }

    // ---- the key picker ---------------------------------------------------------------------

    // Every key of the table gets its button, named by its code, captioned literally, with its
    // full name as tooltip and for screen readers; where the keys lie is the table's, checked
    // with the table.
    void pickerFollowsItsDesign()
    {
        WindowTest w;
        const KeyPicker picker(&w.settings(0));
        QCOMPARE(picker.objectName() + ": " + picker.windowTitle(), "frmKeyboard: Select a key");
        QCOMPARE(picker.size(), QSize(905, 328));
        QVERIFY(picker.windowFlags().testFlag(Qt::Tool));
        const QStringList designed{"picFrame 0,0 905x249 ",
                                   "ScrollBar 0,248 905x17  [Keyboard position]",
                                   "cmdKey0 744,0 161x41 Not Used [Not Used]",
                                   "cmdKey36 280,48 41x41 7 && [7 &]",
                                   "cmdKey87 864,88 41x81 + [+ (Num)]",
                                   "chkOperator0 16,304 81x25 Ctrl",
                                   "chkOperator1 16,284 81x25 Shift",
                                   "chkOperator2 16,264 81x25 Alt"};
        QCOMPARE(placedAll(picker, designed), designed);
        QVERIFY(picker.findChild<QScrollBar *>("ScrollBar")->isHidden());
        QCOMPARE(picker.findChildren<QPushButton *>().size(), qsizetype(keyTable().size()));
        for (const KeyEntry &entry : keyTable()) {
            const QPushButton *button = picker.keyButton(entry.code);
            QCOMPARE(button->objectName(), QStringLiteral("cmdKey%1").arg(entry.code));
            QCOMPARE(button->toolTip(), getKeyName(entry.code));
        }
    }

    // On a screen narrower than the picker the window takes the screen's width and the keyboard
    // slides under it, with the scroll bar and to whichever key takes the focus.  A screen just
    // as wide changes nothing.
    void narrowScreenSlidesTheKeyboard()
    {
        ScreenMetrics::setScreenSizeOverride(QSize(640, 480));
        WindowTest w;
        w.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        auto *picker = new KeyPicker(&w.settings(0));
        // Not on screen yet, the picker measures the main window's real frame, not an estimate.
        const QMargins frame(w.window.geometry().left() - w.window.frameGeometry().left(), 0,
                             w.window.frameGeometry().right() - w.window.geometry().right(), 0);
        QWidget probe;
        QVERIFY(ScreenMetrics::frameMargins(&probe).left() != frame.left());
        const int overflow = 905 + frame.left() + frame.right() - 640;
        auto *scrollBar = picker->findChild<QScrollBar *>("ScrollBar");
        QVERIFY(!scrollBar->isHidden());
        QCOMPARE(QList<int>({picker->width(), scrollBar->width(), scrollBar->maximum(),
                             scrollBar->pageStep()}),
                 QList<int>({905 - overflow, 905 - overflow, overflow, overflow}));
        QVERIFY(inView(*picker, 0x29) && !inView(*picker, 0x57));
        scrollBar->setValue(overflow);
        QCOMPARE(picker->findChild<QWidget *>("picFrame")->x(), -overflow);
        QVERIFY(!inView(*picker, 0x29) && inView(*picker, 0x57));
        picker->show();
        picker->activateWindow(); // a tool window: it takes the focus only once activated
        QTRY_COMPARE(QApplication::activeWindow(), picker);
        for (const std::uint8_t code :
             {0x29, 0x56}) { // Esc at the left end, "- (Num)" at the right
            picker->keyButton(code)->setFocus(Qt::TabFocusReason);
            QVERIFY2(inView(*picker, code), qPrintable(getKeyName(code)));
        }
        ScreenMetrics::setScreenSizeOverride(QSize(905 + frame.left() + frame.right(), 480));
        QVERIFY(KeyPicker(&w.settings(0)).findChild<QScrollBar *>("ScrollBar")->isHidden());
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
