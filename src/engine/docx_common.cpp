#include "engine/docx_common.h"

#include "engine/formats.h"
#include "engine/styles.h"
#include "platform/utf.h"

#include <cstdio>
#include <utility>

namespace quillet::engine::docx {

namespace {

// The Char production of XML 1.0.
bool isXmlCharacter(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The length of the UTF-8 sequence at text[at], its code point in `c`; 0 when the bytes there are
// no well-formed sequence (a stray continuation byte, a truncated or overlong one, beyond
// U+10FFFF).
std::size_t decodeUtf8(std::string_view text, std::size_t at, char32_t& c) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        c = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, least = 0x80, c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, least = 0x800, c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, least = 0x10000, c = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) return 0;
        c = (c << 6) | (next & 0x3F);
    }
    return c >= least && c <= 0x10FFFF ? length : 0;
}

}  // namespace

std::string xmlCharacters(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        char32_t c = 0;
        const std::size_t length = decodeUtf8(text, at, c);
        if (length == 0) {
            ++at;  // a byte that begins no character; the next one may
            continue;
        }
        if (isXmlCharacter(c)) out.append(text.substr(at, length));
        at += length;
    }
    return out;
}

std::string colorText(int color) {
    if (color < 0) return "auto";
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF,
                  (color >> 16) & 0xFF);
    return buffer;
}

std::optional<int> parseColor(std::string_view text) {
    if (text == "auto") return kAutoColor;
    if (text.size() != 6) return std::nullopt;
    int rgb = 0;
    for (char c : text) {
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return std::nullopt;
        rgb = rgb * 16 + digit;
    }
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

const char* alignmentText(int alignment) {
    switch (alignment) {
        case 1:
            return "center";
        case 2:
            return "right";
        case 3:
            return "both";
        default:
            return "left";
    }
}

std::optional<int> parseAlignment(std::string_view text) {
    if (text == "left" || text == "start") return 0;
    if (text == "center") return 1;
    if (text == "right" || text == "end") return 2;
    if (text == "both" || text == "distribute") return 3;
    return std::nullopt;
}

namespace {

constexpr std::pair<NumberStyle, const char*> kNumberStyles[] = {
    {NumberStyle::Bullet, "bullet"},
    {NumberStyle::Decimal, "decimal"},
    {NumberStyle::LowerLetter, "lowerLetter"},
    {NumberStyle::UpperLetter, "upperLetter"},
    {NumberStyle::LowerRoman, "lowerRoman"},
    {NumberStyle::UpperRoman, "upperRoman"},
    {NumberStyle::None, "none"},
};

}  // namespace

const char* numberStyleText(NumberStyle style) {
    for (const auto& [value, text] : kNumberStyles)
        if (value == style) return text;
    return "decimal";
}

NumberStyle parseNumberStyle(std::string_view text) {
    for (const auto& [value, name] : kNumberStyles)
        if (text == name) return value;
    return NumberStyle::Decimal;
}

std::u16string fileStyleName(int builtin, const std::u16string& name) {
    if (builtin <= kStyleHeading1 && builtin >= kStyleHeading1 - 8)
        return u"heading " + fromUtf8(std::to_string(kStyleHeading1 - builtin + 1));
    if (builtin <= kStyleToc1 && builtin >= kStyleToc1 - 8)
        return u"toc " + fromUtf8(std::to_string(kStyleToc1 - builtin + 1));
    if (builtin <= kStyleIndex1 && builtin >= kStyleIndex1 - 8)
        return u"index " + fromUtf8(std::to_string(kStyleIndex1 - builtin + 1));
    if (builtin == kStyleIndexHeading) return u"index heading";
    if (builtin == kStyleHeader) return u"header";
    if (builtin == kStyleFooter) return u"footer";
    return name;
}

std::string fileUri(const std::u16string& path) {
    std::string out = "file://";
    for (unsigned char c : toUtf8(path)) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            char buffer[4];
            std::snprintf(buffer, sizeof buffer, "%%%02X", c);
            out += buffer;
        }
    }
    return out;
}

std::optional<std::u16string> pathOfFileUri(std::string_view uri) {
    if (!uri.starts_with("file://")) return std::nullopt;
    uri.remove_prefix(7);
    std::string out;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        auto hex = [](char c) {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            return -1;
        };
        if (uri[i] == '%' && i + 2 < uri.size() && hex(uri[i + 1]) >= 0 && hex(uri[i + 2]) >= 0) {
            out += static_cast<char>(hex(uri[i + 1]) * 16 + hex(uri[i + 2]));
            i += 2;
        } else {
            out += uri[i];
        }
    }
    return fromUtf8(out);
}

}  // namespace quillet::engine::docx
