#include "core/config/ConfigModel.h"

namespace orvex {

namespace {
constexpr std::uint8_t kDefaultSteps = 3; // 8 steps
constexpr std::uint8_t kDefaultHysteresis = 1;
constexpr std::uint8_t kFirstDefaultAxis = 0x30; // "X"; channels 1..6 get X, Y, Z, Rx, Ry, Rz

bool isChannel(int index)
{
    return index >= 0 && index < kChannelCount;
}
} // namespace

Configuration defaultConfiguration()
{
    Configuration configuration;
    for (int i = 0; i < kChannelCount; ++i) {
        ChannelSettings &channel = configuration.channels[i];
        channel.steps = kDefaultSteps;
        channel.hysteresis = kDefaultHysteresis;
        channel.preload = 1;
        channel.mode = kModeKeyboard;
        channel.axis = static_cast<std::uint8_t>(kFirstDefaultAxis + i);
    }
    return configuration;
}

ConfigModel::ConfigModel(QObject *parent)
    : QObject(parent)
{}

const ChannelSettings &ConfigModel::channel(int index) const
{
    return m_configuration.channels.at(static_cast<std::size_t>(index));
}

std::uint8_t ConfigModel::hysteresisThreshold(int channel) const
{
    return m_hysteresisThreshold.at(static_cast<std::size_t>(channel));
}

void ConfigModel::resetSettings()
{
    replaceConfiguration(defaultConfiguration());
}

void ConfigModel::replaceConfiguration(const Configuration &configuration)
{
    std::array<std::uint8_t, kChannelCount> settings{};
    for (int c = 0; c < kChannelCount; ++c)
        settings[c] = configuration.channels[c].hysteresis;
    replaceConfiguration(configuration, settings);
}

void ConfigModel::replaceConfiguration(
    const Configuration &configuration,
    const std::array<std::uint8_t, kChannelCount> &hysteresisSettings)
{
    m_configuration = configuration;
    applyThresholds(hysteresisSettings);
    Q_EMIT configurationChanged(m_configuration);
}

void ConfigModel::storeChannel(int index, const ChannelSettings &settings)
{
    if (!isChannel(index))
        return;
    ChannelSettings &stored = m_configuration.channels[index];
    if (!settingsEqual(settings, stored))
        m_configChanged = true;
    const bool differs = !(settings == stored);
    stored = settings;
    restoreHysteresisThreshold(index);
    if (differs)
        Q_EMIT configurationChanged(m_configuration);
}

void ConfigModel::setPowerOnDelay(std::uint8_t seconds)
{
    if (seconds > kMaxPowerOnDelay || seconds == m_configuration.powerOnDelay)
        return;
    m_configuration.powerOnDelay = seconds;
    m_configChanged = true;
    Q_EMIT configurationChanged(m_configuration);
}

void ConfigModel::setHysteresisThreshold(std::uint8_t setting, int channel)
{
    if (assignThreshold(setting, channel))
        Q_EMIT thresholdsChanged(m_hysteresisThreshold);
}

void ConfigModel::restoreHysteresisThreshold(int channel)
{
    if (isChannel(channel))
        setHysteresisThreshold(m_configuration.channels[channel].hysteresis, channel);
}

void ConfigModel::applyThresholds(const std::array<std::uint8_t, kChannelCount> &hysteresisSettings)
{
    bool changed = false;
    for (int c = 0; c < kChannelCount; ++c)
        changed = assignThreshold(hysteresisSettings[c], c) || changed;
    if (changed)
        Q_EMIT thresholdsChanged(m_hysteresisThreshold);
}

bool ConfigModel::assignThreshold(std::uint8_t setting, int channel)
{
    static constexpr std::uint8_t thresholds[] = {8, 12, 16};
    if (setting >= std::size(thresholds) || !isChannel(channel) ||
        m_hysteresisThreshold[channel] == thresholds[setting])
        return false;
    m_hysteresisThreshold[channel] = thresholds[setting];
    return true;
}

} // namespace orvex
