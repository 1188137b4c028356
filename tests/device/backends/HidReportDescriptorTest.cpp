#include "core/backends/hidapi/HidReportDescriptor.h"

#include "ScriptedHidPlatform.h"

#include <gtest/gtest.h>

namespace orvex::testing {
namespace {

using Lengths = HidReportLayout::Lengths;

struct DescriptorCase
{
    const char *name;
    Report descriptor;
    std::uint16_t usagePage;
    std::map<std::uint8_t, Lengths> reports;
};

void PrintTo(const DescriptorCase &descriptor, std::ostream *os)
{
    *os << descriptor.name;
}

class ReportDescriptorTest : public ::testing::TestWithParam<DescriptorCase>
{
};

TEST_P(ReportDescriptorTest, GivesTheUsagePageAndEveryReportsLengths)
{
    const HidReportLayout layout = parseReportDescriptor(GetParam().descriptor);
    EXPECT_EQ(layout.usagePage, GetParam().usagePage);
    EXPECT_EQ(layout.reports, GetParam().reports);
}

// Report Size 8 and Report Count n as items.
Report size8(std::uint8_t count)
{
    return {0x75, 0x08, 0x95, count};
}

Report join(std::initializer_list<Report> parts)
{
    Report all;
    for (const Report &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

const Report kInput = {0x81, 0x02};
const Report kOutput = {0x91, 0x02};
const Report kFeature = {0xB1, 0x02};

INSTANTIATE_TEST_SUITE_P(
    Descriptors, ReportDescriptorTest,
    ::testing::Values(
        DescriptorCase{"Keyboard", descriptors::kKeyboard, 0x0001, {{0, {8, 1, 0}}}},
        DescriptorCase{"Joystick", descriptors::kJoystick, 0x0001, {{0, {3, 0, 0}}}},
        DescriptorCase{"Vendor", descriptors::kVendor, 0xFF00, {{1, {6, 6, 0}}}},
        // Numbered reports each get their ID byte, and only in the directions they declare.
        DescriptorCase{"SeveralReportIds",
                       join({{0x05, 0x0C, 0xA1, 0x01, 0x85, 0x02},
                             size8(2),
                             kInput,
                             {0x85, 0x05},
                             size8(63),
                             kOutput,
                             kFeature,
                             {0xC0}}),
                       0x000C,
                       {{2, {3, 0, 0}}, {5, {0, 64, 64}}}},
        // Push keeps the state to come back to; a pop without a push changes nothing.
        DescriptorCase{"PushAndPop",
                       join({{0xA1, 0x01, 0x85, 0x01},
                             size8(4),
                             {0xA4},
                             {0x75, 0x01},
                             kInput,
                             {0xB4},
                             kOutput,
                             {0xB4},
                             kFeature,
                             {0xC0}}),
                       0,
                       {{1, {2, 5, 5}}}},
        // The usage page is that of the first top-level collection, not of nested ones.
        DescriptorCase{"NestedCollections",
                       join({{0x06, 0x00, 0xFF, 0xA1, 0x01, 0x05, 0x01, 0xA1, 0x00},
                             size8(1),
                             kInput,
                             {0xC0, 0xC0, 0x05, 0x09, 0xA1, 0x01, 0xC0}}),
                       0xFF00,
                       {{0, {1, 0, 0}}}},
        // Long items are stepped over whole, whatever their data looks like.
        DescriptorCase{"LongItem",
                       join({{0xFE, 0x03, 0x10, 0x85, 0x07, 0x81}, size8(2), kInput}),
                       0,
                       {{0, {2, 0, 0}}}},
        // A four-byte usage page carries the usage in its upper half.
        DescriptorCase{
            "ExtendedUsagePage", {0x07, 0x00, 0xFF, 0x01, 0x00, 0xA1, 0x01, 0xC0}, 0xFF00, {}},
        // Absurd sizes are held to what hidraw can carry.
        DescriptorCase{
            "HugeReport",
            join({{0x85, 0x01, 0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF},
                  kInput,
                  kInput}),
            0,
            {{1, {kMaxHidReportBytes + 1, 0, 0}}}},
        // A truncated item ends the parse with what came before it.
        DescriptorCase{
            "TruncatedItem", join({size8(4), kInput, {0x26, 0xFF}}), 0, {{0, {4, 0, 0}}}},
        DescriptorCase{"TruncatedLongItem",
                       join({size8(2), kInput, {0xFE, 0x09, 0x00, 0x01}}),
                       0,
                       {{0, {2, 0, 0}}}},
        DescriptorCase{"Empty", {}, 0, {}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace orvex::testing
