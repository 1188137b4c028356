#pragma once

#include "BenchPrompts.h"
#include "ui/windows/MainWindow.h"
#include "core/config/ConfigModel.h"
#include "core/config/FileCommands.h"
#include "core/link/DevicePolling.h"
#include "core/link/DeviceTransport.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"

#include <QCoreApplication>

namespace orvex::bench {

// The program as main() builds it, on the in-process virtual devices (which answer at once), with
// a main window whose timers tick only when the benchmark calls them.  Device 1 is viewed.
struct BenchProgram
{
    BenchProgram()
        : window(model, polling, files, prompts, MainWindow::Timers::DrivenByCaller)
    {
        devices.setPresent(1, false);
        files.newConfiguration();
        window.ClearGraphs();
        window.setWaitTimerEnabled(true);
        window.show();
        window.tmrWaitForDevice_Timer(); // attaches Device 1
        runPendingEvents();
    }

    bool viewing() const { return polling.deviceAttached && polling.deviceNumber == 0; }

    // What the event loop does between two ticks: among others, the repaints that update()
    // asked for.
    static void runPendingEvents() { QCoreApplication::processEvents(); }

    VirtualDeviceAccess devices;
    DeviceTransport transport{devices};
    ConfigModel model;
    DevicePolling polling{transport, model};
    SilentPrompts prompts;
    FileCommands files{model, prompts};
    MainWindow window;
};

} // namespace orvex::bench
