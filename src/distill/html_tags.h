// What the page scanners share: the open-element record and stack, the tag-name lists, the
// white-space rules, reading a tag's name, closing and folding elements, and cutting a page into
// head, body and tail. No document tree is built; tags are known by "<" and ">" only.
#pragma once

#include "distill/text_rope.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillet {

// One open element.
struct THtmlTag {
    std::u16string Name;   // as read from the page; "Root" for the root entry
    std::u16string Start;  // the start tag as written, "<" through ">"
    TextRope Inner;        // markup and text collected inside, folded children included
    std::u16string Tail;   // the end tag as written, once met
    TextRope InnerText;    // text characters only, children included
    bool HasHeading = false;
    bool NonDoc = false;  // a non-document element or inside one
    int Blocks = 0;       // break tags met inside it, children included
    int CharCount = 0;    // weight of the visible content
    bool Block = false;
    bool NotCut = true;  // starts before the end of the kept range
    bool InTop = true;   // starts after the start of the kept range
    bool Hide = false;   // the start tag holds display:none
};

// The stack of open elements, bottom first; entry 0 is the root entry. Finding the nearest open
// element of a name takes constant time however deep the stack is.
class THtmlTags {
public:
    // A stack holding only a fresh root entry.
    THtmlTags() { reset(); }
    void reset();

    int Count() const { return static_cast<int>(m_items.size()); }
    // Only ever shortens: entries above `count` are removed; a larger value changes nothing.
    void setCount(int count);
    THtmlTag& Items(int i) { return m_items[static_cast<std::size_t>(i)]; }
    const THtmlTag& Items(int i) const { return m_items[static_cast<std::size_t>(i)]; }
    THtmlTag& top() { return m_items.back(); }

    // Pushes a new element named `name` with start tag `start`; NonDoc follows the rule that
    // an element inside a non-document element is one too.
    THtmlTag& push(std::u16string name, std::u16string start);

    // The index of the nearest open element named `name` (ASCII letters in any case), the root
    // entry excluded; nothing when none is open.
    std::optional<int> findOpen(std::u16string_view name) const;

    // The summed CharCount of every entry.
    long long totalCharCount() const;

private:
    std::vector<THtmlTag> m_items;
    std::unordered_map<std::u16string, std::vector<int>> m_open;  // folded name -> indices
};

// Membership of the four tag-name lists, without regard to ASCII letter case.
bool IsBreakTag(std::u16string_view Name);
bool IsBlockTag(std::u16string_view Name);
bool IsNonDocTag(std::u16string_view Name);
bool IsEmptyTag(std::u16string_view Name);
// Phrase elements (a, b, font, span, ...): inside a block, not blocks of their own.
bool IsInlineTag(std::u16string_view Name);

// White space is exactly TAB, LF, CR and SPACE.
inline bool isWhiteSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// The first position at or after `from` that holds no white space; text.size() when none.
inline std::size_t skipWhiteSpace(std::u16string_view text, std::size_t from) {
    while (from < text.size() && isWhiteSpace(text[from])) ++from;
    return from;
}

// The tag and attribute scanner that ProcessSCR, GetLinkPages and the page readers of the stage
// share: every tag alike, its name read as its first attribute. `onValue(tag, name, value)` gives
// the value to write for each attribute that ends, `tag` being the name of the tag it stands in;
// with `out` null nothing is written.
template <typename OnValue>
void scanAttributes(std::u16string_view text, std::u16string* out, OnValue onValue) {
    enum class State { Outside, Attribute, Value };
    State state = State::Outside;
    std::u16string tag, name, value;
    bool tagNamed = false;  // the tag's name has been read
    char16_t quote = 0;     // quote of the value being read; 0 unquoted
    const auto write = [&](std::u16string_view s) {
        if (out != nullptr) out->append(s);
    };
    const auto endAttribute = [&] {
        if (!tagNamed) {
            tag = name;
            tagNamed = true;
        }
        write(onValue(std::as_const(tag), std::as_const(name), std::as_const(value)));
        name.clear();
        value.clear();
    };
    for (std::size_t p = 0; p < text.size(); ++p) {
        const char16_t c = text[p];
        switch (state) {
            case State::Outside:
                write(std::u16string_view(&c, 1));
                if (c == u'<') {
                    name.clear();
                    value.clear();
                    tagNamed = false;
                    state = State::Attribute;
                }
                break;
            case State::Attribute:
                if (isWhiteSpace(c) && !name.empty()) {
                    // Blanks and line breaks may stand between a name and its "=".
                    std::size_t q = p;
                    while (q < text.size() && isWhiteSpace(text[q])) ++q;
                    if (q < text.size() && text[q] == u'=') {
                        write(text.substr(p, q - p));
                        p = q - 1;
                        break;
                    }
                }
                if (isWhiteSpace(c) || c == u'>') {
                    endAttribute();
                    write(std::u16string_view(&c, 1));
                    if (c == u'>') state = State::Outside;
                } else if (c == u'=') {
                    write(u"=");
                    // And between the "=" and the value.
                    while (p + 1 < text.size() && isWhiteSpace(text[p + 1]))
                        write(text.substr(++p, 1));
                    quote = 0;
                    if (p + 1 < text.size() && (text[p + 1] == u'"' || text[p + 1] == u'\'')) {
                        quote = text[++p];
                        write(std::u16string_view(&quote, 1));
                    }
                    state = State::Value;
                } else {
                    name += c;
                    write(std::u16string_view(&c, 1));
                }
                break;
            case State::Value:
                if (c == u'>' || (quote != 0 ? c == quote : isWhiteSpace(c))) {
                    endAttribute();
                    write(std::u16string_view(&c, 1));
                    state = c == u'>' ? State::Outside : State::Attribute;
                } else {
                    value += c;
                }
                break;
        }
    }
    // A value the text ends in is kept as it was.
    if (state == State::Value) write(value);
}

