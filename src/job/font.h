// A heading font as a value, and its one-line text form "Name,Size,Color,[Styles]" in which the
// default heading fonts are given and the settings store keeps them.
#pragma once

#include "text/numbers.h"

#include <cstdint>
#include <string>

namespace quillet {

enum class FontStyle : unsigned { Bold = 1, Italic = 2, Underline = 4, StrikeOut = 8 };

class FontStyles {
public:
    bool has(FontStyle s) const { return (m_bits & static_cast<unsigned>(s)) != 0; }
    void set(FontStyle s, bool on = true) {
        m_bits = on ? (m_bits | static_cast<unsigned>(s)) : (m_bits & ~static_cast<unsigned>(s));
    }
    bool empty() const { return m_bits == 0; }
    bool operator==(const FontStyles&) const = default;

private:
    unsigned m_bits = 0;
};

struct TFont {
    std::u16string Name;
    int Size = 0;            // points
    std::int32_t Color = 0;  // 0x00BBGGRR, or a negative system colour
    FontStyles Style;
    bool operator==(const TFont&) const = default;
};

// Applies a specification to `font`. With other than four comma-separated parts the font is left
// as it was. A size or colour that is not a decimal integer throws NumberConversionError; the parts
// before it have then already been applied. Style letters B, I, U, S count anywhere in the fourth
// part, in upper case only.
void StringToFont(const std::u16string& spec, TFont& font);

// The one-line text form of `font`, styles in the order B, I, U, S: "Calibri,27,0,[BU]".
std::u16string FontToString(const TFont& font);

}  // namespace quillet
