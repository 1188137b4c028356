#pragma once

// Readable values in failure messages of GoogleTest.

#include "core/config/UserMessage.h"

#include <QByteArray>
#include <QString>
#include <ostream>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    *out << '"' << bytes.toStdString() << '"';
}

namespace orvex {

inline void PrintTo(const UserMessage &message, std::ostream *out)
{
    *out << "{\"" << message.text.toStdString() << "\", \"" << message.title.toStdString()
         << "\", icon " << static_cast<int>(message.icon) << '}';
}

} // namespace orvex
