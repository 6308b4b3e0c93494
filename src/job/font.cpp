#include "job/font.h"

#include "platform/utf.h"

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

}  // namespace

void StringToFont(const std::u16string& spec, TFont& font) {
    const std::vector<std::u16string> parts = splitParts(spec);
    if (parts.size() != 4) return;
    font.Name = parts[0];
    font.Size = StrToInt(parts[1]);
    font.Color = StrToInt(parts[2]);
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
