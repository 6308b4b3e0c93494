#include "distill/html_tags.h"

#include "platform/ascii.h"

#include <algorithm>

namespace quillet {

namespace {

char16_t upperAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? c - (u'a' - u'A') : c;
}

// The lists, in the order their entries were added.
constexpr std::u16string_view kBreakTags[] = {
    u"ADDRESS", u"BLOCKQUOTE", u"CENTER", u"DIR",      u"DIV",      u"DL",       u"FIELDSET",
    u"FORM",    u"H1",         u"H2",     u"H3",       u"H4",       u"H5",       u"H6",
    u"HR",      u"ISINDEX",    u"MENU",   u"NOFRAMES", u"NOSCRIPT", u"OL",       u"P",
    u"PRE",     u"TABLE",      u"UL",     u"DD",       u"DT",       u"FRAMESET", u"LI",
    u"TBODY",   u"TD",         u"TFOOT",  u"TH",       u"THEAD",    u"TR",       u"BR",
};
// Elements that hold phrases inside a block: never a page's content on their own.
constexpr std::u16string_view kInlineTags[] = {
    u"A",    u"ABBR",   u"ACRONYM", u"B",   u"BDI",  u"BDO",  u"BIG", u"CITE", u"CODE", u"DFN",
    u"EM",   u"FONT",   u"I",       u"KBD", u"MARK", u"NOBR", u"Q",   u"S",    u"SAMP", u"SMALL",
    u"SPAN", u"STRIKE", u"STRONG",  u"SUB", u"SUP",  u"TIME", u"TT",  u"U",    u"VAR",
};
// Break tags that do not make a block of their own.
constexpr std::u16string_view kNotBlockTags[] = {u"P", u"BR"};
constexpr std::u16string_view kNonDocTags[] = {
    u"COMMENT",  u"EMBED",    u"FRAMESET", u"HEAD",   u"IFRAME", u"LABEL", u"LEGEND",   u"MAP",
    u"NOFRAMES", u"NOSCRIPT", u"OBJECT",   u"SCRIPT", u"SELECT", u"STYLE", u"TEXTAREA", u"TITLE",
};
constexpr std::u16string_view kEmptyTags[] = {
    u"APPLET", u"AREA",     u"BASE",  u"BASEFONT", u"BGSOUND", u"BR",    u"BUTTON",
    u"COL",    u"COLGROUP", u"FRAME", u"HR",       u"IMG",     u"INPUT", u"ISINDEX",
    u"LI",     u"LINK",     u"META",  u"OPTION",   u"PARAM",   u"WBR",
};

template <std::size_t N>
bool inList(std::u16string_view name, const std::u16string_view (&list)[N]) {
    for (std::u16string_view entry : list) {
        if (entry.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = upperAscii(name[i]) == entry[i];
        if (same) return true;
    }
    return false;
}

}  // namespace

void THtmlTags::reset() {
    m_items.clear();
    m_open.clear();
    m_items.emplace_back().Name = u"Root";
}

void THtmlTags::setCount(int count) {
    while (Count() > std::max(count, 0)) {
        const int index = Count() - 1;
        auto open = m_open.find(lowerAscii(m_items.back().Name));
        if (open != m_open.end() && !open->second.empty() && open->second.back() == index)
            open->second.pop_back();
        m_items.pop_back();
    }
}

THtmlTag& THtmlTags::push(std::u16string name, std::u16string start) {
    const bool nonDoc = top().NonDoc || IsNonDocTag(name);
    m_open[lowerAscii(name)].push_back(Count());
    THtmlTag& tag = m_items.emplace_back();
    tag.Name = std::move(name);
    tag.Start = std::move(start);
    tag.NonDoc = nonDoc;
    return tag;
}

std::optional<int> THtmlTags::findOpen(std::u16string_view name) const {
    const auto open = m_open.find(lowerAscii(name));
    if (open == m_open.end() || open->second.empty()) return std::nullopt;
    return open->second.back();
}

long long THtmlTags::totalCharCount() const {
    long long total = 0;
    for (const THtmlTag& tag : m_items) total += tag.CharCount;
    return total;
}

bool IsBreakTag(std::u16string_view Name) {
    return inList(Name, kBreakTags);
}

bool IsBlockTag(std::u16string_view Name) {
    return inList(Name, kBreakTags) && !inList(Name, kNotBlockTags);
}

bool IsInlineTag(std::u16string_view Name) {
    return inList(Name, kInlineTags);
}

bool IsNonDocTag(std::u16string_view Name) {
    return inList(Name, kNonDocTags);
}

bool IsEmptyTag(std::u16string_view Name) {
    return inList(Name, kEmptyTags);
}

std::u16string CollapseWhiteSpace(std::u16string_view S) {
    std::u16string out;
    out.reserve(S.size());
    bool gap = false;
    for (char16_t c : S) {
        if (isWhiteSpace(c)) {
            gap = true;
            continue;
        }
        if (gap && !out.empty()) out += u' ';
        gap = false;
        out += c;
    }
    return out;
}

std::u16string TrimWhiteSpace(std::u16string_view S) {
    while (!S.empty() && isWhiteSpace(S.front())) S.remove_prefix(1);
    while (!S.empty() && isWhiteSpace(S.back())) S.remove_suffix(1);
    return std::u16string(S);
}

std::u16string trimControls(std::u16string_view S) {
    while (!S.empty() && S.front() <= u' ') S.remove_prefix(1);
    while (!S.empty() && S.back() <= u' ') S.remove_suffix(1);
    return std::u16string(S);
}

std::optional<ParsedTag> readTagName(std::u16string_view rawName) {
    if (!rawName.empty() && rawName.back() == u'/') rawName.remove_suffix(1);
    ParsedTag tag;
    if (!rawName.empty() && rawName.front() == u'/') {
        tag.isEnd = true;
        rawName.remove_prefix(1);
    }
    if (rawName.empty()) return std::nullopt;
    tag.name = std::u16string(rawName);
    return tag;
}

void FoldElement(THtmlTags& tags, int k) {
    THtmlTag& child = tags.Items(k);
    THtmlTag& parent = tags.Items(k - 1);
    parent.InnerText.append(std::move(child.InnerText));
    parent.Inner.append(child.Start);
    parent.Inner.append(std::move(child.Inner));
    parent.Inner.append(child.Tail);
    parent.Blocks += child.Blocks;
    parent.CharCount += child.CharCount;
}

bool CloseElement(THtmlTags& tags, std::u16string_view name, std::u16string_view endTag) {
    const std::optional<int> found = tags.findOpen(name);
    if (!found) return false;
    tags.Items(*found).Tail = std::u16string(endTag);
    for (int k = tags.Count() - 1; k >= *found; --k) FoldElement(tags, k);
    tags.setCount(*found);
    return true;
}

bool containsIgnoringAsciiCase(std::u16string_view text, std::u16string_view word) {
    if (word.empty()) return true;
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
        bool same = true;
        for (std::size_t k = 0; k < word.size() && same; ++k)
            same = lowerAscii(text[i + k]) == lowerAscii(word[k]);
        if (same) return true;
    }
    return false;
}

