#pragma once

#include <cstdint>
#include <map>
#include <span>

namespace orvex {

// What a HID report descriptor says about the reports of one interface: the usage page of its
// first top-level collection and the length of every report it declares.  This is all the
// hidapi backend needs to tell the ORVEX's own interface from its keyboard and joystick ones.
struct HidReportLayout
{
    // Lengths in bytes as hidraw hands the reports over: the report ID byte is included when
    // the descriptor numbers its reports.
    struct Lengths
    {
        int input = 0;
        int output = 0;
        int feature = 0;

        bool operator==(const Lengths &) const = default;
    };

    std::uint16_t usagePage = 0; // of the first top-level collection; 0 when there is none
    std::map<std::uint8_t, Lengths> reports; // by report ID; ID 0 when reports are not numbered

    // The lengths of one report ID (all 0 when the descriptor does not declare it).
    Lengths lengthsOf(std::uint8_t reportId) const;

    bool isVendorDefined() const { return usagePage >= 0xFF00; }
};

// The longest report hidraw can carry; longer declared reports count as this long, so that no
// length the parser gives exceeds it (plus the report ID byte).
constexpr int kMaxHidReportBytes = 16384;

// Parses the short items that decide report lengths (Usage Page, Report ID, Report Size, Report
// Count, Input, Output, Feature, Collection, End Collection, Push, Pop) and skips every other
// item, long items included.  Never reads past the descriptor: a truncated item ends the parse
// with what was declared before it.
HidReportLayout parseReportDescriptor(std::span<const std::uint8_t> descriptor);

} // namespace orvex
