#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <span>

namespace orvex {

// One key of the program's key table: its device key code (USB HID keyboard usage), its name as
// the step graph shows it, and its button on the key picker (caption and design position in
// twips inside the keyboard area).
struct KeyEntry
{
    std::uint8_t code;
    const char *name;    // "Not Used" for code 0
    const char *caption; // button caption (a literal text, '&' is not an access key)
    int left;
    int top;
    int width;  // 615 unless given
    int height; // 615 unless given
};

// The 105 keys of the key picker: the 104 named codes plus "Not Used" (code 0).
std::span<const KeyEntry> keyTable();

// The entry of a code, or nullptr when the code has no button (every unnamed code but 0).
const KeyEntry *findKey(std::uint8_t code);

// The name of a device key code; "Not Used" for every code without a name, 0 included.
QString getKeyName(std::uint8_t key);

// "[ctrl] ", "[shift] ", "[alt] " for bits 1, 2, 4, in that order, run together.
QString getOperatorText(std::uint8_t operators);

// A step's key as the step graph labels it: the modifiers, then the name ("[ctrl] Delete").
QString keyLabel(std::uint8_t key, std::uint8_t operators);

// A step's key and the modifier bits sent with it.
struct KeyChoice
{
    std::uint8_t key = 0;
    std::uint8_t operators = 0;

    bool operator==(const KeyChoice &) const = default;
};

// Reads a label back as keyLabel() writes it: modifiers in brackets, in any order, then a key
// name of the table ("[shift] [ctrl] page up"); case and the spaces between words do not
// matter.  Nothing when a bracketed word is no modifier or the rest no key name; `problem`
// then says which.
std::optional<KeyChoice> keyFromLabel(const QString &label, QString *problem = nullptr);

} // namespace orvex
