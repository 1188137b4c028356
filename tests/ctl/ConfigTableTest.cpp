#include "programs/ctl/ConfigTable.h"

#include "ModelEditing.h"
#include "core/config/ConfigModel.h"
#include "core/config/SettingNames.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace orvex::ctl {
namespace {

TEST(ConfigTableTest, DefaultConfigurationReadsLikeTheSettingsDialog)
{
    ConfigModel model;
    model.resetSettings();
    const QStringList lines = ConfigTable::format(model).split(u'\n');

    EXPECT_EQ(lines.at(0), QStringLiteral("Power-on delay: Disabled"));
    EXPECT_EQ(lines.at(1), QString());
    const QStringList channel1 = lines.mid(2, 18);
    const QStringList expected = {
        QStringLiteral("Channel 1"),
        QStringLiteral("  Outputs:              Keyboard"),
        QStringLiteral("  Number of steps:      8"),
        QStringLiteral("  Hysteresis:           Medium"),
        QStringLiteral("  Preload:              On"),
        QStringLiteral("  Key repeat:           Off"),
        QStringLiteral("  Periodic keystrokes:  Disabled"),
        QStringLiteral("  Joystick axis:        X"),
        QStringLiteral("  Step  Key"),
        QStringLiteral("     1  Not Used"),
    };
    EXPECT_EQ(channel1.mid(0, expected.size()), expected);
    EXPECT_EQ(channel1.at(16), QStringLiteral("     8  Not Used"));
    EXPECT_TRUE(lines.contains(QStringLiteral("Channel 6")));
    EXPECT_TRUE(lines.contains(QStringLiteral("  Joystick axis:        Rz")));
    EXPECT_EQ(lines.count(QStringLiteral("  Step  Key")), 6);
}

TEST(ConfigTableTest, ShowsEachStepsModifiersAndKeyAndTheChannelValues)
{
    ConfigModel model;
    model.resetSettings();
    testing::editConfiguration(model, [](Configuration &c) {
        c.powerOnDelay = 30;
        ChannelSettings &channel = c.channels[2];
        channel.steps = kDirectionalSteps;
        channel.mode = kModeBoth;
        channel.hysteresis = 2;
        channel.periodic = 25;
        channel.axis = 0x46;
        channel.keys[0] = 0x4C;
        channel.keyOperators[0] = kOperatorCtrl | kOperatorAlt;
        channel.keys[1] = 0xE7;
        channel.keyOperators[1] = kOperatorShift;
    });

    const QString text = ConfigTable::format(model);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Power-on delay: 30 sec\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("Channel 3\n"
                                             "  Outputs:              Keyboard, Joystick\n"
                                             "  Number of steps:      Directional\n"
                                             "  Hysteresis:           High\n"
                                             "  Preload:              On\n"
                                             "  Key repeat:           Off\n"
                                             "  Periodic keystrokes:  2.5 sec\n"
                                             "  Joystick axis:        Vno\n"
                                             "  Step  Key\n"
                                             "     1  [ctrl] [alt] Delete\n"
                                             "     2  [shift] Right Win\n"
                                             "\nChannel 4\n")))
        << text.toStdString();
}

TEST(SettingNamesTest, NamesOfValuesOutsideTheLists)
{
    EXPECT_EQ(outputsName(kModeNone), QStringLiteral("None"));
    EXPECT_EQ(outputsName(kModeJoystick), QStringLiteral("Joystick"));
    EXPECT_EQ(outputsName(9), QStringLiteral("9 (unknown)"));
    EXPECT_EQ(stepsName(0), QStringLiteral("none"));
    EXPECT_EQ(stepsName(5), QStringLiteral("32"));
    EXPECT_EQ(stepsName(7), QStringLiteral("7 (unknown)"));
    EXPECT_EQ(periodicName(1), QStringLiteral("0.1 sec"));
    EXPECT_EQ(periodicName(100), QStringLiteral("10.0 sec"));
    EXPECT_EQ(axisName(0x39), QStringLiteral("0x39 (unknown)"));
    EXPECT_EQ(hysteresisName(3), QStringLiteral("3 (unknown)"));
    EXPECT_EQ(powerOnDelayName(1), QStringLiteral("1 sec"));
}

} // namespace
} // namespace orvex::ctl
