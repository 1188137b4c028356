// Any 512 bytes through the image decoder: an accepted image yields a model within the device's
// ranges that survives encoding and decoding again; a rejected one leaves no trace.

#include "FuzzSupport.h"
#include "core/config/ConfigImage.h"

#include <algorithm>

using namespace orvex;
using namespace orvex::fuzz;

namespace {

// The decoder's acceptance rule, stated on the raw bytes.
bool imageIsValid(const ConfigImage &image)
{
    for (int c = 0; c < kChannelCount; ++c) {
        const int b = image::blockStart(c);
        if (image[b + image::kStepsOffset] > 6 || image[b + image::kPeriodicOffset] > 100 ||
            image[b + image::kHysteresisOffset] > 2 || image[b + image::kModeOffset] > 3)
            return false;
    }
    return image[image::kPowerOnDelayAddress] <= kMaxPowerOnDelay;
}

// The threshold of each channel after a decode: that of the hysteresis byte as stored.
bool thresholdsFollowTheStoredBytes(const ConfigModel &model, const ConfigImage &image)
{
    static constexpr std::uint8_t kThresholds[] = {8, 12, 16};
    for (int c = 0; c < kChannelCount; ++c) {
        const std::uint8_t stored = image[image::blockStart(c) + image::kHysteresisOffset];
        if (model.hysteresisThreshold(c) != kThresholds[stored])
            return false;
    }
    return true;
}

// What a second decode of the encoded model must give: the same model, except that a channel
// without keyboard output is encoded with no steps and no hysteresis, so its keys come back
// unused and its threshold is Low's.
void expectStableRoundTrip(const ConfigModel &decoded)
{
    ConfigModel again;
    loadDistinctiveModel(again);
    require(decodeImage(again, encodeImage(decoded)), "the encoded model is accepted");
    for (int c = 0; c < kChannelCount; ++c) {
        ChannelSettings expected = decoded.channel(c);
        if (!isKeyboardEnabled(expected.mode)) {
            expected.keys.fill(0);
            expected.keyOperators.fill(0);
        }
        require(again.channel(c) == expected, "encode then decode keeps every channel");
        require(again.hysteresisThreshold(c) ==
                    (isKeyboardEnabled(expected.mode) ? decoded.hysteresisThreshold(c) : 8),
                "encode then decode keeps the thresholds of the keyboard channels");
    }
    require(again.powerOnDelay() == decoded.powerOnDelay(), "encode then decode keeps the delay");

    ConfigModel third;
    require(decodeImage(third, encodeImage(again)) && third.channels() == again.channels(),
            "a decoded model is a fixed point of encode and decode");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ConfigImage image{};
    std::copy_n(data, std::min(size, image.size()), image.begin());

    ConfigModel model;
    loadDistinctiveModel(model);
    testing::makeUnsavedChange(model);
    const ModelSnapshot before(model);

    const bool accepted = decodeImage(model, image);
    require(accepted == imageIsValid(image), "the decoder accepts exactly the valid images");
    require(model.configChanged(), "decoding never touches configChanged");
    if (!accepted) {
        require(before.matches(model), "a rejected image leaves the model as it was");
        return 0;
    }
    require(isWithinRanges(model), "an accepted image gives values within the ranges");
    require(thresholdsFollowTheStoredBytes(model, image), "the thresholds follow the image");
    require(model.powerOnDelay() == image[image::kPowerOnDelayAddress], "the delay is byte 508");
    for (int c = 0; c < kChannelCount; ++c) {
        const ChannelSettings &channel = model.channel(c);
        require(channel.axis == image[image::blockStart(c) + image::kAxisOffset],
                "the axis is taken as it is");
        for (int s = sectionsForSteps(channel.steps); s < kMaxSections; ++s) {
            require(channel.keys[static_cast<std::size_t>(s)] == 0 ||
                        !isKeyboardEnabled(channel.mode),
                    "sections beyond the steps hold no key");
        }
    }
    expectStableRoundTrip(model);
    return 0;
}
