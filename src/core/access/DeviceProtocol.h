#pragma once

#include "core/access/DeviceAccess.h"

#include <QString>
#include <array>
#include <cstdint>

namespace orvex {

// What the device understands: the 6-byte request reports and its address map.

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

} // namespace orvex
