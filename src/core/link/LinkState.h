#pragma once

#include "core/access/DeviceProtocol.h"

#include <QString>
#include <array>
#include <cstdint>

namespace orvex {

using LiveDirections = std::array<std::uint8_t, 6>;

namespace direction {
constexpr std::uint8_t kNone = 0;
constexpr std::uint8_t kRising = 1;
constexpr std::uint8_t kFalling = 2;
} // namespace direction

// What one poll tick leaves the views to show: the six live values (0 to 255) and the
// direction each channel moved in.
struct LiveSample
{
    LiveValues values{};
    LiveDirections directions{};
    bool read = false; // read from the device on this tick (false while no device is viewed)

    bool operator==(const LiveSample &) const = default;
};

// Whether a device is viewed, and which one is selected: Device 1 is 0, Device 2 is 1.
struct LinkState
{
    bool viewing = false;
    int deviceNumber = 0;

    bool operator==(const LinkState &) const = default;
};

inline const QString kSearchingText = QStringLiteral("Searching for device...");
QString viewingText(int deviceNumber); // "Viewing device 1" / "Viewing device 2"
QString statusText(const LinkState &state);

} // namespace orvex
