#pragma once

#include "core/config/UserMessage.h"

#include <QMessageBox>
#include <QString>

class QWidget;

namespace orvex {

// The program's texts break lines with CR LF; Qt labels want a plain line feed.
QString displayText(const QString &text);

QMessageBox::Icon messageBoxIcon(MessageIcon icon);

// Shows the message in a modal message box with an OK button.
void showMessageBox(QWidget *parent, const UserMessage &message);

} // namespace orvex
