#pragma once

#include <QString>

namespace orvex {

// Where the kernel's tables are read from.  The program uses the real ones; tests build a fake
// tree in a temporary folder and point these at it.
struct LinuxSystemRoots
{
    QString sys = QStringLiteral("/sys");
    QString dev = QStringLiteral("/dev");
    QString mountInfo = QStringLiteral("/proc/self/mountinfo");
};

} // namespace orvex
