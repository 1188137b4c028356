#include "core/keys/KeyNames.h"

#include "core/config/ChannelSettings.h"

#include <QRegularExpression>
#include <array>

namespace orvex {

namespace {

// Picker button sizes in twips.
constexpr int kKey = 615;   // the usual square key
constexpr int kTall = 1215; // keypad "+" and "Ent" span two rows

// Row tops in twips.
constexpr int kRow0 = 0;
constexpr int kRow1 = 720;
constexpr int kRow2 = 1320;
constexpr int kRow3 = 1920;
constexpr int kRow4 = 2520;
constexpr int kRow5 = 3120;

// Every key the program knows, row by row as the picker lays them out; adjacent keys in a run
// sit 600 twips apart, so their 615-twip buttons overlap by one border.
constexpr std::array<KeyEntry, 105> kKeys{{
    // Function row
    {0x29, "Esc", "Esc", 0, kRow0, kKey, kKey},
    {0x3A, "F1", "F1", 1200, kRow0, kKey, kKey},
    {0x3B, "F2", "F2", 1800, kRow0, kKey, kKey},
    {0x3C, "F3", "F3", 2400, kRow0, kKey, kKey},
    {0x3D, "F4", "F4", 3000, kRow0, kKey, kKey},
    {0x3E, "F5", "F5", 3840, kRow0, kKey, kKey},
    {0x3F, "F6", "F6", 4440, kRow0, kKey, kKey},
    {0x40, "F7", "F7", 5040, kRow0, kKey, kKey},
    {0x41, "F8", "F8", 5640, kRow0, kKey, kKey},
    {0x42, "F9", "F9", 6480, kRow0, kKey, kKey},
    {0x43, "F10", "F10", 7080, kRow0, kKey, kKey},
    {0x44, "F11", "F11", 7680, kRow0, kKey, kKey},
    {0x45, "F12", "F12", 8280, kRow0, kKey, kKey},
    {0x46, "Print Screen", "PrtSc", 9120, kRow0, kKey, kKey},
    {0x47, "Scrl Lock", "ScrLk", 9720, kRow0, kKey, kKey},
    {0x48, "Pause", "Pause", 10320, kRow0, kKey, kKey},
    {0x00, "Not Used", "Not Used", 11160, kRow0, 2415, kKey},

    // Number row
    {0x35, "` ~", "` ~", 0, kRow1, kKey, kKey},
    {0x1E, "1 !", "1 !", 600, kRow1, kKey, kKey},
    {0x1F, "2 @", "2 @", 1200, kRow1, kKey, kKey},
    {0x20, "3 #", "3 #", 1800, kRow1, kKey, kKey},
    {0x21, "4 $", "4 $", 2400, kRow1, kKey, kKey},
    {0x22, "5 %", "5 %", 3000, kRow1, kKey, kKey},
    {0x23, "6 ^", "6 ^", 3600, kRow1, kKey, kKey},
    {0x24, "7 &", "7 &", 4200, kRow1, kKey, kKey},
    {0x25, "8 *", "8 *", 4800, kRow1, kKey, kKey},
    {0x26, "9 (", "9 (", 5400, kRow1, kKey, kKey},
    {0x27, "0 )", "0 )", 6000, kRow1, kKey, kKey},
    {0x2D, "- _", "- _", 6600, kRow1, kKey, kKey},
    {0x2E, "= +", "= +", 7200, kRow1, kKey, kKey},
    {0x2A, "Backspace", "Backspace", 7800, kRow1, 1095, kKey},
    {0x49, "Insert", "Ins", 9120, kRow1, kKey, kKey},
    {0x4A, "Home", "Home", 9720, kRow1, kKey, kKey},
    {0x4B, "Page Up", "PgUp", 10320, kRow1, kKey, kKey},
    {0x53, "Num Lock", "Num", 11160, kRow1, kKey, kKey},
    {0x54, "/ (Num)", "/", 11760, kRow1, kKey, kKey},
    {0x55, "* (Num)", "*", 12360, kRow1, kKey, kKey},
    {0x56, "- (Num)", "-", 12960, kRow1, kKey, kKey},

    // Top letter row
    {0x2B, "Tab", "Tab", 0, kRow2, 855, kKey},
    {0x14, "Q", "Q", 840, kRow2, kKey, kKey},
    {0x1A, "W", "W", 1440, kRow2, kKey, kKey},
    {0x08, "E", "E", 2040, kRow2, kKey, kKey},
    {0x15, "R", "R", 2640, kRow2, kKey, kKey},
    {0x17, "T", "T", 3240, kRow2, kKey, kKey},
    {0x1C, "Y", "Y", 3840, kRow2, kKey, kKey},
    {0x18, "U", "U", 4440, kRow2, kKey, kKey},
    {0x0C, "I", "I", 5040, kRow2, kKey, kKey},
    {0x12, "O", "O", 5640, kRow2, kKey, kKey},
    {0x13, "P", "P", 6240, kRow2, kKey, kKey},
    {0x2F, "[ {", "[ {", 6840, kRow2, kKey, kKey},
    {0x30, "] }", "] }", 7440, kRow2, kKey, kKey},
    {0x31, "\\ |", "\\ |", 8040, kRow2, 855, kKey},
    {0x4C, "Delete", "Del", 9120, kRow2, kKey, kKey},
    {0x4D, "End", "End", 9720, kRow2, kKey, kKey},
    {0x4E, "Page Down", "PgDn", 10320, kRow2, kKey, kKey},
    {0x5F, "7 (Num)", "7", 11160, kRow2, kKey, kKey},
    {0x60, "8 (Num)", "8", 11760, kRow2, kKey, kKey},
    {0x61, "9 (Num)", "9", 12360, kRow2, kKey, kKey},
    {0x57, "+ (Num)", "+", 12960, kRow2, kKey, kTall},

    // Home row
    {0x39, "Caps", "CapsLk", 0, kRow3, 1095, kKey},
    {0x04, "A", "A", 1080, kRow3, kKey, kKey},
    {0x16, "S", "S", 1680, kRow3, kKey, kKey},
    {0x07, "D", "D", 2280, kRow3, kKey, kKey},
    {0x09, "F", "F", 2880, kRow3, kKey, kKey},
    {0x0A, "G", "G", 3480, kRow3, kKey, kKey},
    {0x0B, "H", "H", 4080, kRow3, kKey, kKey},
    {0x0D, "J", "J", 4680, kRow3, kKey, kKey},
    {0x0E, "K", "K", 5280, kRow3, kKey, kKey},
    {0x0F, "L", "L", 5880, kRow3, kKey, kKey},
    {0x33, "; :", "; :", 6480, kRow3, kKey, kKey},
    {0x34, "' \"", "' \"", 7080, kRow3, kKey, kKey},
    {0x28, "Enter", "Enter", 7680, kRow3, 1215, kKey},
    {0x5C, "4 (Num)", "4", 11160, kRow3, kKey, kKey},
    {0x5D, "5 (Num)", "5", 11760, kRow3, kKey, kKey},
    {0x5E, "6 (Num)", "6", 12360, kRow3, kKey, kKey},

    // Bottom letter row
    {0xE1, "Left Shift", "Shift", 0, kRow4, 1335, kKey},
    {0x1D, "Z", "Z", 1320, kRow4, kKey, kKey},
    {0x1B, "X", "X", 1920, kRow4, kKey, kKey},
    {0x06, "C", "C", 2520, kRow4, kKey, kKey},
    {0x19, "V", "V", 3120, kRow4, kKey, kKey},
    {0x05, "B", "B", 3720, kRow4, kKey, kKey},
    {0x11, "N", "N", 4320, kRow4, kKey, kKey},
    {0x10, "M", "M", 4920, kRow4, kKey, kKey},
    {0x36, ", <", ", <", 5520, kRow4, kKey, kKey},
    {0x37, ". >", ". >", 6120, kRow4, kKey, kKey},
    {0x38, "/ ?", "/ ?", 6720, kRow4, kKey, kKey},
    {0xE5, "Right Shift", "Shift", 7320, kRow4, 1575, kKey},
    {0x52, "Up Arrow", "Up", 9720, kRow4, kKey, kKey},
    {0x59, "1 (Num)", "1", 11160, kRow4, kKey, kKey},
    {0x5A, "2 (Num)", "2", 11760, kRow4, kKey, kKey},
    {0x5B, "3 (Num)", "3", 12360, kRow4, kKey, kKey},
    {0x58, "Enter (Num)", "Ent", 12960, kRow4, kKey, kTall},

    // Space row
    {0xE0, "Left Ctrl", "Ctrl", 0, kRow5, 975, kKey},
    {0xE3, "Left Win", "Win", 960, kRow5, 735, kKey},
    {0xE2, "Left Alt", "Alt", 1680, kRow5, 735, kKey},
    {0x2C, "Space", "Space", 2400, kRow5, 3255, kKey},
    {0xE6, "Right Alt", "Alt", 5640, kRow5, 735, kKey},
    {0xE7, "Right Win", "Win", 6360, kRow5, 735, kKey},
    {0x65, "Win Apl", "Apl", 7080, kRow5, 735, kKey},
    {0xE4, "Right Ctrl", "Ctrl", 7800, kRow5, 1095, kKey},
    {0x50, "Left Arrow", "Left", 9120, kRow5, kKey, kKey},
    {0x51, "Down Arrow", "Down", 9720, kRow5, kKey, kKey},
    {0x4F, "Right Arrow", "Right", 10320, kRow5, kKey, kKey},
    {0x62, "0 (Num)", "0", 11160, kRow5, 1215, kKey},
    {0x63, ". (Num)", ".", 12360, kRow5, kKey, kKey},
}};

using KeyIndex = std::array<const KeyEntry *, 256>;

KeyIndex buildIndex()
{
    KeyIndex index{};
    for (const KeyEntry &entry : kKeys)
        index[entry.code] = &entry;
    return index;
}

const KeyIndex &keyIndex()
{
    static const KeyIndex index = buildIndex();
    return index;
}

} // namespace

std::span<const KeyEntry> keyTable()
{
    return kKeys;
}

const KeyEntry *findKey(std::uint8_t code)
{
    return keyIndex()[code];
}

QString getKeyName(std::uint8_t key)
{
    static const QString notUsed = QStringLiteral("Not Used");
    const KeyEntry *entry = findKey(key);
    return entry ? QString::fromLatin1(entry->name) : notUsed;
}

QString getOperatorText(std::uint8_t operators)
{
    QString text;
    if (operators & kOperatorCtrl)
        text += QLatin1String("[ctrl] ");
    if (operators & kOperatorShift)
        text += QLatin1String("[shift] ");
    if (operators & kOperatorAlt)
        text += QLatin1String("[alt] ");
    return text;
}

QString keyLabel(std::uint8_t key, std::uint8_t operators)
{
    return getOperatorText(operators) + getKeyName(key);
}

std::optional<KeyChoice> keyFromLabel(const QString &label, QString *problem)
{
    static const QRegularExpression modifier(QStringLiteral("^\\[(ctrl|shift|alt)\\]\\s*"),
                                             QRegularExpression::CaseInsensitiveOption);
    // A bracketed word other than a modifier; "[ {" is a key, so the word needs its "]".
    static const QRegularExpression unknownModifier(QStringLiteral("^\\[\\w+\\]"));
    const auto fail = [problem](const QString &why) {
        if (problem != nullptr)
            *problem = why;
        return std::nullopt;
    };

    KeyChoice choice;
    QString rest = label.simplified();
    for (QRegularExpressionMatch match = modifier.match(rest); match.hasMatch();
         match = modifier.match(rest)) {
        const QString word = match.captured(1).toLower();
        choice.operators |= word == QLatin1String("ctrl")    ? kOperatorCtrl
                            : word == QLatin1String("shift") ? kOperatorShift
                                                             : kOperatorAlt;
        rest = rest.mid(match.capturedLength());
    }
    if (const QRegularExpressionMatch match = unknownModifier.match(rest); match.hasMatch()) {
        return fail(QStringLiteral("\"%1\" is not a modifier ([ctrl], [shift] or [alt])")
                        .arg(match.captured()));
    }
    for (const KeyEntry &entry : kKeys) {
        if (rest.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) {
            choice.key = entry.code;
            return choice;
        }
    }
    return fail(QStringLiteral("\"%1\" is not a key name").arg(rest));
}

} // namespace orvex
