#include "programs/ctl/ConfigJson.h"

#include "core/config/ConfigModel.h"
#include "core/config/SettingNames.h"
#include "core/keys/KeyNames.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <cmath>
#include <limits>

namespace orvex::ctl {

namespace {

constexpr int kByteMax = std::numeric_limits<std::uint8_t>::max();

QJsonArray byteArray(const std::uint8_t *bytes, int count)
{
    QJsonArray array;
    for (int i = 0; i < count; ++i)
        array.append(bytes[i]);
    return array;
}

QJsonObject channelToJson(const ChannelSettings &channel)
{
    const int sections = sectionsForSteps(channel.steps);
    QJsonArray keyNames;
    for (int s = 0; s < sections; ++s)
        keyNames.append(keyLabel(channel.keys[s], channel.keyOperators[s]));

    return QJsonObject{
        {QStringLiteral("steps"), channel.steps},
        {QStringLiteral("hysteresis"), channel.hysteresis},
        {QStringLiteral("keys"), byteArray(channel.keys.data(), sections)},
        {QStringLiteral("keyOperators"), byteArray(channel.keyOperators.data(), sections)},
        {QStringLiteral("repeat"), channel.repeat},
        {QStringLiteral("periodic"), channel.periodic},
        {QStringLiteral("preload"), channel.preload},
        {QStringLiteral("mode"), channel.mode},
        {QStringLiteral("axis"), channel.axis},
        // Readable companions of the numbers above; compose ignores them.
        {QStringLiteral("stepsName"), stepsName(channel.steps)},
        {QStringLiteral("hysteresisName"), hysteresisName(channel.hysteresis)},
        {QStringLiteral("periodicName"), periodicName(channel.periodic)},
        {QStringLiteral("outputs"), outputsName(channel.mode)},
        {QStringLiteral("axisName"), axisName(channel.axis)},
        {QStringLiteral("keyNames"), keyNames},
    };
}

// How a rejected value is quoted in a message: numbers as written, everything else by kind.
QString describe(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Double: {
        const double number = value.toDouble();
        if (std::trunc(number) == number && std::abs(number) < 1e15)
            return QString::number(static_cast<qint64>(number));
        return QString::number(number, 'g', 17);
    }
    case QJsonValue::String:
        return QStringLiteral("\"%1\"").arg(value.toString());
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

QString fieldPath(const QString &path, const QString &field)
{
    return path.isEmpty() ? field : path + QLatin1Char('.') + field;
}

// Checks one value against [min, max]; on failure `error` holds the reason without the path.
bool checkInteger(const QJsonValue &value, int min, int max, int &result, QString &error)
{
    const double number = value.toDouble();
    if (!value.isDouble() || !std::isfinite(number) || std::trunc(number) != number) {
        error = QStringLiteral("%1 is not an integer").arg(describe(value));
        return false;
    }
    if (number < min || number > max) {
        error = QStringLiteral("%1 is out of range %2-%3").arg(describe(value)).arg(min).arg(max);
        return false;
    }
    result = static_cast<int>(number);
    return true;
}

} // namespace

QJsonObject ConfigJson::toJson(const ConfigModel &model)
{
    QJsonArray channels;
    for (const ChannelSettings &channel : model.channels())
        channels.append(channelToJson(channel));
    return QJsonObject{
        {QStringLiteral("powerOnDelay"), model.powerOnDelay()},
        {QStringLiteral("powerOnDelayName"), powerOnDelayName(model.powerOnDelay())},
        {QStringLiteral("channels"), channels},
    };
}

QByteArray ConfigJson::toText(const ConfigModel &model)
{
    return QJsonDocument(toJson(model)).toJson(QJsonDocument::Indented);
}

bool ConfigJson::fromJson(const QByteArray &text, ConfigModel &model)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return fail(QStringLiteral("JSON syntax error at offset %1: %2")
                        .arg(parseError.offset)
                        .arg(parseError.errorString()));
    }
    if (!document.isObject())
        return fail(QStringLiteral("expected a JSON object with powerOnDelay and channels"));
    return fromJson(document.object(), model);
}

bool ConfigJson::fromJson(const QJsonObject &object, ConfigModel &model)
{
    m_error.clear();
    // Everything is read aside first, so a refusal leaves `model` untouched.
    Configuration configuration;
    int delay = 0;
    if (!readInteger(object, QString(), QStringLiteral("powerOnDelay"), 0, kMaxPowerOnDelay,
                     delay) ||
        !readChannels(object, configuration)) {
        return false;
    }
    configuration.powerOnDelay = static_cast<std::uint8_t>(delay);
    model.replaceConfiguration(configuration);
    return true;
}

