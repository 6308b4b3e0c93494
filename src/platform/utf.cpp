#include "platform/utf.h"

namespace quillet {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}

bool isHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

std::string toUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t u = text[i];
        if (isHighSurrogate(u) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            u = 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (isHighSurrogate(u) || isLowSurrogate(u)) {
            u = kReplacement;
        }
        appendUtf8(out, u);
    }
    return out;
}

std::u16string fromUtf8(std::string_view text) {
    // Malformed input is replaced per maximal subpart, as Unicode recommends: a lead byte that
    // can never start a sequence, or a sequence cut short, each give one U+FFFD.
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        int extra = 0;
        unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            if (lead == 0xE0) low = 0xA0;   // no overlong forms
            if (lead == 0xED) high = 0x9F;  // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
        } else {
            out += static_cast<char16_t>(kReplacement);
            ++i;
            continue;
        }
        char32_t cp = lead & (0x3F >> extra);
        std::size_t j = i + 1;
        bool complete = true;
        for (int k = 0; k < extra; ++k, ++j) {
            const auto b = j < text.size() ? static_cast<unsigned char>(text[j]) : 0;
            const bool ok =
                j < text.size() && (k == 0 ? (b >= low && b <= high) : (b & 0xC0) == 0x80);
            if (!ok) {
                complete = false;
                break;
            }
            cp = (cp << 6) | (b & 0x3F);
        }
        if (!complete) {
            out += static_cast<char16_t>(kReplacement);
            i = j;
            continue;
        }
        appendUtf16(out, cp);
        i = j;
    }
    return out;
}

std::filesystem::path toPath(std::u16string_view text) {
    return std::filesystem::path(toUtf8(text));
}

std::u16string fromPath(const std::filesystem::path& path) {
    return fromUtf8(path.native());
}

}  // namespace quillet
