#include "core/link/DeviceTransport.h"

namespace orvex {

namespace {

// A read request's reply carries the memory byte here, or three live values from byte 2 on.
constexpr int kReplyValueByte = 4;
constexpr int kReplyLiveValuesByte = 2;
constexpr int kLiveValuesPerReply = 3;

void copyLiveValues(const HidReport &reply, LiveValues &values, int firstChannel)
{
    for (int i = 0; i < kLiveValuesPerReply; ++i)
        values[firstChannel + i] = reply[kReplyLiveValuesByte + i];
}

} // namespace

DeviceTransport::DeviceTransport(DeviceAccess &access)
    : m_access(access)
{}

HidStatus DeviceTransport::openDevice(HidHandle &handle, int deviceNumber)
{
    if (deviceNumber < 0 || deviceNumber >= static_cast<int>(kProductIds.size()))
        return -1;
    return m_access.OpenHidDevice(kProductIds[static_cast<std::size_t>(deviceNumber)],
                                  kReportLength, kReportLength, handle);
}

HidStatus DeviceTransport::closeDevice(HidHandle &handle)
{
    return m_access.CloseHidDevice(handle);
}

HidStatus DeviceTransport::writeDeviceByte(HidHandle &handle, int address, std::uint8_t value)
{
    HidReport ignoredReply{};
    return m_access.WriteHidDevice(handle, writeRequest(address, value), ignoredReply);
}

HidStatus DeviceTransport::readDeviceReport(HidHandle &handle, int address, HidReport &reply)
{
    return m_access.WriteHidDevice(handle, readRequest(address), reply);
}

std::uint8_t DeviceTransport::readDeviceByte(HidHandle &handle, int address)
{
    HidReport reply{};
    if (readDeviceReport(handle, address, reply) != hid::kSuccess)
        deviceError = true;
    return reply[kReplyValueByte];
}

// A failed first request is a lost device as much as a failed second one: the values it would
// have brought are not there.  After a successful first one, a single buffer serves both, so a
// failed second request leaves what the first one stored.
HidStatus DeviceTransport::readLiveValues(HidHandle &handle, LiveValues &values)
{
    HidReport reply{};
    const HidStatus first = readDeviceReport(handle, address::kLiveValuesLow, reply);
    if (first != hid::kSuccess)
        return first;
    copyLiveValues(reply, values, 0);
    const HidStatus second = readDeviceReport(handle, address::kLiveValuesHigh, reply);
    copyLiveValues(reply, values, kLiveValuesPerReply);
    return second;
}

} // namespace orvex
