// The main window as a screen reader meets it.

#include "WindowFixture.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QtTest>

using namespace orvex;
using namespace orvex::test;

class WindowAccessibilityTest : public QObject
{
    Q_OBJECT

    static QAccessibleInterface *accessible(const WindowFixture &f, const QString &name)
    {
        QObject *control = f.child<QWidget>(name);
        Q_ASSERT_X(control != nullptr, "accessible", qPrintable(name));
        return QAccessible::queryAccessibleInterface(control);
    }

private Q_SLOTS:
    // The six "Settings" buttons say whose settings they open; the two unlabelled device boxes
    // say which device they view.
    void controlsSayWhichChannelOrDevice()
    {
        WindowFixture f;
        for (int i = 0; i < MainWindow::kChannelColumns; ++i) {
            QCOMPARE(accessible(f, QStringLiteral("cmdSettings%1").arg(i))->text(QAccessible::Name),
                     QStringLiteral("Channel %1 Settings").arg(i + 1));
            QCOMPARE(accessible(f, QStringLiteral("picGraph%1").arg(i))->text(QAccessible::Name),
                     QStringLiteral("Channel %1 input").arg(i + 1));
        }
        QCOMPARE(accessible(f, "chkID0")->text(QAccessible::Name), "Device 1");
        QCOMPARE(accessible(f, "chkID1")->text(QAccessible::Name), "Device 2");
    }

    // Each overview graph reads as a level from 0 to 255 with the movement the device reports;
    // a graph without a device reads 0 and no movement.
    void overviewGraphsReadTheirInputAndMovement()
    {
        WindowFixture f;
        f.startViewing();
        f.devices.device(0).liveValues = {100, 100, 100};
        f.link.pollDevice();
        f.devices.device(0).liveValues = {200, 50, 100};
        f.link.pollDevice();

        const struct
        {
            int value;
            const char *movement;
        } expected[] = {{200, "Rising"}, {50, "Falling"}, {100, "Not moving"}};
        for (int i = 0; i < 3; ++i) {
            QAccessibleInterface *graph = accessible(f, QStringLiteral("picGraph%1").arg(i));
            QCOMPARE(graph->role(), QAccessible::ProgressBar);
            QAccessibleValueInterface *value = graph->valueInterface();
            QVERIFY(value != nullptr);
            QCOMPARE(value->currentValue().toInt(), expected[i].value);
            QCOMPARE(value->minimumValue().toInt(), 0);
            QCOMPARE(value->maximumValue().toInt(), 255);
            QCOMPARE(graph->text(QAccessible::Description), expected[i].movement);
        }

        f.devices.setPresent(0, false);
        f.link.pollDevice();
        QAccessibleInterface *graph = accessible(f, "picGraph0");
        QCOMPARE(graph->valueInterface()->currentValue().toInt(), 0);
        QCOMPARE(graph->text(QAccessible::Description), QString());
    }
};

QTEST_MAIN(WindowAccessibilityTest)
#include "WindowAccessibilityTest.moc"
