// The one configuration of a run: which edits of a channel count as changes, the settings
// dialog's rules that need no window, what the model marks and announces, the thresholds that
// follow the hysteresis, and the 512-byte image that files and the device's memory hold.  (The
// names of the values are proven with orvexctl's tables and the settings dialog's lists.)

#include "ModelEditing.h"
#include "Printers.h"
#include "core/config/ChannelEditRules.h"
#include "core/config/ConfigImage.h"

#include <QSignalSpy>
#include <QStringList>
#include <algorithm>
#include <cstddef>
#include <gtest/gtest.h>

namespace orvex {
namespace {

using Bytes = std::vector<std::uint8_t>;
const std::array<std::uint8_t, kChannelCount> kMediumEverywhere{12, 12, 12, 12, 12, 12};

Bytes bytes(const ConfigImage &image, int from, int count)
{
    return Bytes(image.begin() + from, image.begin() + from + count);
}

TEST(ChannelSettings, AnEditIsAChangeWhereverItTouchesWhatIsSaved)
{
    // Each byte of an 8-step record is saved but the keys and modifiers of sections 8 to 31.
    constexpr std::size_t kKeys = offsetof(ChannelSettings, keys);
    constexpr std::size_t kOperators = offsetof(ChannelSettings, keyOperators);
    const ChannelSettings eight{.steps = 3, .hysteresis = 1, .preload = 1};
    for (std::size_t byte = 0; byte < sizeof(ChannelSettings); ++byte) {
        ChannelSettings edited = eight;
        reinterpret_cast<std::uint8_t *>(&edited)[byte] ^= 0x11;
        const bool unused = (byte >= kKeys + 8 && byte < kOperators) ||
                            (byte >= kOperators + 8 && byte < kOperators + kMaxSections);
        EXPECT_EQ(settingsEqual(eight, edited), unused) << "byte " << byte;
    }
    ChannelSettings directional{.steps = kDirectionalSteps}, other = directional;
    other.keys[2] = 0x04;
    EXPECT_TRUE(settingsEqual(directional, other));
    other.keyOperators[1] = 1;
    EXPECT_FALSE(settingsEqual(directional, other));
}

TEST(ChannelEditRules, BoxesAndModesMapBothWays)
{
    using enum Qt::CheckState;
    // clang-format off
    const std::tuple<Qt::CheckState, Qt::CheckState, std::optional<std::uint8_t>> cases[] = {
        {Checked, Unchecked, kModeKeyboard}, {Unchecked, Checked, kModeJoystick},
        {Unchecked, Unchecked, kModeNone}, {Checked, Checked, kModeBoth},
        {PartiallyChecked, Checked, std::nullopt}, {Unchecked, PartiallyChecked, std::nullopt}};
    // clang-format on
    for (const auto &[keyboard, joystick, mode] : cases) {
        EXPECT_EQ(modeForBoxes(keyboard, joystick), mode) << keyboard << joystick;
        const std::optional<EnabledBoxes> boxes = boxesForMode(mode.value_or(kModeBoth + 1));
        EXPECT_EQ(boxes ? std::optional(std::pair(boxes->keyboard, boxes->joystick)) : std::nullopt,
                  mode ? std::optional(std::pair(keyboard == Checked, joystick == Checked))
                       : std::nullopt);
    }
}

TEST(ChannelEditRules, StepsAndRepeatEnableTheLists)
{
    // steps, repeat; hysteresis, preload and repeat, periodic; periodic after a repeat change
    // clang-format off
    const std::tuple<int, int, bool, bool, bool, bool> cases[] = {
        {0, 0, false, false, false, true}, {1, 0, true, true, true, true},
        {5, 0, true, true, true, true}, {5, 1, true, true, false, false},
        {6, 0, true, false, false, false}, {6, 1, true, false, false, false}};
    // clang-format on
    for (const auto &[steps, repeat, hysteresis, preload, periodic, afterRepeat] : cases) {
        const StepListsEnablement lists = enablementForSteps(std::uint8_t(steps), repeat);
        EXPECT_EQ(std::tuple(lists.hysteresis, lists.preloadAndRepeat, lists.periodic,
                             periodicEnabledForRepeat(std::uint8_t(steps), repeat)),
                  std::tuple(hysteresis, preload, periodic, afterRepeat))
            << steps << ", " << repeat;
    }
}

TEST(ChannelEditRules, AxesOfOtherJoystickChannelsAreNotOffered)
{
    std::array<ChannelSettings, kChannelCount> channels{};
    const std::pair<std::uint8_t, std::uint8_t> driven[] = {
        {kModeJoystick, 0x30}, {kModeBoth, 0x31},     {kModeKeyboard, 0x32},
        {kModeNone, 0x33},     {kModeJoystick, 0x46}, {kModeJoystick, 0x35}};
    for (int c = 0; c < kChannelCount; ++c)
        std::tie(channels[c].mode, channels[c].axis) = driven[c];
    QStringList offered;
    for (const JoystickAxis &axis : offeredAxes(channels, 5))
        offered << QString::fromLatin1(axis.name);
    EXPECT_EQ(offered.join(' '), "Z Rx Ry Rz Slider Dial Wheel Vx Vy Vz Vbrx Vbry Vbrz");
}

TEST(ChannelEditRules, AKeyIsStoredWithItsModifiersAndNoKeyWithNone)
{
    ChannelSettings settings;
    std::uint8_t operators = kOperatorShift;
    storeKey(settings, 31, 0x4C, operators);
    EXPECT_EQ((std::pair<int, int>(settings.keys[31], settings.keyOperators[31])),
              (std::pair<int, int>(0x4C, kOperatorShift)));
    storeKey(settings, 31, 0, operators); // the picker's modifier boxes are cleared too
    EXPECT_EQ(settings.keyOperators[31] | settings.keys[31] | operators, 0);
    const ChannelSettings before = settings;
    for (const int outside : {-1, kMaxSections})
        storeKey(settings, outside, 0x04, operators = kOperatorCtrl);
    EXPECT_EQ(settings, before);
}

TEST(ConfigModel, OnlyRealChangesMarkTheConfigurationAndOnlyDifferencesAreAnnounced)
{
    ConfigModel model;
    model.resetSettings();
    QSignalSpy announced(&model, &ConfigModel::configurationChanged);
    ChannelSettings settings = model.channel(2);
    settings.keys[20] = 0x04; // beyond the eight sections in use: kept, yet not a change
    for (const std::uint8_t ignored : {0, 31}) { // the delay it has, and one too long
        model.storeChannel(2, settings);
        model.setPowerOnDelay(ignored);
    }
    EXPECT_EQ(model.channel(2), settings);
    EXPECT_EQ(announced.count(), 1);
    EXPECT_FALSE(model.configChanged());

    settings.hysteresis = 2;
    model.storeChannel(2, settings);
    EXPECT_TRUE(model.configChanged());
    EXPECT_EQ(model.hysteresisThreshold(2), 16);
    model.markUnchanged();
    model.setPowerOnDelay(30);
    EXPECT_EQ(model.powerOnDelay(), 30);
    EXPECT_TRUE(model.configChanged());
    EXPECT_EQ(announced.count(), 3);
    EXPECT_EQ(announced.last().at(0).value<Configuration>(), model.configuration());
}

TEST(ConfigModel, ResetAndThresholdsTouchOnlyWhatTheyOwn)
{
    ConfigModel model;
    testing::makeUnsavedChange(model);
    model.setConfigFileName(QStringLiteral("/tmp/a.orv"));
    model.resetSettings(); // the defaults, whose bytes are checked below; flag and name stay
    EXPECT_EQ(model.configuration(), defaultConfiguration());
    EXPECT_EQ(testing::thresholds(model), kMediumEverywhere);
    EXPECT_TRUE(model.configChanged() && model.configFileName() == "/tmp/a.orv");

    const std::pair<int, int> shown[] = {{0, 8}, {2, 16}, {3, 16}, {1, 12}, {0, 8}}; // 3: none
    for (const auto &[setting, threshold] : shown) {
        model.setHysteresisThreshold(std::uint8_t(setting), 1);
        EXPECT_EQ(model.hysteresisThreshold(1), threshold) << setting;
    }
    model.restoreHysteresisThreshold(1);
    model.markUnchanged();
    // No such channel: nothing in the model may change, however it is asked.
    for (const int channel : {-1, kChannelCount}) {
        model.setHysteresisThreshold(0, channel);
        model.restoreHysteresisThreshold(channel);
        model.storeChannel(channel, {.steps = 1, .keys = {0x29}});
    }
    EXPECT_EQ(model.configuration(), defaultConfiguration());
    EXPECT_EQ(testing::thresholds(model), kMediumEverywhere);
    // EXPECT_EQ rather than EXPECT_FALSE: a threshold written past the last channel would land
    // in this flag's byte, which only a comparison of the stored values shows.
    EXPECT_EQ(model.configChanged(), false);
}

TEST(ConfigImage, DefaultsByteForByte)
{
    ConfigImage expected{};
    for (int c = 0; c < kChannelCount; ++c) // 8 steps, preload, Medium, axis X .. Rz
        std::ranges::copy(Bytes{3, 4, 0, 1, 0, std::uint8_t(0x30 + c)}, &expected[80 * c + 64]);
    EXPECT_EQ(encodeImage(defaultConfiguration()), expected);
}

TEST(ConfigImage, EveryValueSurvivesARoundTripAndNothingElseIsRead)
{
    Configuration c = defaultConfiguration();
    ChannelSettings &both = c.channels[0] = {5, 2, {}, {}, 1, 25, 0, kModeBoth, 0x36};
    for (int s = 0; s < kMaxSections; ++s)
        std::tie(both.keys[s], both.keyOperators[s]) = std::pair(0x04 + s, s % 8);
    both.keys[31] = both.keyOperators[31] = 0xFF; // keys and modifiers are not validated
    c.channels[3] = {kDirectionalSteps, 0, {0x51, 0x52}, {kOperatorShift, 5}, 0, 0, 1};
    c.powerOnDelay = 30;

    ConfigImage image = encodeImage(c);
    // Each pair is the modifiers, then the key; the header has periodic before hysteresis.
    EXPECT_EQ(bytes(image, 60, 10), (Bytes{6, 0x22, 0xFF, 0xFF, 5, 2, 25, 2, 3, 0x36}));
    EXPECT_EQ(bytes(image, 240, 6), (Bytes{2, 0x51, 5, 0x52, 0, 0}));
    EXPECT_EQ(bytes(image, 304, 2), (Bytes{6, 5})); // Directional, preload
    EXPECT_EQ(image[508], 30);
    // Reserved bytes, the device's "R4" signature, stray flag bits and unused pairs are ignored.
    for (const int address : {75, 159, 480, 509, 510, 511, 100})
        image[address] = 0xAA;
    image[305] |= 0xF8;
    image[145] |= image::kFlagDirectional;
    EXPECT_EQ(decodeConfiguration(image), c);
}

TEST(ConfigImage, ChannelsWithoutKeyboardKeepTheirPairsButDecodeToTheDefaults)
{
    Configuration c = defaultConfiguration();
    c.channels[1] = {2, 2, {0x29}, {1}, 1, 9, 0, kModeJoystick, 0x44};
    ConfigImage image = encodeImage(c);
    EXPECT_EQ(bytes(image, 80, 2), (Bytes{1, 0x29}));
    EXPECT_EQ(bytes(image, 144, 6), (Bytes{0, 0, 0, 0, kModeJoystick, 0x44}));
    ChannelSettings expected{.steps = 3, .hysteresis = 1, .preload = 1, .mode = 1, .axis = 0x44};
    EXPECT_EQ(decodeConfiguration(image)->channels[1], expected); // no steps, so no keys read

    // Keyboard output without steps cannot work: it is turned off, the joystick kept.
    image[148] = kModeBoth; // the second channel's mode
    image[64] = 0;          // the first channel's steps
    EXPECT_EQ(decodeConfiguration(image)->channels[1], expected);
    EXPECT_EQ(decodeConfiguration(image)->channels[0].mode, kModeNone);

    // The thresholds follow the hysteresis bytes as stored, not the defaults the records get.
    image[227] = 2; // the third channel: High, and neither output
    image[228] = kModeNone;
    ConfigModel model;
    ASSERT_TRUE(decodeImage(model, image));
    EXPECT_EQ(testing::thresholds(model), (std::array<std::uint8_t, 6>{12, 8, 16, 12, 12, 12}));
}

TEST(ConfigImage, OneValueOutOfRangeRejectsTheImageAndLeavesTheModelAsItWas)
{
    ConfigModel model;                            // all zeros, its thresholds too
    Configuration other = defaultConfiguration(); // valid, and different in every channel
    for (ChannelSettings &channel : other.channels)
        channel.hysteresis = 2;
    // The highest steps, periodic, hysteresis and mode of the last channel, and delay; what a
    // refusal names.
    const std::tuple<int, int, const char *> limits[] = {{464, 6, "number of steps"},
                                                         {466, 100, "periodic keystrokes"},
                                                         {467, 2, "hysteresis"},
                                                         {468, 3, "outputs"},
                                                         {508, 30, "power-on delay"}};
    for (const auto &[address, highest, value] : limits) {
        ConfigImage image = encodeImage(other);
        image[address] = std::uint8_t(highest + 1);
        const std::optional<ImageFault> fault = findImageFault(image);
        ASSERT_TRUE(fault);
        EXPECT_EQ(*fault, (ImageFault{address, address < 480 ? 5 : -1, fault->value,
                                      std::uint8_t(highest + 1), std::uint8_t(highest)}));
        EXPECT_STREQ(fault->value, value);
        image[2] = 0xFF; // a key: any byte
        image[66] = 101; // the first of two faults, by its place in the image
        EXPECT_EQ(findImageFault(image)->offset, 66);
        image[66] = 0;
        QSignalSpy announced(&model, &ConfigModel::configurationChanged);
        EXPECT_FALSE(decodeImage(model, image)) << address;
        EXPECT_EQ(model.configuration(), Configuration{});
        EXPECT_EQ(testing::thresholds(model), (std::array<std::uint8_t, kChannelCount>{}));
        EXPECT_EQ(announced.count(), 0);
        image[address] = std::uint8_t(highest);
        EXPECT_TRUE(decodeConfiguration(image)) << address;
    }
    EXPECT_TRUE(decodeImage(model, encodeImage(other)));
    EXPECT_EQ(model.configuration(), other);
    EXPECT_EQ(testing::thresholds(model)[5], 16);
}

} // namespace
} // namespace orvex
