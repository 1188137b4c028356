#pragma once

#include <array>
#include <cstdint>

namespace orvex {

constexpr int kChannelCount = 6;
constexpr int kMaxSections = 32;

// Steps code of a channel whose range is split into a rising and a falling direction.
constexpr std::uint8_t kDirectionalSteps = 6;

// The largest codes a channel's settings can hold.
constexpr std::uint8_t kMaxHysteresis = 2; // High
constexpr std::uint8_t kMaxPeriodic = 100; // every 10 seconds

// Output modes of a channel (the `mode` field).
constexpr std::uint8_t kModeKeyboard = 0;
constexpr std::uint8_t kModeJoystick = 1;
constexpr std::uint8_t kModeNone = 2;
constexpr std::uint8_t kModeBoth = 3;

// Modifier bits of a section's key.
constexpr std::uint8_t kOperatorCtrl = 1;
constexpr std::uint8_t kOperatorShift = 2;
constexpr std::uint8_t kOperatorAlt = 4;

// The settings of one analog channel, in the order the device stores them.  A section is the
// key slot of one step; section 0 is the lowest.
struct ChannelSettings
{
    std::uint8_t steps = 0;      // 1..5 = 2, 4, 8, 16, 32 steps; 6 = Directional; 0 = none
    std::uint8_t hysteresis = 0; // 0 Low, 1 Medium, 2 High
    std::array<std::uint8_t, kMaxSections> keys{};         // device key code of each section
    std::array<std::uint8_t, kMaxSections> keyOperators{}; // modifier bits of each section
    std::uint8_t repeat = 0;                               // key repeat: 0 Off, 1 On
    std::uint8_t periodic = 0; // 0 disabled, n = every n tenths of a second
    std::uint8_t preload = 0;  // 0 Off, 1 On
    std::uint8_t mode = 0;     // kModeKeyboard .. kModeBoth
    std::uint8_t axis = 0;     // joystick axis (HID Generic Desktop usage)

    // Field-by-field identity, including the unused sections; see settingsEqual() for the
    // comparison that decides whether an edit changed the configuration.
    bool operator==(const ChannelSettings &) const = default;
};

bool isKeyboardEnabled(std::uint8_t mode);
bool isJoystickEnabled(std::uint8_t mode);

// Number of sections (key slots) in use for a steps code: 0, 2, 4, 8, 16, 32, and 2 for
// Directional; 0 for every unknown code.
std::uint8_t sectionsForSteps(std::uint8_t steps);

// True when an edit of `b` into `a` changes nothing that is saved: steps, hysteresis, the keys
// and modifiers of the sections in use, repeat, periodic, preload, mode and axis.
bool settingsEqual(const ChannelSettings &a, const ChannelSettings &b);

struct JoystickAxis
{
    std::uint8_t code;
    const char *name;
};

// The sixteen joystick axes in the order the settings dialog lists them.
const std::array<JoystickAxis, 16> &joystickAxes();

// Name of an axis code, or nullptr when the code is not one of the sixteen axes.
const char *joystickAxisName(std::uint8_t code);

} // namespace orvex
