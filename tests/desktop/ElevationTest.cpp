#include "FakeSystemTree.h"
#include "core/platform/linux/LinuxPlatformServices.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::FakeSystemTree;

class RecordingPrompts : public AccessPrompts
{
public:
    bool askYesNo(const UserMessage &question) override
    {
        questions.push_back(question);
        return answer;
    }
    void showMessage(const UserMessage &message) override { messages.push_back(message); }

    bool answer = true;
    std::vector<UserMessage> questions;
    std::vector<UserMessage> messages;
};

struct ProcessRun
{
    QString program;
    QStringList arguments;
};

// Device 1 plugged in; its hidraw node refuses this user unless deviceOpen is set.
class ElevationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tree.addUsbDevice(QStringLiteral("1-2"), "04b4", "6148", 1, 7);
        tree.addHidraw(QStringLiteral("hidraw3"), "0003:000004B4:00006148");
    }

    LinuxPlatformServices services(const QString &pkexec = QStringLiteral("/usr/bin/pkexec"))
    {
        LinuxPlatformServices::System system;
        system.roots = tree.roots();
        system.canReadWrite = [this](const QString &node) {
            return deviceOpen || !node.endsWith(QStringLiteral("hidraw3"));
        };
        system.installer =
            UdevRuleInstaller(pkexec, QStringLiteral("/usr/libexec/orvex/orvex-udev-setup"),
                              [this](const QString &program, const QStringList &arguments) {
                                  runs.push_back({program, arguments});
                                  deviceOpen = exitCode == 0;
                                  return exitCode;
                              });
        return LinuxPlatformServices(&prompts, system);
    }

    FakeSystemTree tree;
    RecordingPrompts prompts;
    std::vector<ProcessRun> runs;
    bool deviceOpen = false;
    int exitCode = 0;
};

TEST_F(ElevationTest, AdminOnTheCommandLineNeverElevates)
{
    LinuxPlatformServices platform = services();
    ASSERT_TRUE(platform.callsForElevation());
    EXPECT_TRUE(shouldElevate(QString(), platform.callsForElevation()));
    EXPECT_TRUE(shouldElevate(QStringLiteral("--simulate ADMIN"), platform.callsForElevation()));
    EXPECT_FALSE(shouldElevate(QStringLiteral("admin"), platform.callsForElevation()));
    EXPECT_FALSE(shouldElevate(QStringLiteral("--badministrate"), platform.callsForElevation()));

    deviceOpen = true;
    EXPECT_FALSE(platform.callsForElevation());
    EXPECT_FALSE(shouldElevate(QString(), platform.callsForElevation()));
}

TEST_F(ElevationTest, AbsentDeviceCallsForNothing)
{
    FakeSystemTree empty;
    LinuxPlatformServices::System system;
    system.roots = empty.roots();
    system.canReadWrite = [](const QString &) {
        return false;
    };
    LinuxPlatformServices platform(&prompts, system);
    EXPECT_FALSE(platform.callsForElevation());
    EXPECT_FALSE(platform.elevate());
    EXPECT_TRUE(prompts.questions.empty());
}

TEST_F(ElevationTest, AcceptedOfferRunsTheHelperThroughPkexecAndLetsStartupContinue)
{
    LinuxPlatformServices platform = services();
    EXPECT_FALSE(platform.elevate()); // never "end now": start-up tests the devices again

    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_TRUE(prompts.questions[0].text.contains(QStringLiteral("Device 1")));
    EXPECT_TRUE(prompts.questions[0].text.contains(QStringLiteral("04b4:6148")));
    EXPECT_EQ(prompts.questions[0].title, QStringLiteral("ORVEX"));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].program, QStringLiteral("/usr/bin/pkexec"));
    EXPECT_EQ(runs[0].arguments,
              QStringList{QStringLiteral("/usr/libexec/orvex/orvex-udev-setup")});
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_FALSE(platform.callsForElevation());
}

TEST_F(ElevationTest, DeclinedOfferRunsNothing)
{
    prompts.answer = false;
    LinuxPlatformServices platform = services();
    EXPECT_FALSE(platform.elevate());
    EXPECT_EQ(prompts.questions.size(), 1u);
    EXPECT_TRUE(runs.empty());
    EXPECT_TRUE(platform.callsForElevation());
}

TEST_F(ElevationTest, DismissedAuthenticationIsQuietAndFailureIsReported)
{
    exitCode = 126; // the user closed the authentication dialog
    EXPECT_FALSE(services().elevate());
    EXPECT_EQ(runs.size(), 1u);
    EXPECT_TRUE(prompts.messages.empty());

    exitCode = 127; // not authorised, or polkit is not running
    EXPECT_FALSE(services().elevate());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.contains(QStringLiteral("127")));
    EXPECT_EQ(prompts.messages[0].icon, MessageIcon::Exclamation);

    exitCode = -2; // pkexec could not be started
    EXPECT_FALSE(services().elevate());
    EXPECT_EQ(prompts.messages.size(), 2u);
}

TEST_F(ElevationTest, WithoutPkexecOrPromptsNothingIsOffered)
{
    EXPECT_FALSE(services(QString()).elevate());
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_TRUE(runs.empty());

    LinuxPlatformServices::System system;
    system.roots = tree.roots();
    system.canReadWrite = [](const QString &) {
        return false;
    };
    LinuxPlatformServices withoutPrompts(nullptr, system);
    EXPECT_TRUE(withoutPrompts.callsForElevation());
    EXPECT_FALSE(withoutPrompts.elevate());
}

