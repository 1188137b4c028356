#include "core/platform/PlatformServices.h"

#include <algorithm>

namespace orvex {

bool shouldElevate(const QString &commandLine, bool platformCallsForElevation)
{
    // A relaunched instance gets "admin" on its command line, so it never relaunches again.
    if (commandLine.contains(QLatin1String("admin"), Qt::CaseSensitive))
        return false;
    return platformCallsForElevation;
}

void takeFileArgument(int &argc, char **argv, const QString &file)
{
    for (int i = argc - 1; i > 0 && !file.isEmpty(); --i) {
        if (QString::fromLocal8Bit(argv[i]) == file) {
            std::copy(argv + i + 1, argv + argc + 1, argv + i); // with the closing null pointer
            --argc;
            return;
        }
    }
}

bool volumeLabelNeedsWarning(const QString &label)
{
    return label.contains(QLatin1String("ORVEX"), Qt::CaseSensitive);
}

} // namespace orvex
