#pragma once

#include "ModelEditing.h"
#include "core/config/ChannelSettings.h"
#include "core/config/ConfigModel.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace orvex::fuzz {

// A broken invariant is a finding: say which one and stop, so that libFuzzer keeps the input.
inline void require(bool condition, const char *invariant)
{
    if (condition)
        return;
    std::fprintf(stderr, "invariant broken: %s\n", invariant);
    std::abort();
}

// Reads the fuzz input front to back; past its end every read gives 0.
class InputReader
{
public:
    explicit InputReader(std::span<const std::uint8_t> data)
        : m_data(data)
    {}

    std::uint8_t byte() { return m_position < m_data.size() ? m_data[m_position++] : 0; }
    std::uint16_t word() { return static_cast<std::uint16_t>(byte() << 8 | byte()); }
    bool atEnd() const { return m_position >= m_data.size(); }
    std::span<const std::uint8_t> rest() const { return m_data.subspan(m_position); }
    void skip(std::size_t count) { m_position += std::min(count, m_data.size() - m_position); }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_position = 0;
};

// A valid configuration far from the defaults, so that "the model is unchanged" can tell a
// rejected input from one that reset the model.
inline void loadDistinctiveModel(ConfigModel &model)
{
    Configuration configuration = defaultConfiguration();
    for (int c = 0; c < kChannelCount; ++c) {
        ChannelSettings &channel = configuration.channels[static_cast<std::size_t>(c)];
        channel.steps = static_cast<std::uint8_t>(1 + c % 6);
        channel.hysteresis = static_cast<std::uint8_t>(c % 3);
        channel.repeat = static_cast<std::uint8_t>(c % 2);
        channel.preload = static_cast<std::uint8_t>((c + 1) % 2);
        channel.periodic = static_cast<std::uint8_t>(17 * c);
        channel.mode = kModeBoth;
        channel.axis = static_cast<std::uint8_t>(0x40 + c);
        for (int s = 0; s < sectionsForSteps(channel.steps); ++s) {
            channel.keys[static_cast<std::size_t>(s)] = static_cast<std::uint8_t>(4 + s + c);
            channel.keyOperators[static_cast<std::size_t>(s)] = static_cast<std::uint8_t>(s % 8);
        }
    }
    configuration.powerOnDelay = 23;
    model.replaceConfiguration(configuration);
}

// Everything of the model that a decode may change.
struct ModelSnapshot
{
    explicit ModelSnapshot(const ConfigModel &model)
        : configuration(model.configuration())
        , thresholds(testing::thresholds(model))
    {}

    bool matches(const ConfigModel &model) const
    {
        return configuration == model.configuration() && thresholds == testing::thresholds(model);
    }

    Configuration configuration;
    std::array<std::uint8_t, kChannelCount> thresholds;
};

// A threshold is 8, 12 or 16.  A channel with keyboard output moves at its hysteresis setting's;
// one without keeps the threshold of the setting it was stored with, while its record gets the
// default setting.
inline bool hasValidThreshold(const ConfigModel &model, int c)
{
    const int threshold = model.hysteresisThreshold(c);
    if (isKeyboardEnabled(model.channel(c).mode))
        return threshold == 8 + 4 * model.channel(c).hysteresis;
    return threshold == 8 || threshold == 12 || threshold == 16;
}

// Every value of the model within the ranges the device accepts, and each threshold valid.
inline bool isWithinRanges(const ConfigModel &model)
{
    for (int c = 0; c < kChannelCount; ++c) {
        const ChannelSettings &channel = model.channel(c);
        const bool ok = channel.steps >= 1 && channel.steps <= 6 && channel.hysteresis <= 2 &&
                        channel.mode <= 3 && channel.periodic <= 100 && channel.preload <= 1 &&
                        channel.repeat <= 1 && hasValidThreshold(model, c);
        if (!ok)
            return false;
    }
    return model.powerOnDelay() <= kMaxPowerOnDelay;
}

} // namespace orvex::fuzz
