#pragma once

#include "core/config/ChannelSettings.h"

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>

namespace orvex {

constexpr std::uint8_t kMaxPowerOnDelay = 30;
inline constexpr char kDefaultConfigFileName[] = "Config.ORV";

// What a configuration file and the device's memory hold: the six channel records and the
// power-on delay (seconds, 0 = disabled, at most kMaxPowerOnDelay).
struct Configuration
{
    std::array<ChannelSettings, kChannelCount> channels{};
    std::uint8_t powerOnDelay = 0;

    bool operator==(const Configuration &) const = default;
};

// Each channel's movement threshold for the live directions: 8, 12 or 16.
using MovementThresholds = std::array<std::uint8_t, kChannelCount>;

// The defaults of File > New: every channel 8 steps, Medium hysteresis, preload on, keyboard
// output, and the axes X, Y, Z, Rx, Ry, Rz; no delay.
Configuration defaultConfiguration();

// The one in-memory configuration of a run, with what follows from it: each channel's movement
// threshold (8, 12 or 16 for hysteresis Low, Medium, High), whether it holds changes not saved
// to a file, and the current file's name.  Every change goes through an operation that keeps
// those right, and every change of the configuration is announced with the new configuration.
class ConfigModel : public QObject
{
    Q_OBJECT

public:
    explicit ConfigModel(QObject *parent = nullptr);

    const Configuration &configuration() const { return m_configuration; }
    const std::array<ChannelSettings, kChannelCount> &channels() const
    {
        return m_configuration.channels;
    }
    const ChannelSettings &channel(int index) const;
    std::uint8_t powerOnDelay() const { return m_configuration.powerOnDelay; }
    std::uint8_t hysteresisThreshold(int channel) const;
    const MovementThresholds &hysteresisThresholds() const { return m_hysteresisThreshold; }

    // The configuration holds changes that no file has.
    bool configChanged() const { return m_configChanged; }
    // The current file's path; empty until a file dialog returned one.
    const QString &configFileName() const { return m_configFileName; }

    // Loads the defaults; the changed flag and the file name stay as they are.
    void resetSettings();

    // Takes a configuration read from a file, the device or JSON; the changed flag stays.
    void replaceConfiguration(const Configuration &configuration);
    // The same, with the thresholds of these hysteresis settings rather than of the records'
    // (a decoded image: a channel without keyboard output keeps the one it was stored with).
    void replaceConfiguration(const Configuration &configuration,
                              const std::array<std::uint8_t, kChannelCount> &hysteresisSettings);

    // Stores the settings dialog's working copy: a change of anything that is saved marks the
    // configuration changed (nothing clears it here), and the threshold follows the stored
    // hysteresis.
    void storeChannel(int index, const ChannelSettings &settings);

    // The delay menu: choosing another delay marks the configuration changed.
    void setPowerOnDelay(std::uint8_t seconds);

    // Live polling uses the threshold of a hysteresis setting the dialog shows but has not
    // stored yet; restoreHysteresisThreshold() goes back to the stored one.  Settings other
    // than 0 to 2 leave the threshold alone.
    void setHysteresisThreshold(std::uint8_t setting, int channel);
    void restoreHysteresisThreshold(int channel);

    // The configuration is as a file holds it (opened or saved), or is File > New's default.
    void markUnchanged() { m_configChanged = false; }
    void setConfigFileName(const QString &path) { m_configFileName = path; }

Q_SIGNALS:
    // After every change of the channels or the delay, and after every reset.
    void configurationChanged(const orvex::Configuration &configuration);

    // Whenever a channel's movement threshold changes, the stored or the provisional one.
    void thresholdsChanged(const orvex::MovementThresholds &thresholds);

private:
    void applyThresholds(const std::array<std::uint8_t, kChannelCount> &hysteresisSettings);
    bool assignThreshold(std::uint8_t setting, int channel); // true when it changed

    Configuration m_configuration;
    MovementThresholds m_hysteresisThreshold{};
    bool m_configChanged = false;
    QString m_configFileName;
};

} // namespace orvex
