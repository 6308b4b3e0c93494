// The formatting values of the document model: character formatting (a property left unset is
// taken from the style) and paragraph formatting, with the special characters of a story.
// Plain values with no behaviour beyond merging; styles and stories own them.
#pragma once

#include <compare>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillet::engine {

// The special characters of a story, as Word counts them: each is one position.
inline constexpr char16_t kParagraphMark = u'\r';
inline constexpr char16_t kSectionBreak = u'\f';  // also ends its paragraph
inline constexpr char16_t kCellMark = u'\a';      // ends the last paragraph of a table cell
inline constexpr char16_t kLineBreak = u'\v';
inline constexpr char16_t kPageBreak = u'\x0e';
inline constexpr char16_t kTab = u'\t';
inline constexpr char16_t kPictureChar = u'\x01';  // an inline picture
inline constexpr char16_t kFieldBegin = u'\x13';
inline constexpr char16_t kFieldSeparator = u'\x14';
inline constexpr char16_t kFieldEnd = u'\x15';

inline bool endsParagraph(char16_t c) {
    return c == kParagraphMark || c == kSectionBreak || c == kCellMark;
}

// Word's colour values: 0x00BBGGRR, or automatic.
inline constexpr int kAutoColor = -16777216;

// The largest length Word accepts, in points (22 inches): for an indent, a paragraph's spacing,
// a page side, a shape or a picture. The engine's objects refuse more, and readers of other
// formats clamp to it, so that the model never holds a length Word would reject.
inline constexpr double kMaxLength = 1584;

struct CharFormat {
    std::optional<std::u16string> font;              // Latin and complex-script font name
    std::optional<std::u16string> eastAsiaFont;      // Chinese, Japanese and Korean text
    std::optional<std::u16string> eastAsiaLanguage;  // language tag of such text ("ja-JP")
    std::optional<std::u16string> language;          // language tag of other text ("ru-RU")
    std::optional<double> size;                      // points
    std::optional<int> color;                        // 0x00BBGGRR or kAutoColor
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<int> underline;  // Word's underline kinds: 0 none, 1 single
    std::optional<bool> strike;
    std::optional<int> verticalAlign;  // 0 baseline, 1 superscript, 2 subscript
    std::optional<int> shading;        // background colour, 0x00BBGGRR
    std::optional<bool> hidden;
    std::u16string charStyle;  // name of a character style ("Hyperlink"), empty for none

    auto operator<=>(const CharFormat&) const = default;
    bool operator==(const CharFormat&) const = default;

    // Sets every property that `over` sets (character style included when not empty).
    void apply(const CharFormat& over);
};

// One table cell that holds a paragraph: the table (an index into its story's tables), the row
// and the column within the row, counted from 0.
struct CellRef {
    int table = 0;
    int row = 0;
    int column = 0;
    auto operator<=>(const CellRef&) const = default;
};

struct ParaFormat {
    int style = 0;                          // index into the document's style sheet; 0 is Normal
    std::optional<int> alignment;           // 0 left, 1 centre, 2 right, 3 justified
    std::optional<int> outlineLevel;        // 1 to 9, 10 body text; unset: the style's
    std::optional<double> leftIndent;       // points
    std::optional<double> rightIndent;      // points
    std::optional<double> firstLineIndent;  // points, negative for a hanging indent
    std::optional<double> spaceBefore;      // points
    std::optional<double> spaceAfter;       // points
    std::optional<int> shading;             // background colour, 0x00BBGGRR
    std::optional<bool> pageBreakBefore;
    std::optional<bool> keepWithNext;
    // Line spacing as Word counts it: with rule 5 (multiple) in twelfths of a line (12 single,
    // 18 one and a half), with rule 3 (at least) and 4 (exactly) in points.
    std::optional<double> lineSpacing;
    std::optional<int> lineSpacingRule;
    std::optional<double> bottomBorder;  // a rule line under the paragraph, its width in points
    std::optional<double> rightTab;      // a right-aligned tab stop with a dotted leader, points
    int list = 0;                        // a list of the document (1 and up), 0 for none
    int listLevel = 0;                   // 0 to 8
    std::vector<CellRef> cells;          // the table cells that hold the paragraph, outermost first

    auto operator<=>(const ParaFormat&) const = default;
    bool operator==(const ParaFormat&) const = default;

    // Clears the direct paragraph formatting, keeping the style, the list and the cells: what
    // applying a paragraph style does.
    void clearDirect();
};

}  // namespace quillet::engine

// Hashes of the formatting values, for the tables that keep each distinct value once.
template <>
struct std::hash<quillet::engine::CharFormat> {
    std::size_t operator()(const quillet::engine::CharFormat& f) const;
};
template <>
struct std::hash<quillet::engine::ParaFormat> {
    std::size_t operator()(const quillet::engine::ParaFormat& f) const;
};
