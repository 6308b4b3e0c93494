// The style sheet of a document: Word's built-in styles that the engine writes (Normal, Heading 1
// to 9, TOC 1 to 9, Hyperlink, Header, Footer, Default Paragraph Font), the index styles once an
// index asks for them (builtinIndexStyle), and any added by reading or pasting. Styles are found by
// index, name or built-in number; they are never removed, so an index stays valid. Resolving
// formatting follows "based on" chains.
#pragma once

#include "engine/formats.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillet::engine {

enum class StyleType { Paragraph = 1, Character = 2, Table = 3, List = 4 };

// Word's numbers of the built-in styles used here.
inline constexpr int kStyleNormal = -1;
inline constexpr int kStyleHeading1 = -2;  // to -10 for Heading 9
inline constexpr int kStyleIndex1 = -11;   // to -19 for Index 9
inline constexpr int kStyleToc1 = -20;     // to -28 for TOC 9
inline constexpr int kStyleHeader = -32;
inline constexpr int kStyleFooter = -33;
inline constexpr int kStyleIndexHeading = -34;
inline constexpr int kStyleDefaultParagraphFont = -66;
inline constexpr int kStyleHyperlink = -86;

struct Style {
    std::u16string name;
    std::u16string id;  // the style's identifier in a .docx ("Heading1")
    StyleType type = StyleType::Paragraph;
    int builtin = 0;   // Word's built-in style number, 0 for others
    int basedOn = -1;  // index, -1 for none
    int next = -1;     // style of the paragraph after this one; -1: the same
    CharFormat font;
    ParaFormat paragraph;  // direct properties of the style; its `style` field is unused
};

class StyleSheet {
public:
    // The built-in styles, Normal at index 0.
    StyleSheet();

    int count() const { return static_cast<int>(m_styles.size()); }
    const Style& at(int index) const { return m_styles.at(static_cast<std::size_t>(index)); }
    Style& at(int index) { return m_styles.at(static_cast<std::size_t>(index)); }
    // Index by name (without regard to letter case), or -1.
    int findByName(std::u16string_view name) const;
    // Index by .docx identifier, or -1.
    int findById(std::u16string_view id) const;
    // Index of a built-in style by Word's number, or -1.
    int findBuiltin(int builtin) const;
    // Adds a style and returns its index; a style of the same name is replaced in place.
    int add(Style style);

    // The style's character formatting with everything it inherits, over the document defaults.
    CharFormat resolvedFont(int index) const;
    // The style's paragraph formatting with everything it inherits.
    ParaFormat resolvedParagraph(int index) const;
    // The outline level of a paragraph style: 1 to 9 for headings, 10 for body text.
    int outlineLevel(int index) const;

    // The document's default character formatting (font, size).
    CharFormat defaults;

private:
    std::vector<Style> m_styles;
};

// The index style with Word's number `builtin` (Index 1 to 9, Index Heading), added to `sheet`
// when it has none of that number or name yet; returns its index. Documents without an index
// keep a style sheet without them.
int builtinIndexStyle(StyleSheet& sheet, int builtin);

// The built-in number of Heading N (1 to 9).
inline int headingStyleNumber(int level) {
    return kStyleHeading1 - (level - 1);
}

}  // namespace quillet::engine
