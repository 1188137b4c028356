#pragma once

#include "core/config/UserMessage.h"

#include <QString>

namespace orvex {

class FileCommands;
class PlatformServices;
class DeviceLink;

// What start-up needs from the window.
class StartupView
{
public:
    virtual ~StartupView() = default;

    virtual void processPendingEvents() = 0;
    virtual void showMessage(const UserMessage &message) = 0;
};

enum class StartupOutcome {
    ShowWindow, // start-up completed: show the main window and let the timers take over
    Relaunched, // an elevated instance carries on; end without showing anything
    NoDevice,   // no device can be used; the user was told, end without showing the window
};

// The program's start-up sequence, from the elevation decision to the volume-label warning.
class Startup
{
public:
    // Whether start-up sets the link's timers going once the search begins, so that a device is
    // found while start-up's last message is still open.  Tests run the ticks themselves.
    enum class Timers { Start, LeaveStopped };

    Startup(PlatformServices &platform, DeviceLink &link, FileCommands &files, StartupView &view,
            Timers timers = Timers::Start);

    StartupOutcome run();

    static UserMessage noDeviceMessage();
    static UserMessage volumeWarning();

private:
    bool devicePresent();
    void enterSearching();
    void warnAboutVolumeLabel();

    PlatformServices &m_platform;
    DeviceLink &m_link;
    FileCommands &m_files;
    StartupView &m_view;
    Timers m_timers;
};

} // namespace orvex
