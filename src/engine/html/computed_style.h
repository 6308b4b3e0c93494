// The computed style of an element: its declarations in cascade order and the values they give
// under its parent's style. It matches no selectors (css.h does) and lays nothing out.
#pragma once

#include "engine/formats.h"
#include "engine/html/css.h"
#include "engine/html/html_elements.h"

#include <gumbo.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillet::engine::html {

// What the cascade gives an element: inherited character and paragraph properties, and its own.
struct Computed {
    CharFormat chars;
    std::optional<int> align;
    std::optional<double> textIndent;
    bool pre = false;
    bool noWrap = false;  // white-space: nowrap or pre: lines break only where the text does
    std::string listStyle;
    double indent = 0;  // left indent of the block content, points
    double rightIndent = 0;
    std::optional<int> blockShading;

    Display display = Display::Inline;
    std::optional<double> marginTop;
    std::optional<double> marginBottom;
    std::optional<int> background;
    std::optional<double> width;         // points
    std::optional<double> widthPercent;  // of the containing width
    std::optional<double> height;
    std::optional<double> borderWidth;
    // line-height, inherited: a number (or percentage) of the font size, or a length in points.
    std::optional<double> lineHeightFactor;
    std::optional<double> lineHeightPoints;
};

// A property as the cascade hands it on: a longhand name and its value as written.
using Property = std::pair<std::string, std::string>;

// Appends the longhands that `d` stands for: the four sides of margin and padding, the parts of
// font, background, border, border-width and list-style that this reading uses; any other
// property as it is.
void expand(const Declaration& d, std::vector<Property>& out);

// Appends the properties that element `e`'s presentational attributes give (font face, size and
// colour, align, bgcolor, nowrap, a list's type, a table's border).
void presentationalHints(const GumboElement& e, std::vector<Property>& out);

// The properties of element `e` in cascade order, a later one overriding an earlier one: the
// default style sheet, presentational attributes, the page's rules, the style attribute, then
// the !important declarations of rules and attribute. `path` holds the open elements, `e`'s key
// last; `defaults` is the browser's style sheet, `sheets` the page's.
std::vector<Property> cascade(const GumboElement& e, const std::vector<ElementKey>& path,
                              const StyleSheetSet& defaults, const StyleSheetSet& sheets);

// The style of an element laid out as `display` by default, from its properties in cascade order
// and its parent's style. Character and paragraph properties are inherited, the others start
// unset; "inherit" and values that cannot be read leave a property as it would be without them.
// Margins and padding add to the indents of a block, clamped to kMaxLength.
Computed computeStyle(const std::vector<Property>& properties, const Computed& parent,
                      Display display);

// Word's paragraph alignment (0 left, 1 centre, 2 right, 3 justified) for a text-align value or
// an align attribute; nothing for another value.
std::optional<int> alignmentOf(std::string_view value);

}  // namespace quillet::engine::html
