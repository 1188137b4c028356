#pragma once

#include <QString>
#include <QStringList>

namespace orvex {

// Operating-system services that start-up needs, behind one small interface so that the
// decisions can be tested and each platform maps them its own way.
class PlatformServices
{
public:
    virtual ~PlatformServices() = default;

    // The program's command line (arguments after the program name, joined by spaces).
    virtual QString commandLine() const = 0;

    // Whether this platform asks the program to get more rights before it talks to devices.
    virtual bool callsForElevation() = 0;

    // Tries to get the rights (relaunch, or install a device-access rule).  Returns true when the
    // current process must end at once because another instance carries on.
    virtual bool elevate() = 0;

    // The label of the volume whose root is the current directory; empty when the current
    // directory is no volume root or the label cannot be found.
    virtual QString currentVolumeLabel() = 0;
};

// The "admin" rule: a command line containing "admin" (case-sensitive) never elevates.
bool shouldElevate(const QString &commandLine, bool platformCallsForElevation);

// Takes the file named on the command line out of argv (the last argument that names it), before
// QCoreApplication::arguments() reads the command line that the rule above examines: the file is
// the window's document, not a word of the command line, and a path such as
// /home/admin/Pedals.ORV must not keep the offer to fix the device access from being made.
void takeFileArgument(int &argc, char **argv, const QString &file);

// A volume label containing "ORVEX" (case-sensitive) gets the warning at start-up.
bool volumeLabelNeedsWarning(const QString &label);

// What start-up tells the user when a device is plugged in but this user may not open it
// (device number 0 or 1).  Each platform explains its own way of granting access.
QString permissionProblemMessage(int deviceNumber);

} // namespace orvex
