#include "job/font.h"

#include "platform/utf.h"

#include <climits>
#include <utility>
#include <vector>

namespace quillet {

namespace {

constexpr std::pair<char16_t, FontStyle> kStyleLetters[] = {
    {u'B', FontStyle::Bold},
    {u'I', FontStyle::Italic},
    {u'U', FontStyle::Underline},
    {u'S', FontStyle::StrikeOut},
};

// Commas become line breaks; the text is then split into lines at CR, LF or CR LF. A break at
// the very end does not start another, empty line.
std::vector<std::u16string> splitParts(const std::u16string& spec) {
    std::vector<std::u16string> lines;
    std::u16string line;
    bool open = false;
    for (std::size_t i = 0; i < spec.size(); ++i) {
        const char16_t c = spec[i];
        if (c == u',' || c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < spec.size() && spec[i + 1] == u'\n') ++i;
            lines.push_back(std::move(line));
            line.clear();
            open = false;
        } else {
            line += c;
            open = true;
        }
    }
    if (open) lines.push_back(std::move(line));
    return lines;
}

// A decimal integer with optional leading blanks and sign, filling the whole text.
std::int32_t toInteger(const std::u16string& text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == u' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    long long value = 0;
    const std::size_t digitsStart = i;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1) break;
    }
    if (negative) value = -value;
    if (i == digitsStart || i != text.size() || value < INT_MIN || value > INT_MAX)
        throw EConvertError("'" + toUtf8(text) + "' is not a valid integer value");
    return static_cast<std::int32_t>(value);
}

}  // namespace

void StringToFont(const std::u16string& spec, TFont& font) {
    const std::vector<std::u16string> parts = splitParts(spec);
    if (parts.size() != 4) return;
    font.Name = parts[0];
    font.Size = toInteger(parts[1]);
    font.Color = toInteger(parts[2]);
    for (const auto& [letter, style] : kStyleLetters)
        font.Style.set(style, parts[3].find(letter) != std::u16string::npos);
}

std::u16string FontToString(const TFont& font) {
    std::u16string out = font.Name + u',' + fromUtf8(std::to_string(font.Size)) + u',' +
                         fromUtf8(std::to_string(font.Color)) + u",[";
    for (const auto& [letter, style] : kStyleLetters)
        if (font.Style.has(style)) out += letter;
    return out + u']';
}

}  // namespace quillet
