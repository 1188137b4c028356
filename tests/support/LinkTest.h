#pragma once

// The device link of one program on two virtual devices, for GoogleTest: the link runs its device
// thread, and what it announces and what a transfer tells its window are recorded.  The link's
// timers do not run; tests ask for ticks and wait for them.

#include "Fakes.h"
#include "LinkRecorder.h"
#include "LinkWaits.h"
#include "ModelEditing.h"
#include "Printers.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "core/config/ConfigModel.h"
#include "core/link/ConfigTransfer.h"
#include "core/link/DeviceLink.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <vector>

namespace orvex::testing {

// The event loop that the link's announcements need, made once per test program.
inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "test", *argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr)
        static QCoreApplication application(argc, argv);
}

class LinkTest : public ::testing::Test
{
protected:
    LinkTest() { model.resetSettings(); }

    // Each of these asks the device thread and returns once it is done and has been heard.
    void poll() { pollAndWait(link); }
    void searchTick() { searchAndWait(link); }
    void select(int number)
    {
        link.selectDevice(number);
        link.waitUntilIdle();
    }

    // Attaches the selected device as a search tick does and forgets what that took.
    void attach()
    {
        searchTick();
        ASSERT_TRUE(link.isViewing());
        devices.clearLog();
        recorder.calls.clear();
    }

    // A whole transfer, until the polls have resumed.
    TransferResult read(FileCommands *files = nullptr)
    {
        return settled(
            runToEnd(transfer, [this, files] { return transfer.readFromDevice(files); }));
    }
    TransferResult write()
    {
        return settled(runToEnd(transfer, [this] { return transfer.writeToDevice(); }));
    }
    TransferResult settled(TransferResult result)
    {
        link.waitUntilIdle();
        return result;
    }

    std::vector<VirtualExchange> transfers() const { return devices.transfers(); }

    int ensured = (ensureApplication(), 0);
    VirtualDeviceAccess devices;
    ConfigModel model;
    DeviceLink link{devices, model};
    LinkRecorder recorder{link};
    RecordingTransferView view;
    ConfigTransfer transfer{link, model, view};
};

} // namespace orvex::testing
