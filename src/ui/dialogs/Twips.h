#pragma once

#include <QRect>

namespace orvex {

// The editing windows keep their design positions in twips, 15 to a pixel at 96 dots per inch.
constexpr int kTwipsPerPixel = 15;

constexpr int pixelsFromTwips(int twips)
{
    return twips / kTwipsPerPixel;
}

constexpr QRect rectFromTwips(int left, int top, int width, int height)
{
    return {pixelsFromTwips(left), pixelsFromTwips(top), pixelsFromTwips(width),
            pixelsFromTwips(height)};
}

} // namespace orvex
