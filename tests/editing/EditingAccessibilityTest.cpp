// The settings dialog and the key picker as a screen reader and a keyboard-only user meet them.

#include "EditingHarness.h"
#include "ModelEditing.h"
#include "core/keys/KeyNames.h"
#include "ui/dialogs/KeyPicker.h"
#include "ui/dialogs/ScreenMetrics.h"
#include "ui/graphs/StepGraphView.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

using namespace orvex;
using orvex::test::EditingHarness;

namespace {

QAccessibleInterface *accessible(QObject *object)
{
    QAccessibleInterface *found = QAccessible::queryAccessibleInterface(object);
    Q_ASSERT(found != nullptr);
    return found;
}

QString nameOf(QObject *object)
{
    return accessible(object)->text(QAccessible::Name);
}

// The pixels where the graph on screen differs from its own picture, by colour.
QSet<QRgb> markedColours(StepGraphView *graph, QRect *markedArea)
{
    const QImage screen = graph->grab(graph->contentsRect()).toImage();
    const QImage &picture = graph->shownImage();
    QSet<QRgb> colours;
    *markedArea = QRect();
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (screen.pixel(x, y) != picture.pixel(x, y)) {
                colours << screen.pixel(x, y);
                *markedArea |= QRect(x, y, 1, 1);
            }
        }
    }
    return colours;
}

QStringList childNames(QAccessibleInterface *parent)
{
    QStringList names;
    for (int i = 0; i < parent->childCount(); ++i)
        names << parent->child(i)->text(QAccessible::Name);
    return names;
}

} // namespace

class EditingAccessibilityTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init() { ScreenMetrics::setScreenSizeOverride(QSize(1920, 1080)); }
    void cleanup() { ScreenMetrics::setScreenSizeOverride(std::nullopt); }

    void settingsControlsSayWhatTheyAre()
    {
        EditingHarness h;
        h.open(0);
        const std::pair<const char *, const char *> lists[] = {
            {"listSteps", "Number of steps"},
            {"listHysteresis", "Hysteresis"},
            {"listPreload", "Preload"},
            {"listRepeat", "Key repeat"},
            {"listPeriodic", "Periodic keystrokes"},
            {"listJoystick", "Axis"}};
        for (const auto &[list, label] : lists) {
            QAccessibleInterface *iface = accessible(h.control<QComboBox>(list));
            QCOMPARE(iface->role(), QAccessible::ComboBox);
            QCOMPARE(iface->text(QAccessible::Name), label);
            QCOMPARE(iface->text(QAccessible::Value), h.control<QComboBox>(list)->currentText());
            // The current entry is also the selected one among the list's entries.
            QAccessibleInterface *current =
                iface->child(0)->child(h.control<QComboBox>(list)->currentIndex());
            QCOMPARE(current->text(QAccessible::Name), h.control<QComboBox>(list)->currentText());
            QVERIFY(current->state().selected);
        }
        QCOMPARE(nameOf(h.control<QWidget>("chkEnabled0")), "Keyboard output");
        QCOMPARE(nameOf(h.control<QWidget>("chkEnabled1")), "Joystick output");
        QCOMPARE(nameOf(h.control<QWidget>("picGraph")), "Step graph");
        QCOMPARE(accessible(h.control<QWidget>("picGraph"))->role(), QAccessible::List);
    }

    void stepGraphReadsItsSectionsAndTheInput_data()
    {
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<int>>("inputs"); // polled in turn
        QTest::addColumn<QString>("description");
        QTest::addColumn<QStringList>("sections"); // from the top, as drawn
        QTest::newRow("4 steps") << 2 << int(kModeKeyboard) << QList<int>{200}
                                 << "Input 200 of 255, in step 4 of 4"
                                 << QStringList{"Step 4: Shift+Alt+Page Up", "Step 3: Not Used",
                                                "Step 2: B", "Step 1: Ctrl+A"};
        QTest::newRow("Directional, both outputs")
            << int(kDirectionalSteps) << int(kModeBoth) << QList<int>{100, 50}
            << "Input 50 of 255, falling, Joystick: X"
            << QStringList{"Rising: B", "Falling: Ctrl+A"};
        QTest::newRow("joystick only: no keys") << 2 << int(kModeJoystick) << QList<int>{0}
                                                << "Input 0 of 255, Joystick: X" << QStringList{};
    }

    void stepGraphReadsItsSectionsAndTheInput()
    {
        QFETCH(int, steps);
        QFETCH(int, mode);
        QFETCH(QList<int>, inputs);
        QFETCH(QString, description);
        QFETCH(QStringList, sections);
        EditingHarness h;
        testing::editChannel(h.model, 0, [&](ChannelSettings &channel) {
            channel.steps = static_cast<std::uint8_t>(steps);
            channel.mode = static_cast<std::uint8_t>(mode);
            channel.keys = {0x04, 0x05, 0x00, 0x4B};
            channel.keyOperators = {kOperatorCtrl, 0, kOperatorShift,
                                    kOperatorShift | kOperatorAlt};
        });
        h.link.waitForDeviceTick();
        h.open(0);
        for (int input : inputs) {
            h.access.device(0).liveValues = {static_cast<std::uint8_t>(input)};
            h.link.pollDevice();
        }

        QAccessibleInterface *graph = accessible(h.control<QWidget>("picGraph"));
        QCOMPARE(graph->text(QAccessible::Description), description);
        QAccessibleValueInterface *value = graph->valueInterface();
        QVERIFY(value != nullptr);
        QCOMPARE(value->currentValue().toInt(), inputs.last());
        QCOMPARE(value->maximumValue().toInt(), 255);
        QCOMPARE(childNames(graph), sections);
        for (int i = 0; i < graph->childCount(); ++i) {
            QCOMPARE(graph->child(i)->role(), QAccessible::ListItem);
            QCOMPARE(graph->indexOfChild(graph->child(i)), i);
            QCOMPARE(graph->child(i)->parent(), graph);
        }
    }

    // Tab reaches the graph, Up and Down choose a section (framed, and the selected item),
    // Enter opens the key picker for it, and in the picker an arrow and Enter pick a key.
    void stepGraphAndKeyPickerWorkFromTheKeyboard()
    {
        EditingHarness h;
        testing::editChannel(h.model, 0, [](ChannelSettings &c) {
            c.steps = 2;
            c.keys[1] = 0x1A; // W
        });
        SettingsDialog &dialog = h.open(0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto *graph = h.control<StepGraphView>("picGraph");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), graph);

        QTest::keyClick(graph, Qt::Key_Up);
        QTest::keyClick(graph, Qt::Key_Up);
        QTest::keyClick(graph, Qt::Key_Down);
        QCOMPARE(graph->selectedSection(), 1);
        // Children run from the top section down: section 1 of 4 is the third.
        QAccessibleInterface *chosen = accessible(graph)->child(2);
        QVERIFY(chosen->state().selected && chosen->state().focused);
        QCOMPARE(accessible(graph)->focusChild(), chosen);

        // The chosen band is framed in white while the graph has the focus, and only then.
        QRect marked;
        QCOMPARE(markedColours(graph, &marked), QSet<QRgb>{qRgb(255, 255, 255)});
        QVERIFY(graph->sectionRect(1).contains(marked));
        QVERIFY(marked.width() > 200 && marked.height() > 120);

        int pickerSection = -1;
        QTimer::singleShot(0, &dialog, [&] {
            QPointer<KeyPicker> picker = dialog.keyPicker();
            QVERIFY(picker && picker->isVisible());
            // A tool window counts as active with its owner; the keys go to the picker's own.
            picker->activateWindow();
            QTRY_COMPARE(QApplication::activeWindow(), picker.data());
            pickerSection = picker->section();
            picker->onFocusTimer(); // the focus goes to the current key, W
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            if (picker && picker->isVisible())
                picker->close();
        });
        QTest::keyClick(graph, Qt::Key_Return);
        QCOMPARE(pickerSection, 1);
        QCOMPARE(dialog.workSettings().keys[1], 0x1F); // "2 @", above W

        dialog.activateWindow();
        QTRY_COMPARE(QApplication::focusWidget(), graph);
        QTest::keyClick(graph, Qt::Key_Tab);
        QVERIFY(!graph->hasFocus());
        QVERIFY(markedColours(graph, &marked).isEmpty());
    }

    void keyPickerKeysSayTheirNamesAndArrowsFollowThePicture()
    {
        QWidget owner;
        auto *picker = new KeyPicker(&owner);
        QCOMPARE(nameOf(picker->keyButton(0x4B)), "Page Up");
        QCOMPARE(nameOf(picker->keyButton(0x46)), "Print Screen");
        picker->show();
        QVERIFY(QTest::qWaitForWindowActive(picker));

        const struct
        {
            std::uint8_t from;
            Qt::Key arrow;
            std::uint8_t to;
        } moves[] = {{0x1A, Qt::Key_Up, 0x1F},    // W to "2 @"
                     {0x1A, Qt::Key_Down, 0x16},  // W to S
                     {0x1A, Qt::Key_Left, 0x14},  // W to Q
                     {0x4B, Qt::Key_Down, 0x4E}}; // Page Up to Page Down
        for (const auto &move : moves) {
            picker->keyButton(move.from)->setFocus(Qt::TabFocusReason);
            QTest::keyClick(picker->keyButton(move.from), move.arrow);
            QCOMPARE(QApplication::focusWidget(), picker->keyButton(move.to));
        }
    }

    // On a narrow screen a key reached from the keyboard is slid into the window.
    void keyPickerShowsTheKeyThatHasTheFocus()
    {
        ScreenMetrics::setScreenSizeOverride(QSize(640, 480));
        QWidget owner;
        auto *picker = new KeyPicker(&owner);
        picker->show();
        QVERIFY(QTest::qWaitForWindowActive(picker));
        const auto inView = [picker](std::uint8_t code) {
            const QWidget *key = picker->keyButton(code);
            return picker->rect().contains(QRect(key->mapTo(picker, QPoint(0, 0)), key->size()));
        };
        for (const std::uint8_t code : {0x56, 0x29}) { // "- (Num)" at the right end, then Esc
            QVERIFY(!inView(code));
            picker->keyButton(code)->setFocus(Qt::TabFocusReason);
            QVERIFY2(inView(code), qPrintable(getKeyName(code)));
        }
    }
};

QTEST_MAIN(EditingAccessibilityTest)
#include "EditingAccessibilityTest.moc"
