#pragma once

#include "core/config/ChannelSettings.h"

#include <QString>
#include <Qt>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace orvex {

// The decisions of the channel settings dialog that need no window: which output mode two
// check boxes stand for, which keyboard lists a step count allows, what the periodic list says,
// which joystick axes are still free, and how a picked key is stored.

// The mode of the Keyboard and Joystick "Enabled" boxes; nullopt when either box is in the
// partial (grayed) state, which leaves the mode as it was.
std::optional<std::uint8_t> modeForBoxes(Qt::CheckState keyboard, Qt::CheckState joystick);

// The check state of each box for a mode; nullopt for a mode above kModeBoth, which leaves the
// boxes as they are.
struct EnabledBoxes
{
    bool keyboard = false;
    bool joystick = false;
};
std::optional<EnabledBoxes> boxesForMode(std::uint8_t mode);

// Which keyboard lists (each with its label) the step count enables.  It does not look at the
// keyboard output: the check boxes decide that separately.
struct StepListsEnablement
{
    bool hysteresis = false;
    bool preloadAndRepeat = false; // not for Directional
    bool periodic = false;         // not for Directional, and only without key repeat
};
StepListsEnablement enablementForSteps(std::uint8_t steps, std::uint8_t repeat);

// Whether the periodic list is enabled after a change of the key-repeat list.
bool periodicEnabledForRepeat(std::uint8_t steps, std::uint8_t repeat);

constexpr int kPeriodicEntryCount = 101; // "Disabled" and 0.1 .. 10.0 seconds

// The joystick axes a channel may still choose, in list order: every axis but those that the
// other channels with their joystick output on already drive.
std::vector<JoystickAxis> offeredAxes(const std::array<ChannelSettings, kChannelCount> &channels,
                                      int channelIndex);

// Stores a picked key for a section.  A section without a key has no modifiers, so for key 0
// the caller's modifier byte is cleared as well.  Sections outside 0..31 are left alone.
void storeKey(ChannelSettings &settings, int section, std::uint8_t key, std::uint8_t &keyOperators);

} // namespace orvex
