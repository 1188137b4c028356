// The key names and the key picker's buttons, each checked against the design's own table.
// (The modifiers before a key's name are checked on the step graph's pictures, but for the bits
// that name no modifier.)

#include "Printers.h"
#include "core/keys/KeyNames.h"

#include <QMap>
#include <QStringList>
#include <gtest/gtest.h>
#include <optional>
#include <tuple>
#include <vector>

namespace orvex {
namespace {

// Every named code as the design lists it; all other codes are "Not Used".
QMap<int, QString> designKeyNames()
{
    QMap<int, QString> names;
    const auto from = [&names](int code, const QStringList &run) {
        for (const QString &name : run)
            names[code++] = name;
    };
    for (int i = 0; i < 26; ++i)
        names[0x04 + i] = QChar('A' + i);
    from(0x1E, {"1 !",   "2 @", "3 #",       "4 $", "5 %",   "6 ^", "7 &", "8 *", "9 (", "0 )",
                "Enter", "Esc", "Backspace", "Tab", "Space", "- _", "= +", "[ {", "] }", "\\ |"});
    from(0x33, {"; :", "' \"", "` ~", ", <", ". >", "/ ?", "Caps"});
    for (int i = 1; i <= 12; ++i)
        names[0x39 + i] = QStringLiteral("F%1").arg(i);
    from(0x46, {"Print Screen", "Scrl Lock", "Pause", "Insert", "Home", "Page Up", "Delete", "End",
                "Page Down", "Right Arrow", "Left Arrow", "Down Arrow", "Up Arrow", "Num Lock",
                "/ (Num)", "* (Num)", "- (Num)", "+ (Num)", "Enter (Num)"});
    for (int i = 1; i <= 9; ++i)
        names[0x58 + i] = QStringLiteral("%1 (Num)").arg(i);
    from(0x62, {"0 (Num)", ". (Num)"});
    names[0x65] = QStringLiteral("Win Apl");
    from(0xE0, {"Left Ctrl", "Left Shift", "Left Alt", "Left Win", "Right Ctrl", "Right Shift",
                "Right Alt", "Right Win"});
    return names;
}

TEST(KeyNames, EveryCodeAndModifierBitHasItsDesignName)
{
    const QMap<int, QString> names = designKeyNames();
    for (int code = 0; code <= 0xFF; ++code)
        EXPECT_EQ(getKeyName(std::uint8_t(code)), names.value(code, QStringLiteral("Not Used")))
            << "code " << code;
    // A file may set any modifier bit; only Ctrl, Shift and Alt are shown.
    EXPECT_EQ(getOperatorText(0x08), "");
    EXPECT_EQ(keyLabel(0x04, 0xFF), "[ctrl] [shift] [alt] A");
}

// One row of the picker: buttons 600 twips apart from `left`, each 615 x 615 unless given.
struct PickerRun
{
    int top;
    int left;
    std::vector<std::pair<const char *, int>> keys; // caption, code
    int width = 615;
    int height = 615;
};

// clang-format off
const PickerRun kDesignPicker[] = {
    {0, 0, {{"Esc", 0x29}}},
    {0, 1200, {{"F1", 0x3A}, {"F2", 0x3B}, {"F3", 0x3C}, {"F4", 0x3D}}},
    {0, 3840, {{"F5", 0x3E}, {"F6", 0x3F}, {"F7", 0x40}, {"F8", 0x41}}},
    {0, 6480, {{"F9", 0x42}, {"F10", 0x43}, {"F11", 0x44}, {"F12", 0x45}}},
    {0, 9120, {{"PrtSc", 0x46}, {"ScrLk", 0x47}, {"Pause", 0x48}}},
    {0, 11160, {{"Not Used", 0x00}}, 2415},
    {720, 0, {{"` ~", 0x35}, {"1 !", 0x1E}, {"2 @", 0x1F}, {"3 #", 0x20}, {"4 $", 0x21},
              {"5 %", 0x22}, {"6 ^", 0x23}, {"7 &", 0x24}, {"8 *", 0x25}, {"9 (", 0x26},
              {"0 )", 0x27}, {"- _", 0x2D}, {"= +", 0x2E}}},
    {720, 7800, {{"Backspace", 0x2A}}, 1095},
    {720, 9120, {{"Ins", 0x49}, {"Home", 0x4A}, {"PgUp", 0x4B}}},
    {720, 11160, {{"Num", 0x53}, {"/", 0x54}, {"*", 0x55}, {"-", 0x56}}},
    {1320, 0, {{"Tab", 0x2B}}, 855},
    {1320, 840, {{"Q", 0x14}, {"W", 0x1A}, {"E", 0x08}, {"R", 0x15}, {"T", 0x17}, {"Y", 0x1C},
                 {"U", 0x18}, {"I", 0x0C}, {"O", 0x12}, {"P", 0x13}, {"[ {", 0x2F}, {"] }", 0x30}}},
    {1320, 8040, {{"\\ |", 0x31}}, 855},
    {1320, 9120, {{"Del", 0x4C}, {"End", 0x4D}, {"PgDn", 0x4E}}},
    {1320, 11160, {{"7", 0x5F}, {"8", 0x60}, {"9", 0x61}}},
    {1320, 12960, {{"+", 0x57}}, 615, 1215},
    {1920, 0, {{"CapsLk", 0x39}}, 1095},
    {1920, 1080, {{"A", 0x04}, {"S", 0x16}, {"D", 0x07}, {"F", 0x09}, {"G", 0x0A}, {"H", 0x0B},
                  {"J", 0x0D}, {"K", 0x0E}, {"L", 0x0F}, {"; :", 0x33}, {"' \"", 0x34}}},
    {1920, 7680, {{"Enter", 0x28}}, 1215},
    {1920, 11160, {{"4", 0x5C}, {"5", 0x5D}, {"6", 0x5E}}},
    {2520, 0, {{"Shift", 0xE1}}, 1335},
    {2520, 1320, {{"Z", 0x1D}, {"X", 0x1B}, {"C", 0x06}, {"V", 0x19}, {"B", 0x05}, {"N", 0x11},
                  {"M", 0x10}, {", <", 0x36}, {". >", 0x37}, {"/ ?", 0x38}}},
    {2520, 7320, {{"Shift", 0xE5}}, 1575},
    {2520, 9720, {{"Up", 0x52}}},
    {2520, 11160, {{"1", 0x59}, {"2", 0x5A}, {"3", 0x5B}}},
    {2520, 12960, {{"Ent", 0x58}}, 615, 1215},
    {3120, 0, {{"Ctrl", 0xE0}}, 975},
    {3120, 960, {{"Win", 0xE3}}, 735},
    {3120, 1680, {{"Alt", 0xE2}}, 735},
    {3120, 2400, {{"Space", 0x2C}}, 3255},
    {3120, 5640, {{"Alt", 0xE6}}, 735},
    {3120, 6360, {{"Win", 0xE7}}, 735},
    {3120, 7080, {{"Apl", 0x65}}, 735},
    {3120, 7800, {{"Ctrl", 0xE4}}, 1095},
    {3120, 9120, {{"Left", 0x50}, {"Down", 0x51}, {"Right", 0x4F}}},
    {3120, 11160, {{"0", 0x62}}, 1215},
    {3120, 12360, {{".", 0x63}}},
};
// clang-format on

TEST(KeyTable, EveryPickerButtonHasItsDesignCodeCaptionAndPlace)
{
    using Button = std::tuple<QString, int, int, int, int>; // caption, left, top, width, height
    QMap<int, Button> expected;
    for (const PickerRun &run : kDesignPicker)
        for (int i = 0; i < int(run.keys.size()); ++i)
            expected[run.keys[i].second] = {QString::fromLatin1(run.keys[i].first),
                                            run.left + 600 * i, run.top, run.width, run.height};
    EXPECT_EQ(keyTable().size(), std::size_t(expected.size())); // 105, "Not Used" among them
    for (int code = 0; code <= 0xFF; ++code) {
        const KeyEntry *key = findKey(std::uint8_t(code));
        const auto button = [key] {
            return Button(key->caption, key->left, key->top, key->width, key->height);
        };
        EXPECT_EQ(key ? std::optional(button()) : std::nullopt,
                  expected.contains(code) ? std::optional(expected[code]) : std::nullopt)
            << code;
    }
}

} // namespace
} // namespace orvex
