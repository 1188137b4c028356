#pragma once

#include <QString>

namespace orvex {

inline const QString kMainWindowTitle = QStringLiteral("ORVEX Configuration Utility");
inline const QString kShortTitle = QStringLiteral("ORVEX");

// Line break inside the program's own multi-line texts; views turn it into their own.
inline const QString kLineBreak = QStringLiteral("\r\n");

enum class MessageIcon { None, Information, Exclamation, Critical };

// A message for the user, handed to whatever view shows it (a message box, standard error).
struct UserMessage
{
    QString text;
    QString title;
    MessageIcon icon = MessageIcon::None;

    bool operator==(const UserMessage &) const = default;
};

} // namespace orvex
