#include "ui/program/Program.h"

#include "core/config/ConfigModel.h"
#include "core/config/FileCommands.h"
#include "core/link/DeviceLink.h"
#include "core/platform/linux/LinuxPlatformServices.h"
#include "ui/windows/MainWindow.h"
#include "ui/windows/MessageBoxAccessPrompts.h"
#include "ui/windows/QtFilePrompts.h"

namespace orvex {

// Virtual devices need no device permissions: a program on --simulate or --emulator must not
// offer to fix the access to a real device that it is not going to use.
class Program::VirtualDevicesPlatform : public PlatformServices
{
public:
    explicit VirtualDevicesPlatform(PlatformServices &system)
        : m_system(system)
    {}

    QString commandLine() const override { return m_system.commandLine(); }
    bool callsForElevation() override { return false; }
    bool elevate() override { return false; }
    QString currentVolumeLabel() override { return m_system.currentVolumeLabel(); }

private:
    PlatformServices &m_system;
};

Program::Program(Parts parts)
    : m_devices(std::move(parts.devices))
    , m_model(std::make_unique<ConfigModel>())
    , m_link(std::make_unique<DeviceLink>(*m_devices, *m_model))
    , m_prompts(parts.prompts)
    , m_platform(parts.platform)
    , m_timers(parts.timers)
{
    if (m_prompts == nullptr) {
        m_ownPrompts = std::make_unique<QtFilePrompts>();
        m_prompts = m_ownPrompts.get();
    }
    m_files = std::make_unique<FileCommands>(*m_model, *m_prompts);
    m_window = std::make_unique<MainWindow>(*m_model, *m_link, *m_files, *m_prompts);
    if (m_ownPrompts)
        m_ownPrompts->setDialogParent(m_window.get());
    if (m_platform == nullptr) {
        m_accessPrompts = std::make_unique<MessageBoxAccessPrompts>(m_window.get());
        m_ownPlatform = std::make_unique<LinuxPlatformServices>(m_accessPrompts.get());
        m_platform = m_ownPlatform.get();
    }
}

Program::~Program() = default;

std::unique_ptr<Program> Program::forOptions(const DeviceOptions &options)
{
    auto program = std::make_unique<Program>(Parts{createDeviceAccess(options)});
    if (options.simulate || options.usesEmulator()) {
        program->m_virtualPlatform = std::make_unique<VirtualDevicesPlatform>(*program->m_platform);
        program->m_platform = program->m_virtualPlatform.get();
    }
    return program;
}

StartupOutcome Program::start()
{
    Startup startup(*m_platform, *m_link, *m_files, *m_window, m_timers);
    const StartupOutcome outcome = startup.run();
    if (outcome == StartupOutcome::ShowWindow)
        m_window->show();
    return outcome;
}

} // namespace orvex
