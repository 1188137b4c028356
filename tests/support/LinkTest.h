#pragma once

// The device link of one program on two virtual devices, for GoogleTest: what the link tells its
// views and what a transfer tells its window are recorded.

#include "Fakes.h"
#include "LinkRecorder.h"
#include "ModelEditing.h"
#include "Printers.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "core/config/ConfigModel.h"
#include "core/link/ConfigTransfer.h"
#include "core/link/DeviceLink.h"

#include <gtest/gtest.h>
#include <vector>

namespace orvex::testing {

class LinkTest : public ::testing::Test
{
protected:
    LinkTest() { model.resetSettings(); }

    // Attaches the selected device as a search tick does and forgets what that took.
    void attach()
    {
        link.waitForDeviceTick();
        ASSERT_TRUE(link.isViewing());
        devices.clearLog();
        recorder.calls.clear();
    }

    std::vector<VirtualExchange> transfers() const { return devices.transfers(); }

    VirtualDeviceAccess devices;
    ConfigModel model;
    DeviceLink link{devices, model};
    DeviceTransport &transport = link.transport();
    LinkRecorder recorder{link};
    RecordingTransferView view;
    ConfigTransfer transfer{link, model, view};
};

} // namespace orvex::testing
