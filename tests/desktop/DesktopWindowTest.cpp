#include "ui/windows/MessageBoxAccessPrompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QImageReader>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace orvex {

class DesktopWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void iconRendersAtItsDesignSize();
    void iconScalesForSmallSizes();
    void questionAnswersWithTheClickedButton_data();
    void questionAnswersWithTheClickedButton();
    void messageShowsTheTextWithPlainLineBreaks();

private:
    // Runs once the next modal box is open: hands it to the check, then closes it with the
    // button.
    void whenBoxOpens(std::function<void(QMessageBox *)> check, QMessageBox::StandardButton button);
};

void DesktopWindowTest::iconRendersAtItsDesignSize()
{
    QImageReader reader(QStringLiteral(ORVEX_TEST_ICON));
    QCOMPARE(reader.format(), QByteArray("svg"));
    const QImage icon = reader.read().convertToFormat(QImage::Format_ARGB32);
    QVERIFY2(!icon.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(icon.size(), QSize(128, 128));

    QCOMPARE(qAlpha(icon.pixel(1, 1)), 0);                 // transparent corner
    QCOMPARE(icon.pixel(102, 28), qRgb(0x5a, 0xd0, 0x7a)); // status light
    QCOMPARE(icon.pixel(25, 100), qRgb(0x4f, 0xa3, 0xe0)); // first channel's level
    QCOMPARE(icon.pixel(25, 45), qRgb(0x15, 0x1b, 0x22));  // first channel's empty track
    QCOMPARE(icon.pixel(64, 11), qRgb(0x5b, 0x66, 0x73));  // USB plug
}

void DesktopWindowTest::iconScalesForSmallSizes()
{
    QImageReader reader(QStringLiteral(ORVEX_TEST_ICON));
    reader.setScaledSize(QSize(16, 16));
    const QImage icon = reader.read().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(icon.size(), QSize(16, 16));
    int opaque = 0;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x)
            opaque += qAlpha(icon.pixel(x, y)) == 255 ? 1 : 0;
    }
    QVERIFY2(opaque > 16 * 16 / 2, "the device body fills most of a small icon");
}

void DesktopWindowTest::whenBoxOpens(std::function<void(QMessageBox *)> check,
                                     QMessageBox::StandardButton button)
{
    QTimer::singleShot(0, this, [check, button] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        check(box);
        box->button(button)->click();
    });
}

void DesktopWindowTest::questionAnswersWithTheClickedButton_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("answer");
    QTest::newRow("yes") << int(QMessageBox::Yes) << true;
    QTest::newRow("no") << int(QMessageBox::No) << false;
}

void DesktopWindowTest::questionAnswersWithTheClickedButton()
{
    QFETCH(int, button);
    QFETCH(bool, answer);
    MessageBoxAccessPrompts prompts;
    bool checked = false;
    whenBoxOpens(
        [&checked](QMessageBox *box) {
            QCOMPARE(box->windowTitle(), QStringLiteral("ORVEX"));
            QCOMPARE(box->text(), QStringLiteral("first\n\nInstall?"));
            QCOMPARE(box->icon(), QMessageBox::Question);
            QCOMPARE(static_cast<QAbstractButton *>(box->defaultButton()),
                     box->button(QMessageBox::Yes));
            checked = true;
        },
        QMessageBox::StandardButton(button));
    const UserMessage question{QStringLiteral("first\r\n\r\nInstall?"), QStringLiteral("ORVEX"),
                               MessageIcon::None};
    QCOMPARE(prompts.askYesNo(question), answer);
    QVERIFY(checked);
}

void DesktopWindowTest::messageShowsTheTextWithPlainLineBreaks()
{
    MessageBoxAccessPrompts prompts;
    bool checked = false;
    whenBoxOpens(
        [&checked](QMessageBox *box) {
            QCOMPARE(box->text(), QStringLiteral("could not\n(code 1)"));
            QCOMPARE(box->icon(), QMessageBox::Warning);
            checked = true;
        },
        QMessageBox::Ok);
    prompts.showMessage({QStringLiteral("could not\r\n(code 1)"), QStringLiteral("ORVEX"),
                         MessageIcon::Exclamation});
    QVERIFY(checked);
}

} // namespace orvex

QTEST_MAIN(orvex::DesktopWindowTest)
#include "DesktopWindowTest.moc"
