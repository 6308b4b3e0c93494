// Letter case of ASCII only, for names that HTML, CSS, sitemap files, settings and automation
// members compare without regard to case ("HREF" is "href"). Other letters are left as they are:
// file names, which fold more scripts, use foldCase in case_insensitive_path.h.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace quillet {

constexpr char16_t lowerAscii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}
constexpr char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

inline std::u16string lowerAscii(std::u16string_view text) {
    std::u16string lower(text);
    for (char16_t& c : lower) c = lowerAscii(c);
    return lower;
}
inline std::string lowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = lowerAscii(c);
    return lower;
}

template <typename Char>
constexpr bool startsWithIgnoringAsciiCase(std::basic_string_view<Char> text,
                                           std::basic_string_view<Char> prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](Char a, Char b) { return lowerAscii(a) == lowerAscii(b); });
}
template <typename Char>
constexpr bool equalsIgnoringAsciiCase(std::basic_string_view<Char> a,
                                       std::basic_string_view<Char> b) {
    return a.size() == b.size() && startsWithIgnoringAsciiCase(a, b);
}

// Overloads for the two text types, so that strings and literals convert without naming the type.
constexpr bool startsWithIgnoringAsciiCase(std::u16string_view text, std::u16string_view prefix) {
    return startsWithIgnoringAsciiCase<char16_t>(text, prefix);
}
constexpr bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
    return startsWithIgnoringAsciiCase<char>(text, prefix);
}
constexpr bool equalsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    return equalsIgnoringAsciiCase<char16_t>(a, b);
}
constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return equalsIgnoringAsciiCase<char>(a, b);
}

}  // namespace quillet
