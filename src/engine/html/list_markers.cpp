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

}  // namespace

std::string listStyleType(std::string_view value) {
    const std::string type = lowerAscii(trim(value));
    static constexpr std::string_view kShown[] = {"disc",        "circle",      "square",
                                                  "decimal",     "lower-alpha", "upper-alpha",
                                                  "lower-roman", "upper-roman", "none"};
    if (std::find(std::begin(kShown), std::end(kShown), type) != std::end(kShown)) return type;
    if (type == "lower-latin") return "lower-alpha";
    if (type == "upper-latin") return "upper-alpha";
    // Numbered styles that Word's numbering has no form for.
    static constexpr std::string_view kDecimal[] = {"decimal-leading-zero",
                                                    "lower-greek",
                                                    "armenian",
                                                    "georgian",
                                                    "hebrew",
                                                    "hiragana",
                                                    "katakana",
                                                    "hiragana-iroha",
                                                    "katakana-iroha",
                                                    "cjk-ideographic",
                                                    "upper-greek"};
    if (std::find(std::begin(kDecimal), std::end(kDecimal), type) != std::end(kDecimal))
        return "decimal";
    return {};
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

ListTemplate listTemplate(const std::string& type) {
    struct Kind {
        std::string_view type;
        NumberStyle style;
        std::u16string_view bullet;
    };
    static constexpr Kind kKinds[] = {
        {"disc", NumberStyle::Bullet, u"\u2022"},
        {"circle", NumberStyle::Bullet, u"\u25E6"},
        {"square", NumberStyle::Bullet, u"\u25AA"},
        {"lower-alpha", NumberStyle::LowerLetter, {}},
        {"upper-alpha", NumberStyle::UpperLetter, {}},
        {"lower-roman", NumberStyle::LowerRoman, {}},
        {"upper-roman", NumberStyle::UpperRoman, {}},
        {"none", NumberStyle::None, {}},
    };
    Kind kind{type, NumberStyle::Decimal, {}};
    for (const Kind& k : kKinds)
        if (k.type == type) kind = k;
    ListTemplate t;
    for (int i = 0; i < kListLevels; ++i) {
        ListLevel& level = t.levels[static_cast<std::size_t>(i)];
        level.style = kind.style;
        if (kind.style == NumberStyle::Bullet)
            level.text = kind.bullet;
        else if (kind.style != NumberStyle::None)
            level.text = u"%" + fromUtf8(std::to_string(i + 1)) + u".";
        level.leftIndent = 2 * kListIndent * (i + 1);
        level.hanging = kListIndent;
    }
    return t;
}

void ListCounters::open(const GumboElement& e, const std::string& listStyle) {
    List s;
    s.ordered = e.tag == GUMBO_TAG_OL;
    const std::string type = listTypeAttribute(attribute(e, "type"));
    s.type = !type.empty() ? type : listStyle;
    if (s.type.empty() || listStyle.empty()) {
        // As browsers draw them: a bulleted list inside any one list (bulleted or numbered)
        // takes circles, inside two or more squares.
        static constexpr const char* kBullets[] = {"disc", "circle", "square"};
        const int bulletDepth = static_cast<int>(m_lists.size());
        s.type = s.ordered ? (type.empty() ? "decimal" : type)
                           : (type.empty() ? kBullets[std::min(bulletDepth, 2)] : type);
    }
    if (s.ordered)
        s.next = integerAttribute(e, "start", -kMaxListNumber, kMaxListNumber).value_or(1);
    m_lists.push_back(s);
}

ListItem ListCounters::nextItem(const GumboElement& e, const std::string& listStyle) {
    const std::string type =
        !listStyle.empty() ? listStyle : (m_lists.empty() ? "disc" : m_lists.back().type);
    if (m_lists.empty()) {
        // An item outside any list is a list of its own.
        if (type == "none") return {};
        return {m_table.add(listTemplate(type), {{0, 1}}), 0};
    }
    List& l = m_lists.back();
    if (auto value = integerAttribute(e, "value", -kMaxListNumber, kMaxListNumber)) l.next = *value;
    const int number = std::max(l.next, 0);
    l.next = std::min(l.next + 1, kMaxListNumber);
    if (type == "none") {
        l.list = 0;
        return {};
    }
    const int level = std::min(static_cast<int>(m_lists.size()) - 1, kListLevels - 1);
    if (l.list == 0 || type != l.listType || number != l.listNext) {
        l.list = m_table.add(listTemplate(type), {{level, number}});
        l.listType = type;
    }
    l.listNext = number + 1;
    return {l.list, level};
}

}  // namespace quillet::engine::html
