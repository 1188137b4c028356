#pragma once

namespace orvex {

// Lists (non-editable combo boxes) are named by their label for screen readers.  Qt names a
// list by its current entry on Linux, so "Number of steps" and "Hysteresis" would both be heard
// as "8" or "Medium"; with this a list's name is its accessible name, else the text of the label
// whose buddy it is, and its value is the current entry.  Registers with Qt once.
void installLabelledListAccessibility();

} // namespace orvex
