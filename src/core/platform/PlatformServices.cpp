#include "core/platform/PlatformServices.h"

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

} // namespace orvex
