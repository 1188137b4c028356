#include "app/LinuxPlatformServices.h"

#include <QCoreApplication>
#include <QStringList>

namespace orvex {

QString LinuxPlatformServices::commandLine() const
{
    QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst(); // the program name
    return arguments.join(QLatin1Char(' '));
}

// Device access on Linux is granted by a udev rule, not by running the program as root.
bool LinuxPlatformServices::callsForElevation()
{
    return false;
}

bool LinuxPlatformServices::elevate()
{
    return false;
}

QString LinuxPlatformServices::currentVolumeLabel()
{
    return {};
}

} // namespace orvex
