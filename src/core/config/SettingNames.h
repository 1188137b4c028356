#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>

namespace orvex {

// The names of a channel's values and of the power-on delay, as the settings dialog's lists,
// the delay menu and orvexctl show them.  Values outside the ranges get "<value> (unknown)".

QString stepsName(std::uint8_t steps);        // "2" .. "32", "Directional"; "none" for 0
QString hysteresisName(std::uint8_t setting); // "Low", "Medium", "High"
QString offOnName(std::uint8_t value);        // "Off", "On"
QString outputsName(std::uint8_t mode); // "Keyboard", "Joystick", "None", "Keyboard, Joystick"
QString axisName(std::uint8_t axis);    // "X" .. "Vno"; "0x12 (unknown)" otherwise
QString powerOnDelayName(std::uint8_t delay); // "Disabled", "1 sec" .. "30 sec"

// "Disabled", or tenths of a second with one decimal: "0.1 sec" .. "10.0 sec".  The dialog
// writes the decimal separator of the user's locale (with the digits 0 to 9 in every locale);
// scripts get the C locale's point.
QString periodicName(std::uint8_t periodic, const QLocale &locale = QLocale::c());

} // namespace orvex
