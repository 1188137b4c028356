#pragma once

#include "core/config/ChannelSettings.h"
#include "core/config/ConfigModel.h"

#include <array>
#include <cstdint>

namespace orvex::bench {

// The largest configuration the device holds: six keyboard channels of 32 steps, every step with
// a named key and modifiers, so that every label is as long as it gets.
inline void loadLargestConfiguration(ConfigModel &model)
{
    Configuration configuration = defaultConfiguration();
    for (int c = 0; c < kChannelCount; ++c) {
        ChannelSettings &channel = configuration.channels[c];
        channel.steps = 5; // 32 steps
        channel.mode = kModeKeyboard;
        channel.hysteresis = static_cast<std::uint8_t>(c % 3);
        for (int k = 0; k < kMaxSections; ++k) {
            channel.keys[k] = static_cast<std::uint8_t>(4 + (c * kMaxSections + k) % 96);
            channel.keyOperators[k] = static_cast<std::uint8_t>(k % 8);
        }
    }
    model.replaceConfiguration(configuration);
}

// The overview's heaviest mix: three Directional channels (one per hysteresis setting) drawn with
// arrows and fills, between three channels with steps, which show only their bar.
inline void loadDirectionalMix(ConfigModel &model)
{
    loadLargestConfiguration(model);
    Configuration configuration = model.configuration();
    for (int c = 0; c < kChannelCount; c += 2) {
        configuration.channels[c].steps = kDirectionalSteps;
        configuration.channels[c].hysteresis = static_cast<std::uint8_t>(c / 2);
    }
    model.replaceConfiguration(configuration);
}

// Live inputs that move by more than every threshold at every poll and turn round now and then,
// so that every bar changes, both arrows of each Directional channel take turns lighting up, and
// no composed picture is ever the same as the one shown before.
class MovingInputs
{
public:
    std::array<std::uint8_t, kChannelCount> next()
    {
        std::array<std::uint8_t, kChannelCount> values{};
        for (int c = 0; c < kChannelCount; ++c) {
            int &value = m_values[c];
            int &step = m_steps[c];
            if (value + step < 0 || value + step > 255)
                step = -step;
            value += step;
            values[c] = static_cast<std::uint8_t>(value);
        }
        return values;
    }

private:
    std::array<int, kChannelCount> m_values{0, 40, 80, 120, 160, 200};
    std::array<int, kChannelCount> m_steps{17, -19, 23, -17, 19, -23};
};

} // namespace orvex::bench
