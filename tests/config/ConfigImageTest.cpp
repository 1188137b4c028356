#include "core/config/ConfigImage.h"

#include "ModelEditing.h"
#include "core/config/ConfigModel.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace orvex {
namespace {

using namespace image;

class ConfigImageTest : public ::testing::Test
{
protected:
    void SetUp() override { model.resetSettings(); }

    ConfigImage defaultImage()
    {
        ConfigModel defaults;
        defaults.resetSettings();
        return encodeImage(defaults);
    }

    ConfigModel model;
};

TEST_F(ConfigImageTest, DefaultImageByteForByte)
{
    const ConfigImage image = encodeImage(model);
    ConfigImage expected{};
    for (int c = 0; c < kChannelCount; ++c) {
        const int b = blockStart(c);
        expected[b + 64] = 3;
        expected[b + 65] = 4;
        expected[b + 67] = 1;
        expected[b + 69] = static_cast<std::uint8_t>(0x30 + c);
    }
    EXPECT_EQ(image, expected);

    ConfigModel decoded;
    ASSERT_TRUE(decodeImage(decoded, image));
    EXPECT_EQ(decoded.channels(), model.channels());
    EXPECT_EQ(decoded.powerOnDelay(), 0);
}

TEST_F(ConfigImageTest, RichChannelsSurviveARoundTrip)
{
    testing::editConfiguration(model, [](Configuration &c) {
        ChannelSettings &both = c.channels[0];
        both.steps = 5; // 32 steps
        both.mode = kModeBoth;
        both.repeat = 1;
        both.preload = 0;
        both.periodic = 25;
        both.hysteresis = 2;
        both.axis = 0x36;
        for (int s = 0; s < kMaxSections; ++s) {
            both.keys[s] = static_cast<std::uint8_t>(0x04 + s);
            both.keyOperators[s] = static_cast<std::uint8_t>(s % 8);
        }
        ChannelSettings &directional = c.channels[3];
        directional.steps = kDirectionalSteps;
        directional.keys[0] = 0x51;
        directional.keyOperators[0] = kOperatorShift;
        directional.keys[1] = 0x52;
        directional.keyOperators[1] = kOperatorCtrl | kOperatorAlt;
        c.powerOnDelay = 30;
    });

    const ConfigImage image = encodeImage(model);
    EXPECT_EQ(image[blockStart(0) + kFlagsOffset], 2);
    EXPECT_EQ(image[blockStart(0) + 62], 31 % 8);
    EXPECT_EQ(image[blockStart(0) + 63], 0x04 + 31);
    EXPECT_EQ(image[blockStart(3) + kFlagsOffset], kFlagDirectional | kFlagPreload);
    EXPECT_EQ(image[blockStart(3) + 2], kOperatorCtrl | kOperatorAlt);
    EXPECT_EQ(image[blockStart(3) + 4], 0) << "Directional writes two pairs only";

    ConfigModel decoded;
    ASSERT_TRUE(decodeImage(decoded, image));
    EXPECT_EQ(decoded.channels(), model.channels());
    EXPECT_EQ(decoded.powerOnDelay(), 30);
    EXPECT_EQ(decoded.hysteresisThreshold(0), 16);
}

TEST_F(ConfigImageTest, KeyboardOffChannelsKeepPairsButDecodeToDefaults)
{
    testing::editChannel(model, 1, [](ChannelSettings &joystick) {
        joystick.mode = kModeJoystick;
        joystick.steps = 2;
        joystick.keys[0] = 0x29;
        joystick.keyOperators[0] = 1;
        joystick.repeat = 1;
        joystick.periodic = 9;
        joystick.axis = 0x44;
    });

    const ConfigImage image = encodeImage(model);
    const int b = blockStart(1);
    EXPECT_EQ(image[b + 0], 1);
    EXPECT_EQ(image[b + 1], 0x29);
    for (int offset : {kStepsOffset, kFlagsOffset, kPeriodicOffset, kHysteresisOffset})
        EXPECT_EQ(image[b + offset], 0) << offset;
    EXPECT_EQ(image[b + kModeOffset], kModeJoystick);
    EXPECT_EQ(image[b + kAxisOffset], 0x44);

    ConfigModel decoded;
    ASSERT_TRUE(decodeImage(decoded, image));
    const ChannelSettings &back = decoded.channel(1);
    EXPECT_EQ(back.mode, kModeJoystick);
    EXPECT_EQ(back.axis, 0x44);
    EXPECT_EQ(back.steps, 3);
    EXPECT_EQ(back.hysteresis, 1);
    EXPECT_EQ(back.repeat, 0);
    EXPECT_EQ(back.periodic, 0);
    EXPECT_EQ(back.preload, 1);
    EXPECT_EQ(back.keys[0], 0) << "no sections are read from a channel without steps";
}

TEST_F(ConfigImageTest, AllZeroImageTurnsEveryChannelOff)
{
    ConfigImage zeros{};
    ASSERT_TRUE(decodeImage(model, zeros));
    for (const ChannelSettings &c : model.channels()) {
        EXPECT_EQ(c.mode, kModeNone);
        EXPECT_EQ(c.steps, 3);
        EXPECT_EQ(c.hysteresis, 1);
        EXPECT_EQ(c.preload, 1);
        EXPECT_EQ(c.axis, 0);
        EXPECT_EQ(c.keys, decltype(c.keys){});
    }
    EXPECT_EQ(model.powerOnDelay(), 0);
}

TEST_F(ConfigImageTest, KeyboardWithoutStepsKeepsTheJoystick)
{
    ConfigImage image = defaultImage();
    image[blockStart(2) + kStepsOffset] = 0;
    image[blockStart(2) + kModeOffset] = kModeBoth;
    ASSERT_TRUE(decodeImage(model, image));
    EXPECT_EQ(model.channel(2).mode, kModeJoystick);
}

struct Limit
{
    int offset; // within the channel block, or an absolute address when channel < 0
    std::uint8_t highestValid;
};

class ConfigImageLimits : public ConfigImageTest, public ::testing::WithParamInterface<Limit>
{
};

TEST_P(ConfigImageLimits, AcceptsTheLimitAndRejectsOneMore)
{
    const Limit limit = GetParam();
    const int address =
        limit.offset == kPowerOnDelayAddress ? limit.offset : blockStart(4) + limit.offset;

    ConfigImage image = defaultImage();
    image[address] = limit.highestValid;
    EXPECT_TRUE(decodeImage(model, image));

    image[address] = limit.highestValid + 1;
    model.resetSettings();
    EXPECT_FALSE(decodeImage(model, image));
}

INSTANTIATE_TEST_SUITE_P(Image, ConfigImageLimits,
                         ::testing::Values(Limit{kStepsOffset, 6}, Limit{kPeriodicOffset, 100},
                                           Limit{kHysteresisOffset, 2}, Limit{kModeOffset, 3},
                                           Limit{kPowerOnDelayAddress, 30}));

TEST_F(ConfigImageTest, RejectionInTheLastChannelLeavesEverythingAsItWas)
{
    testing::editConfiguration(model, [](Configuration &c) {
        c.channels[0].hysteresis = 0;
        c.channels[2].keys[1] = 0x2C;
        c.channels[5].mode = kModeBoth;
        c.powerOnDelay = 7;
    });
    const auto channelsBefore = model.channels();
    const auto thresholdsBefore = testing::thresholds(model);

    // Channels 0..4 are valid and differ from the model; channel 5 is not.
    Configuration other = defaultConfiguration();
    for (int c = 0; c < 5; ++c) {
        other.channels[c].hysteresis = 2;
        other.channels[c].keys[0] = 0x04;
    }
    ConfigImage image = encodeImage(other);
    image[blockStart(5) + kHysteresisOffset] = 3;

    QSignalSpy announced(&model, &ConfigModel::configurationChanged);
    EXPECT_FALSE(decodeImage(model, image));
    EXPECT_EQ(model.channels(), channelsBefore);
    EXPECT_EQ(testing::thresholds(model), thresholdsBefore);
    EXPECT_EQ(model.powerOnDelay(), 7);
    // Nothing changed, so the views (the delay menu among them) are told nothing.
    EXPECT_EQ(announced.count(), 0);
    EXPECT_FALSE(model.configChanged());
}

TEST_F(ConfigImageTest, IgnoredBytesDoNotMatter)
{
    ConfigImage image = defaultImage();
    ConfigModel plain;
    ASSERT_TRUE(decodeImage(plain, image));

    image[510] = 'R';
    image[511] = '4';
    image[509] = 0xFF;
    image[480] = 0xAA;
    image[blockStart(1) + 75] = 0x55;
    image[blockStart(1) + kFlagsOffset] |= 0xF9; // stray Directional and reserved bits
    image[blockStart(0) + 40] = 0x13;            // a pair beyond the eight sections in use
    ConfigModel signed_;
    ASSERT_TRUE(decodeImage(signed_, image));
    EXPECT_EQ(signed_.channels(), plain.channels());
}

TEST_F(ConfigImageTest, KeysAndModifiersAreNotValidated)
{
    ConfigImage image = defaultImage();
    image[blockStart(0) + 0] = 0xFF;
    image[blockStart(0) + 1] = 0xFF;
    ASSERT_TRUE(decodeImage(model, image));
    EXPECT_EQ(model.channel(0).keys[0], 0xFF);
    EXPECT_EQ(model.channel(0).keyOperators[0], 0xFF);
}

} // namespace
} // namespace orvex
