#include "core/keys/KeyNames.h"

#include <QRect>
#include <gtest/gtest.h>
#include <set>

namespace orvex {
namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kKeyboardWidth = 13575;
constexpr int kKeyboardHeight = 3735;

QString name(int code)
{
    return getKeyName(static_cast<std::uint8_t>(code));
}

bool isNamedCode(int code)
{
    return (code >= 0x04 && code <= 0x65 && code != 0x32 && code != 0x64) ||
           (code >= 0xE0 && code <= 0xE7);
}

TEST(KeyNames, CodesWithoutANameAreNotUsed)
{
    for (int code : {0x00, 0x01, 0x03, 0x32, 0x64, 0x66, 0xDF, 0xE8, 0xFF})
        EXPECT_EQ(name(code), "Not Used") << "code " << code;
}

TEST(KeyNames, NamedRangesFollowTheUsageTable)
{
    for (int code = 0x04; code <= 0x1D; ++code)
        EXPECT_EQ(name(code), QString(QChar('A' + code - 0x04)));
    EXPECT_EQ(name(0x1E), "1 !");
    EXPECT_EQ(name(0x24), "7 &");
    EXPECT_EQ(name(0x27), "0 )");
    EXPECT_EQ(name(0x31), "\\ |");
    EXPECT_EQ(name(0x34), "' \"");
    EXPECT_EQ(name(0x35), "` ~");
    for (int n = 1; n <= 12; ++n)
        EXPECT_EQ(name(0x39 + n), QStringLiteral("F%1").arg(n));
    for (int n = 1; n <= 9; ++n)
        EXPECT_EQ(name(0x58 + n), QStringLiteral("%1 (Num)").arg(n));
    EXPECT_EQ(name(0x62), "0 (Num)");
    EXPECT_EQ(name(0x63), ". (Num)");
    EXPECT_EQ(name(0x65), "Win Apl");
    EXPECT_EQ(name(0xE0), "Left Ctrl");
    EXPECT_EQ(name(0xE7), "Right Win");
}

TEST(KeyNames, EveryCodeFromZeroTo255IsNamedExactlyWhenItIsInTheUsageRanges)
{
    for (int code = 1; code <= 0xFF; ++code)
        EXPECT_EQ(name(code) != "Not Used", isNamedCode(code)) << "code " << code;
}

TEST(KeyNames, OperatorTextListsCtrlShiftAltInThatOrder)
{
    EXPECT_EQ(getOperatorText(0), "");
    EXPECT_EQ(getOperatorText(7), "[ctrl] [shift] [alt] ");
    EXPECT_EQ(getOperatorText(2), "[shift] ");
    EXPECT_EQ(getOperatorText(5), "[ctrl] [alt] ");
    EXPECT_EQ(getOperatorText(8), "");
    EXPECT_EQ(getOperatorText(0xF9), "[ctrl] ");
}

TEST(KeyTable, Holds105UniqueCodesTheNamedOnesPlusNotUsed)
{
    std::set<int> codes;
    for (const KeyEntry &entry : keyTable())
        codes.insert(entry.code);
    EXPECT_EQ(keyTable().size(), 105u);
    EXPECT_EQ(codes.size(), 105u);

    std::set<int> expected{0};
    for (int code = 0; code <= 0xFF; ++code) {
        if (isNamedCode(code))
            expected.insert(code);
    }
    EXPECT_EQ(expected.size(), 105u);
    EXPECT_EQ(codes, expected);
}

TEST(KeyTable, FindKeyReturnsTheEntryOfButtonCodesOnly)
{
    for (const KeyEntry &entry : keyTable()) {
        ASSERT_EQ(findKey(entry.code), &entry);
        EXPECT_EQ(name(entry.code), QString::fromLatin1(entry.name));
    }
    EXPECT_EQ(findKey(0x32), nullptr);
    EXPECT_EQ(findKey(0xE8), nullptr);
    EXPECT_STREQ(findKey(0x24)->caption, "7 &");
    EXPECT_STREQ(findKey(0x00)->caption, "Not Used");
}

TEST(KeyTable, ButtonsFitTheKeyboardOnWholePixelsAndOverlapByOneBorderAtMost)
{
    const auto table = keyTable();
    for (const KeyEntry &key : table) {
        SCOPED_TRACE(key.caption);
        for (int twips : {key.left, key.top, key.width, key.height})
            EXPECT_EQ(twips % kTwipsPerPixel, 0);
        EXPECT_GE(key.left, 0);
        EXPECT_GE(key.top, 0);
        EXPECT_LE(key.left + key.width, kKeyboardWidth);
        EXPECT_LE(key.top + key.height, kKeyboardHeight);
    }
    for (std::size_t i = 0; i < table.size(); ++i) {
        const QRect a(table[i].left, table[i].top, table[i].width, table[i].height);
        for (std::size_t j = i + 1; j < table.size(); ++j) {
            const QRect b(table[j].left, table[j].top, table[j].width, table[j].height);
            const QRect overlap = a & b;
            EXPECT_TRUE(overlap.isEmpty() || overlap.width() <= kTwipsPerPixel ||
                        overlap.height() <= kTwipsPerPixel)
                << table[i].caption << " overlaps " << table[j].caption;
        }
    }
}

TEST(KeyTable, RightHandKeysReachTheKeyboardEdges)
{
    const KeyEntry *numMinus = findKey(0x56);
    const KeyEntry *numEnter = findKey(0x58);
    EXPECT_EQ(numMinus->left + numMinus->width, kKeyboardWidth);
    EXPECT_EQ(numEnter->top + numEnter->height, kKeyboardHeight);
    EXPECT_EQ(findKey(0x57)->height, 1215);
}

} // namespace
} // namespace orvex
