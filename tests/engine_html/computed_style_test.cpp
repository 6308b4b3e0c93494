// The computed style of web-page reading as a table: an element's declarations and its parent's
// style in, the computed values out.
#include "engine/html/computed_style.h"

#include "engine/engine_fixture.h"
#include "platform/utf.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace quillet::engine::html {
namespace {

// Every value of a computed style that is set, in a fixed order: "block size=12 indent=18".
std::string describe(const Computed& c) {
    static const char* const kDisplays[] = {"inline", "block", "list-item", "none"};
    std::ostringstream out;
    out << kDisplays[static_cast<int>(c.display)];
    out << quillet::testing::dumpCharFormat(c.chars);
    if (c.align) out << " align=" << *c.align;
    if (c.textIndent) out << " first=" << *c.textIndent;
    if (c.pre) out << " pre";
    if (!c.listStyle.empty()) out << " list=" << c.listStyle;
    if (c.indent != 0) out << " indent=" << c.indent;
    if (c.rightIndent != 0) out << " right=" << c.rightIndent;
    if (c.blockShading) out << " pshading=" << *c.blockShading;
    if (c.marginTop) out << " top=" << *c.marginTop;
    if (c.marginBottom) out << " bottom=" << *c.marginBottom;
    if (c.background) out << " background=" << *c.background;
    if (c.width) out << " width=" << *c.width;
    if (c.widthPercent) out << " width%=" << *c.widthPercent;
    if (c.height) out << " height=" << *c.height;
    if (c.borderWidth) out << " border=" << *c.borderWidth;
    return out.str();
}

struct Case {
    std::string_view css;                   // the element's declarations in cascade order
    Display display;                        // the element's default
    std::function<void(Computed&)> parent;  // how the parent differs from an unstyled one
    std::string_view out;
};

const Case kCases[] = {
    // Box shorthands; the sides add to the indents of blocks only.
    {"margin: 6pt 12pt", Display::Block, {}, "block indent=12 right=12 top=6 bottom=6"},
    {"margin: 6pt 12pt; padding-left: 3pt", Display::Inline, {}, "inline top=6 bottom=6"},
    {"padding-left: 1em", Display::Block,
     [](Computed& p) {
         p.chars.size = 10;
         p.indent = 20;
     },
     "block size=10 indent=30"},
    {"margin-left: 100in; margin-right: -100in",
     Display::Block,
     {},
     "block indent=1584 right=-1584"},
    // Fonts: the shorthand, relative sizes, weights, East Asian names.
    {"font: italic bold 14pt/20pt Arial, sans-serif",
     Display::Inline,
     {},
     "inline font=Arial size=14 bold=1 italic=1"},
    {"font-size: 2em; text-indent: 1em", Display::Block, [](Computed& p) { p.chars.size = 10; },
     "block size=20 first=20"},
    {"font-weight: 600", Display::Inline, {}, "inline bold=1"},
    {"font-weight: 300", Display::Inline, [](Computed& p) { p.chars.bold = true; },
     "inline bold=0"},
    {"font-family: SimSun, Arial", Display::Inline, {}, "inline font=SimSun ea=SimSun"},
    {"font-family: Arial, \xE5\xAE\x8B\xE4\xBD\x93",
     Display::Inline,
     {},
     "inline font=Arial ea=\xE5\xAE\x8B\xE4\xBD\x93"},
    // Decoration, position, colour; a later declaration wins, "inherit" keeps the parent's.
    {"text-decoration: underline line-through", Display::Inline, {}, "inline underline=1 strike=1"},
    {"text-decoration: none", Display::Inline, [](Computed& p) { p.chars.underline = 1; },
     "inline underline=0 strike=0"},
    {"vertical-align: super", Display::Inline, {}, "inline valign=1"},
    {"color: red; color: blue", Display::Inline, {}, "inline color=16711680"},
    {"color: inherit; background-color: inherit", Display::Inline,
     [](Computed& p) {
         p.chars.color = 255;
         p.background = 255;
     },
     "inline color=255"},
    // A link's character style stays with the link.
    {"", Display::Inline, [](Computed& p) { p.chars.charStyle = u"Hyperlink"; }, "inline"},
    // Backgrounds: a block's shades its paragraphs, inherited until one is transparent; an
    // inline element's shades its characters.
    {"background: #ff0000", Display::Block, {}, "block pshading=255 background=255"},
    {"background: #ff0000", Display::Inline, {}, "inline shading=255 background=255"},
    {"", Display::Block, [](Computed& p) { p.blockShading = 255; }, "block pshading=255"},
    {"background: transparent", Display::Block, [](Computed& p) { p.blockShading = 255; }, "block"},
    // Display: only an inline element becomes a block by a block-like value.
    {"display: none", Display::Block, {}, "none"},
    {"display: block", Display::Inline, {}, "block"},
    {"display: table-cell", Display::ListItem, {}, "list-item"},
    {"display: inline", Display::Block, {}, "inline"},
    // Paragraph properties: inherited, replaced only by a value that can be read.
    {"text-align: justify", Display::Block, {}, "block align=3"},
    {"text-align: bogus", Display::Block, [](Computed& p) { p.align = 1; }, "block align=1"},
    {"white-space: pre-wrap", Display::Inline, {}, "inline pre"},
    {"white-space: normal", Display::Inline, [](Computed& p) { p.pre = true; }, "inline"},
    {"list-style-type: lower-alpha", Display::Block, {}, "block list=lower-alpha"},
    // Sizes and borders are the element's own.
    {"width: 50%", Display::Block, {}, "block width%=50"},
    {"width: 200px; height: 75pt; border: thin solid red", Display::Block,
     [](Computed& p) { p.width = 100; }, "block width=150 height=75 border=0.75"},
};

TEST(ComputedStyle, Cases) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.css);
        std::vector<Property> properties;
        for (const Declaration& d : parseDeclarations(c.css)) expand(d, properties);
        Computed parent;
        if (c.parent) c.parent(parent);
        EXPECT_EQ(describe(computeStyle(properties, parent, c.display)), c.out);
    }
}

}  // namespace
}  // namespace quillet::engine::html
