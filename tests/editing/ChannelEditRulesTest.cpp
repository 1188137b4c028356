#include "core/config/ChannelEditRules.h"

#include "core/config/SettingNames.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(ChannelEditRules, BoxesAndModesMapBothWays)
{
    EXPECT_EQ(modeForBoxes(Qt::Checked, Qt::Unchecked), kModeKeyboard);
    EXPECT_EQ(modeForBoxes(Qt::Unchecked, Qt::Checked), kModeJoystick);
    EXPECT_EQ(modeForBoxes(Qt::Unchecked, Qt::Unchecked), kModeNone);
    EXPECT_EQ(modeForBoxes(Qt::Checked, Qt::Checked), kModeBoth);
    EXPECT_EQ(modeForBoxes(Qt::PartiallyChecked, Qt::Checked), std::nullopt);
    EXPECT_EQ(modeForBoxes(Qt::Unchecked, Qt::PartiallyChecked), std::nullopt);

    for (std::uint8_t mode = kModeKeyboard; mode <= kModeBoth; ++mode) {
        const auto boxes = boxesForMode(mode);
        ASSERT_TRUE(boxes.has_value());
        EXPECT_EQ(modeForBoxes(boxes->keyboard ? Qt::Checked : Qt::Unchecked,
                               boxes->joystick ? Qt::Checked : Qt::Unchecked),
                  mode);
    }
    EXPECT_FALSE(boxesForMode(4).has_value());
    EXPECT_FALSE(boxesForMode(0xFF).has_value());
}

TEST(ChannelEditRules, StepCountEnablesTheListsItAllows)
{
    const StepListsEnablement none = enablementForSteps(0, 0);
    EXPECT_FALSE(none.hysteresis || none.preloadAndRepeat || none.periodic);

    for (std::uint8_t steps = 1; steps <= 5; ++steps) {
        const StepListsEnablement counted = enablementForSteps(steps, 0);
        EXPECT_TRUE(counted.hysteresis && counted.preloadAndRepeat && counted.periodic);
        EXPECT_FALSE(enablementForSteps(steps, 1).periodic);
    }

    const StepListsEnablement directional = enablementForSteps(kDirectionalSteps, 0);
    EXPECT_TRUE(directional.hysteresis);
    EXPECT_FALSE(directional.preloadAndRepeat);
    EXPECT_FALSE(directional.periodic);
}

TEST(ChannelEditRules, KeyRepeatDecidesThePeriodicListBelowDirectional)
{
    EXPECT_TRUE(periodicEnabledForRepeat(3, 0));
    EXPECT_FALSE(periodicEnabledForRepeat(3, 1));
    EXPECT_FALSE(periodicEnabledForRepeat(kDirectionalSteps, 0));
    // Unlike the step-count rule, the key-repeat rule does not ask for a step count.
    EXPECT_TRUE(periodicEnabledForRepeat(0, 0));
}

TEST(ChannelEditRules, PeriodicEntriesReadInTenthsOfASecond)
{
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(periodicName(0, QLocale()), "Disabled");
    EXPECT_EQ(periodicName(1, QLocale()), "0.1 sec");
    EXPECT_EQ(periodicName(10, QLocale()), "1.0 sec");
    EXPECT_EQ(periodicName(55, QLocale()), "5.5 sec");
    EXPECT_EQ(periodicName(100, QLocale()), "10.0 sec");

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(periodicName(55, QLocale()), "5,5 sec");
    QLocale::setDefault(QLocale::c());
}

class OfferedAxes : public ::testing::Test
{
protected:
    std::array<ChannelSettings, kChannelCount> channels{};

    void drive(int channel, std::uint8_t mode, std::uint8_t axis)
    {
        channels[channel].mode = mode;
        channels[channel].axis = axis;
    }
};

TEST_F(OfferedAxes, AllSixteenWhenNoOtherChannelDrivesAnAxis)
{
    drive(1, kModeKeyboard, 0x30);
    drive(2, kModeNone, 0x31);
    const auto offered = offeredAxes(channels, 0);
    ASSERT_EQ(offered.size(), 16u);
    EXPECT_EQ(offered.front().code, 0x30);
    EXPECT_EQ(offered.back().code, 0x46);
}

TEST_F(OfferedAxes, AxesOfOtherJoystickChannelsAreLeftOutButNeverTheOwnOne)
{
    drive(0, kModeJoystick, 0x30);
    drive(1, kModeBoth, 0x31);
    drive(2, kModeJoystick, 0x32);
    drive(3, kModeBoth, 0x33);
    drive(4, kModeJoystick, 0x34);
    drive(5, kModeJoystick, 0x35);
    const auto offered = offeredAxes(channels, 5);
    ASSERT_EQ(offered.size(), 11u);
    EXPECT_EQ(offered.front().code, 0x35);
    EXPECT_STREQ(offered.front().name, "Rz");
    for (const JoystickAxis &axis : offered)
        EXPECT_GE(axis.code, 0x35);
}

TEST(ChannelEditRules, StoringKeyZeroClearsTheModifiersEverywhere)
{
    ChannelSettings settings;
    settings.keyOperators[3] = 7;
    std::uint8_t operators = kOperatorCtrl | kOperatorAlt;
    storeKey(settings, 3, 0, operators);
    EXPECT_EQ(settings.keys[3], 0);
    EXPECT_EQ(settings.keyOperators[3], 0);
    EXPECT_EQ(operators, 0);

    operators = kOperatorShift;
    storeKey(settings, 31, 0x4C, operators);
    EXPECT_EQ(settings.keys[31], 0x4C);
    EXPECT_EQ(settings.keyOperators[31], kOperatorShift);
    EXPECT_EQ(operators, kOperatorShift);
}

TEST(ChannelEditRules, StoringIntoASectionOutsideTheRecordChangesNothing)
{
    const ChannelSettings before;
    ChannelSettings settings = before;
    std::uint8_t operators = kOperatorCtrl;
    storeKey(settings, 32, 0x04, operators);
    storeKey(settings, -1, 0x04, operators);
    EXPECT_EQ(settings, before);
}

} // namespace
} // namespace orvex
