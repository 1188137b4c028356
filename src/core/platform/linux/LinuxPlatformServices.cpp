#include "core/platform/linux/LinuxPlatformServices.h"

#include <QCoreApplication>
#include <QDir>

namespace orvex {

UserMessage LinuxPlatformServices::installQuestion(int deviceNumber)
{
    const QStringList lines = {
        deviceDescription(deviceNumber) + QStringLiteral(" is plugged in,"),
        QStringLiteral("but this user is not allowed to open it."),
        QString(),
        QStringLiteral("The program can install its udev rule, which gives the user"),
        QStringLiteral("at this computer access to the ORVEX. This needs an"),
        QStringLiteral("administrator's password."),
        QString(),
        QStringLiteral("Install the udev rule now?"),
    };
    return {lines.join(kLineBreak), kShortTitle, MessageIcon::None};
}

UserMessage LinuxPlatformServices::installFailedMessage(int exitCode)
{
    return {QStringLiteral("The udev rule could not be installed") + kLineBreak +
                QStringLiteral("(pkexec ended with code %1).").arg(exitCode),
            kShortTitle, MessageIcon::Exclamation};
}

LinuxPlatformServices::LinuxPlatformServices(AccessPrompts *prompts, System system)
    : m_prompts(prompts)
    , m_system(std::move(system))
    , m_probe(m_system.roots, m_system.canReadWrite)
{}

QString LinuxPlatformServices::commandLine() const
{
    QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst(); // the program name
    return arguments.join(QLatin1Char(' '));
}

bool LinuxPlatformServices::callsForElevation()
{
    return m_probe.firstInaccessibleDevice().has_value();
}

// A desktop program never relaunches itself as root.  It offers to install the udev rule
// instead and always lets start-up carry on, which then tests the devices again and explains
// any permission problem that remains, with the commands that fix it.
bool LinuxPlatformServices::elevate()
{
    const std::optional<int> device = m_probe.firstInaccessibleDevice();
    if (!device || !m_prompts)
        return false;
    if (!m_system.installer)
        m_system.installer = UdevRuleInstaller::forThisProgram();
    const UdevRuleInstaller &installer = *m_system.installer;
    if (!installer.isAvailable() || !m_prompts->askYesNo(installQuestion(*device)))
        return false;
    if (installer.install() == UdevRuleInstaller::Result::Failed)
        m_prompts->showMessage(installFailedMessage(installer.lastExitCode()));
    return false;
}

QString LinuxPlatformServices::currentVolumeLabel()
{
    return VolumeLabelLookup(m_system.roots, m_system.probeLabel)
        .labelOfMountPoint(m_system.currentDirectory());
}

QString currentDirectoryPath()
{
    return QDir::currentPath();
}

} // namespace orvex
