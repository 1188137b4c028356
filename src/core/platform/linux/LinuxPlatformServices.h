#pragma once

#include "core/config/UserMessage.h"
#include "core/platform/PlatformServices.h"
#include "core/platform/linux/SystemRoots.h"
#include "core/platform/linux/UdevRule.h"
#include "core/platform/linux/UsbDeviceAccessProbe.h"
#include "core/platform/linux/VolumeLabelLookup.h"

#include <QString>
#include <functional>
#include <optional>

namespace orvex {

// Questions and messages of the device-access offer, shown by whatever view the program has.
class AccessPrompts
{
public:
    virtual ~AccessPrompts() = default;

    virtual bool askYesNo(const UserMessage &question) = 0;
    virtual void showMessage(const UserMessage &message) = 0;
};

QString currentDirectoryPath();

// Everything the Linux platform services take from the system; tests replace the parts.
struct LinuxSystem
{
    LinuxSystemRoots roots;
    NodeAccessCheck canReadWrite = nodeIsReadWritable;
    LabelProbe probeLabel = blkidLabel;
    std::function<QString()> currentDirectory = currentDirectoryPath;
    std::optional<UdevRuleInstaller> installer; // found at first use when not given
};

// The platform services of a Linux desktop session.  Device access comes from a udev rule, not
// from running the program as root: where a device is plugged in but refuses this user, the
// program offers to install the rule with the desktop's authentication.
class LinuxPlatformServices : public PlatformServices
{
public:
    using System = LinuxSystem;

    // Without prompts the offer is never made; start-up then explains the permission problem.
    explicit LinuxPlatformServices(AccessPrompts *prompts = nullptr, System system = {});

    QString commandLine() const override;
    bool callsForElevation() override;
    bool elevate() override;
    QString currentVolumeLabel() override;

    static UserMessage installQuestion(int deviceNumber);
    static UserMessage installFailedMessage(int exitCode);

private:
    AccessPrompts *m_prompts;
    System m_system;
    UsbDeviceAccessProbe m_probe;
};

} // namespace orvex