// White space cut at both ends; each inner run becomes one SPACE.
std::u16string CollapseWhiteSpace(std::u16string_view S);
// White space cut at both ends only.
std::u16string TrimWhiteSpace(std::u16string_view S);
// Characters with codes up to 32 cut at both ends.
std::u16string trimControls(std::u16string_view S);

// A tag's name read from the name collected after its "<": one trailing "/" dropped, then a
// leading "/" marks an end tag. Nothing for an empty name or a lone "/".
struct ParsedTag {
    std::u16string name;
    bool isEnd = false;
};
std::optional<ParsedTag> readTagName(std::u16string_view rawName);

// Reads tags one character at a time as the scanners do: "<" starts a tag (a "<" inside a tag
// starts a new one and leaves the unfinished text behind), the name runs to the first white
// space, ">" ends the tag. A ">" outside any tag is text.
class TagReader {
public:
    enum class Step {
        Text,      // a character outside tags
        TagStart,  // "<": unfinished() holds what an interrupted tag had collected
        InTag,     // a character inside a tag
        TagEnd,    // ">": text() and name() hold the whole tag; call clear() once handled
    };
    Step feed(char16_t c) {
        if (c == u'<') {
            m_unfinished = std::move(m_text);
            m_text = u"<";
            m_name.clear();
            m_inTag = m_readingName = true;
            return Step::TagStart;
        }
        if (!m_inTag) return Step::Text;
        m_text += c;
        if (c == u'>') {
            m_inTag = m_readingName = false;
            return Step::TagEnd;
        }
        if (m_readingName) {
            if (isWhiteSpace(c))
                m_readingName = false;
            else
                m_name += c;
        }
        return Step::InTag;
    }
    const std::u16string& text() const { return m_text; }
    const std::u16string& name() const { return m_name; }
    const std::u16string& unfinished() const { return m_unfinished; }
    void clear() { m_text.clear(); }

private:
    bool m_inTag = false;        // between "<" and ">"
    bool m_readingName = false;  // still in the tag's name
    std::u16string m_text, m_name, m_unfinished;
};

// Folds entry k into entry k-1, plain form: text, then Start + Inner + Tail as markup, then the
// counts.
void FoldElement(THtmlTags& tags, int k);

// Closes the nearest open element named like the end tag: sets its Tail, folds every entry
// from the top down to it, and cuts the stack back below it. False, changing nothing, when no
// element of that name is open.
bool CloseElement(THtmlTags& tags, std::u16string_view name, std::u16string_view endTag);

// The page cut at its body start tag (BeforeBody ends with that tag's ">") and at its body end
// tag (AfterBody starts with its "<"). Without a body start tag the whole page is the body.
struct SplitPage {
    std::u16string BeforeBody, Body, AfterBody;
};
SplitPage SplitHtmlBody(std::u16string_view source);

// Whether `text` contains `word` without regard to ASCII letter case.
bool containsIgnoringAsciiCase(std::u16string_view text, std::u16string_view word);

// `text` with every occurrence of `from` (ASCII letters in any case) replaced by `to`.
std::u16string replaceIgnoringAsciiCase(std::u16string_view text, std::u16string_view from,
                                        std::u16string_view to);

}  // namespace quillet
