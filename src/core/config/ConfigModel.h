#pragma once

#include "core/config/ChannelSettings.h"

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>

namespace orvex {

constexpr std::uint8_t kMaxPowerOnDelay = 30;
inline constexpr char kDefaultConfigFileName[] = "Config.ORV";

// The one in-memory configuration: six channel records, the power-on delay, the per-channel
// movement thresholds derived from the hysteresis settings, and the file state (changed flag and
// current file name).  The application owns one instance for the whole run.
//
// The records are plain data that the editors change in place; whoever changes a channel's
// `hysteresis` calls setHysteresisThreshold() for it.
class ConfigModel : public QObject
{
    Q_OBJECT

public:
    explicit ConfigModel(QObject *parent = nullptr);

    std::array<ChannelSettings, kChannelCount> channels{};
    std::uint8_t powerOnDelay = 0; // seconds, 0 = disabled, at most kMaxPowerOnDelay
    std::array<std::uint8_t, kChannelCount> hysteresisThreshold{};

    bool configChanged = false; // the model holds changes not saved to a file
    QString configFileName;     // path of the current file; empty until a dialog returns one

    // Threshold 8, 12 or 16 for setting 0, 1 or 2; any other setting leaves it unchanged.
    void setHysteresisThreshold(std::uint8_t setting, int channel);

    // Loads the default configuration; leaves configChanged and configFileName alone.
    void resetSettings();

    // Tells the views that the power-on delay may have changed, so the delay menu shows it.
    void notifyPowerOnDelay();

Q_SIGNALS:
    // Emitted after resetSettings() and after every decode, accepted or rejected.
    void powerOnDelayRefreshed();
};

} // namespace orvex
