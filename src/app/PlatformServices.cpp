#include "app/PlatformServices.h"

#include "config/UserMessage.h"

namespace orvex {

bool shouldElevate(const QString &commandLine, bool platformCallsForElevation)
{
    // A relaunched instance gets "admin" on its command line, so it never relaunches again.
    if (commandLine.contains(QLatin1String("admin"), Qt::CaseSensitive))
        return false;
    return platformCallsForElevation;
}

bool volumeLabelNeedsWarning(const QString &label)
{
    return label.contains(QLatin1String("ORVEX"), Qt::CaseSensitive);
}

// Generic wording for platforms without their own; the Linux desktop integration replaces it
// with one that names the udev rule shipped with the program.
QString permissionProblemMessage(int deviceNumber)
{
    return QStringLiteral("The ORVEX (%1) is plugged in, but this user may not open it.")
               .arg(deviceNumber + 1) +
           kLineBreak + kLineBreak +
           QStringLiteral("Ask your administrator for access to the device,") + kLineBreak +
           QStringLiteral("then unplug and replug the ORVEX and restart the program.");
}

} // namespace orvex
