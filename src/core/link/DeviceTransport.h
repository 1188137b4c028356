#pragma once

#include "core/access/DeviceAccess.h"
#include "core/access/DeviceProtocol.h"

#include <cstdint>

namespace orvex {

// Byte-level requests on top of the device access layer.
class DeviceTransport
{
public:
    explicit DeviceTransport(DeviceAccess &access);

    DeviceAccess &access() { return m_access; }

    // Device number 0 or 1; any other number gives -1 without touching the device layer.
    HidStatus openDevice(HidHandle &handle, int deviceNumber);
    HidStatus closeDevice(HidHandle &handle);
    static bool isOpen(HidHandle handle) { return handle != kClosedHandle; }

    HidStatus writeDeviceByte(HidHandle &handle, int address, std::uint8_t value);
    HidStatus readDeviceReport(HidHandle &handle, int address, HidReport &reply);

    // Byte 4 of the reply; a failed exchange sets the sticky deviceError.
    std::uint8_t readDeviceByte(HidHandle &handle, int address);

    // Both live-value requests; a failure of the first one ends the read with its status.
    HidStatus readLiveValues(HidHandle &handle, LiveValues &values);

    // Sticky failure flag of readDeviceByte(); only the configuration read clears it.
    bool deviceError = false;

private:
    DeviceAccess &m_access;
};

} // namespace orvex
