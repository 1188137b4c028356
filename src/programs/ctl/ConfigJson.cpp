#include "programs/ctl/ConfigJson.h"

#include "core/config/ConfigModel.h"
#include "core/config/SettingNames.h"
#include "core/keys/KeyNames.h"
#include "programs/ctl/JsonFields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <limits>

namespace orvex::ctl {

namespace {

constexpr int kByteMax = std::numeric_limits<std::uint8_t>::max();
constexpr std::uint8_t kAllOperators = kOperatorCtrl | kOperatorShift | kOperatorAlt;

const QString kKeysField = QStringLiteral("keys");
const QString kKeyOperatorsField = QStringLiteral("keyOperators");
const QString kKeyNamesField = QStringLiteral("keyNames");
const QString kChannelsField = QStringLiteral("channels");

// One setting that the JSON carries as a code, as a name, or as both.
struct CodedSetting
{
    QString code; // "steps"
    QString name; // "stepsName"
    int min;
    int max;
    QString (*nameOf)(std::uint8_t);
    std::optional<std::uint8_t> (*fromName)(const QString &);
    QString names;    // what the name takes, for a message
    QString codeHint; // added to the message for a code out of range
};

QString axisNames()
{
    QStringList names;
    for (const JoystickAxis &axis : joystickAxes())
        names << QString::fromLatin1(axis.name);
    return names.join(QStringLiteral(", ")) + QStringLiteral(", or a code such as 0x30");
}

const CodedSetting &powerOnDelaySetting()
{
    // clang-format off
    static const CodedSetting setting{
        QStringLiteral("powerOnDelay"), QStringLiteral("powerOnDelayName"), 0, kMaxPowerOnDelay,
        powerOnDelayName, powerOnDelayFromName, QStringLiteral("Disabled, or 1 to 30 sec"), {}};
    // clang-format on
    return setting;
}

// The settings of a channel other than its keys, in the order they are checked: the steps
// first, because they decide how many keys there are.
const std::array<CodedSetting, 7> &channelSettings()
{
    // clang-format off
    static const std::array<CodedSetting, 7> settings{{
        {QStringLiteral("steps"), QStringLiteral("stepsName"), 1, kDirectionalSteps,
         stepsName, stepsFromName, QStringLiteral("2, 4, 8, 16, 32 or Directional"),
         QStringLiteral("steps is a code: 1-5 for 2, 4, 8, 16 or 32 steps, 6 for Directional; "
                        "stepsName takes the number of steps")},
        {QStringLiteral("hysteresis"), QStringLiteral("hysteresisName"), 0, kMaxHysteresis,
         hysteresisName, hysteresisFromName, QStringLiteral("Low, Medium or High"), {}},
        {QStringLiteral("repeat"), QStringLiteral("repeatName"), 0, 1,
         offOnName, offOnFromName, QStringLiteral("Off or On"), {}},
        {QStringLiteral("periodic"), QStringLiteral("periodicName"), 0, kMaxPeriodic,
         [](std::uint8_t periodic) { return periodicName(periodic); }, periodicFromName,
         QStringLiteral("Disabled, or seconds from 0.1 to 10 in tenths (\"0.5 sec\")"),
         QStringLiteral("periodic counts tenths of a second; periodicName takes seconds")},
        {QStringLiteral("preload"), QStringLiteral("preloadName"), 0, 1,
         offOnName, offOnFromName, QStringLiteral("Off or On"), {}},
        {QStringLiteral("mode"), QStringLiteral("outputs"), 0, kModeBoth,
         outputsName, outputsFromName,
         QStringLiteral("Keyboard, Joystick, \"Keyboard, Joystick\" or None"), {}},
        {QStringLiteral("axis"), QStringLiteral("axisName"), 0, kByteMax,
         axisName, axisFromName, axisNames(), {}},
    }};
    // clang-format on
    return settings;
}

// Where each setting is in channelSettings().
enum SettingIndex { kSteps, kHysteresis, kRepeat, kPeriodic, kPreload, kMode, kAxis };

QStringList channelFields()
{
    QStringList fields;
    for (const CodedSetting &setting : channelSettings())
        fields << setting.code << setting.name;
    fields << kKeysField << kKeyOperatorsField << kKeyNamesField;
    return fields;
}

QString prefix(const JsonFields &fields)
{
    return fields.path().isEmpty() ? QString() : fields.path() + QStringLiteral(": ");
}

// "<a> and <b> disagree (<b> is <b's name>); change one ...": both values and what to do.
bool disagree(JsonFields &fields, const QString &named, const QString &coded,
              const QString &codedMeaning, const QString &remedy)
{
    return fields.fail(QStringLiteral("%1%2 and %3 disagree (%3 is %4); change one to match "
                                      "the other, or %5")
                           .arg(prefix(fields), named, coded, codedMeaning, remedy));
}

// The setting's value from its code, its name or both; they must agree.
std::optional<std::uint8_t> readCoded(JsonFields &fields, const CodedSetting &setting)
{
    const bool hasCode = fields.has(setting.code), hasName = fields.has(setting.name);
    if (!hasCode && !hasName) {
        fields.fail(QStringLiteral("%1neither %2 nor %3 is given")
                        .arg(prefix(fields), setting.code, setting.name));
        return std::nullopt;
    }
    std::optional<int> coded;
    if (hasCode) {
        coded = fields.integer(setting.code, setting.min, setting.max);
        if (!coded) {
            if (!setting.codeHint.isEmpty())
                fields.fail(fields.error() + QStringLiteral(" (%1)").arg(setting.codeHint));
            return std::nullopt;
        }
        if (!hasName)
            return static_cast<std::uint8_t>(*coded);
    }

    const std::optional<QString> text = fields.name(setting.name);
    if (!text)
        return std::nullopt;
    const std::optional<std::uint8_t> named = setting.fromName(*text);
    if (!named) {
        fields.fail(QStringLiteral("%1: %2 is not valid; %3 takes %4")
                        .arg(fields.where(setting.name), describeJson(fields.value(setting.name)),
                             setting.name, setting.names));
        return std::nullopt;
    }
    if (coded && *coded != *named) {
        const auto code = static_cast<std::uint8_t>(*coded);
        disagree(fields, setting.name + QLatin1Char(' ') + describeJson(fields.value(setting.name)),
                 setting.code + QLatin1Char(' ') + QString::number(code),
                 QStringLiteral("\"%1\"").arg(setting.nameOf(code)),
                 QStringLiteral("remove one of them"));
        return std::nullopt;
    }
    return *named;
}

// A channel's keys as the JSON gives them: by name, by code, or both; each array present holds
// exactly one entry per step.
struct StepKeys
{
    std::optional<QStringList> names;
    std::optional<QList<std::uint8_t>> keys;
    std::optional<QList<std::uint8_t>> operators;
};

std::optional<StepKeys> readStepKeys(JsonFields &fields, std::uint8_t steps)
{
    const int sections = sectionsForSteps(steps);
    const QString needs = steps == kDirectionalSteps
                              ? QStringLiteral("Directional needs")
                              : QStringLiteral("%1 steps need").arg(sections);
    if (!fields.has(kKeyNamesField)) {
        for (const QString &field : {kKeysField, kKeyOperatorsField}) {
            if (!fields.has(field)) {
                fields.fail(QStringLiteral("%1%2 is missing (give keys and keyOperators, or "
                                           "keyNames)")
                                .arg(prefix(fields), field));
                return std::nullopt;
            }
        }
    }
    StepKeys read;
    if ((fields.has(kKeyNamesField) &&
         !(read.names = fields.strings(kKeyNamesField, sections, needs))) ||
        (fields.has(kKeysField) && !(read.keys = fields.bytes(kKeysField, sections, needs))) ||
        (fields.has(kKeyOperatorsField) &&
         !(read.operators = fields.bytes(kKeyOperatorsField, sections, needs))))
        return std::nullopt;
    return read;
}

// The key and modifiers of step `s`: the codes where given (they say more than a name: a code
// without a name reads "Not Used"), else the name's; a name must agree with the codes.
std::optional<KeyChoice> stepKey(JsonFields &fields, const StepKeys &given, int s)
{
    KeyChoice named;
    if (given.names) {
        QString problem;
        const std::optional<KeyChoice> choice = keyFromLabel(given.names->at(s), &problem);
        if (!choice) {
            fields.fail(
                QStringLiteral("%1[%2]: %3").arg(fields.where(kKeyNamesField)).arg(s).arg(problem));
            return std::nullopt;
        }
        named = *choice;
    }
    const KeyChoice coded{given.keys ? given.keys->at(s) : named.key,
                          given.operators ? given.operators->at(s) : named.operators};
    if (!given.names)
        return coded;

    const QString label =
        QStringLiteral("%1[%2] \"%3\"").arg(kKeyNamesField).arg(s).arg(given.names->at(s));
    const QString remedy = QStringLiteral("remove keys and keyOperators");
    if (getKeyName(coded.key) != getKeyName(named.key)) {
        disagree(fields, label, QStringLiteral("%1[%2] %3").arg(kKeysField).arg(s).arg(coded.key),
                 QStringLiteral("\"%1\"").arg(getKeyName(coded.key)), remedy);
        return std::nullopt;
    }
    if ((coded.operators & kAllOperators) != named.operators) {
        const QString modifiers = getOperatorText(coded.operators).trimmed();
        disagree(fields, label,
                 QStringLiteral("%1[%2] %3").arg(kKeyOperatorsField).arg(s).arg(coded.operators),
                 modifiers.isEmpty() ? QStringLiteral("no modifier")
                                     : QStringLiteral("\"%1\"").arg(modifiers),
                 remedy);
        return std::nullopt;
    }
    return coded;
}

// The keys and modifiers of every step in use.
bool readKeys(JsonFields &fields, std::uint8_t steps, ChannelSettings &settings)
{
    const std::optional<StepKeys> given = readStepKeys(fields, steps);
    if (!given)
        return false;
    for (int s = 0; s < sectionsForSteps(steps); ++s) {
        const std::optional<KeyChoice> key = stepKey(fields, *given, s);
        if (!key)
            return false;
        settings.keys[s] = key->key;
        settings.keyOperators[s] = key->operators;
    }
    return true;
}

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