std::u16string replaceIgnoringAsciiCase(std::u16string_view text, std::u16string_view from,
                                        std::u16string_view to) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t p = 0; p < text.size();) {
        bool match = !from.empty() && p + from.size() <= text.size();
        for (std::size_t k = 0; match && k < from.size(); ++k)
            match = lowerAscii(text[p + k]) == lowerAscii(from[k]);
        if (match) {
            out += to;
            p += from.size();
        } else {
            out += text[p++];
        }
    }
    return out;
}

SplitPage SplitHtmlBody(std::u16string_view source) {
    // Forward: the first tag named "body"; the body starts after its ">".
    std::size_t bodyStart = std::u16string_view::npos;  // index just after the start tag
    {
        bool inTag = false, readingName = false, bodySeen = false;
        std::u16string name;
        for (std::size_t p = 0; p < source.size() && bodyStart == std::u16string_view::npos; ++p) {
            const char16_t c = source[p];
            const bool endsName = c == u' ' || c == u'>' || c == u'\r' || c == u'\n' || c == u'\t';
            if (c == u'<') {
                inTag = readingName = true;
                name.clear();
                continue;
            }
            if (readingName && endsName) {
                readingName = false;
                if (lowerAscii(name) == u"body") bodySeen = true;
            } else if (readingName) {
                name += c;
            }
            if (c == u'>' && inTag) {
                inTag = false;
                if (bodySeen) bodyStart = p + 1;
            }
        }
    }
    SplitPage page;
    if (bodyStart == std::u16string_view::npos) {
        page.Body = std::u16string(source);
        return page;
    }
    // Backward: the last "</body" (any case, white space allowed before its ">").
    std::size_t bodyEnd = source.size();
    {
        std::u16string candidate;  // grows leftwards from a "y"
        bool collecting = false;
        for (std::size_t p = source.size(); p-- > 0;) {
            const char16_t c = source[p];
            if (c == u'y' || c == u'Y') {
                candidate = u"y";
                collecting = true;
            } else if (c == u'<' && collecting) {
                if (lowerAscii(candidate) == u"/body") {
                    bodyEnd = p;
                    break;
                }
                candidate.insert(candidate.begin(), c);
            } else if (collecting) {
                candidate.insert(candidate.begin(), c);
                if (candidate.size() > 5) collecting = false;  // can no longer be "/body"
            }
        }
    }
    if (bodyEnd < bodyStart) bodyEnd = bodyStart;
    page.BeforeBody = std::u16string(source.substr(0, bodyStart));
    page.AfterBody = std::u16string(source.substr(bodyEnd));
    std::u16string_view body = source.substr(bodyStart, bodyEnd - bodyStart);
    // A second body end tag inside: the body stops at the first.
    for (std::size_t i = 0; i + 6 <= body.size(); ++i) {
        if (body[i] == u'<' && lowerAscii(body.substr(i, 6)) == u"</body") {
            body = body.substr(0, i);
            break;
        }
    }
    page.Body = std::u16string(body);
    return page;
}

}  // namespace quillet
