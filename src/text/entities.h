// Character references in HTML text: the fixed entity table and the decoder that replaces "&lt;"
// or "&#65;" by its character. Hexadecimal references are not decoded, and no markup is parsed.
#pragma once

#include "text/numbers.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quillet {

// The 261 named entities. Names compare with letter case ("lt" and "LT" are separate rows).
class EntityList {
public:
    // Longest name in the table; a reference is never looked at further than this.
    static constexpr std::size_t kMaxNameLength = 8;

    // Builds the rows from their "name:code" texts.
    EntityList();

    std::size_t size() const { return m_codes.size(); }

    // The code of the entity named exactly `name`, or -1 when there is none.
    int lookup(std::u16string_view name) const;

    // The length of the longest entity name that `text` begins with, 0 when none; `code` gets
    // that entity's character.
    std::size_t matchLongest(std::u16string_view text, char16_t& code) const;

private:
    std::unordered_map<std::uint64_t, char16_t> m_codes;  // packed name → code
    // Per first letter, bit n set when some name of that length starts with it: most lengths
    // need no lookup at all.
    std::array<std::uint16_t, 128> m_lengths{};
};

// The process-wide entity table, built on first use and only read afterwards, from any thread.
const EntityList& EntityTable();

// S with its character references replaced, in one left-to-right pass:
// - "&name" takes the longest table name that follows the "&" (no ";" needed; a ";" right after
//   it is dropped). Unknown names, "R&D" and a lone "&" stay as they are.
// - "&#" and decimal digits give the character of that number modulo 65536. The character that
//   ends the digits is dropped when it is ";" and kept otherwise, except that a following "&"
//   leaves the digits undecoded ("&#65&lt;" gives "&#65<"). "&#x41;" and "&#;" stay as they are.
// Digits beyond the 32-bit signed range throw NumberConversionError.
std::u16string DecodeEntities(std::u16string_view S);

}  // namespace quillet
