#pragma once

// The one base of the window tests: the whole program as main() builds it (Program), on two
// virtual devices, with scripted prompts and a fake platform.  The link's timers do not run:
// tests ask for its ticks and wait for them.

#include "Fakes.h"
#include "LinkWaits.h"
#include "ModelEditing.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "core/config/ConfigModel.h"
#include "core/config/FileCommands.h"
#include "core/link/DeviceLink.h"
#include "ui/dialogs/KeyPicker.h"
#include "ui/dialogs/SettingsDialog.h"
#include "ui/program/Program.h"
#include "ui/windows/MainWindow.h"

#include <QString>
#include <memory>

namespace orvex::testing {

struct WindowTest
{
    // Start-up's end state without start-up: the defaults, searching, the window shown.
    void startSearching()
    {
        files.newConfiguration();
        link.startSearching();
        link.waitUntilIdle();
        window.show();
    }

    // Searching, then one search tick, which attaches the selected (or the other) device.
    void startViewing()
    {
        startSearching();
        searchTick();
    }

    // One tick of the link, run on its device thread; it returns once the window has heard of it.
    void poll() { pollAndWait(link); }
    void searchTick() { searchAndWait(link); }
    void settle() { orvex::testing::settle(link); }

    // The settings dialog of a channel as the main window opens it, without its modal loop.
    SettingsDialog &settings(int channel)
    {
        if (!m_settings) {
            m_settings = std::make_unique<SettingsDialog>(model, &window);
            QObject::connect(&link, &DeviceLink::sampled, m_settings.get(),
                             &SettingsDialog::showSample);
        }
        m_settings->loadForm(channel);
        return *m_settings;
    }

    // A control of the main window, or of the settings dialog once it exists, by objectName.
    template <typename T> T *control(const QString &name) const
    {
        if (T *found = window.findChild<T *>(name))
            return found;
        return m_settings ? m_settings->findChild<T *>(name) : nullptr;
    }

    ScriptedPrompts prompts;
    FakePlatform platform;
    std::unique_ptr<VirtualDeviceAccess> ownDevices = std::make_unique<VirtualDeviceAccess>();
    VirtualDeviceAccess &devices = *ownDevices;
    Program program{{std::move(ownDevices), &prompts, &platform, Startup::Timers::LeaveStopped}};
    ConfigModel &model = program.model();
    DeviceLink &link = program.link();
    FileCommands &files = program.files();
    MainWindow &window = program.window();

private:
    std::unique_ptr<SettingsDialog> m_settings;
};

} // namespace orvex::testing
