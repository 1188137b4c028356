#pragma once

#include "core/config/UserMessage.h"

#include <QString>

namespace orvex {

class DevicePolling;
class FileCommands;
class PlatformServices;
class PollingView;

// What start-up needs from the window besides the polling view.
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
    Startup(PlatformServices &platform, DevicePolling &polling, FileCommands &files,
            PollingView &pollingView, StartupView &view);

    StartupOutcome run();

    static UserMessage noDeviceMessage();
    static UserMessage volumeWarning();

private:
    bool devicePresent();
    void enterSearching();
    void warnAboutVolumeLabel();

    PlatformServices &m_platform;
    DevicePolling &m_polling;
    FileCommands &m_files;
    PollingView &m_pollingView;
    StartupView &m_view;
};

} // namespace orvex
