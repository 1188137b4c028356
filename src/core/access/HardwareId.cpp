#include "core/access/HardwareId.h"

#include "core/access/DeviceAccess.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace orvex {

namespace {

std::string lowerCase(std::string_view text)
{
    std::string lower(text);
    std::ranges::transform(lower, lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Exactly four hex digits at `pos`, not followed by a fifth one.
std::optional<std::uint16_t> fourHexDigits(std::string_view lower, std::size_t pos)
{
    if (pos + 4 > lower.size())
        return std::nullopt;
    unsigned value = 0;
    for (std::size_t i = pos; i < pos + 4; ++i) {
        const int digit = hexDigitValue(lower[i]);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    if (pos + 4 < lower.size() && hexDigitValue(lower[pos + 4]) >= 0)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

} // namespace

std::optional<UsbId> parseHardwareId(std::string_view text)
{
    const std::string lower = lowerCase(text);
    constexpr std::string_view vidTag = "vid_";
    constexpr std::string_view pidTag = "&pid_";

    const std::size_t vidPos = lower.find(vidTag);
    if (vidPos == std::string::npos)
        return std::nullopt;
    const std::size_t vidDigits = vidPos + vidTag.size();
    const std::optional<std::uint16_t> vendor = fourHexDigits(lower, vidDigits);
    if (!vendor || lower.compare(vidDigits + 4, pidTag.size(), pidTag) != 0)
        return std::nullopt;
    const std::optional<std::uint16_t> product =
        fourHexDigits(lower, vidDigits + 4 + pidTag.size());
    if (!product)
        return std::nullopt;
    return UsbId{*vendor, *product};
}

int deviceNumberForProduct(std::uint16_t productId)
{
    const auto found = std::ranges::find(kProductIds, productId);
    return found == kProductIds.end() ? -1 : static_cast<int>(found - kProductIds.begin());
}

} // namespace orvex
