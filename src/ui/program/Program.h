#pragma once

#include "core/access/DeviceAccess.h"
#include "core/backends/DeviceAccessFactory.h"
#include "core/startup/Startup.h"

#include <memory>

namespace orvex {

class AccessPrompts;
class ConfigModel;
class DeviceLink;
class FileCommands;
class FilePrompts;
class MainWindow;
class PlatformServices;
class QtFilePrompts;

// orvex-config's objects, wired together in the order they depend on each other: the device
// access layer, the configuration model, the device link, the file commands and the main
// window.  main() builds it from the command line; the window tests and the benchmarks build it
// on virtual devices with their own prompts and platform.
class Program
{
public:
    struct Parts
    {
        std::unique_ptr<DeviceAccess> devices;
        FilePrompts *prompts = nullptr;       // nothing: the desktop's file and message dialogs
        PlatformServices *platform = nullptr; // nothing: the Linux platform services
        // Start-up sets the link's timers going; tests run the link's ticks themselves.
        Startup::Timers timers = Startup::Timers::Start;
    };

    explicit Program(Parts parts);
    ~Program();

    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    // The program of this command line: real devices, --simulate or --emulator PATH.  Virtual
    // devices need no device permissions, so then the platform never offers to grant them.
    static std::unique_ptr<Program> forOptions(const DeviceOptions &options);

    DeviceAccess &devices() { return *m_devices; }
    ConfigModel &model() { return *m_model; }
    DeviceLink &link() { return *m_link; }
    FileCommands &files() { return *m_files; }
    MainWindow &window() { return *m_window; }

    // Start-up; when it ends with the window to show, the window is shown.  From then on the
    // link's timers, or a test, run the link's ticks.
    StartupOutcome start();

private:
    class VirtualDevicesPlatform;

    std::unique_ptr<DeviceAccess> m_devices;
    std::unique_ptr<ConfigModel> m_model;
    std::unique_ptr<DeviceLink> m_link;
    std::unique_ptr<QtFilePrompts> m_ownPrompts;
    FilePrompts *m_prompts;
    std::unique_ptr<FileCommands> m_files;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<AccessPrompts> m_accessPrompts;
    std::unique_ptr<PlatformServices> m_ownPlatform;
    std::unique_ptr<PlatformServices> m_virtualPlatform;
    PlatformServices *m_platform;
    Startup::Timers m_timers;
};

} // namespace orvex
