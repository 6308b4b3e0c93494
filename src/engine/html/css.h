// The small CSS of web-page reading: style sheets parsed into rules (selectors by element, class,
// id and their combinations, descendant and child combinators, grouping), matched against the
// open elements, and the value syntax of the properties the document model can hold (colours,
// lengths, font sizes). Attribute selectors, sibling combinators and most pseudo-classes are not
// supported: a selector that uses them matches nothing. Malformed CSS is skipped, never an error.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillet::engine::html {

// One property as written: lower-cased name, value with surrounding space removed.
struct Declaration {
    std::string name;
    std::string value;
    bool important = false;
};

// What a selector knows of an element: lower-cased tag name, id and classes as written.
struct ElementKey {
    std::string tag;
    std::string id;
    std::vector<std::string> classes;
    bool isLink = false;      // an <a> with an href (":link")
    bool firstChild = false;  // the first element among its siblings
    // The other attributes (names lower-cased, values as written), for attribute selectors.
    std::vector<std::pair<std::string, std::string>> attributes;
};

// An attribute selector: "[name]", "[name=value]", and the "~=", "|=", "^=", "$=" and "*="
// tests, with an "i" flag for a value compared without regard to ASCII case.
struct AttributeTest {
    std::string name;  // lower-cased
    char op = 0;       // 0: present; '=', '~', '|', '^', '$', '*'
    std::string value;
    bool ignoreCase = false;
};

// One compound selector ("p.note#x"), with the combinator that joins it to the one before.
struct Compound {
    std::string tag;  // empty for any
    std::string id;
    std::vector<std::string> classes;
    std::vector<AttributeTest> attributes;
    bool needsLink = false;
    bool needsFirstChild = false;
    bool never = false;  // uses something not supported here
    bool child = false;  // joined by ">" (else by descendant space)
};

struct Selector {
    std::vector<Compound> parts;    // leftmost first
    std::uint32_t specificity = 0;  // ids << 16 | classes << 8 | types
};

struct Rule {
    Selector selector;
    // Shared by the rules of one selector list ("h1, h2 { ... }"), and by the sets they are
    // appended to.
    std::shared_ptr<const std::vector<Declaration>> declarations;
    std::uint32_t order = 0;  // position among all rules of the page
};

// The rules of a page's style sheets, in the order they were added.
class StyleSheetSet {
public:
    // Parses `css` and appends its rules. @media blocks for screens (or all media) are read,
    // other at-rules skipped. @import addresses are returned to the caller, in order.
    std::vector<std::string> add(std::string_view css);
    // Appends the rules of `other` after these, as if its style sheets had been added here.
    void append(const StyleSheetSet& other);

    // The rules whose selector matches the innermost of `path` (outermost element first), in
    // cascade order: by specificity, then by order. Of the rules of one selector list that match,
    // only the last in that order is given: its declarations count once.
    std::vector<const Rule*> matching(const std::vector<ElementKey>& path) const;

private:
    void addRule(Selector selector, std::shared_ptr<const std::vector<Declaration>> declarations);

    std::vector<Rule> m_rules;
    // Rules by the tag of their rightmost compound ("" for any tag).
    std::unordered_map<std::string, std::vector<std::size_t>> m_byTag;
};

// The declarations of a style attribute or rule body ("color: red; font-size: 12pt").
std::vector<Declaration> parseDeclarations(std::string_view text);

// A colour as Word keeps it (0x00BBGGRR) from "#rgb", "#rrggbb", "rrggbb", "rgb(r, g, b)" or a
// colour name; nothing for "transparent", "inherit" or what cannot be read.
std::optional<int> parseColor(std::string_view text);

// A length in points: pt, px (at 96 per inch), em and ex (of `emPoints`), in, cm, mm, pc, a bare
// 0; with `percentOf` set, percentages of it. Nothing for what cannot be read.
std::optional<double> parseLength(std::string_view text, double emPoints,
                                  std::optional<double> percentOf = std::nullopt);

// The font size in points that a font-size value gives, keywords and relative sizes included.
std::optional<double> parseFontSize(std::string_view text, double parentPoints);

// The size in points of an old <font size="N"> (1 to 7, or +N / -N from 3).
std::optional<double> fontSizeAttribute(std::string_view text);

// The font names of a font-family list in order, quotes removed, generic families mapped to
// fonts that Word and LibreOffice have.
std::vector<std::u16string> parseFontFamilies(std::string_view text);

// Splits a value into its space-separated parts, keeping "rgb(...)" and quoted text whole.
std::vector<std::string> splitValue(std::string_view text);

std::string_view trim(std::string_view text);

}  // namespace quillet::engine::html
