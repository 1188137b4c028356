#include "ui/windows/MessageBoxes.h"

namespace orvex {

QString displayText(const QString &text)
{
    QString shown = text;
    shown.replace(kLineBreak, QStringLiteral("\n"));
    return shown;
}

QMessageBox::Icon messageBoxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

void showMessageBox(QWidget *parent, const UserMessage &message)
{
    QMessageBox box(messageBoxIcon(message.icon), message.title, displayText(message.text),
                    QMessageBox::Ok, parent);
    box.exec();
}

} // namespace orvex
