#include "core/startup/Startup.h"

#include "core/config/FileCommands.h"
#include "core/link/DeviceLink.h"
#include "core/link/DeviceMessages.h"
#include "core/platform/PlatformServices.h"

namespace orvex {

Startup::Startup(PlatformServices &platform, DeviceLink &link, FileCommands &files,
                 StartupView &view)
    : m_platform(platform)
    , m_link(link)
    , m_files(files)
    , m_view(view)
{}

UserMessage Startup::noDeviceMessage()
{
    return {QStringLiteral("        No ORVEX devices detected !") + kLineBreak + kLineBreak +
                QStringLiteral("Click the OK button below, plug the ORVEX") + kLineBreak +
                QStringLiteral("into the USB Port, and restart the program."),
            kShortTitle, MessageIcon::Exclamation};
}

UserMessage Startup::volumeWarning()
{
    return {QStringLiteral("Warning: The ORVEX programs must be copied to and run") + kLineBreak +
                QStringLiteral("from its own folder on the PC's harddrive. The CD itself") +
                kLineBreak + QStringLiteral("should be reserved for backup purposes only."),
            kShortTitle, MessageIcon::Exclamation};
}

StartupOutcome Startup::run()
{
    if (shouldElevate(m_platform.commandLine(), m_platform.callsForElevation()) &&
        m_platform.elevate())
        return StartupOutcome::Relaunched;

    if (!devicePresent())
        return StartupOutcome::NoDevice;

    // Nothing has changed yet, so New asks nothing and just loads the defaults.
    m_files.newConfiguration();
    enterSearching();
    warnAboutVolumeLabel();
    return StartupOutcome::ShowWindow;
}

// Tries Device 1, then Device 2, on a handle of its own; deviceNumber stays as it is.  A device
// that is plugged in but refuses this user is a permission problem, and one that another program
// holds is named with its holder: neither is reported missing.
bool Startup::devicePresent()
{
    DeviceTransport &transport = m_link.transport();
    int deniedDevice = -1;
    int busyDevice = -1;
    for (int number = 0; number < 2; ++number) {
        HidHandle handle = kClosedHandle;
        const HidStatus status = transport.openDevice(handle, number);
        if (status == hid::kSuccess) {
            transport.closeDevice(handle);
            return true;
        }
        if (status == hid::kAccessDenied && deniedDevice < 0)
            deniedDevice = number;
        if (status == hid::kInUse && busyDevice < 0)
            busyDevice = number;
    }

    m_view.processPendingEvents();
    if (busyDevice >= 0) {
        const QString text = deviceUnavailableText(transport.access(), busyDevice, hid::kInUse);
        m_view.showMessage({text, kShortTitle, MessageIcon::Exclamation});
    } else if (deniedDevice >= 0)
        m_view.showMessage(
            {permissionProblemMessage(deniedDevice), kShortTitle, MessageIcon::Exclamation});
    else
        m_view.showMessage(noDeviceMessage());
    return false;
}

void Startup::enterSearching()
{
    m_link.prepareDevices();
    m_link.startSearching();
}

void Startup::warnAboutVolumeLabel()
{
    if (volumeLabelNeedsWarning(m_platform.currentVolumeLabel()))
        m_view.showMessage(volumeWarning());
}

} // namespace orvex