bool ConfigJson::fail(const QString &message)
{
    m_error = message;
    return false;
}

bool ConfigJson::readChannels(const QJsonObject &object, Configuration &configuration)
{
    const QString path = QStringLiteral("channels");
    const QJsonValue value = object.value(path);
    if (value.isUndefined())
        return fail(path + QStringLiteral(": missing"));
    if (!value.isArray())
        return fail(QStringLiteral("%1: %2 is not an array of %3 channels")
                        .arg(path, describe(value))
                        .arg(kChannelCount));
    const QJsonArray channels = value.toArray();
    if (channels.size() != kChannelCount)
        return fail(QStringLiteral("%1: %2 channels, expected exactly %3")
                        .arg(path)
                        .arg(channels.size())
                        .arg(kChannelCount));
    for (int c = 0; c < kChannelCount; ++c) {
        if (!readChannel(channels.at(c), QStringLiteral("channels[%1]").arg(c),
                         configuration.channels[c]))
            return false;
    }
    return true;
}

bool ConfigJson::readChannel(const QJsonValue &value, const QString &path, ChannelSettings &channel)
{
    if (!value.isObject())
        return fail(QStringLiteral("%1: %2 is not an object").arg(path, describe(value)));
    const QJsonObject object = value.toObject();

    // Steps 0 only occurs inside an image; a channel in the model always has steps.
    int steps = 0, hysteresis = 0, repeat = 0, periodic = 0, preload = 0, mode = 0, axis = 0;
    ChannelSettings settings;
    if (!readInteger(object, path, QStringLiteral("steps"), 1, kDirectionalSteps, steps))
        return false;
    const int sections = sectionsForSteps(static_cast<std::uint8_t>(steps));
    const bool ok =
        readInteger(object, path, QStringLiteral("hysteresis"), 0, 2, hysteresis) &&
        readByteArray(object, path, QStringLiteral("keys"), sections, settings.keys.data()) &&
        readByteArray(object, path, QStringLiteral("keyOperators"), sections,
                      settings.keyOperators.data()) &&
        readInteger(object, path, QStringLiteral("repeat"), 0, 1, repeat) &&
        readInteger(object, path, QStringLiteral("periodic"), 0, 100, periodic) &&
        readInteger(object, path, QStringLiteral("preload"), 0, 1, preload) &&
        readInteger(object, path, QStringLiteral("mode"), 0, kModeBoth, mode) &&
        readInteger(object, path, QStringLiteral("axis"), 0, kByteMax, axis);
    if (!ok)
        return false;

    settings.steps = static_cast<std::uint8_t>(steps);
    settings.hysteresis = static_cast<std::uint8_t>(hysteresis);
    settings.repeat = static_cast<std::uint8_t>(repeat);
    settings.periodic = static_cast<std::uint8_t>(periodic);
    settings.preload = static_cast<std::uint8_t>(preload);
    settings.mode = static_cast<std::uint8_t>(mode);
    settings.axis = static_cast<std::uint8_t>(axis);
    channel = settings;
    return true;
}

bool ConfigJson::readInteger(const QJsonObject &object, const QString &path, const QString &field,
                             int min, int max, int &result)
{
    const QString where = fieldPath(path, field);
    const QJsonValue value = object.value(field);
    if (value.isUndefined())
        return fail(where + QStringLiteral(": missing"));
    QString reason;
    if (!checkInteger(value, min, max, result, reason))
        return fail(where + QStringLiteral(": ") + reason);
    return true;
}

bool ConfigJson::readByteArray(const QJsonObject &object, const QString &path, const QString &field,
                               int expectedLength, std::uint8_t *result)
{
    const QString where = fieldPath(path, field);
    const QJsonValue value = object.value(field);
    if (value.isUndefined())
        return fail(where + QStringLiteral(": missing"));
    if (!value.isArray())
        return fail(QStringLiteral("%1: %2 is not an array").arg(where, describe(value)));
    const QJsonArray array = value.toArray();
    if (array.size() != expectedLength)
        return fail(QStringLiteral("%1: %2 entries, but the steps need exactly %3")
                        .arg(where)
                        .arg(array.size())
                        .arg(expectedLength));
    for (int i = 0; i < expectedLength; ++i) {
        int byte = 0;
        QString reason;
        if (!checkInteger(array.at(i), 0, kByteMax, byte, reason))
            return fail(QStringLiteral("%1[%2]: %3").arg(where).arg(i).arg(reason));
        result[i] = static_cast<std::uint8_t>(byte);
    }
    return true;
}

} // namespace orvex::ctl
