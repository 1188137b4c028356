#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace orvex {

// "The ORVEX (Device 1, USB ID 04b4:6148)": how the access texts name a device.
QString deviceDescription(int deviceNumber);

// Installs the program's udev rule system-wide through pkexec, which asks for the desktop's
// administrator authentication.  One pkexec call runs the small helper installed with the
// program; no argument ever passes through a shell.
class UdevRuleInstaller
{
public:
    enum class Result { Installed, Cancelled, Failed };

    // Runs a program with its arguments and waits; returns its exit code, or a negative value
    // when it could not be started or crashed.
    using ProcessRunner = std::function<int(const QString &program, const QStringList &arguments)>;

    UdevRuleInstaller(QString pkexecPath, QString helperPath, ProcessRunner run = runAndWait);

    // pkexec and the helper of this program's installation, where they exist.
    static UdevRuleInstaller forThisProgram();
    static int runAndWait(const QString &program, const QStringList &arguments);

    bool isAvailable() const;
    Result install() const;

    // The exit code of the last install(), for the failure message.
    int lastExitCode() const { return m_lastExitCode; }

private:
    QString m_pkexecPath;
    QString m_helperPath;
    ProcessRunner m_run;
    mutable int m_lastExitCode = 0;
};

// The udev rule file shipped with this program: installed next to the program's prefix, or, for
// a program run from its build folder, the one in the source tree.
QString shippedUdevRulePath();

// The folders udev reads rules from, in the order it prefers them.
extern const QStringList kUdevRuleFolders;

// Where udev reads this program's rule from, when it is installed in one of `folders`; empty
// otherwise.
QString installedUdevRulePath(const QStringList &folders = kUdevRuleFolders);

// The terminal commands that give the user at this computer access to the ORVEX: install the
// rule at this path where udev does not read it already, then apply the rules.
QStringList udevRuleCommands(const QString &shippedRulePath);

// The permission-problem message with the commands for the rule file at this path (the
// declaration without the path, in PlatformServices.h, uses shippedUdevRulePath()).
QString permissionProblemMessage(int deviceNumber, const QString &shippedRulePath);

} // namespace orvex
