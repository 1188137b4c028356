#pragma once

#include <QLineF>
#include <QPoint>
#include <array>
#include <cstdint>
#include <vector>

namespace orvex::graph {

// Whole number nearest to x; exact halves go to the even neighbour (33.5 -> 34, 270.5 -> 270).
int nearest(double x);

// Top edge of the value bar of `value` on a graph `height` pixels high (fraction kept): value 0
// is the bottom edge, 255 the top.
double valueTop(std::uint8_t value, int height);

// a: height of an arrow head and half its width; b: y of the inner end of the upper shaft.
struct ArrowGeometry
{
    int a = 0;
    int b = 0;
};
ArrowGeometry arrowGeometry(int width, int height, std::uint8_t hysteresis);

// True when the arrows of `g` are large enough to enclose their fill seeds; smaller graphs show
// no arrows, because a fill started outside an outline would flood the whole picture.
bool arrowsFit(const ArrowGeometry &g);

// The seven outline lines of the upper arrow, in drawing order and direction; the lower arrow's
// are the same mirrored about the horizontal middle (y -> height - y).
std::array<QLineF, 7> upperArrowLines(const ArrowGeometry &g);
std::array<QLineF, 7> lowerArrowLines(const ArrowGeometry &g, int height);
QPoint upperArrowSeed(const ArrowGeometry &g);
QPoint lowerArrowSeed(const ArrowGeometry &g, int height);

// Pixel rows of the boundary lines between `sections` equal bands, each boundary drawn one, two
// or three rows thick for hysteresis 0, 1, 2, in drawing order.
std::vector<int> boundaryRows(int sections, int height, std::uint8_t hysteresis);

// Row of the boundary line i (1 .. sections - 1) before the hysteresis thickens it: Low adds
// nothing, Medium one row below, High one above and one below.
int boundaryRow(int i, int sections, int height);

// Centre of the label of section k among `sections` bands.
QPoint sectionLabelPoint(int k, int sections, int width, int height);

// Label centres of the Directional layout: section 1 (rising) in the upper arrow head, section 0
// (falling) in the lower one.
QPoint directionalLabelPoint(int section, const ArrowGeometry &g, int width, int height);

// Section under a point y pixels from the top; the top row belongs to the top section, and with
// no sections every point gives 0.
int sectionAt(double y, int sections, int height);

} // namespace orvex::graph
