#include "core/config/ChannelSettings.h"

#include <algorithm>

namespace orvex {

bool isKeyboardEnabled(std::uint8_t mode)
{
    return mode == kModeKeyboard || mode == kModeBoth;
}

bool isJoystickEnabled(std::uint8_t mode)
{
    return mode == kModeJoystick || mode == kModeBoth;
}

std::uint8_t sectionsForSteps(std::uint8_t steps)
{
    switch (steps) {
    case 1:
        return 2;
    case 2:
        return 4;
    case 3:
        return 8;
    case 4:
        return 16;
    case 5:
        return 32;
    case kDirectionalSteps:
        return 2;
    default:
        return 0;
    }
}

bool settingsEqual(const ChannelSettings &a, const ChannelSettings &b)
{
    if (a.steps != b.steps || a.hysteresis != b.hysteresis)
        return false;
    const int used = sectionsForSteps(a.steps);
    for (int s = 0; s < used; ++s) {
        if (a.keys[s] != b.keys[s] || a.keyOperators[s] != b.keyOperators[s])
            return false;
    }
    // The outputs and the axis are part of what is saved: an edit that only switches an output
    // or picks another axis must count as a change, or it is lost without a prompt at exit.
    return a.repeat == b.repeat && a.periodic == b.periodic && a.preload == b.preload &&
           a.mode == b.mode && a.axis == b.axis;
}

const std::array<JoystickAxis, 16> &joystickAxes()
{
    static const std::array<JoystickAxis, 16> axes = {{
        {0x30, "X"},
        {0x31, "Y"},
        {0x32, "Z"},
        {0x33, "Rx"},
        {0x34, "Ry"},
        {0x35, "Rz"},
        {0x36, "Slider"},
        {0x37, "Dial"},
        {0x38, "Wheel"},
        {0x40, "Vx"},
        {0x41, "Vy"},
        {0x42, "Vz"},
        {0x43, "Vbrx"},
        {0x44, "Vbry"},
        {0x45, "Vbrz"},
        {0x46, "Vno"},
    }};
    return axes;
}

const char *joystickAxisName(std::uint8_t code)
{
    const auto &axes = joystickAxes();
    const auto it = std::find_if(axes.begin(), axes.end(),
                                 [code](const JoystickAxis &axis) { return axis.code == code; });
    return it == axes.end() ? nullptr : it->name;
}

} // namespace orvex
