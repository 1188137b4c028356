#include "core/config/ConfigImage.h"

#include "core/config/ConfigModel.h"

namespace orvex {

using namespace image;

void encodeImage(const Configuration &configuration, ConfigImage &image)
{
    image.fill(0);
    for (int c = 0; c < kChannelCount; ++c) {
        const ChannelSettings &r = configuration.channels[c];
        std::uint8_t *block = image.data() + blockStart(c);

        const int used = sectionsForSteps(r.steps);
        for (int s = 0; s < used; ++s) {
            block[2 * s] = r.keyOperators[s];
            block[2 * s + 1] = r.keys[s];
        }
        block[kStepsOffset] = r.steps;
        block[kFlagsOffset] = static_cast<std::uint8_t>(
            (r.steps == kDirectionalSteps ? kFlagDirectional : 0) | (r.repeat ? kFlagRepeat : 0) |
            (r.preload ? kFlagPreload : 0));
        block[kPeriodicOffset] = r.periodic;
        block[kHysteresisOffset] = r.hysteresis;
        block[kModeOffset] = r.mode;
        block[kAxisOffset] = r.axis;

        // A channel without keyboard output carries no keyboard header; its key pairs stay.
        if (!isKeyboardEnabled(r.mode)) {
            block[kStepsOffset] = 0;
            block[kFlagsOffset] = 0;
            block[kPeriodicOffset] = 0;
            block[kHysteresisOffset] = 0;
        }
    }
    image[kPowerOnDelayAddress] = configuration.powerOnDelay;
}

ConfigImage encodeImage(const Configuration &configuration)
{
    ConfigImage image;
    encodeImage(configuration, image);
    return image;
}

ConfigImage encodeImage(const ConfigModel &model)
{
    return encodeImage(model.configuration());
}

namespace {

// The values a decoder checks, each with the largest it accepts, in the order of the bytes.
struct ValueLimit
{
    int offset;
    std::uint8_t largest;
    const char *value;
};

constexpr ValueLimit kChannelLimits[] = {
    {kStepsOffset, kDirectionalSteps, "number of steps"},
    {kPeriodicOffset, kMaxPeriodic, "periodic keystrokes"},
    {kHysteresisOffset, kMaxHysteresis, "hysteresis"},
    {kModeOffset, kModeBoth, "outputs"},
};

// Reads one valid channel block into `r`, which holds the defaults.
void decodeChannel(ChannelSettings &r, const std::uint8_t *block)
{
    r.steps = block[kStepsOffset];
    const int used = sectionsForSteps(r.steps);
    for (int s = 0; s < used; ++s) {
        r.keyOperators[s] = block[2 * s];
        r.keys[s] = block[2 * s + 1];
    }

    // Directional is known from the steps code; the flag bit is not consulted.
    r.repeat = (block[kFlagsOffset] & kFlagRepeat) ? 1 : 0;
    r.preload = (block[kFlagsOffset] & kFlagPreload) ? 1 : 0;
    r.periodic = block[kPeriodicOffset];
    r.hysteresis = block[kHysteresisOffset];
    r.mode = block[kModeOffset];

    // Keyboard output without steps cannot work: turn the keyboard off, keep the joystick.
    if (isKeyboardEnabled(r.mode) && r.steps == 0)
        r.mode = isJoystickEnabled(r.mode) ? kModeJoystick : kModeNone;

    r.axis = block[kAxisOffset];

    // A channel without keyboard output gets the keyboard defaults; its keys stay as read.
    if (!isKeyboardEnabled(r.mode)) {
        r.steps = 3;
        r.hysteresis = 1;
        r.repeat = 0;
        r.periodic = 0;
        r.preload = 1;
    }
}

} // namespace

std::optional<ImageFault> findImageFault(const ConfigImage &image)
{
    for (int c = 0; c < kChannelCount; ++c) {
        for (const ValueLimit &limit : kChannelLimits) {
            const int offset = blockStart(c) + limit.offset;
            if (image[offset] > limit.largest)
                return ImageFault{offset, c, limit.value, image[offset], limit.largest};
        }
    }
    if (image[kPowerOnDelayAddress] > kMaxPowerOnDelay) {
        return ImageFault{kPowerOnDelayAddress, -1, "power-on delay", image[kPowerOnDelayAddress],
                          kMaxPowerOnDelay};
    }
    return std::nullopt;
}

std::optional<Configuration> decodeConfiguration(const ConfigImage &image)
{
    if (findImageFault(image))
        return std::nullopt;
    // Sections that the image does not fill come back as "Not Used" with no modifiers.
    Configuration configuration = defaultConfiguration();
    for (int c = 0; c < kChannelCount; ++c)
        decodeChannel(configuration.channels[c], image.data() + blockStart(c));
    configuration.powerOnDelay = image[kPowerOnDelayAddress];
    return configuration;
}

bool decodeImage(ConfigModel &model, const ConfigImage &image)
{
    const std::optional<Configuration> configuration = decodeConfiguration(image);
    if (!configuration)
        return false;
    // Each threshold follows the hysteresis byte as stored, before a channel without keyboard
    // output was given the default setting in its record: such a channel, stored with 0, moves
    // at 8, not at Medium's 12.
    std::array<std::uint8_t, kChannelCount> storedHysteresis{};
    for (int c = 0; c < kChannelCount; ++c)
        storedHysteresis[c] = image[blockStart(c) + kHysteresisOffset];
    model.replaceConfiguration(*configuration, storedHysteresis);
    return true;
}

} // namespace orvex
