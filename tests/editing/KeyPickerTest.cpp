#include "ui/dialogs/KeyPicker.h"

#include "core/config/ChannelSettings.h"
#include "core/keys/KeyNames.h"
#include "ui/dialogs/ScreenMetrics.h"

#include <QCheckBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <memory>

using namespace orvex;

class KeyPickerTest : public QObject
{
    Q_OBJECT

    QWidget *m_owner = nullptr;

    KeyPicker *makePicker() { return new KeyPicker(m_owner); }

    static QCheckBox *box(const KeyPicker &picker, int bit)
    {
        return picker.findChild<QCheckBox *>(QStringLiteral("chkOperator%1").arg(bit));
    }

    static QPushButton *button(const KeyPicker &picker, int code)
    {
        return picker.findChild<QPushButton *>(QStringLiteral("cmdKey%1").arg(code));
    }

    // A picker window's frame, as the picker estimates it before it is first shown.
    static int frameWidth()
    {
        QWidget probe;
        const QMargins frame = ScreenMetrics::frameMargins(&probe);
        return frame.left() + frame.right();
    }

private Q_SLOTS:
    void init()
    {
        ScreenMetrics::setScreenSizeOverride(QSize(1920, 1080));
        m_owner = new QWidget;
    }

    void cleanup()
    {
        delete m_owner;
        ScreenMetrics::setScreenSizeOverride(std::nullopt);
    }

    void buildsTheKeyboardFromTheKeyTable()
    {
        KeyPicker *picker = makePicker();
        QCOMPARE(picker->windowTitle(), "Select a key");
        QCOMPARE(picker->size(), QSize(905, 328));
        QVERIFY(picker->windowFlags().testFlag(Qt::Tool));

        auto *frame = picker->findChild<QWidget *>("picFrame");
        QCOMPARE(frame->geometry(), QRect(0, 0, 905, 249));
        const auto buttons = frame->findChildren<QPushButton *>();
        QCOMPARE(buttons.size(), qsizetype(keyTable().size()));
        for (const KeyEntry &entry : keyTable())
            QCOMPARE(button(*picker, entry.code), picker->keyButton(entry.code));

        QCOMPARE(button(*picker, 0x24)->text(), "7 &&");
        QCOMPARE(button(*picker, 0)->geometry(), QRect(744, 0, 161, 41));
        QCOMPARE(button(*picker, 0x57)->geometry(), QRect(864, 88, 41, 81));
        QCOMPARE(button(*picker, 0x2C)->text(), "Space");
        QVERIFY(picker->keyButton(0x32) == nullptr);

        QCOMPARE(box(*picker, 0)->text(), "Ctrl");
        QCOMPARE(box(*picker, 0)->geometry(), QRect(16, 304, 81, 25));
        QCOMPARE(box(*picker, 1)->geometry(), QRect(16, 284, 81, 25));
        QCOMPARE(box(*picker, 2)->text(), "Alt");
        QCOMPARE(box(*picker, 2)->geometry(), QRect(16, 264, 81, 25));

        auto *scrollBar = picker->findChild<QScrollBar *>("ScrollBar");
        QCOMPARE(scrollBar->geometry(), QRect(0, 248, 905, 17));
        QVERIFY(scrollBar->isHidden());
        QCOMPARE(picker->findChild<QTimer *>("tmrSetFocus")->interval(), 100);
    }

    void setupTicksTheBoxesFromTheModifierBits()
    {
        KeyPicker *picker = makePicker();
        picker->setupKeyboard(9, 0x4C, kOperatorCtrl | kOperatorAlt);
        QCOMPARE(picker->section(), 9);
        QCOMPARE(picker->key(), 0x4C);
        QVERIFY(box(*picker, 0)->isChecked());
        QVERIFY(!box(*picker, 1)->isChecked());
        QVERIFY(box(*picker, 2)->isChecked());

        picker->setupKeyboard(2, 0x04, kOperatorShift | 0x08);
        QVERIFY(!box(*picker, 0)->isChecked());
        QVERIFY(box(*picker, 1)->isChecked());
        QVERIFY(!box(*picker, 2)->isChecked());
    }

