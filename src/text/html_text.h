// Text operations on hand-written HTML that need no parser: a page's title, cutting out marked
// blocks, one attribute's value, near-equal texts, and the fixed URL-attribute and extension
// lists. Nothing here builds a tree or judges markup; any input, however broken, has a result.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// The blank set: TAB, LF, CR and space, and no other character.
inline bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// The text between the first bare "<title>" and the first "</title>" (ASCII letters in any
// case), with every CR and LF deleted and entities decoded; other blanks are kept, nothing is
// trimmed. Empty when either tag is missing or they come in the wrong order; a title tag with
// attributes does not count. Throws NumberConversionError as DecodeEntities does.
std::u16string GetHtmlTitle(std::u16string_view Html);

// S without its blocks from StartMark through the next EndMark, the marks matched without
// regard to ASCII letter case. With a non-empty Filter only blocks containing it (again without
// regard to case) go; the others stay. Every mark left in the result is in lower case. A start
// mark without an end mark keeps the rest of S; an empty mark is never found.
std::u16string RemoveBlocks(std::u16string_view S, std::u16string_view StartMark,
                            std::u16string_view EndMark, std::u16string_view Filter);

// The value of attribute Name (ASCII letters in any case) in a tag's text such as
// `<a href="x.htm" name=top>`, empty when not found. Attributes are separated by blanks only,
// so one written straight after a closing quote is not seen, and a ">" ends a value even
// inside quotes once the name has matched.
std::u16string GetAttributeValue(std::u16string_view TagText, std::u16string_view Name);

// Whether two texts are nearly the same, as repeated headers and footers of pages are: after
// lower-casing ASCII letters, equal texts are; otherwise both need at least 5 characters,
// lengths within 50 of each other, and more than 80% of the shorter text matched in runs of
// three or more by a greedy left-to-right alignment. Empty texts never are. Allocates nothing;
// time close to linear in the lengths.
bool IsSimilarText(std::u16string_view S1, std::u16string_view S2);

// Whether Name is HREF, SRC or BACKGROUND, without regard to ASCII letter case.
bool IsUrlAttribute(std::u16string_view Name);

// Whether Ext, with its dot, is .HTML, .HTM, .SHTML or .SHT without regard to ASCII letter case.
bool IsHtmlExtension(std::u16string_view Ext);

}  // namespace quillet