TEST(UdevRuleInstallerTest, ExitCodesMapToResults)
{
    int code = 0;
    const UdevRuleInstaller installer(
        QStringLiteral("pkexec"), QStringLiteral("helper"),
        [&code](const QString &, const QStringList &) { return code; });
    EXPECT_TRUE(installer.isAvailable());
    EXPECT_EQ(installer.install(), UdevRuleInstaller::Result::Installed);
    code = 126;
    EXPECT_EQ(installer.install(), UdevRuleInstaller::Result::Cancelled);
    code = 1;
    EXPECT_EQ(installer.install(), UdevRuleInstaller::Result::Failed);
    EXPECT_EQ(installer.lastExitCode(), 1);
    EXPECT_FALSE(UdevRuleInstaller(QStringLiteral("pkexec"), QString()).isAvailable());
    EXPECT_FALSE(UdevRuleInstaller(QString(), QStringLiteral("helper")).isAvailable());
}

TEST(UdevRuleInstallerTest, RunsProgramsWithoutAShell)
{
    // A shell would run "false" after "true" and expand the unset variable to nothing; an
    // argument vector hands both over as plain text.
    EXPECT_EQ(UdevRuleInstaller::runAndWait(QStringLiteral("true"), {QStringLiteral("; false")}),
              0);
    EXPECT_EQ(UdevRuleInstaller::runAndWait(QStringLiteral("test"),
                                            {QStringLiteral("-z"), QStringLiteral("$UNSET_X")}),
              1);
    EXPECT_EQ(UdevRuleInstaller::runAndWait(QStringLiteral("false"), {}), 1);
    EXPECT_LT(UdevRuleInstaller::runAndWait(QStringLiteral("/nonexistent/pkexec"), {}), 0);
}

TEST(PermissionProblemMessageTest, NamesTheDeviceTheCauseAndTheCommands)
{
    const QString first = permissionProblemMessage(0);
    EXPECT_TRUE(first.contains(QStringLiteral("Device 1")));
    EXPECT_TRUE(first.contains(QStringLiteral("04b4:6148")));
    EXPECT_TRUE(first.contains(QStringLiteral("plugged in")));
    EXPECT_TRUE(first.contains(QStringLiteral("not allowed to open it")));
    EXPECT_FALSE(first.contains(QStringLiteral("No ORVEX devices detected")));

    const QStringList lines = first.split(kLineBreak);
    EXPECT_TRUE(lines.contains(QStringLiteral("sudo udevadm control --reload-rules")));
    EXPECT_TRUE(lines.contains(QStringLiteral("sudo udevadm trigger")));
    // Run from the build folder, the rule comes from the source tree and must be copied.
    EXPECT_TRUE(lines.contains(QStringLiteral("sudo install -m 0644 %1 "
                                              "/etc/udev/rules.d/70-orvex.rules")
                                   .arg(shippedUdevRulePath())));
    EXPECT_TRUE(QFileInfo::exists(shippedUdevRulePath()));
    // The diagnosis a user can run next.
    EXPECT_EQ(lines.back(),
              QStringLiteral("\"orvexctl devices\" shows what this user may open of each device."));

    const QString second = permissionProblemMessage(1);
    EXPECT_TRUE(second.contains(QStringLiteral("Device 2")));
    EXPECT_TRUE(second.contains(QStringLiteral("04b4:6149")));
}

TEST(PermissionProblemMessageTest, CommandsFitWhereTheRuleIsInstalled)
{
    // Packaged: udev reads the rule already, so it only needs applying.
    const QStringList packaged =
        permissionProblemMessage(0, QStringLiteral("/usr/lib/udev/rules.d/70-orvex.rules"))
            .split(kLineBreak);
    EXPECT_TRUE(packaged.filter(QStringLiteral("sudo install")).isEmpty());
    EXPECT_TRUE(packaged.contains(QStringLiteral("sudo udevadm control --reload-rules")));
    EXPECT_TRUE(packaged.contains(QStringLiteral("sudo udevadm trigger")));

    // Elsewhere: copied into /etc first, the path quoted for the shell when it needs it.
    const QStringList local =
        permissionProblemMessage(1, QStringLiteral("/home/anna/my tools/it's/70-orvex.rules"))
            .split(kLineBreak);
    EXPECT_TRUE(local.contains(QStringLiteral("sudo install -m 0644 "
                                              "'/home/anna/my tools/it'\\''s/70-orvex.rules' "
                                              "/etc/udev/rules.d/70-orvex.rules")));
    EXPECT_TRUE(local.contains(QStringLiteral("sudo udevadm trigger")));
}

TEST(UdevRuleLookupTest, FindsTheRuleInTheFirstFolderThatHasIt)
{
    QTemporaryDir root;
    const QStringList folders = {root.filePath("etc/"), root.filePath("usr/")};
    EXPECT_EQ(installedUdevRulePath(folders), QString());
    ASSERT_TRUE(QDir(root.path()).mkpath("usr"));
    QFile rule(root.filePath("usr/70-orvex.rules"));
    ASSERT_TRUE(rule.open(QIODevice::WriteOnly));
    EXPECT_EQ(installedUdevRulePath(folders), root.filePath("usr/70-orvex.rules"));
}

} // namespace
} // namespace orvex
