// Below the link: the bytes of each request, the hardware identifiers, and how the transport
// fails.

#include "LinkTest.h"

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
}

using Transport = LinkTest;

// Either live-value request failing fails the read; a failed first one ends it at once.
TEST_F(Transport, LiveValuesFailWithEitherRequest)
{
    HidHandle handle = kClosedHandle;
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
