#include "LinkFixture.h"

namespace orvex::testing {
namespace {

using Kind = VirtualExchange::Kind;

TEST(RequestReports, CarryCommandAddressAndValue)
{
    EXPECT_EQ(readRequest(508), (HidReport{1, 0x82, 0x01, 0xFC, 0, 0}));
    EXPECT_EQ(writeRequest(510, 'R'), (HidReport{1, 0x81, 0x01, 0xFE, 0x52, 0}));
    EXPECT_EQ(readRequest(address::kLiveValuesHigh), (HidReport{1, 0x82, 0x20, 0x01, 0, 0}));
    EXPECT_EQ(writeRequest(address::kLiveValuesLow, address::kRelease),
              (HidReport{1, 0x81, 0x20, 0x00, 1, 0}));
}

TEST(HardwareIdText, NamesVendorAndProductOfEachDevice)
{
    EXPECT_EQ(hardwareIdText(0), QStringLiteral("vid_04b4&pid_6148"));
    EXPECT_EQ(hardwareIdText(1), QStringLiteral("vid_04b4&pid_6149"));
    EXPECT_TRUE(hardwareIdText(2).isEmpty());
    EXPECT_TRUE(hardwareIdText(-1).isEmpty());
}

class TransportTest : public LinkTest
{
protected:
    HidHandle open(int number)
    {
        HidHandle handle = kClosedHandle;
        EXPECT_EQ(transport.openDevice(handle, number), hid::kSuccess);
        return handle;
    }
};

TEST_F(TransportTest, OpensEachDeviceByItsProduct)
{
    HidHandle first = open(0);
    HidHandle second = open(1);
    ASSERT_EQ(device.log().size(), 2u);
    EXPECT_EQ(device.log()[0].deviceNumber, 0);
    EXPECT_EQ(device.log()[1].deviceNumber, 1);
    EXPECT_EQ(device.openHandleCount(), 2);

    transport.closeDevice(first);
    transport.closeDevice(second);
    EXPECT_EQ(device.openHandleCount(), 0);
    EXPECT_FALSE(DeviceTransport::isOpen(first));
}

TEST_F(TransportTest, RefusesUnknownDeviceNumbersWithoutCallingTheLibrary)
{
    for (int number : {2, -1, 7}) {
        HidHandle handle = kClosedHandle;
        EXPECT_EQ(transport.openDevice(handle, number), -1);
        EXPECT_EQ(handle, kClosedHandle);
    }
    EXPECT_TRUE(device.log().empty());
}

TEST_F(TransportTest, ReadsAndWritesSingleBytes)
{
    HidHandle handle = open(0);
    EXPECT_EQ(transport.writeDeviceByte(handle, 508, 17), hid::kSuccess);
    EXPECT_EQ(device.device(0).memory[508], 17);
    EXPECT_EQ(transport.readDeviceByte(handle, 508), 17);
    EXPECT_FALSE(transport.deviceError);

    const auto sent = transfers();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].request, (HidReport{1, 0x81, 0x01, 0xFC, 17, 0}));
    EXPECT_EQ(sent[1].request, (HidReport{1, 0x82, 0x01, 0xFC, 0, 0}));
}

TEST_F(TransportTest, FailedByteReadGivesZeroAndStaysFlagged)
{
    HidHandle handle = open(0);
    device.device(0).memory[100] = 0xAB;
    device.failExchange(device.exchangeCount());
    EXPECT_EQ(transport.readDeviceByte(handle, 100), 0);
    EXPECT_TRUE(transport.deviceError);

    // A later successful read does not clear the flag; only the configuration read does.
    EXPECT_EQ(transport.readDeviceByte(handle, 100), 0xAB);
    EXPECT_TRUE(transport.deviceError);
}

TEST_F(TransportTest, LiveValuesComeFromTwoRequests)
{
    HidHandle handle = open(1);
    device.device(1).liveValues = {10, 20, 30, 40, 50, 60};
    LiveValues values{};
    EXPECT_EQ(transport.readLiveValues(handle, values), hid::kSuccess);
    EXPECT_EQ(values, (LiveValues{10, 20, 30, 40, 50, 60}));

    const auto sent = transfers();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].request, readRequest(0x2000));
    EXPECT_EQ(sent[1].request, readRequest(0x2001));
}

TEST_F(TransportTest, LiveValuesFailWithEitherRequest)
{
    HidHandle handle = open(0);
    device.device(0).liveValues = {10, 20, 30, 40, 50, 60};

    // The second request fails: the first three values still arrive, the shared buffer still
    // holds them for the last three, and the read fails (the poll then zeroes everything).
    LiveValues values{};
    device.failExchange(device.exchangeCount() + 1);
    EXPECT_NE(transport.readLiveValues(handle, values), hid::kSuccess);
    EXPECT_EQ(values, (LiveValues{10, 20, 30, 10, 20, 30}));

    // The first request fails: the read fails at once, without a second request.
    values = {};
    device.failExchange(device.exchangeCount());
    const int exchangesBefore = device.exchangeCount();
    EXPECT_EQ(transport.readLiveValues(handle, values), hid::kIoError);
    EXPECT_EQ(device.exchangeCount(), exchangesBefore + 1);
}

} // namespace
} // namespace orvex::testing
