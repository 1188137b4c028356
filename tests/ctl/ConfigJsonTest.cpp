#include "programs/ctl/ConfigJson.h"

#include "ModelEditing.h"
#include "core/config/ConfigImage.h"
#include "core/config/ConfigModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace orvex::ctl {
namespace {

// A configuration that uses every kind of value: 32 steps with keys and modifiers, Directional,
// joystick only, both outputs, and a delay.
void fillSample(ConfigModel &model)
{
    Configuration sample = defaultConfiguration();
    sample.powerOnDelay = 12;
    ChannelSettings &wide = sample.channels[0];
    wide.steps = 5;
    wide.mode = kModeBoth;
    wide.hysteresis = 2;
    wide.periodic = 25;
    wide.repeat = 1;
    wide.preload = 0;
    wide.axis = 0x36;
    for (int s = 0; s < 32; ++s) {
        wide.keys[s] = static_cast<std::uint8_t>(0x04 + s);
        wide.keyOperators[s] = static_cast<std::uint8_t>(s % 8);
    }
    sample.channels[1].steps = kDirectionalSteps;
    sample.channels[1].keys[0] = 0x52;
    sample.channels[1].keys[1] = 0x51;
    sample.channels[2].mode = kModeJoystick;
    sample.channels[3].axis = 0xFF;
    sample.channels[4].hysteresis = 0;
    sample.channels[5].periodic = 100;
    model.replaceConfiguration(sample);
}

QJsonObject sampleJson()
{
    ConfigModel model;
    fillSample(model);
    return ConfigJson::toJson(model);
}

QJsonObject withChannelField(QJsonObject root, int channel, const QString &field,
                             const QJsonValue &value)
{
    QJsonArray channels = root[QStringLiteral("channels")].toArray();
    QJsonObject object = channels[channel].toObject();
    if (value.isUndefined())
        object.remove(field);
    else
        object[field] = value;
    channels[channel] = object;
    root[QStringLiteral("channels")] = channels;
    return root;
}

QByteArray text(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

TEST(ConfigJsonTest, ShapeHoldsTheModelValuesAndOneKeyPerStep)
{
    const QJsonObject root = sampleJson();
    EXPECT_EQ(root[QStringLiteral("powerOnDelay")].toInt(), 12);
    const QJsonArray channels = root[QStringLiteral("channels")].toArray();
    ASSERT_EQ(channels.size(), 6);

    const QJsonObject wide = channels[0].toObject();
    EXPECT_EQ(wide[QStringLiteral("steps")].toInt(), 5);
    EXPECT_EQ(wide[QStringLiteral("hysteresis")].toInt(), 2);
    EXPECT_EQ(wide[QStringLiteral("repeat")].toInt(), 1);
    EXPECT_EQ(wide[QStringLiteral("periodic")].toInt(), 25);
    EXPECT_EQ(wide[QStringLiteral("preload")].toInt(), 0);
    EXPECT_EQ(wide[QStringLiteral("mode")].toInt(), 3);
    EXPECT_EQ(wide[QStringLiteral("axis")].toInt(), 0x36);
    EXPECT_EQ(wide[QStringLiteral("axisName")].toString(), QStringLiteral("Slider"));
    ASSERT_EQ(wide[QStringLiteral("keys")].toArray().size(), 32);
    EXPECT_EQ(wide[QStringLiteral("keys")].toArray()[31].toInt(), 0x23);
    EXPECT_EQ(wide[QStringLiteral("keyOperators")].toArray()[7].toInt(), 7);
    EXPECT_EQ(wide[QStringLiteral("keyNames")].toArray()[5].toString(),
              QStringLiteral("[ctrl] [alt] F"));

    const QJsonObject directional = channels[1].toObject();
    EXPECT_EQ(directional[QStringLiteral("keys")].toArray(), (QJsonArray{0x52, 0x51}));
    EXPECT_EQ(directional[QStringLiteral("keyOperators")].toArray().size(), 2);
    EXPECT_EQ(directional[QStringLiteral("stepsName")].toString(), QStringLiteral("Directional"));
    EXPECT_EQ(channels[2].toObject()[QStringLiteral("keys")].toArray().size(), 8);
    EXPECT_EQ(channels[3].toObject()[QStringLiteral("axisName")].toString(),
              QStringLiteral("0xff (unknown)"));
}

TEST(ConfigJsonTest, RoundTripGivesTheSameImage)
{
    ConfigModel original;
    fillSample(original);
    ConfigModel composed;
    ConfigJson json;
    ASSERT_TRUE(json.fromJson(ConfigJson::toText(original), composed))
        << json.errorString().toStdString();
    EXPECT_EQ(encodeImage(composed), encodeImage(original));
    EXPECT_EQ(composed.powerOnDelay(), 12);
    EXPECT_EQ(composed.hysteresisThreshold(0), 16);
    EXPECT_EQ(composed.hysteresisThreshold(4), 8);
}

TEST(ConfigJsonTest, UnknownFieldsAreIgnoredAndUnusedSectionsCleared)
{
    QJsonObject root = withChannelField(sampleJson(), 1, QStringLiteral("comment"), 1.5);
    root[QStringLiteral("note")] = QStringLiteral("anything");
    ConfigModel model;
    // A stale key behind the two Directional sections.
    testing::editChannel(model, 1, [](ChannelSettings &c) { c.keys[5] = 9; });
    ConfigJson json;
    ASSERT_TRUE(json.fromJson(text(root), model)) << json.errorString().toStdString();
    EXPECT_EQ(model.channel(1).keys[5], 0);
}

struct Refusal
{
    const char *name;
    QJsonObject json;
    QString message;
};

class ConfigJsonRefusalTest : public ::testing::TestWithParam<Refusal>
{
};

TEST_P(ConfigJsonRefusalTest, RefusesWithTheFieldNamedAndLeavesTheModelAlone)
{
    ConfigModel model;
    model.resetSettings();
    testing::editConfiguration(model, [](Configuration &c) { c.powerOnDelay = 7; });
    const ConfigImage before = encodeImage(model);

    ConfigJson json;
    EXPECT_FALSE(json.fromJson(text(GetParam().json), model));
    EXPECT_EQ(json.errorString(), GetParam().message);
    EXPECT_EQ(encodeImage(model), before);
}

QJsonObject withRoot(const QString &field, const QJsonValue &value)
{
    QJsonObject root = sampleJson();
    if (value.isUndefined())
        root.remove(field);
    else
        root[field] = value;
    return root;
}

QJsonObject withKeyCount(int channel, int count)
{
    QJsonArray keys;
    for (int i = 0; i < count; ++i)
        keys.append(0);
    return withChannelField(sampleJson(), channel, QStringLiteral("keys"), keys);
}

const QJsonValue kMissing = QJsonValue(QJsonValue::Undefined);

INSTANTIATE_TEST_SUITE_P(
    Limits, ConfigJsonRefusalTest,
    ::testing::Values(
        Refusal{"PeriodicTooHigh", withChannelField(sampleJson(), 2, "periodic", 101),
                "channels[2].periodic: 101 is out of range 0-100"},
        Refusal{"StepsZero", withChannelField(sampleJson(), 0, "steps", 0),
                "channels[0].steps: 0 is out of range 1-6"},
        Refusal{"StepsSeven", withChannelField(sampleJson(), 5, "steps", 7),
                "channels[5].steps: 7 is out of range 1-6"},
        Refusal{"HysteresisThree", withChannelField(sampleJson(), 3, "hysteresis", 3),
                "channels[3].hysteresis: 3 is out of range 0-2"},
        Refusal{"ModeFour", withChannelField(sampleJson(), 4, "mode", 4),
                "channels[4].mode: 4 is out of range 0-3"},
        Refusal{"RepeatTwo", withChannelField(sampleJson(), 0, "repeat", 2),
                "channels[0].repeat: 2 is out of range 0-1"},
        Refusal{"PreloadNegative", withChannelField(sampleJson(), 0, "preload", -1),
                "channels[0].preload: -1 is out of range 0-1"},
        Refusal{"AxisTooHigh", withChannelField(sampleJson(), 1, "axis", 256),
                "channels[1].axis: 256 is out of range 0-255"},
        Refusal{"DelayTooLong", withRoot("powerOnDelay", 31),
                "powerOnDelay: 31 is out of range 0-30"},
        Refusal{"KeyTooHigh", withChannelField(sampleJson(), 1, "keys", QJsonArray{4, 300}),
                "channels[1].keys[1]: 300 is out of range 0-255"},
        Refusal{"OperatorNotInteger",
                withChannelField(sampleJson(), 1, "keyOperators", QJsonArray{0.5, 0}),
                "channels[1].keyOperators[0]: 0.5 is not an integer"},
        Refusal{"TooFewKeys", withKeyCount(0, 31),
                "channels[0].keys: 31 entries, but the steps need exactly 32"},
        Refusal{"TooManyKeys", withKeyCount(1, 3),
                "channels[1].keys: 3 entries, but the steps need exactly 2"},
        Refusal{"KeysNotArray", withChannelField(sampleJson(), 2, "keys", 5),
                "channels[2].keys: 5 is not an array"},
        Refusal{"FractionalPeriodic", withChannelField(sampleJson(), 2, "periodic", 2.5),
                "channels[2].periodic: 2.5 is not an integer"},
        Refusal{"StringSteps", withChannelField(sampleJson(), 0, "steps", "3"),
                "channels[0].steps: \"3\" is not an integer"},
        Refusal{"BoolRepeat", withChannelField(sampleJson(), 0, "repeat", true),
                "channels[0].repeat: true is not an integer"},
        Refusal{"NullAxis", withChannelField(sampleJson(), 0, "axis", QJsonValue()),
                "channels[0].axis: null is not an integer"},
        Refusal{"HugeAxis", withChannelField(sampleJson(), 0, "axis", 1e300),
                "channels[0].axis: 1.0000000000000001e+300 is out of range 0-255"},
        Refusal{"MissingMode", withChannelField(sampleJson(), 3, "mode", kMissing),
                "channels[3].mode: missing"},
        Refusal{"MissingKeys", withChannelField(sampleJson(), 3, "keys", kMissing),
                "channels[3].keys: missing"},
        Refusal{"MissingDelay", withRoot("powerOnDelay", kMissing), "powerOnDelay: missing"},
        Refusal{"MissingChannels", withRoot("channels", kMissing), "channels: missing"},
        Refusal{"FiveChannels",
                withRoot("channels",
                         [] {
                             QJsonArray channels = sampleJson()["channels"].toArray();
                             channels.removeLast();
                             return channels;
                         }()),
                "channels: 5 channels, expected exactly 6"},
        Refusal{"ChannelNotObject", withRoot("channels", QJsonArray{1, 2, 3, 4, 5, 6}),
                "channels[0]: 1 is not an object"}),
    [](const ::testing::TestParamInfo<Refusal> &info) { return std::string(info.param.name); });

TEST(ConfigJsonTest, RefusesTextThatIsNotAJsonObject)
{
    ConfigModel model;
    ConfigJson json;
    EXPECT_FALSE(json.fromJson(QByteArray("{\"powerOnDelay\": 1,"), model));
    EXPECT_TRUE(json.errorString().startsWith(QStringLiteral("JSON syntax error at offset")))
        << json.errorString().toStdString();
    EXPECT_FALSE(json.fromJson(QByteArray("[1, 2]"), model));
    EXPECT_EQ(json.errorString(),
              QStringLiteral("expected a JSON object with powerOnDelay and channels"));
}

} // namespace
} // namespace orvex::ctl
