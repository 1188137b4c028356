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
//   {"powerOnDelay": n, "channels": [six channel objects]}
//
// Each channel carries the record's integer fields (steps, hysteresis, keys, keyOperators,
// repeat, periodic, preload, mode, axis), keys and keyOperators holding exactly
// sectionsForSteps(steps) entries.  toJson() adds readable names next to them (stepsName,
// axisName, keyNames, ...); fromJson() ignores every field it does not know.
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
    bool readInteger(const QJsonObject &object, const QString &path, const QString &field, int min,
                     int max, int &result);
    bool readByteArray(const QJsonObject &object, const QString &path, const QString &field,
                       int expectedLength, std::uint8_t *result);

    QString m_error;
};

} // namespace orvex::ctl
