#pragma once

#include "BenchPrompts.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "core/config/ConfigModel.h"
#include "core/config/FileCommands.h"
#include "core/link/DeviceLink.h"
#include "ui/program/Program.h"
#include "ui/windows/MainWindow.h"

#include <QCoreApplication>

namespace orvex::bench {

// The program as main() builds it, on the in-process virtual devices (which answer at once),
// with the link's timers stopped: the benchmark asks for the ticks.  Device 1 is viewed.
struct BenchProgram
{
    BenchProgram()
    {
        devices.setPresent(1, false);
        files.newConfiguration();
        link.startSearching();
        window.show();
        link.waitForDeviceTick(); // attaches Device 1
        link.waitUntilIdle();
        runPendingEvents();
    }

    // One poll tick on the device thread, until the window has what it announced.
    void tick()
    {
        link.pollDevice();
        link.waitUntilIdle();
    }

    // Until a transfer started from the window has ended and the polls have resumed.
    void settle()
    {
        link.waitUntilIdle();
        link.waitUntilIdle();
    }

    bool viewing() const { return link.isViewing() && link.deviceNumber() == 0; }

    // What the event loop does between two ticks: among others, the repaints that update()
    // asked for.
    static void runPendingEvents() { QCoreApplication::processEvents(); }

    SilentPrompts prompts;
    std::unique_ptr<VirtualDeviceAccess> ownDevices = std::make_unique<VirtualDeviceAccess>();
    VirtualDeviceAccess &devices = *ownDevices;
    NoPlatform platform;
    Program program{{std::move(ownDevices), &prompts, &platform, Startup::Timers::LeaveStopped}};
    ConfigModel &model = program.model();
    DeviceLink &link = program.link();
    FileCommands &files = program.files();
    MainWindow &window = program.window();
};

} // namespace orvex::bench
