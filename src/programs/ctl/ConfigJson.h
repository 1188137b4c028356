#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace orvex {
class ConfigModel;
struct ChannelSettings;
struct Configuration;
} // namespace orvex

namespace orvex::ctl {

// The configuration as one JSON object, for scripts:
//
//   {"powerOnDelay": n, "powerOnDelayName": "...", "channels": [six channel objects]}
//
// Every setting comes in two forms: the code the image stores (steps, hysteresis, repeat,
// periodic, preload, mode, axis; keys and keyOperators with exactly one entry per step) and its
// name as the utility shows it (stepsName, hysteresisName, repeatName, periodicName,
// preloadName, outputs, axisName; keyNames).  toJson() writes both.  fromJson() takes either
// or both: where both are given they must agree, so that an edit of one is never silently
// undone by the other.  Fields it does not know are refused.
class ConfigJson
{
public:
    static QJsonObject toJson(const ConfigModel &model);
    static QByteArray toText(const ConfigModel &model); // indented, ends in a newline

    // Parses and checks `text` with the limits the image decoder applies and, when every value
    // is acceptable, loads it into `model` and returns true.  Otherwise the model is untouched
    // and errorString() names the offending field, e.g.
    // "channels[2].periodic: 101 is out of range 0-100".
    bool fromJson(const QByteArray &text, ConfigModel &model);
    bool fromJson(const QJsonObject &object, ConfigModel &model);

    QString errorString() const { return m_error; }

private:
    bool fail(const QString &message);
    bool readChannels(const QJsonObject &object, Configuration &configuration);
    bool readChannel(const QJsonValue &value, const QString &path, ChannelSettings &channel);

    QString m_error;
};

} // namespace orvex::ctl
