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

    // Whether one poll reaches the step graph: the channel's input jumps between nothing and
    // full scale, and the graph's picture has to change with it.
    bool pollRedrawsStepGraph(int channel)
    {
        if (!link.isViewing())
            searchTick();
        std::uint8_t &input = devices.device(link.deviceNumber()).liveValues[channel];
        input = input == 255 ? 0 : 255;
        const QImage before = control<GraphView>("picGraph")->shownImage();
        poll();
        return control<GraphView>("picGraph")->shownImage() != before;
    }
};

// The Ctrl, Shift and Alt boxes, in the order of their bits.
QList<bool> ticked(const KeyPicker &picker)
{
    QList<bool> boxes;
    for (const QCheckBox *box : picker.findChildren<QCheckBox *>())
        boxes << box->isChecked();
    return boxes;
}

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
        QVERIFY(w.pollRedrawsStepGraph(2));
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

    // Lists that are switched off or cannot show a value keep it, and so do the keys of the
    // sections above a lowered step count; OK stores it all.
    void okStoresWhatTheListsKeep()
    {
        DialogTest w;
        editChannel(w.model, 0, [](ChannelSettings &c) {
            c.steps = 5; // 32 steps
            c.periodic = 150;
            c.keys[31] = 0x04;
        });
        SettingsDialog &dialog = w.settings(0);
        QCOMPARE(w.list("Periodic")->currentIndex(), -1); // 15 seconds is not in the list
        w.list("Steps")->setCurrentIndex(5);              // Directional
        QCOMPARE(dialog.sections(), 2);
        w.list("Steps")->setCurrentIndex(4);
        QCOMPARE(dialog.sections(), 32);
        w.list("Repeat")->setCurrentIndex(1);
        w.click("cmdOK");
        const ChannelSettings &stored = w.model.channel(0);
        QCOMPARE(QList<int>({stored.steps, stored.repeat, stored.periodic, stored.keys[31]}),
                 QList<int>({5, 1, 150, 0x04}));
        QVERIFY(w.model.configChanged());
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
            SettingsDialog &dialog = w.settings(2);
            dialog.show();
            w.list("Hysteresis")->setCurrentIndex(2);
            w.list("Preload")->setCurrentIndex(0);
            QCOMPARE(w.model.hysteresisThreshold(2), 16);
            w.button("OK")->setFocus();
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QTest::keyClick(&dialog, Qt::Key_Return);
            QVERIFY(dialog.isVisible());
            if (ending == "close box")
                QVERIFY(dialog.close());
            else
                w.click(ending);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            const bool kept = ending != "cmdCancel";
            QCOMPARE(QList<int>({w.model.hysteresisThreshold(2), w.model.channel(2).hysteresis,
                                 w.model.channel(2).preload, w.model.configChanged()}),
                     QList<int>({kept ? 16 : 12, kept ? 2 : 1, kept ? 0 : 1, kept}));
            QVERIFY(!dialog.isVisible());
            QVERIFY(!w.pollRedrawsStepGraph(2));
        }
    }

    // From the keyboard alone: OK and Cancel come first, then the graph and the frames in
    // reading order; on the graph Up chooses a section and Enter opens its key picker, where the
    // focus goes to the current key and an arrow and Enter pick the key above it.
    void keyboardReachesEveryControl()
    {
        DialogTest w;
        editChannel(w.model, 0, [](ChannelSettings &c) {
            c.steps = 2;
            c.keys[1] = 0x1A; // W
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
        whenShown<KeyPicker>(&dialog, [&](KeyPicker *picker) {
            pickedFor = picker->section();
            picker->activateWindow(); // a tool window: the keys go to the picker's own focus
            QTRY_COMPARE(QApplication::activeWindow(), picker);
            QTRY_COMPARE(QApplication::focusWidget(), picker->keyButton(0x1A));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        QTest::keyClick(w.control<StepGraphView>("picGraph"), Qt::Key_Return);
        QCOMPARE(pickedFor, 1);
        QCOMPARE(dialog.workSettings().keys[1], 0x1F); // "2 @"
    }

    // A click on the graph picks a key for the section under it, with its modifiers ticked, for
    // OK to store.  The picker is kept after a pick and unloaded when closed, and without
    // keyboard output a click picks nothing.
    void graphClicksPickKeys()
    {
        DialogTest w;
        editChannel(w.model, 0, [](ChannelSettings &c) {
            c.steps = 5; // 32 steps
            c.keys[31] = 0x29;
            c.keyOperators[31] = kOperatorCtrl | kOperatorAlt;
        });
        SettingsDialog &dialog = w.settings(0);
        const auto pickFor = [&](qreal y, int section, std::function<void(KeyPicker *)> pick) {
            whenShown<KeyPicker>(&dialog, [section, pick](KeyPicker *picker) {
                QCOMPARE(picker->section(), section);
                pick(picker);
            });
            dialog.onGraphPressed(QPointF(100, y));
        };
        QList<bool> boxes;
        pickFor(0, 31, [&](KeyPicker *picker) {
            boxes = ticked(*picker);
            picker->keyButton(0x04)->click();
        });
        QCOMPARE(boxes, QList<bool>({true, false, true}));
        QCOMPARE(dialog.workSettings().keys[31], 0x04);
        QCOMPARE(dialog.workSettings().keyOperators[31], kOperatorCtrl | kOperatorAlt);
        QCOMPARE(w.model.channel(0).keys[31], 0x29); // stored only by OK
        QPointer<KeyPicker> kept = dialog.keyPicker();
        QVERIFY(kept && !kept->isVisible());
        pickFor(540, 0, [](KeyPicker *picker) { picker->keyButton(0x05)->click(); });
        QCOMPARE(dialog.keyPicker(), kept.data());
        QCOMPARE(dialog.workSettings().keys[0], 0x05);
        pickFor(540, 0, [](KeyPicker *picker) { picker->close(); });
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!kept);
        bool opened = false;
        whenShown<KeyPicker>(&dialog, [&](KeyPicker *) { opened = true; });
        Q_EMIT w.control<StepGraphView>("picGraph")->sectionActivated(kMaxSections); // no such
        w.click("chkEnabled0"); // keyboard output off
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
            QCOMPARE(dialog.childAt(w.button("Cancel")->geometry().center()), w.button("Cancel"));
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

    // The boxes show the modifier bits and nothing else; the focus waits until the picker is on
    // screen, and a code without a key ends the wait all the same.  Escape picks nothing and
    // unloads the picker, as its close box does.
    void setupFocusAndEscape()
    {
        WindowTest w;
        QPointer<KeyPicker> picker = new KeyPicker(&w.settings(0));
        QSignalSpy picked(picker.data(), &KeyPicker::keyPicked);
        auto *focusTimer = picker->findChild<QTimer *>("tmrSetFocus");
        picker->setupKeyboard(4, 0x32, kOperatorShift | 0x08);
        QCOMPARE(ticked(*picker), QList<bool>({false, true, false}));
        picker->onFocusTimer();
        QVERIFY(focusTimer->isActive());
        picker->show();
        picker->onFocusTimer();
        QVERIFY(!focusTimer->isActive());
        QTest::keyClick(picker.data(), Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!picker);
        QCOMPARE(picked.size(), 0);
    }

    // On a screen narrower than the picker the window takes the screen's width and the keyboard
    // slides under it, with the scroll bar and to whichever key takes the focus.
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
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
