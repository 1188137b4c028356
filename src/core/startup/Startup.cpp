#include "core/startup/Startup.h"

#include "core/config/FileCommands.h"
#include "core/link/DeviceLink.h"
#include "core/link/DeviceMessages.h"
#include "core/platform/PlatformServices.h"

#include <algorithm>

namespace orvex {

namespace {
constexpr int kDeviceCount = static_cast<int>(kProductIds.size());
} // namespace

Startup::Startup(PlatformServices &platform, DeviceLink &link, FileCommands &files,
                 StartupView &view, Timers timers)
    : m_platform(platform)
    , m_link(link)
    , m_files(files)
    , m_view(view)
    , m_timers(timers)
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
    DevicePresence presence;
    const QMetaObject::Connection connection =
        QObject::connect(&m_link, &DeviceLink::presenceTested, &m_link,
                         [&presence](const DevicePresence &tested) { presence = tested; });
    m_link.testPresence();
    m_link.waitUntilIdle(); // no window is shown yet
    QObject::disconnect(connection);
    if (presence.anyPresent())
        return true;

    const auto firstWith = [&presence](HidStatus status) {
        const auto found = std::ranges::find(presence.openStatus, status);
        return static_cast<int>(found - presence.openStatus.begin());
    };
    const int busyDevice = firstWith(hid::kInUse);
    const int deniedDevice = firstWith(hid::kAccessDenied);
    m_view.processPendingEvents();
    if (busyDevice < kDeviceCount) {
        m_view.showMessage({presence.unavailableText[static_cast<std::size_t>(busyDevice)],
                            kShortTitle, MessageIcon::Exclamation});
    } else if (deniedDevice < kDeviceCount) {
        m_view.showMessage(
            {permissionProblemMessage(deniedDevice), kShortTitle, MessageIcon::Exclamation});
    } else {
        m_view.showMessage(noDeviceMessage());
    }
    return false;
}

void Startup::enterSearching()
{
    m_link.prepareDevices();
    m_link.startSearching();
    if (m_timers == Timers::Start)
        m_link.startTimers();
}

void Startup::warnAboutVolumeLabel()
{
    if (volumeLabelNeedsWarning(m_platform.currentVolumeLabel()))
        m_view.showMessage(volumeWarning());
}

} // namespace orvex