    void focusMovesToTheCurrentKeyOnceThePickerShows()
    {
        KeyPicker *picker = makePicker();
        auto *timer = picker->findChild<QTimer *>("tmrSetFocus");
        picker->setupKeyboard(0, 0x4C, 0);
        QVERIFY(timer->isActive());

        picker->onFocusTimer();
        QVERIFY(timer->isActive()); // still hidden: keep waiting

        picker->show();
        picker->onFocusTimer();
        QVERIFY(!timer->isActive());
        QCOMPARE(picker->focusWidget(), button(*picker, 0x4C));
    }

    void aKeyWithoutAButtonStopsTheFocusTimerAndPickingStillWorks()
    {
        KeyPicker *picker = makePicker();
        QSignalSpy picked(picker, &KeyPicker::keyPicked);
        auto *timer = picker->findChild<QTimer *>("tmrSetFocus");
        picker->setupKeyboard(4, 0x32, kOperatorShift);
        picker->show();
        picker->onFocusTimer();
        QVERIFY(!timer->isActive());

        box(*picker, 0)->setChecked(true);
        button(*picker, 0x04)->click();
        QCOMPARE(picked.size(), 1);
        QCOMPARE(picked[0][0].toInt(), 4);
        QCOMPARE(picked[0][1].value<std::uint8_t>(), 0x04);
        QCOMPARE(picked[0][2].value<std::uint8_t>(), kOperatorCtrl | kOperatorShift);
    }

    void pickingReportsKeyAndBoxesThenHidesForReuse()
    {
        QPointer<KeyPicker> picker = makePicker();
        QSignalSpy picked(picker.data(), &KeyPicker::keyPicked);
        picker->setupKeyboard(31, 0x29, 0);
        picker->show();
        box(*picker, 0)->setChecked(true);
        box(*picker, 2)->setChecked(true);
        button(*picker, 0x2C)->click();

        QCOMPARE(picked.size(), 1);
        QCOMPARE(picked[0][0].toInt(), 31);
        QCOMPARE(picked[0][1].value<std::uint8_t>(), 0x2C);
        QCOMPARE(picked[0][2].value<std::uint8_t>(), kOperatorCtrl | kOperatorAlt);
        QVERIFY(!picker->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!picker.isNull());
    }

    void closingOrEscapePicksNothingAndUnloads()
    {
        for (const bool byEscape : {false, true}) {
            QPointer<KeyPicker> picker = makePicker();
            QSignalSpy picked(picker.data(), &KeyPicker::keyPicked);
            picker->setupKeyboard(1, 0x04, 0);
            picker->show();
            QVERIFY(QTest::qWaitForWindowExposed(picker.data()));
            box(*picker, 1)->setChecked(true);
            if (byEscape)
                QTest::keyClick(picker.data(), Qt::Key_Escape);
            else
                picker->close();
            QVERIFY(picker.isNull() || !picker->isVisible());
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(picker.isNull());
            QCOMPARE(picked.size(), 0);
        }
    }

    void narrowScreenMakesTheKeyboardScrollable()
    {
        const int screenWidth = 640;
        ScreenMetrics::setScreenSizeOverride(QSize(screenWidth, 480));
        KeyPicker *picker = makePicker();
        const int overflow = 905 + frameWidth() - screenWidth;

        QCOMPARE(picker->width() + frameWidth(), screenWidth);
        auto *scrollBar = picker->findChild<QScrollBar *>("ScrollBar");
        QVERIFY(!scrollBar->isHidden());
        QCOMPARE(scrollBar->maximum(), overflow);
        QCOMPARE(scrollBar->pageStep(), overflow);
        QCOMPARE(scrollBar->value(), 0);
        QCOMPARE(scrollBar->width(), 905 - overflow);
        QVERIFY(scrollBar->geometry().right() < picker->width());

        const QRect window = picker->rect();
        const auto onScreen = [&](int code) {
            QPushButton *key = button(*picker, code);
            return window.contains(QRect(key->mapTo(picker, QPoint(0, 0)), key->size()));
        };
        const int rightHandKeys[] = {0x56, 0x57, 0x58, 0x63};
        for (int code : rightHandKeys)
            QVERIFY(!onScreen(code));
        QVERIFY(onScreen(0x29));

        scrollBar->setValue(scrollBar->maximum());
        QCOMPARE(picker->findChild<QWidget *>("picFrame")->x(), -overflow);
        for (int code : rightHandKeys)
            QVERIFY2(onScreen(code), qPrintable(getKeyName(code)));
        QVERIFY(!onScreen(0x29));
    }
};

QTEST_MAIN(KeyPickerTest)
#include "KeyPickerTest.moc"
