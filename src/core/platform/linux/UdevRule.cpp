#include "core/platform/linux/UdevRule.h"

#include "core/access/DeviceAccess.h"
#include "core/config/UserMessage.h"
#include "core/platform/PlatformServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>

namespace orvex {

// The folders udev reads its rules from; a rule installed in one of them needs no copying.
const QStringList kUdevRuleFolders = {
    QStringLiteral("/etc/udev/rules.d/"),
    QStringLiteral("/run/udev/rules.d/"),
    QStringLiteral("/usr/lib/udev/rules.d/"),
    QStringLiteral("/lib/udev/rules.d/"),
};

namespace {

const QString kRuleFileName = QStringLiteral("70-orvex.rules");
const QString kSystemRulePath = QStringLiteral("/etc/udev/rules.d/70-orvex.rules");

// A path as a POSIX shell word the user can paste into a terminal.
QString shellQuoted(const QString &text)
{
    static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9_./+:@%=-]+$"));
    if (safe.match(text).hasMatch())
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

bool udevReadsRuleAt(const QString &path)
{
    return std::any_of(kUdevRuleFolders.begin(), kUdevRuleFolders.end(),
                       [&path](const QString &folder) { return path.startsWith(folder); });
}

QString pathBesideProgram(const QString &pathFromBinDir)
{
    if (!QCoreApplication::instance())
        return {};
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                           pathFromBinDir);
}

QString productHex(quint16 productId)
{
    return QStringLiteral("%1").arg(productId, 4, 16, QLatin1Char('0'));
}

} // namespace

QString deviceDescription(int deviceNumber)
{
    if (deviceNumber < 0 || deviceNumber >= static_cast<int>(kProductIds.size()))
        return QStringLiteral("The ORVEX");
    return QStringLiteral("The ORVEX (Device %1, USB ID %2:%3)")
        .arg(deviceNumber + 1)
        .arg(productHex(kVendorId), productHex(kProductIds[deviceNumber]));
}

UdevRuleInstaller::UdevRuleInstaller(QString pkexecPath, QString helperPath, ProcessRunner run)
    : m_pkexecPath(std::move(pkexecPath))
    , m_helperPath(std::move(helperPath))
    , m_run(std::move(run))
{}

UdevRuleInstaller UdevRuleInstaller::forThisProgram()
{
    const QString helper = pathBesideProgram(QStringLiteral(ORVEX_UDEV_HELPER_FROM_BINDIR));
    const bool helperInstalled = !helper.isEmpty() && QFileInfo(helper).isExecutable();
    return UdevRuleInstaller(QStandardPaths::findExecutable(QStringLiteral("pkexec")),
                             helperInstalled ? helper : QString());
}

int UdevRuleInstaller::runAndWait(const QString &program, const QStringList &arguments)
{
    return QProcess::execute(program, arguments);
}

bool UdevRuleInstaller::isAvailable() const
{
    return !m_pkexecPath.isEmpty() && !m_helperPath.isEmpty();
}

UdevRuleInstaller::Result UdevRuleInstaller::install() const
{
    constexpr int kAuthenticationDismissed = 126; // pkexec: the user closed the dialog
    m_lastExitCode = m_run(m_pkexecPath, {m_helperPath});
    if (m_lastExitCode == 0)
        return Result::Installed;
    return m_lastExitCode == kAuthenticationDismissed ? Result::Cancelled : Result::Failed;
}

QString shippedUdevRulePath()
{
    const QString installed = pathBesideProgram(QStringLiteral(ORVEX_UDEV_RULE_FROM_BINDIR));
    if (!installed.isEmpty() && QFileInfo::exists(installed))
        return installed;
    const QString inSourceTree = QStringLiteral(ORVEX_UDEV_RULE_IN_SOURCE_TREE);
    if (QFileInfo::exists(inSourceTree))
        return inSourceTree;
    return QStringLiteral(ORVEX_UDEV_RULE_INSTALLED);
}

QString permissionProblemMessage(int deviceNumber)
{
    return permissionProblemMessage(deviceNumber, shippedUdevRulePath());
}

QString installedUdevRulePath(const QStringList &folders)
{
    for (const QString &folder : folders) {
        const QString path = folder + kRuleFileName;
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

QStringList udevRuleCommands(const QString &shippedRulePath)
{
    QStringList commands;
    if (!udevReadsRuleAt(shippedRulePath)) {
        commands << QStringLiteral("sudo install -m 0644 %1 %2")
                        .arg(shellQuoted(shippedRulePath), kSystemRulePath);
    }
    commands << QStringLiteral("sudo udevadm control --reload-rules")
             << QStringLiteral("sudo udevadm trigger");
    return commands;
}

QString permissionProblemMessage(int deviceNumber, const QString &rule)
{
    QStringList lines = {
        deviceDescription(deviceNumber) + QStringLiteral(" is plugged in,"),
        QStringLiteral("but this user is not allowed to open it."),
        QString(),
        QStringLiteral("Linux gives the user at this computer access to the ORVEX"),
        QStringLiteral("through the udev rule that comes with this program."),
    };
    if (udevReadsRuleAt(rule)) {
        // Installed, yet not in force: udev has not applied it to this device yet, or this
        // is a remote session, which uaccess never serves.
        lines << QStringLiteral("The rule is installed at %1;").arg(rule)
              << QStringLiteral("it serves the user at this computer's own screen and keyboard.")
              << QStringLiteral("Apply it with these commands in a terminal:") << QString();
    } else {
        lines << QStringLiteral("Install and load it with these commands in a terminal:")
              << QString();
    }
    lines << udevRuleCommands(rule) << QString()
          << QStringLiteral("Then unplug the ORVEX, plug it in again and restart the program.")
          << QStringLiteral("\"orvexctl devices\" shows what this user may open of each device.");
    return lines.join(kLineBreak);
}

} // namespace orvex
