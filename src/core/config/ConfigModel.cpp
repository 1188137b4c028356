#include "core/config/ConfigModel.h"

namespace orvex {

namespace {
constexpr std::uint8_t kDefaultSteps = 3; // 8 steps
constexpr std::uint8_t kDefaultHysteresis = 1;
constexpr std::uint8_t kFirstDefaultAxis = 0x30; // "X"; channels 1..6 get X, Y, Z, Rx, Ry, Rz
} // namespace

ConfigModel::ConfigModel(QObject *parent)
    : QObject(parent)
{}

void ConfigModel::setHysteresisThreshold(std::uint8_t setting, int channel)
{
    static constexpr std::uint8_t thresholds[] = {8, 12, 16};
    if (setting < std::size(thresholds) && channel >= 0 && channel < kChannelCount)
        hysteresisThreshold[channel] = thresholds[setting];
}

void ConfigModel::resetSettings()
{
    for (int i = 0; i < kChannelCount; ++i) {
        ChannelSettings &channel = channels[i];
        channel = ChannelSettings{};
        channel.steps = kDefaultSteps;
        channel.hysteresis = kDefaultHysteresis;
        channel.preload = 1;
        channel.mode = kModeKeyboard;
        channel.axis = static_cast<std::uint8_t>(kFirstDefaultAxis + i);
        setHysteresisThreshold(channel.hysteresis, i);
    }
    powerOnDelay = 0;
    notifyPowerOnDelay();
}

void ConfigModel::notifyPowerOnDelay()
{
    Q_EMIT powerOnDelayRefreshed();
}

} // namespace orvex
