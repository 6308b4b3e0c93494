// Decimal numbers written in text: settings, code page numbers, character references, contents
// params. One conversion with one error, so every caller fails the same way on bad input.
#pragma once

#include <stdexcept>
#include <string_view>

namespace quillet {

// A text that should hold a decimal integer and does not, or one beyond the 32-bit range.
class NumberConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The whole text as a 32-bit signed decimal integer: leading blanks and one sign allowed,
// nothing after the digits. Throws NumberConversionError ("'12x' is not a valid integer value").
int StrToInt(std::u16string_view text);

}  // namespace quillet
