// Start-up ends before the window shows when an elevated instance carries on or no device can
// be used; otherwise it loads the defaults and leaves the link searching for a device.

#include "Fakes.h"
#include "LinkTest.h"
#include "Printers.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "core/config/ConfigModel.h"
#include "core/link/DeviceLink.h"
#include "core/platform/linux/UdevRule.h"

#include <array>
#include <gtest/gtest.h>

namespace orvex::testing {
namespace {

TEST(Startup, EndsEarlyOnlyWhenNoDeviceCanBeUsedOrAnElevatedInstanceCarriesOn)
{
    const auto show = StartupOutcome::ShowWindow, none = StartupOutcome::NoDevice;
    const QString warning =
        "Warning: The ORVEX programs must be copied to and run\r\nfrom its own folder on the "
        "PC's harddrive. The CD itself\r\nshould be reserved for backup purposes only.";
    const struct
    {
        int device1, device2; // how each opens: a status, or -1 when absent
        bool asksElevation, elevationCarriesOn;
        QString line; // the command line
        QString volume;
        StartupOutcome outcome;
        bool elevates;
        QString message;
    } starts[] = {
        {-1, 0, false, false, "", "", show, false, ""},
        {-1, -1, false, false, "", "", none, false,
         "        No ORVEX devices detected !\r\n\r\nClick the OK button below, plug the "
         "ORVEX\r\ninto the USB Port, and restart the program."},
        {hid::kAccessDenied, -1, false, false, "", "", none, false, permissionProblemMessage(0)},
        {hid::kInUse, hid::kAccessDenied, false, false, "", "", none, false,
         "The ORVEX (1) is in use by another program"},
        {0, 0, true, true, "orvex-config", "", StartupOutcome::Relaunched, true, ""},
        {0, 0, true, false, "orvex-config", "", show, true, ""}, // the user said no
        {0, 0, true, true, "orvex-config ADMIN", "", StartupOutcome::Relaunched, true, ""},
        {0, 0, true, true, "orvex-config --readministered", "", show, false, ""}, // anywhere
        {0, 0, false, false, "", "MY_ORVEX_CD", show, false, warning},
        {0, 0, false, false, "", "my_orvex_cd", show, false, ""}};
    ensureApplication();
    for (const auto &start : starts) {
        VirtualDeviceAccess devices;
        for (const int n : {0, 1}) {
            const int opens = n == 0 ? start.device1 : start.device2;
            devices.setPresent(n, opens >= 0);
            devices.device(n).openRefusal = std::max(opens, 0);
        }
        FakePlatform platform;
        platform.wantsElevation = start.asksElevation;
        platform.elevationCarriesOn = start.elevationCarriesOn;
        platform.line = start.line;
        platform.volumeLabel = start.volume;
        ConfigModel model;
        DeviceLink link{devices, model};
        ScriptedPrompts prompts;
        FileCommands files{model, prompts};
        RecordingTransferView view;

        EXPECT_EQ(Startup(platform, link, files, view, Startup::Timers::LeaveStopped).run(),
                  start.outcome);
        link.waitUntilIdle();
        EXPECT_EQ(platform.elevateCalls, start.elevates ? 1 : 0);
        const std::vector<UserMessage> told(start.message.isEmpty() ? 0 : 1,
                                            {start.message, "ORVEX", MessageIcon::Exclamation});
        EXPECT_EQ(view.messages, told);
        EXPECT_EQ(devices.openHandleCount(), 0);
        const bool shows = start.outcome == show;
        EXPECT_EQ(model.channel(0).steps, shows ? 3 : 0); // the defaults, loaded by New
        for (const int n : {0, 1}) // every device that opens gets the attach write
            EXPECT_EQ(devices.device(n).attached,
                      shows && (n == 0 ? start.device1 : start.device2) == 0 ? std::optional(true)
                                                                             : std::nullopt);
        if (!shows)
            continue;
        EXPECT_FALSE(link.isViewing());
        link.waitForDeviceTick();
        link.waitUntilIdle();
        EXPECT_EQ(link.deviceNumber(), start.device1 == 0 ? 0 : 1);
    }
}

// The file named on the command line leaves it before start-up reads it, wherever it stands.
TEST(Startup, TheFileArgumentIsNoWordOfTheCommandLine)
{
    for (const int at : {1, 2}) {
        std::array<QByteArray, 3> words{"orvex-config", "--simulate", "--simulate"};
        words[static_cast<std::size_t>(at)] = "/home/admin/P.orv";
        char *argv[] = {words[0].data(), words[1].data(), words[2].data(), nullptr};
        int argc = 3;
        takeFileArgument(argc, argv, "/home/admin/P.orv");
        EXPECT_EQ(argc, 2);
        EXPECT_EQ(QByteArray(argv[1]), "--simulate");
        EXPECT_EQ(argv[2], nullptr);
    }
}

} // namespace
} // namespace orvex::testing
