#pragma once

// What the window tests share beyond WindowTest: answering a modal dialog from inside its loop,
// and describing a control as its design places it.

#include <QApplication>
#include <QRect>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace orvex::testing {

// Once the next modal dialog runs its loop, hands it to `answer` if it is a `Dialog` owned by
// `owner`.  Whatever `answer` does, or fails to check, the dialog is closed afterwards, so that
// a failing test ends instead of waiting forever.
template <typename Dialog> void whenShown(QWidget *owner, std::function<void(Dialog *)> answer)
{
    QTimer::singleShot(0, owner, [owner, answer] {
        QWidget *modal = QApplication::activeModalWidget();
        auto *dialog = qobject_cast<Dialog *>(modal);
        if (dialog != nullptr && dialog->parentWidget() == owner)
            answer(dialog);
        if (modal != nullptr && modal->isVisible())
            modal->close();
    });
}

// A control of `window` as its design places it, and what screen readers call it when that is
// not its caption: "name x,y wxh caption [spoken name]".
inline QString placed(const QObject &window, const QString &name)
{
    const QWidget *control = window.findChild<QWidget *>(name);
    if (control == nullptr)
        return name + QStringLiteral(" is missing");
    const QRect r = control->geometry();
    const QString spoken = control->accessibleName();
    return QStringLiteral("%1 %2,%3 %4x%5 %6")
               .arg(name, QString::number(r.x()), QString::number(r.y()),
                    QString::number(r.width()), QString::number(r.height()),
                    control->property("text").toString()) +
           (spoken.isEmpty() ? QString() : QStringLiteral(" [%1]").arg(spoken));
}

// The controls of `window` named first in each of `designed`, as placed() describes them.
inline QStringList placedAll(const QObject &window, const QStringList &designed)
{
    QStringList shown;
    for (const QString &control : designed)
        shown << placed(window, control.section(QLatin1Char(' '), 0, 0));
    return shown;
}

} // namespace orvex::testing
