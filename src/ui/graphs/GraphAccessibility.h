#pragma once

#include <QString>
#include <cstdint>

namespace orvex {

// How screen readers see the graphs.  A picture says nothing to them, so each graph gets an
// interface that reads what it shows: an overview graph is a level (its channel as the name,
// the live input 0 to 255 as the value, the movement as the description); the step graph is a
// list of its sections, each named with its key, whose description says where the input is.
// Values are read when asked for: the graphs change 100 times a second, far too often to be
// announced.

// Registers the interfaces with Qt, once.  Every graph view calls it as it is made: an
// interface Qt has made for a widget is kept for the widget's whole life.
void installGraphAccessibility();

// "Rising", "Falling" or "Not moving" for a direction the device reports.
QString movementText(std::uint8_t direction);

// A key with its modifiers as a screen reader should say it: "Ctrl+Shift+Page Up".
QString spokenKeyText(std::uint8_t key, std::uint8_t keyOperators);

} // namespace orvex
