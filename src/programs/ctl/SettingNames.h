#pragma once

#include <QString>
#include <cstdint>

namespace orvex::ctl {

// The texts the settings dialog and the delay menu show for a channel's values, for the
// command-line views of a configuration.

QString stepsName(std::uint8_t steps);        // "8", "Directional"; "none" for 0
QString hysteresisName(std::uint8_t setting); // "Low", "Medium", "High"
QString offOnName(std::uint8_t value);        // "Off", "On"
QString periodicName(std::uint8_t periodic);  // "Disabled", "0.1 sec" .. "10.0 sec"
QString outputsName(std::uint8_t mode); // "Keyboard", "Joystick", "None", "Keyboard, Joystick"
QString axisName(std::uint8_t axis);    // "X" .. "Vno"; "0x12 (unknown)" otherwise
QString powerOnDelayName(std::uint8_t delay);                     // "Disabled", "1 sec" .. "30 sec"
QString sectionKeyText(std::uint8_t key, std::uint8_t operators); // "[ctrl] Delete"

} // namespace orvex::ctl
