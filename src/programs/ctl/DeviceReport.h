#pragma once

#include "core/link/DeviceSurvey.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace orvex::ctl {

// Whether the udev rule that gives the user at this computer access is in force.
struct UdevRuleStatus
{
    bool needed = true;      // false for virtual devices, which need no device permissions
    QString installedPath;   // where udev reads it from; empty when it is not installed
    QStringList fixCommands; // the commands that give this user access

    // The rule of this system, for the rule file shipped with the program.
    static UdevRuleStatus ofThisSystem();
};

// `orvexctl devices`: for Device 1 and Device 2 whether it is plugged in, its HID interfaces
// with the one the programs use marked, whether this user may use it (and what to do when not),
// and whether the udev rule is installed.
class DeviceReport
{
public:
    DeviceReport(std::vector<DeviceSurveyEntry> devices, UdevRuleStatus rule);

    QString text() const;
    QByteArray json() const; // one object, ends in a newline

    // At least one device can be opened by this user now.
    bool anyUsable() const;

private:
    QStringList deviceLines(const DeviceSurveyEntry &device) const;
    QStringList accessLines(const DeviceSurveyEntry &device) const;
    QString summaryLine() const;

    std::vector<DeviceSurveyEntry> m_devices;
    UdevRuleStatus m_rule;
};

} // namespace orvex::ctl
