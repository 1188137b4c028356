#pragma once

#include "core/access/DeviceAccess.h"

#include <QString>
#include <array>
#include <cstdint>

namespace orvex {

// Device addresses beyond the configuration memory (0..511).
namespace address {
constexpr int kLiveValuesLow = 0x2000;  // read: channels 1-3; write: 0 attach, 1 release
constexpr int kLiveValuesHigh = 0x2001; // read: channels 4-6
constexpr std::uint8_t kAttach = 0;
constexpr std::uint8_t kRelease = 1;
} // namespace address

namespace command {
constexpr std::uint8_t kReportId = 1;
constexpr std::uint8_t kWriteByte = 0x81;
constexpr std::uint8_t kRead = 0x82;
} // namespace command

using LiveValues = std::array<std::uint8_t, 6>;

// Request reports, built afresh for every exchange.
HidReport writeRequest(int address, std::uint8_t value);
HidReport readRequest(int address);

// "vid_04b4&pid_6148" for device number 0, "vid_04b4&pid_6149" for 1; empty for any other.
QString hardwareIdText(int deviceNumber);

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
