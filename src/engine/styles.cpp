#include "engine/styles.h"

#include "platform/ascii.h"
#include "platform/utf.h"

#include <cassert>

namespace quillet::engine {

namespace {

std::u16string number(int n) {
    return fromUtf8(std::to_string(n));
}

// Heading sizes in points, level 1 to 9.
constexpr double kHeadingSizes[9] = {16, 14, 13, 12, 12, 12, 11, 11, 11};

}  // namespace

StyleSheet::StyleSheet() {
    defaults.font = u"Times New Roman";
    defaults.eastAsiaFont = u"SimSun";
    defaults.eastAsiaLanguage = u"zh-CN";
    defaults.language = u"en-US";
    defaults.size = 12;

    Style normal;
    normal.name = u"Normal";
    normal.id = u"Normal";
    normal.builtin = kStyleNormal;
    m_styles.push_back(normal);

    for (int level = 1; level <= 9; ++level) {
        Style s;
        s.name = u"Heading " + number(level);
        s.id = u"Heading" + number(level);
        s.builtin = headingStyleNumber(level);
        s.basedOn = 0;
        s.next = 0;
        s.font.bold = true;
        s.font.size = kHeadingSizes[level - 1];
        s.paragraph.outlineLevel = level;
        s.paragraph.spaceBefore = level == 1 ? 12.0 : 6.0;
        s.paragraph.spaceAfter = 3.0;
        s.paragraph.keepWithNext = true;
        m_styles.push_back(s);
    }
    for (int level = 1; level <= 9; ++level) {
        Style s;
        s.name = u"TOC " + number(level);
        s.id = u"TOC" + number(level);
        s.builtin = kStyleToc1 - (level - 1);
        s.basedOn = 0;
        s.next = 0;
        s.paragraph.leftIndent = 11.0 * (level - 1);
        s.paragraph.spaceAfter = 0.0;
        m_styles.push_back(s);
    }
    Style header;
    header.name = u"Header";
    header.id = u"Header";
    header.builtin = kStyleHeader;
    header.basedOn = 0;
    m_styles.push_back(header);
    Style footer = header;
    footer.name = u"Footer";
    footer.id = u"Footer";
    footer.builtin = kStyleFooter;
    m_styles.push_back(footer);

    Style dpf;
    dpf.name = u"Default Paragraph Font";
    dpf.id = u"DefaultParagraphFont";
    dpf.type = StyleType::Character;
    dpf.builtin = kStyleDefaultParagraphFont;
    m_styles.push_back(dpf);
    Style link;
    link.name = u"Hyperlink";
    link.id = u"Hyperlink";
    link.type = StyleType::Character;
    link.builtin = kStyleHyperlink;
    link.font.color = 0xFF0000;  // blue, as 0x00BBGGRR
    link.font.underline = 1;
    m_styles.push_back(link);
}

int builtinIndexStyle(StyleSheet& sheet, int builtin) {
    assert(builtin == kStyleIndexHeading ||
           (builtin <= kStyleIndex1 && builtin >= kStyleIndex1 - 8));
    if (const int found = sheet.findBuiltin(builtin); found >= 0) return found;
    Style s;
    s.builtin = builtin;
    s.basedOn = 0;
    if (builtin == kStyleIndexHeading) {
        s.name = u"Index Heading";
        s.id = u"IndexHeading";
        s.next = builtinIndexStyle(sheet, kStyleIndex1);
        s.font.bold = true;
        s.paragraph.spaceBefore = 6.0;
        s.paragraph.keepWithNext = true;
    } else {
        const int level = kStyleIndex1 - builtin + 1;
        s.name = u"Index " + number(level);
        s.id = u"Index" + number(level);
        s.next = 0;
        // Each level hangs: a long entry's next lines stand in from its first.
        s.paragraph.leftIndent = 12.0 * level;
        s.paragraph.firstLineIndent = -12.0;
    }
    s.paragraph.spaceAfter = 0.0;
    // A style read from a file keeps its name but not Word's number: the name finds it.
    if (const int named = sheet.findByName(s.name); named >= 0) return named;
    return sheet.add(std::move(s));
}

int StyleSheet::findByName(std::u16string_view name) const {
    for (std::size_t i = 0; i < m_styles.size(); ++i)
        if (equalsIgnoringAsciiCase(m_styles[i].name, name)) return static_cast<int>(i);
    return -1;
}

int StyleSheet::findById(std::u16string_view id) const {
    for (std::size_t i = 0; i < m_styles.size(); ++i)
        if (m_styles[i].id == id) return static_cast<int>(i);
    return -1;
}

int StyleSheet::findBuiltin(int builtin) const {
    if (builtin == 0) return -1;
    for (std::size_t i = 0; i < m_styles.size(); ++i)
        if (m_styles[i].builtin == builtin) return static_cast<int>(i);
    return -1;
}

int StyleSheet::add(Style style) {
    const int existing = findByName(style.name);
    if (existing >= 0) {
        m_styles[static_cast<std::size_t>(existing)] = std::move(style);
        return existing;
    }
    m_styles.push_back(std::move(style));
    return count() - 1;
}

CharFormat StyleSheet::resolvedFont(int index) const {
    std::vector<int> chain;
    for (int i = index; i >= 0 && i < count() && chain.size() < 16; i = at(i).basedOn)
        chain.push_back(i);
    CharFormat f = defaults;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) f.apply(at(*it).font);
    return f;
}

ParaFormat StyleSheet::resolvedParagraph(int index) const {
    std::vector<int> chain;
    for (int i = index; i >= 0 && i < count() && chain.size() < 16; i = at(i).basedOn)
        chain.push_back(i);
    ParaFormat p;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const ParaFormat& s = at(*it).paragraph;
        auto take = [](auto& mine, const auto& theirs) {
            if (theirs) mine = theirs;
        };
        take(p.alignment, s.alignment);
        take(p.outlineLevel, s.outlineLevel);
        take(p.leftIndent, s.leftIndent);
        take(p.rightIndent, s.rightIndent);
        take(p.firstLineIndent, s.firstLineIndent);
        take(p.spaceBefore, s.spaceBefore);
        take(p.spaceAfter, s.spaceAfter);
        take(p.shading, s.shading);
        take(p.pageBreakBefore, s.pageBreakBefore);
        take(p.keepWithNext, s.keepWithNext);
        take(p.lineSpacing, s.lineSpacing);
        take(p.lineSpacingRule, s.lineSpacingRule);
        take(p.bottomBorder, s.bottomBorder);
        take(p.rightTab, s.rightTab);
    }
    p.style = index;
    return p;
}

int StyleSheet::outlineLevel(int index) const {
    return resolvedParagraph(index).outlineLevel.value_or(10);
}

}  // namespace quillet::engine
