// Below the link: the bytes of each request, the hardware identifiers, and what the transport
// refuses and how it fails.

#include "core/link/DeviceTransport.h"

#include "LinkTest.h"
#include "core/access/HardwareId.h"

namespace orvex::testing {
namespace {

TEST(Protocol, RequestReportsAndHardwareIds)
{
    EXPECT_EQ(readRequest(508), (HidReport{1, 0x82, 0x01, 0xFC, 0, 0}));
    EXPECT_EQ(writeRequest(510, 'R'), (HidReport{1, 0x81, 0x01, 0xFE, 0x52, 0}));
    EXPECT_EQ(readRequest(0x2001), (HidReport{1, 0x82, 0x20, 0x01, 0, 0}));
    EXPECT_EQ(writeRequest(0x2000, 1), (HidReport{1, 0x81, 0x20, 0x00, 1, 0}));
    EXPECT_EQ(hardwareIdText(0), QStringLiteral("vid_04b4&pid_6148"));
    EXPECT_EQ(hardwareIdText(1), QStringLiteral("vid_04b4&pid_6149"));
    EXPECT_EQ(hardwareIdText(2), QString()); // no such device
    EXPECT_EQ(parseHardwareId("USB\\VID_09aF&PID_Fa00"), (UsbId{0x09AF, 0xFA00}));
    EXPECT_FALSE(parseHardwareId("vid_04b4&pid_61480")); // a fifth digit, even a 0, is too many
    EXPECT_FALSE(parseHardwareId("vid_04b4&rev_6148"));
}

// A number that is no device is refused without asking the device layer.  Either live-value
// request failing fails the read; a failed first one ends it at once.
TEST(Transport, RefusesAndFails)
{
    VirtualDeviceAccess devices;
    DeviceTransport transport(devices);
    HidHandle handle = kClosedHandle;
    EXPECT_EQ(transport.openDevice(handle, 2), -1);
    EXPECT_TRUE(devices.log().empty());
    ASSERT_EQ(transport.openDevice(handle, 0), hid::kSuccess);
    LiveValues values{};
    for (int failing : {0, 1}) {
        const int start = devices.exchangeCount();
        devices.failExchange(start + failing);
        EXPECT_EQ(transport.readLiveValues(handle, values), hid::kIoError);
        EXPECT_EQ(devices.exchangeCount() - start, failing + 1);
    }
}

} // namespace
} // namespace orvex::testing
