#include "engine/html/list_markers.h"

#include "engine/html/css.h"
#include "engine/html/html_elements.h"
#include "platform/ascii.h"
#include "platform/utf.h"

#include <algorithm>
#include <utility>

namespace quillet::engine::html {

namespace {

// List numbers stay within plus or minus this: a page's start and value attributes are clamped to
// it, and counting on past it repeats it, so that no attribute or number of items can overflow the
// counter. Far beyond any list a page shows.
constexpr int kMaxListNumber = 999'999'999;

std::u16string romanNumeral(int n) {
    static constexpr std::pair<int, const char16_t*> kRoman[] = {
        {1000, u"m"}, {900, u"cm"}, {500, u"d"}, {400, u"cd"}, {100, u"c"}, {90, u"xc"}, {50, u"l"},
        {40, u"xl"},  {10, u"x"},   {9, u"ix"},  {5, u"v"},    {4, u"iv"},  {1, u"i"}};
    if (n <= 0 || n >= 4000) return fromUtf8(std::to_string(n));
    std::u16string out;
    for (const auto& [value, text] : kRoman)
        while (n >= value) out += text, n -= value;
    return out;
}

std::u16string alphabetic(int n) {
    if (n <= 0) return fromUtf8(std::to_string(n));
    std::u16string out;
    while (n > 0) {
        --n;
        out.insert(out.begin(), static_cast<char16_t>(u'a' + n % 26));
        n /= 26;
    }
    return out;
}

std::u16string upper(std::u16string text) {
    for (char16_t& c : text)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    return text;
}

}  // namespace

std::u16string listMarker(const std::string& type, int number) {
    if (type == "disc") return u"\u2022";
    if (type == "circle") return u"o";
    if (type == "square") return u"\u25AA";
    if (type == "none") return u"";
    if (type == "lower-alpha" || type == "lower-latin") return alphabetic(number) + u".";
    if (type == "upper-alpha" || type == "upper-latin") return upper(alphabetic(number)) + u".";
    if (type == "lower-roman") return romanNumeral(number) + u".";
    if (type == "upper-roman") return upper(romanNumeral(number)) + u".";
    return fromUtf8(std::to_string(number)) + u".";
}

std::string listTypeAttribute(const std::string& type) {
    if (type == "1") return "decimal";
    if (type == "a") return "lower-alpha";
    if (type == "A") return "upper-alpha";
    if (type == "i") return "lower-roman";
    if (type == "I") return "upper-roman";
    const std::string lower = lowerAscii(type);
    if (lower == "disc" || lower == "circle" || lower == "square") return lower;
    return {};
}

void ListCounters::open(const GumboElement& e, const std::string& listStyle) {
    List s;
    s.ordered = e.tag == GUMBO_TAG_OL;
    const std::string type = listTypeAttribute(attribute(e, "type"));
    s.type = !type.empty() ? type : listStyle;
    if (s.type.empty() || listStyle.empty()) {
        static constexpr const char* kBullets[] = {"disc", "circle", "square"};
        const int bulletDepth = static_cast<int>(std::count_if(
            m_lists.begin(), m_lists.end(), [](const List& l) { return !l.ordered; }));
        s.type = s.ordered ? (type.empty() ? "decimal" : type)
                           : (type.empty() ? kBullets[std::min(bulletDepth, 2)] : type);
    }
    if (s.ordered)
        s.next = integerAttribute(e, "start", -kMaxListNumber, kMaxListNumber).value_or(1);
    m_lists.push_back(s);
}

std::u16string ListCounters::nextMarker(const GumboElement& e, const std::string& listStyle) {
    std::string type =
        !listStyle.empty() ? listStyle : (m_lists.empty() ? "disc" : m_lists.back().type);
    int number = 1;
    if (!m_lists.empty()) {
        List& l = m_lists.back();
        if (auto value = integerAttribute(e, "value", -kMaxListNumber, kMaxListNumber))
            l.next = *value;
        number = l.next;
        l.next = std::min(l.next + 1, kMaxListNumber);
    }
    return listMarker(type, number);
}

}  // namespace quillet::engine::html
