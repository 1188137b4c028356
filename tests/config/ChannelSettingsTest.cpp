#include "core/config/ChannelSettings.h"

#include "ModelEditing.h"
#include "core/config/ConfigModel.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(ChannelSettings, SectionsForEveryStepsCode)
{
    const std::uint8_t expected[] = {0, 2, 4, 8, 16, 32, 2, 0};
    for (int code = 0; code < 8; ++code)
        EXPECT_EQ(sectionsForSteps(static_cast<std::uint8_t>(code)), expected[code]) << code;
    EXPECT_EQ(sectionsForSteps(255), 0);
}

TEST(ChannelSettings, OutputModes)
{
    EXPECT_TRUE(isKeyboardEnabled(0));
    EXPECT_TRUE(isKeyboardEnabled(3));
    EXPECT_TRUE(isJoystickEnabled(1));
    EXPECT_TRUE(isJoystickEnabled(3));
    for (std::uint8_t mode : {2, 4, 200}) {
        EXPECT_FALSE(isKeyboardEnabled(mode)) << int(mode);
        EXPECT_FALSE(isJoystickEnabled(mode)) << int(mode);
    }
    EXPECT_FALSE(isKeyboardEnabled(1));
    EXPECT_FALSE(isJoystickEnabled(0));
}

ChannelSettings eightSteps()
{
    ChannelSettings s;
    s.steps = 3;
    s.hysteresis = 1;
    s.preload = 1;
    s.axis = 0x30;
    return s;
}

TEST(SettingsEqual, IgnoresSectionsBeyondTheStepCount)
{
    ChannelSettings a = eightSteps(), b = eightSteps();
    b.keys[8] = 0x04;
    b.keyOperators[31] = 7;
    EXPECT_TRUE(settingsEqual(a, b));

    b.keys[7] = 0x04;
    EXPECT_FALSE(settingsEqual(a, b));
}

TEST(SettingsEqual, DirectionalComparesTwoSections)
{
    ChannelSettings a = eightSteps(), b = eightSteps();
    a.steps = b.steps = kDirectionalSteps;
    b.keys[2] = 0x10;
    b.keyOperators[5] = 1;
    EXPECT_TRUE(settingsEqual(a, b));
    b.keyOperators[1] = 1;
    EXPECT_FALSE(settingsEqual(a, b));
}

TEST(SettingsEqual, EveryStoredFieldCounts)
{
    using Field = void (*)(ChannelSettings &);
    const Field changes[] = {
        [](ChannelSettings &s) { s.steps = 4; },
        [](ChannelSettings &s) { s.hysteresis = 2; },
        [](ChannelSettings &s) { s.keys[0] = 0x29; },
        [](ChannelSettings &s) { s.keyOperators[0] = 2; },
        [](ChannelSettings &s) { s.repeat = 1; },
        [](ChannelSettings &s) { s.periodic = 5; },
        [](ChannelSettings &s) { s.preload = 0; },
        // Output switches and the axis are saved too; an edit of only those must register.
        [](ChannelSettings &s) { s.mode = kModeBoth; },
        [](ChannelSettings &s) { s.axis = 0x36; },
    };
    for (std::size_t i = 0; i < std::size(changes); ++i) {
        ChannelSettings changed = eightSteps();
        changes[i](changed);
        EXPECT_FALSE(settingsEqual(eightSteps(), changed)) << "field " << i;
    }
}

TEST(ConfigModel, HysteresisThresholds)
{
    ConfigModel model;
    model.setHysteresisThreshold(0, 2);
    EXPECT_EQ(model.hysteresisThreshold(2), 8);
    model.setHysteresisThreshold(1, 2);
    EXPECT_EQ(model.hysteresisThreshold(2), 12);
    model.setHysteresisThreshold(2, 2);
    EXPECT_EQ(model.hysteresisThreshold(2), 16);
    model.setHysteresisThreshold(3, 2);
    EXPECT_EQ(model.hysteresisThreshold(2), 16);
    model.setHysteresisThreshold(0, 6); // no such channel: nothing happens
    EXPECT_EQ(testing::thresholds(model), (std::array<std::uint8_t, 6>{0, 0, 16, 0, 0, 0}));
}

TEST(ConfigModel, ResetLoadsTheDefaultsAndRefreshesTheDelay)
{
    ConfigModel model;
    testing::editConfiguration(model, [](Configuration &c) {
        c.channels[4].keys[3] = 0x20;
        c.channels[4].mode = kModeNone;
        c.powerOnDelay = 12;
    });
    testing::makeUnsavedChange(model);
    model.setConfigFileName(QStringLiteral("/tmp/a.orv"));
    QSignalSpy refreshed(&model, &ConfigModel::configurationChanged);

    model.resetSettings();

    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelSettings &c = model.channel(i);
        EXPECT_EQ(c.steps, 3);
        EXPECT_EQ(c.hysteresis, 1);
        EXPECT_EQ(c.preload, 1);
        EXPECT_EQ(c.repeat, 0);
        EXPECT_EQ(c.periodic, 0);
        EXPECT_EQ(c.mode, kModeKeyboard);
        EXPECT_EQ(c.axis, 0x30 + i);
        EXPECT_EQ(c.keys, decltype(c.keys){});
        EXPECT_EQ(c.keyOperators, decltype(c.keyOperators){});
        EXPECT_EQ(model.hysteresisThreshold(i), 12);
    }
    EXPECT_STREQ(joystickAxisName(model.channel(5).axis), "Rz");
    EXPECT_EQ(model.powerOnDelay(), 0);
    EXPECT_EQ(refreshed.count(), 1);
    // Reset is not a file operation: the changed flag and the file name stay.
    EXPECT_TRUE(model.configChanged());
    EXPECT_EQ(model.configFileName(), QStringLiteral("/tmp/a.orv"));
}

TEST(JoystickAxes, SixteenNamedCodesWithAGap)
{
    EXPECT_EQ(joystickAxes().size(), 16u);
    EXPECT_STREQ(joystickAxisName(0x38), "Wheel");
    EXPECT_STREQ(joystickAxisName(0x40), "Vx");
    EXPECT_STREQ(joystickAxisName(0x46), "Vno");
    EXPECT_EQ(joystickAxisName(0x39), nullptr);
    EXPECT_EQ(joystickAxisName(0x3F), nullptr);
    EXPECT_EQ(joystickAxisName(0), nullptr);
}

} // namespace
} // namespace orvex