    QJsonObject object{
        {kKeysField, byteArray(channel.keys.data(), sections)},
        {kKeyOperatorsField, byteArray(channel.keyOperators.data(), sections)},
        {kKeyNamesField, keyNames},
    };
    const std::uint8_t values[] = {channel.steps,    channel.hysteresis, channel.repeat,
                                   channel.periodic, channel.preload,    channel.mode,
                                   channel.axis};
    const auto &settings = channelSettings();
    for (std::size_t i = 0; i < settings.size(); ++i) {
        object.insert(settings[i].code, values[i]);
        object.insert(settings[i].name, settings[i].nameOf(values[i]));
    }
    return object;
}

} // namespace

QJsonObject ConfigJson::toJson(const ConfigModel &model)
{
    QJsonArray channels;
    for (const ChannelSettings &channel : model.channels())
        channels.append(channelToJson(channel));
    const CodedSetting &delay = powerOnDelaySetting();
    return QJsonObject{
        {delay.code, model.powerOnDelay()},
        {delay.name, delay.nameOf(model.powerOnDelay())},
        {kChannelsField, channels},
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
    JsonFields fields(object, QString());
    const CodedSetting &delay = powerOnDelaySetting();
    if (!fields.onlyKnown({delay.code, delay.name, kChannelsField},
                          QStringLiteral("the configuration")))
        return fail(fields.error());
    const std::optional<std::uint8_t> powerOnDelay = readCoded(fields, delay);
    if (!powerOnDelay)
        return fail(fields.error());
    Configuration configuration;
    if (!readChannels(object, configuration))
        return false;
    configuration.powerOnDelay = *powerOnDelay;
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
    const QJsonValue value = object.value(kChannelsField);
    if (value.isUndefined())
        return fail(kChannelsField + QStringLiteral(": missing"));
    if (!value.isArray())
        return fail(QStringLiteral("%1: %2 is not an array of %3 channels")
                        .arg(kChannelsField, describeJson(value))
                        .arg(kChannelCount));
    const QJsonArray channels = value.toArray();
    if (channels.size() != kChannelCount)
        return fail(QStringLiteral("%1: %2 channels, expected exactly %3")
                        .arg(kChannelsField)
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
        return fail(QStringLiteral("%1: %2 is not an object").arg(path, describeJson(value)));
    JsonFields fields(value.toObject(), path);
    if (!fields.onlyKnown(channelFields(), QStringLiteral("a channel")))
        return fail(fields.error());

    std::array<std::uint8_t, 7> values{};
    const auto &settings = channelSettings();
    for (std::size_t i = 0; i < settings.size(); ++i) {
        const std::optional<std::uint8_t> read = readCoded(fields, settings[i]);
        if (!read)
            return fail(fields.error());
        values[i] = *read;
    }
    ChannelSettings result;
    if (!readKeys(fields, values[kSteps], result))
        return fail(fields.error());
    result.steps = values[kSteps];
    result.hysteresis = values[kHysteresis];
    result.repeat = values[kRepeat];
    result.periodic = values[kPeriodic];
    result.preload = values[kPreload];
    result.mode = values[kMode];
    result.axis = values[kAxis];
    channel = result;
    return true;
}

} // namespace orvex::ctl
