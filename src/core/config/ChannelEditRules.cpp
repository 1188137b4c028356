#include "core/config/ChannelEditRules.h"

namespace orvex {

std::optional<std::uint8_t> modeForBoxes(Qt::CheckState keyboard, Qt::CheckState joystick)
{
    if (keyboard == Qt::PartiallyChecked || joystick == Qt::PartiallyChecked)
        return std::nullopt;
    const bool keys = keyboard == Qt::Checked;
    const bool axis = joystick == Qt::Checked;
    if (keys)
        return axis ? kModeBoth : kModeKeyboard;
    return axis ? kModeJoystick : kModeNone;
}

std::optional<EnabledBoxes> boxesForMode(std::uint8_t mode)
{
    if (mode > kModeBoth)
        return std::nullopt;
    return EnabledBoxes{isKeyboardEnabled(mode), isJoystickEnabled(mode)};
}

StepListsEnablement enablementForSteps(std::uint8_t steps, std::uint8_t repeat)
{
    const bool counted = steps > 0 && steps < kDirectionalSteps;
    return {steps > 0, counted, counted && repeat == 0};
}

bool periodicEnabledForRepeat(std::uint8_t steps, std::uint8_t repeat)
{
    return steps < kDirectionalSteps && repeat == 0;
}

std::vector<JoystickAxis> offeredAxes(const std::array<ChannelSettings, kChannelCount> &channels,
                                      int channelIndex)
{
    const auto takenByOther = [&](std::uint8_t code) {
        for (int j = 0; j < kChannelCount; ++j) {
            if (j != channelIndex && isJoystickEnabled(channels[j].mode) &&
                channels[j].axis == code)
                return true;
        }
        return false;
    };
    std::vector<JoystickAxis> offered;
    for (const JoystickAxis &axis : joystickAxes()) {
        if (!takenByOther(axis.code))
            offered.push_back(axis);
    }
    return offered;
}

void storeKey(ChannelSettings &settings, int section, std::uint8_t key, std::uint8_t &keyOperators)
{
    if (key == 0)
        keyOperators = 0;
    if (section < 0 || section >= kMaxSections)
        return;
    settings.keys[section] = key;
    settings.keyOperators[section] = keyOperators;
}

} // namespace orvex
