#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace orvex {

class ConfigModel;
struct Configuration;

// The 512-byte form of the configuration: the device's configuration memory and the whole
// content of a configuration file.
constexpr int kImageSize = 512;
using ConfigImage = std::array<std::uint8_t, kImageSize>;

namespace image {
constexpr int kChannelBlockSize = 80;
constexpr int kHeaderOffset = 64; // steps, flags, periodic, hysteresis, mode, axis
constexpr int kHeaderSize = 6;
constexpr int kStepsOffset = 64;
constexpr int kFlagsOffset = 65;
constexpr int kPeriodicOffset = 66;
constexpr int kHysteresisOffset = 67;
constexpr int kModeOffset = 68;
constexpr int kAxisOffset = 69;
constexpr int kPowerOnDelayAddress = 508;
constexpr int kSignatureAddress = 510; // "R4" in the device only, never in the image
constexpr std::uint8_t kSignature[2] = {'R', '4'};

constexpr std::uint8_t kFlagDirectional = 1;
constexpr std::uint8_t kFlagRepeat = 2;
constexpr std::uint8_t kFlagPreload = 4;

constexpr int blockStart(int channel)
{
    return kChannelBlockSize * channel;
}
} // namespace image

// Builds the image of a configuration (all bytes not written are 0).
void encodeImage(const Configuration &configuration, ConfigImage &image);
ConfigImage encodeImage(const Configuration &configuration);
ConfigImage encodeImage(const ConfigModel &model);

// A value of an image that the decoder refuses: where it is, what it holds and the most it may.
struct ImageFault
{
    int offset;        // 0..511
    int channel;       // 0..5, or -1 for the power-on delay
    const char *value; // "number of steps", "periodic keystrokes", ...
    std::uint8_t found;
    std::uint8_t largest;

    bool operator==(const ImageFault &) const = default;
};

// The first value, in the order of the bytes, that makes the image invalid; nothing for a
// valid image.
std::optional<ImageFault> findImageFault(const ConfigImage &image);

// The configuration an image holds, or nothing when any value is out of range.
std::optional<Configuration> decodeConfiguration(const ConfigImage &image);

// Validates the image and, when it is valid, loads it into the model and returns true; the
// thresholds follow the hysteresis bytes as stored.  A rejected image leaves the model exactly
// as it was.  The changed flag is never touched.
bool decodeImage(ConfigModel &model, const ConfigImage &image);

} // namespace orvex
