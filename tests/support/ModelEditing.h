#pragma once

// How tests put a configuration into the model: as a file or the device hands one over (the
// changed flag stays), or as the user changes it.

#include "core/config/ConfigModel.h"

#include <array>
#include <cstdint>
#include <utility>

namespace orvex::testing {

// Changes the configuration as a decoded image replaces it; the changed flag stays.
template <typename Edit> void editConfiguration(ConfigModel &model, Edit &&edit)
{
    Configuration configuration = model.configuration();
    std::forward<Edit>(edit)(configuration);
    model.replaceConfiguration(configuration);
}

// The same for one channel.
template <typename Edit> void editChannel(ConfigModel &model, int channel, Edit &&edit)
{
    editConfiguration(model, [&](Configuration &configuration) {
        std::forward<Edit>(edit)(configuration.channels[static_cast<std::size_t>(channel)]);
    });
}

// The configuration holds a change that no file has, yet is what it was: the user changed a
// channel in its dialog and then changed it back.
inline void makeUnsavedChange(ConfigModel &model)
{
    const ChannelSettings original = model.channel(0);
    ChannelSettings changed = original;
    changed.axis = static_cast<std::uint8_t>(original.axis + 1);
    model.storeChannel(0, changed);
    model.storeChannel(0, original);
}

inline std::array<std::uint8_t, kChannelCount> thresholds(const ConfigModel &model)
{
    std::array<std::uint8_t, kChannelCount> all{};
    for (int c = 0; c < kChannelCount; ++c)
        all[static_cast<std::size_t>(c)] = model.hysteresisThreshold(c);
    return all;
}

} // namespace orvex::testing
