#include "EditingHarness.h"
#include "ModelEditing.h"
#include "ui/dialogs/KeyPicker.h"
#include "ui/dialogs/ScreenMetrics.h"
#include "ui/graphs/GraphView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

using namespace orvex;
using orvex::test::EditingHarness;
using orvex::testing::editChannel;

namespace {

const QStringList kKeyboardControls{"lblSteps",    "listSteps",   "lblHysteresis", "listHysteresis",
                                    "lblPreload",  "listPreload", "lblRepeat",     "listRepeat",
                                    "lblPeriodic", "listPeriodic"};

QStringList enabledControls(const EditingHarness &h, const QStringList &names)
{
    QStringList enabled;
    for (const QString &name : names) {
        if (h.control<QWidget>(name)->isEnabled())
            enabled << name;
    }
    return enabled;
}

// Runs `inPicker` inside the picker's modal loop, then makes sure the loop ends.
void whileKeyPickerIsOpen(SettingsDialog &dialog, std::function<void(KeyPicker &)> inPicker)
{
    QTimer::singleShot(0, &dialog, [&dialog, inPicker] {
        QPointer<KeyPicker> picker = dialog.keyPicker();
        if (picker.isNull() || !picker->isVisible()) {
            QFAIL("the key picker is not open");
        }
        inPicker(*picker);
        if (!picker.isNull() && picker->isVisible())
            picker->close();
    });
}

// Whether one poll of the link reaches the step graph: the open channel's input jumps between
// nothing and full scale, and the graph's picture has to change with it.
bool pollRedrawsStepGraph(EditingHarness &h)
{
    if (!h.link.isViewing())
        h.link.waitForDeviceTick();
    const auto channel = static_cast<std::size_t>(h.dialog->channelIndex());
    std::uint8_t &input = h.access.device(h.link.deviceNumber()).liveValues[channel];
    input = input == 255 ? 0 : 255;
    const QImage before = h.control<GraphView>("picGraph")->shownImage();
    h.link.pollDevice();
    return h.control<GraphView>("picGraph")->shownImage() != before;
}

} // namespace

class SettingsDialogTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init() { ScreenMetrics::setScreenSizeOverride(QSize(1920, 1080)); }
    void cleanup() { ScreenMetrics::setScreenSizeOverride(std::nullopt); }

    void designLayoutAndCaption()
    {
        EditingHarness h;
        SettingsDialog &dialog = h.open(2);
        QCOMPARE(dialog.windowTitle(), "ORVEX Configuration Utility - Channel 3 Settings");
        QCOMPARE(dialog.size(), QSize(369, 561));
        auto *graph = h.control<GraphView>("picGraph");
        QCOMPARE(graph->geometry(), QRect(8, 8, 225, 545));
        QCOMPARE(graph->drawingAreaSize(), QSize(221, 541));
        QCOMPARE(h.control<QGroupBox>("Frame1")->geometry(), QRect(240, 8, 121, 329));
        QCOMPARE(h.control<QGroupBox>("Frame2")->geometry(), QRect(240, 344, 121, 97));
        QCOMPARE(h.control<QComboBox>("listPeriodic")->geometry(), QRect(8, 288, 97, 21));
        QCOMPARE(h.control<QPushButton>("cmdOK")->geometry(), QRect(248, 480, 97, 33));
        QCOMPARE(h.control<QPushButton>("cmdCancel")->geometry(), QRect(248, 520, 97, 33));
        QCOMPARE(h.control<QComboBox>("listSteps")->count(), 6);
        QCOMPARE(h.control<QComboBox>("listSteps")->itemText(5), "Directional");
        for (QLabel *label : dialog.findChildren<QLabel *>()) {
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->text()));
            QCOMPARE(label->height(), 17);
        }
        QVERIFY(pollRedrawsStepGraph(h));

        h.open(5);
        QCOMPARE(dialog.windowTitle(), "ORVEX Configuration Utility - Channel 6 Settings");
    }

    void openingAJoystickOnlyChannel()
    {
        EditingHarness h;
        editChannel(h.model, 1, [](ChannelSettings &c) {
            c.mode = kModeJoystick;
            c.steps = 4;
            c.repeat = 0;
        });
        h.open(1);

        QVERIFY(!h.control<QCheckBox>("chkEnabled0")->isChecked());
        QVERIFY(h.control<QCheckBox>("chkEnabled1")->isChecked());
        QVERIFY(h.control<QComboBox>("listJoystick")->isEnabled());
        QVERIFY(h.control<QLabel>("lblJoystick")->isEnabled());
        // The step-count and key-repeat rules run after the check-box rule and re-enable the
        // lists they govern; only the step count itself stays disabled.
        QCOMPARE(enabledControls(h, kKeyboardControls),
                 QStringList({"lblHysteresis", "listHysteresis", "lblPreload", "listPreload",
                              "lblRepeat", "listRepeat", "lblPeriodic", "listPeriodic"}));
        QCOMPARE(h.dialog->workSettings().mode, kModeJoystick);
        QCOMPARE(h.dialog->sections(), 16);

        editChannel(h.model, 1, [](ChannelSettings &c) { c.repeat = 1; });
        h.open(1);
        QVERIFY(!h.control<QComboBox>("listPeriodic")->isEnabled());
    }

    void eitherEnabledBoxAppliesTheKeyboardBoxToAllTenControls()
    {
        EditingHarness h;
        editChannel(h.model, 0, [](ChannelSettings &c) {
            c.steps = kDirectionalSteps;
            c.mode = kModeKeyboard;
        });
        h.open(0);
        QCOMPARE(enabledControls(h, kKeyboardControls),
                 QStringList({"lblSteps", "listSteps", "lblHysteresis", "listHysteresis"}));

        h.control<QCheckBox>("chkEnabled1")->click();
        QCOMPARE(h.dialog->workSettings().mode, kModeBoth);
        QCOMPARE(enabledControls(h, kKeyboardControls), kKeyboardControls);
        QVERIFY(h.control<QComboBox>("listJoystick")->isEnabled());

        h.control<QCheckBox>("chkEnabled0")->click();
        QCOMPARE(h.dialog->workSettings().mode, kModeJoystick);
        QVERIFY(enabledControls(h, kKeyboardControls).isEmpty());

        h.control<QCheckBox>("chkEnabled1")->click();
        QCOMPARE(h.dialog->workSettings().mode, kModeNone);
        QVERIFY(!h.control<QComboBox>("listJoystick")->isEnabled());
    }

    void reopeningRunsTheListRulesEvenForUnchangedEntries()
    {
        EditingHarness h;
        editChannel(h.model, 0, [](ChannelSettings &c) { c.steps = kDirectionalSteps; });
        h.open(0);
        h.control<QCheckBox>("chkEnabled1")->click();
        h.control<QCheckBox>("chkEnabled1")->click();
        QVERIFY(h.control<QComboBox>("listPreload")->isEnabled());

        h.control<QPushButton>("cmdCancel")->click();
        h.open(0);
        // Neither box nor the step list changes here, yet the step-count rule runs again.
        QVERIFY(!h.control<QComboBox>("listPreload")->isEnabled());
        QVERIFY(!h.control<QComboBox>("listPeriodic")->isEnabled());
    }

    void axisListLeavesOutAxesOfOtherJoystickChannels()
    {
        EditingHarness h;
        const std::uint8_t axes[] = {0x30, 0x31, 0x32, 0x33, 0x34};
        for (int channel = 0; channel < 5; ++channel) {
            editChannel(h.model, channel, [&](ChannelSettings &c) {
                c.mode = channel % 2 ? kModeBoth : kModeJoystick;
                c.axis = axes[channel];
            });
        }
        editChannel(h.model, 5, [](ChannelSettings &c) {
            c.mode = kModeJoystick;
            c.axis = 0x31; // taken by channel 2
        });
        h.open(5);

        auto *list = h.control<QComboBox>("listJoystick");
        QCOMPARE(list->count(), 11);
        QCOMPARE(list->currentIndex(), 0);
        QCOMPARE(list->currentText(), "Rz");
        QCOMPARE(list->itemData(10).toUInt(), 0x46u);
        QCOMPARE(h.dialog->workSettings().axis, 0x35);

        h.control<QPushButton>("cmdOK")->click();
        QCOMPARE(h.model.channel(5).axis, 0x35);
        QVERIFY(h.model.configChanged());
    }

    void axisListIsRebuiltAtEveryOpening()
    {
        EditingHarness h;
        editChannel(h.model, 0, [](ChannelSettings &c) { c.mode = kModeJoystick; }); // X
        editChannel(h.model, 1, [](ChannelSettings &c) { c.mode = kModeKeyboard; }); // Y, but off
        h.open(2);
        auto *list = h.control<QComboBox>("listJoystick");
        QCOMPARE(list->count(), 15);
        QCOMPARE(list->itemText(0), "Y");
        QCOMPARE(list->currentText(), "Z");

        h.control<QPushButton>("cmdCancel")->click();
        editChannel(h.model, 0, [](ChannelSettings &c) { c.mode = kModeKeyboard; });
        h.open(2);
        QCOMPARE(list->count(), 16);
        QCOMPARE(list->currentText(), "Z");

        list->setCurrentIndex(list->findText("Vbry"));
        QCOMPARE(h.dialog->workSettings().axis, 0x44);
    }

    void directionalDisablesListsButKeepsTheirValues()
    {
        EditingHarness h;
        editChannel(h.model, 3, [](ChannelSettings &c) {
            c.steps = 1;
            c.preload = 1;
            c.repeat = 0;
            c.periodic = 25;
        });
        const ChannelSettings &stored = h.model.channel(3);
        h.open(3);

        h.control<QComboBox>("listSteps")->setCurrentIndex(5);
        QCOMPARE(h.dialog->sections(), 2);
        QCOMPARE(enabledControls(h, kKeyboardControls),
                 QStringList({"lblSteps", "listSteps", "lblHysteresis", "listHysteresis"}));

        h.control<QPushButton>("cmdOK")->click();
        QCOMPARE(stored.steps, kDirectionalSteps);
        QCOMPARE(stored.preload, 1);
        QCOMPARE(stored.periodic, 25);
    }

    void keyRepeatDisablesPeriodicWithoutChangingIt()
    {
        EditingHarness h;
        editChannel(h.model, 0, [](ChannelSettings &c) { c.periodic = 42; });
        h.open(0);
        auto *periodic = h.control<QComboBox>("listPeriodic");
        QCOMPARE(periodic->currentText(), "4.2 sec");

        h.control<QComboBox>("listRepeat")->setCurrentIndex(1);
        QVERIFY(!periodic->isEnabled());
        QVERIFY(!h.control<QLabel>("lblPeriodic")->isEnabled());
        h.control<QComboBox>("listRepeat")->setCurrentIndex(0);
        QVERIFY(periodic->isEnabled());
        h.control<QComboBox>("listRepeat")->setCurrentIndex(1);

        h.control<QPushButton>("cmdOK")->click();
        QCOMPARE(h.model.channel(0).repeat, 1);
        QCOMPARE(h.model.channel(0).periodic, 42);
    }

    void stepCountChangesKeepTheKeysOfHigherSections()
    {
        EditingHarness h;
        editChannel(h.model, 4, [](ChannelSettings &c) {
            c.steps = 5;
            c.keys[31] = 0x04;
            c.keyOperators[31] = kOperatorCtrl | kOperatorShift;
            c.keys[7] = 0x4C;
        });
        const ChannelSettings &stored = h.model.channel(4);
        h.open(4);

        auto *steps = h.control<QComboBox>("listSteps");
        steps->setCurrentIndex(0);
        QCOMPARE(h.dialog->sections(), 2);
        QCOMPARE(h.dialog->workSettings().steps, 1);
        steps->setCurrentIndex(4);
        QCOMPARE(h.dialog->sections(), 32);

        h.control<QPushButton>("cmdOK")->click();
        QCOMPARE(stored.keys[31], 0x04);
        QCOMPARE(stored.keyOperators[31], kOperatorCtrl | kOperatorShift);
        QCOMPARE(stored.keys[7], 0x4C);
        QVERIFY(!h.model.configChanged());
    }

    void hysteresisChangesTheLiveThresholdAtOnceAndCancelRestoresIt()
    {
        EditingHarness h;
        editChannel(h.model, 2, [](ChannelSettings &c) { c.hysteresis = 0; });
        SettingsDialog &dialog = h.open(2);
        dialog.show();

        h.control<QComboBox>("listHysteresis")->setCurrentIndex(2);
        QCOMPARE(h.model.hysteresisThreshold(2), 16);

        h.control<QPushButton>("cmdCancel")->click();
        QCOMPARE(h.model.hysteresisThreshold(2), 8);
        QCOMPARE(h.model.channel(2).hysteresis, 0);
        QVERIFY(!dialog.isVisible());
        QVERIFY(!pollRedrawsStepGraph(h));
        QVERIFY(!h.model.configChanged());

        h.open(2);
        h.control<QComboBox>("listHysteresis")->setCurrentIndex(1);
        h.control<QPushButton>("cmdOK")->click();
        QCOMPARE(h.model.hysteresisThreshold(2), 12);
        QCOMPARE(h.model.channel(2).hysteresis, 1);
        QVERIFY(h.model.configChanged());
    }

    void closeBoxKeepsTheChangesLikeOk()
    {
        EditingHarness h;
        SettingsDialog &dialog = h.open(0);
        dialog.show();
        QPointer<SettingsDialog> alive(&dialog);
        h.control<QComboBox>("listPreload")->setCurrentIndex(0);

        QVERIFY(dialog.close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!alive.isNull());
        QVERIFY(!dialog.isVisible());
        QCOMPARE(h.model.channel(0).preload, 0);
        QVERIFY(h.model.configChanged());
        QVERIFY(!pollRedrawsStepGraph(h));
    }

    void enterAndEscapeDoNotEndTheDialog()
    {
        EditingHarness h;
        SettingsDialog &dialog = h.open(0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        h.control<QComboBox>("listPreload")->setCurrentIndex(0);
        h.control<QPushButton>("cmdOK")->setFocus();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QTest::keyClick(&dialog, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(h.model.channel(0).preload, 1);
        QVERIFY(!h.control<QPushButton>("cmdOK")->autoDefault());
        QVERIFY(!h.control<QPushButton>("cmdCancel")->autoDefault());
    }

    void okWithOnlyAnOutputChangeCountsAsAChange()
    {
        EditingHarness h;
        h.open(1);
        h.control<QPushButton>("cmdOK")->click();
        QVERIFY(!h.model.configChanged());

        h.open(1);
        h.control<QCheckBox>("chkEnabled1")->click();
        h.control<QPushButton>("cmdOK")->click();
        QCOMPARE(h.model.channel(1).mode, kModeBoth);
        QVERIFY(h.model.configChanged());

        // OK never clears the flag.
        h.open(1);
        h.control<QPushButton>("cmdOK")->click();
        QVERIFY(h.model.configChanged());
    }

    void periodicListHas101Entries()
    {
        EditingHarness h;
        editChannel(h.model, 0, [](ChannelSettings &c) { c.periodic = 100; });
        h.open(0);
        auto *list = h.control<QComboBox>("listPeriodic");
        QCOMPARE(list->count(), 101);
        QCOMPARE(list->itemText(0), "Disabled");
        QCOMPARE(list->itemText(1), "0.1 sec");
        QCOMPARE(list->currentIndex(), 100);
        QCOMPARE(list->currentText(), "10.0 sec");

        // Opening again adds nothing.
        h.open(1);
        QCOMPARE(list->count(), 101);
        QCOMPARE(list->currentIndex(), 0);
    }

    void storedValuesOutsideTheListsShowNoSelectionAndStayStored()
    {
        EditingHarness h;
        editChannel(h.model, 0, [](ChannelSettings &c) { c.periodic = 150; });
        h.open(0);
        QCOMPARE(h.control<QComboBox>("listPeriodic")->currentIndex(), -1);
        QCOMPARE(h.dialog->workSettings().periodic, 150);
        h.control<QPushButton>("cmdOK")->click();
        QCOMPARE(h.model.channel(0).periodic, 150);
        QVERIFY(!h.model.configChanged());
    }

    void clickOnTheTopRowWith32StepsPicksForSection31()
    {
        EditingHarness h;
        editChannel(h.model, 0, [](ChannelSettings &c) {
            c.steps = 5;
            c.keys[31] = 0x29;
            c.keyOperators[31] = kOperatorCtrl | kOperatorAlt;
        });
        const ChannelSettings &stored = h.model.channel(0);
        SettingsDialog &dialog = h.open(0);

        int pickerSection = -1;
        QList<bool> boxes;
        whileKeyPickerIsOpen(dialog, [&](KeyPicker &picker) {
            pickerSection = picker.section();
            for (int bit = 0; bit < 3; ++bit)
                boxes << picker.findChild<QCheckBox *>(QStringLiteral("chkOperator%1").arg(bit))
                             ->isChecked();
            picker.findChild<QPushButton *>("cmdKey4")->click();
        });
        dialog.onGraphPressed(QPointF(100, 0));

        QCOMPARE(pickerSection, 31);
        QCOMPARE(boxes, QList<bool>({true, false, true}));
        QCOMPARE(dialog.workSettings().keys[31], 0x04);
        QCOMPARE(dialog.workSettings().keyOperators[31], kOperatorCtrl | kOperatorAlt);
        QCOMPARE(stored.keys[31], 0x29); // not stored before OK
        QVERIFY(dialog.keyPicker() != nullptr);
        QVERIFY(!dialog.keyPicker()->isVisible());
    }

    void clickInTheLowerHalfOfADirectionalGraphPicksTheFallingKey()
    {
        EditingHarness h;
        editChannel(h.model, 0, [](ChannelSettings &c) { c.steps = kDirectionalSteps; });
        SettingsDialog &dialog = h.open(0);
        int pickerSection = -1;
        whileKeyPickerIsOpen(dialog, [&](KeyPicker &picker) {
            pickerSection = picker.section();
            picker.findChild<QCheckBox *>("chkOperator1")->setChecked(true);
            picker.findChild<QPushButton *>("cmdKey82")->click();
        });
        dialog.onGraphPressed(QPointF(5, 540));
        QCOMPARE(pickerSection, 0);
        QCOMPARE(dialog.workSettings().keys[0], 0x52);
        QCOMPARE(dialog.workSettings().keyOperators[0], kOperatorShift);
    }

    void notUsedWithBoxesTickedStoresNoModifiers()
    {
        EditingHarness h;
        editChannel(h.model, 0, [](ChannelSettings &c) {
            c.keys[0] = 0x04;
            c.keyOperators[0] = kOperatorShift;
        });
        SettingsDialog &dialog = h.open(0);
        whileKeyPickerIsOpen(dialog, [](KeyPicker &picker) {
            for (int bit = 0; bit < 3; ++bit)
                picker.findChild<QCheckBox *>(QStringLiteral("chkOperator%1").arg(bit))
                    ->setChecked(true);
            picker.findChild<QPushButton *>("cmdKey0")->click();
        });
        dialog.onGraphPressed(QPointF(100, 540));
        QCOMPARE(dialog.workSettings().keys[0], 0);
        QCOMPARE(dialog.workSettings().keyOperators[0], 0);

        std::uint8_t operators = kOperatorCtrl;
        dialog.setKey(5, 0, operators);
        QCOMPARE(operators, 0);
    }

    void closingThePickerPicksNothingAndUnloadsIt()
    {
        EditingHarness h;
        editChannel(h.model, 0, [](ChannelSettings &c) { c.keys[0] = 0x04; });
        SettingsDialog &dialog = h.open(0);
        QPointer<KeyPicker> first;
        whileKeyPickerIsOpen(dialog, [&](KeyPicker &picker) {
            first = &picker;
            picker.findChild<QCheckBox *>("chkOperator0")->setChecked(true);
            picker.close();
        });
        dialog.onGraphPressed(QPointF(100, 540));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(first.isNull());
        QVERIFY(dialog.keyPicker() == nullptr);
        QCOMPARE(dialog.workSettings().keys[0], 0x04);
        QCOMPARE(dialog.workSettings().keyOperators[0], 0);

        // The next click builds a new picker, which is then reused after a pick.
        QPointer<KeyPicker> second;
        whileKeyPickerIsOpen(dialog, [&](KeyPicker &picker) {
            second = &picker;
            picker.findChild<QPushButton *>("cmdKey5")->click();
        });
        dialog.onGraphPressed(QPointF(100, 540));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!second.isNull());
        QCOMPARE(dialog.keyPicker(), second.data());
        QCOMPARE(dialog.workSettings().keys[0], 0x05);
    }

    void clicksDoNothingWithoutKeyboardOutput()
    {
        EditingHarness h;
        editChannel(h.model, 0, [](ChannelSettings &c) { c.mode = kModeJoystick; });
        SettingsDialog &dialog = h.open(0);
        dialog.onGraphPressed(QPointF(100, 100));
        QVERIFY(dialog.keyPicker() == nullptr);

        editChannel(h.model, 0, [](ChannelSettings &c) { c.mode = kModeNone; });
        h.open(0);
        dialog.onGraphPressed(QPointF(100, 100));
        QVERIFY(dialog.keyPicker() == nullptr);
    }

    void timerTickPollsTheDeviceAndRedrawsTheGraph()
    {
        EditingHarness h;
        h.link.waitForDeviceTick();
        QVERIFY(h.link.isViewing());
        h.access.device(0).liveValues = {0, 0, 255, 0, 0, 0};
        editChannel(h.model, 2, [](ChannelSettings &c) { c.mode = kModeNone; });
        h.open(2);
        h.access.clearLog();

        h.link.pollDevice();
        QCOMPARE(h.access.transfers().size(), std::size_t(2));
        QCOMPARE(h.link.sample().values[2], 255);
        const QImage &shown = h.control<GraphView>("picGraph")->shownImage();
        QCOMPARE(shown.size(), QSize(221, 541));
        QCOMPARE(QColor(shown.pixel(0, 0)), QColor(0, 200, 0));
        QCOMPARE(QColor(shown.pixel(220, 540)), QColor(0, 200, 0));

        h.access.device(0).liveValues = {};
        h.link.pollDevice();
        QCOMPARE(QColor(shown.pixel(110, 0)), QColor(Qt::black));

        // A failed read loses the device; the dialog keeps ticking without a device.
        h.access.failExchange(h.access.exchangeCount());
        h.access.failExchange(h.access.exchangeCount() + 1);
        h.link.pollDevice();
        QVERIFY(!h.link.isViewing());
        h.link.pollDevice();
        QCOMPARE(QColor(h.control<GraphView>("picGraph")->shownImage().pixel(110, 540)),
                 QColor(Qt::black));
    }

    void tallDialogShrinksToTheScreenOnceAtFirstLoad()
    {
        // The frame estimate is the same before and after construction, so probe it first.
        QWidget probe;
        const QMargins frame = ScreenMetrics::frameMargins(&probe);
        const int outer = 561 + frame.top() + frame.bottom();
        ScreenMetrics::setScreenSizeOverride(QSize(1024, outer + 30 - 20));

        EditingHarness h;
        SettingsDialog &dialog = h.open(0);
        QCOMPARE(ScreenMetrics::frameMargins(&dialog), frame);
        QCOMPARE(dialog.size(), QSize(369, 541));
        QCOMPARE(h.control<GraphView>("picGraph")->height(), 525);
        QCOMPARE(h.control<GraphView>("picGraph")->drawingAreaSize(), QSize(221, 521));
        QCOMPARE(h.control<QPushButton>("cmdOK")->y(), 460);
        QCOMPARE(h.control<QPushButton>("cmdCancel")->y(), 500);
        QCOMPARE(h.control<QGroupBox>("Frame2")->geometry(), QRect(240, 344, 121, 97));

        ScreenMetrics::setScreenSizeOverride(QSize(1024, 300));
        h.open(1);
        QCOMPARE(dialog.size(), QSize(369, 541));
    }

    // On any screen of 480 pixels or more OK and Cancel stay on screen: below the Joystick frame
    // while that is enough, else moved up with the rest of the dialog's bottom.
    void buttonsStayOnShortScreens_data()
    {
        // Outer height over the screen less its 30 spare pixels, beside the window's frame.
        QTest::addColumn<int>("excess");
        QTest::addColumn<bool>("plusBottomFrame");
        QTest::addColumn<bool>("belowTheFrame");
        QTest::newRow("fits below the frame") << 31 << false << true;
        // Cancel ends 8 pixels above the dialog's bottom, and then the frame's bottom edge.
        QTest::newRow("Cancel still on screen") << 39 << true << true;
        QTest::newRow("Cancel would leave the screen") << 40 << true << false;
        QTest::newRow("as on 1024 x 576 with a 45-pixel frame") << 561 + 45 - 546 << false << false;
        QTest::newRow("as on 800 x 480 with a 45-pixel frame") << 561 + 45 - 450 << false << false;
    }

    void buttonsStayOnShortScreens()
    {
        QFETCH(int, excess);
        QFETCH(bool, plusBottomFrame);
        QFETCH(bool, belowTheFrame);
        QWidget probe;
        const QMargins frame = ScreenMetrics::frameMargins(&probe);
        excess += plusBottomFrame ? frame.bottom() : 0;
        const int screenHeight = 561 + frame.top() + frame.bottom() + 30 - excess;
        ScreenMetrics::setScreenSizeOverride(QSize(1024, screenHeight));

        EditingHarness h;
        SettingsDialog &dialog = h.open(0);
        auto *ok = h.control<QPushButton>("cmdOK");
        auto *cancel = h.control<QPushButton>("cmdCancel");
        const int moved = belowTheFrame ? 31 : excess;
        QCOMPARE(ok->y(), 480 - moved);
        QCOMPARE(cancel->y(), 520 - moved);
        QCOMPARE(dialog.height(), 561 - moved);
        QCOMPARE(h.control<GraphView>("picGraph")->height(), 545 - moved);
        QVERIFY(frame.top() + cancel->geometry().bottom() + 1 <= screenHeight - 30);
        // Buttons that reach into the Joystick frame are drawn over it.
        QCOMPARE(dialog.childAt(cancel->geometry().center()), cancel);
    }

    // A window's frame is known only once it is on screen; until then the dialog and the key
    // picker measure the frame of the nearest owner that is, not an estimate.
    void theOwnersRealFrameStandsInForTheEstimate()
    {
        EditingHarness h;
        SettingsDialog &dialog = h.open(0);
        QVERIFY(!dialog.isVisible());
        h.mainWindow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.mainWindow));
        const QRect outer = h.mainWindow.frameGeometry();
        const QRect inner = h.mainWindow.geometry();
        const QMargins real(inner.left() - outer.left(), inner.top() - outer.top(),
                            outer.right() - inner.right(), outer.bottom() - inner.bottom());
        QWidget probe;
        QVERIFY(ScreenMetrics::frameMargins(&probe) != real);
        QCOMPARE(ScreenMetrics::frameMargins(&dialog), real);
        KeyPicker picker(&dialog);
        QCOMPARE(ScreenMetrics::frameMargins(&picker), real);
    }

    // After every load the enabled states follow the loaded boxes, also when a box already
    // had the loaded state and so reported no change.
    void everyLoadAppliesTheOutputBoxes()
    {
        const QList<QList<std::uint8_t>> openings{{kModeNone},
                                                  {kModeNone, kModeNone},
                                                  {kModeKeyboard, kModeNone, kModeJoystick},
                                                  {kModeBoth, kModeJoystick, kModeBoth}};
        for (const QList<std::uint8_t> &modes : openings) {
            EditingHarness h;
            for (int channel = 0; channel < modes.size(); ++channel) {
                const std::uint8_t mode = modes[channel];
                editChannel(h.model, channel, [mode](ChannelSettings &c) { c.mode = mode; });
                h.open(channel);
                const bool keyboard = mode == kModeKeyboard || mode == kModeBoth;
                const bool joystick = mode == kModeJoystick || mode == kModeBoth;
                const QString where =
                    QStringLiteral("opening %1 of %2").arg(channel).arg(modes.size());
                QVERIFY2(h.control<QLabel>("lblSteps")->isEnabled() == keyboard, qPrintable(where));
                QVERIFY2(h.control<QComboBox>("listSteps")->isEnabled() == keyboard,
                         qPrintable(where));
                QVERIFY2(h.control<QLabel>("lblJoystick")->isEnabled() == joystick,
                         qPrintable(where));
                QVERIFY2(h.control<QComboBox>("listJoystick")->isEnabled() == joystick,
                         qPrintable(where));
                QCOMPARE(h.dialog->workSettings().mode, mode);
            }
        }
    }

    void okAndCancelComeFirstInTheTabOrder()
    {
        EditingHarness h;
        SettingsDialog &dialog = h.open(0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget(), h.control<QPushButton>("cmdOK"));

        QStringList order;
        QWidget *widget = h.control<QPushButton>("cmdOK");
        do {
            if (widget->focusPolicy() & Qt::TabFocus)
                order << widget->objectName();
            widget = widget->nextInFocusChain();
        } while (widget != h.control<QPushButton>("cmdOK"));
        QCOMPARE(order, QStringList({"cmdOK", "cmdCancel", "picGraph", "chkEnabled0", "listSteps",
                                     "listHysteresis", "listPreload", "listRepeat", "listPeriodic",
                                     "chkEnabled1", "listJoystick"}));
    }
};

QTEST_MAIN(SettingsDialogTest)
#include "SettingsDialogTest.moc"
