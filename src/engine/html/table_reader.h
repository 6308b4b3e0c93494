// The table reader: a <table>'s rows and cells on a grid with spans, column widths, border and
// shading, as a table of the model. It reads no content: the walk reads caption and cells.
#pragma once

#include "engine/fonts/text_measure.h"
#include "engine/fragment.h"
#include "engine/html/computed_style.h"

#include <gumbo.h>

#include <cstddef>
#include <optional>
#include <string>

namespace quillet::engine::html {

// How many slots a table's grid may have (rows times columns), or as many as it has cells when
// that is more: a table whose spans would lay it out on a larger grid is read as plain rows of
// cells without spans. A page of a few kilobytes could otherwise ask for a grid of billions.
inline constexpr std::size_t kMaxTableGridCells = 100'000;

// What the table reader asks of the walk that called it.
class TableWalk {
public:
    virtual ~TableWalk() = default;
    // Makes `node` the innermost open element for the selectors, until the matching leave().
    virtual void enter(const GumboNode* node) = 0;
    virtual void leave() = 0;
    // The computed style of `e` (a row group, row or cell) under `parent`, matched against the
    // open elements.
    virtual Computed styleOf(const GumboElement& e, const Computed& parent) = 0;
    // Reads the table's caption where the walk stands, before the table.
    virtual void caption(GumboNode* node, const Computed& tableStyle, int depth) = 0;
    // The content of cell `node`, laid out `width` points wide; its last character a cell mark.
    virtual Fragment cell(GumboNode* node, const Computed& style, double width, int depth) = 0;
    // Tells the user what of the page's table the reading could not keep.
    virtual void warning(const std::u16string& text) = 0;
    // The style sheet that the cells' paragraph styles number into: the fonts their text is
    // measured in where a run sets none. The built-in styles unless the walk says otherwise.
    virtual const StyleSheet& styles();
    // What the cells' text is measured with: the system's fonts unless the walk says otherwise.
    virtual fonts::TextMeasure& measure();
};

// Reads table `e`, styled `style`, in content `containerWidth` points wide: its caption through
// `walk`, then its rows, those of <thead> marked to repeat as a header. Its columns are as wide
// as browsers make them (table_layout.h), its cells' text measured through `walk`. Gives a fragment
// whose first table is this one, with its cells' paragraphs in order; nothing when it has no cells.
// Spans are clamped as browsers clamp them, a row span to the rows the table has; the table's
// width stays within kMaxLength. A table whose grid would pass `maxGridCells` (or its number of
// cells, when that is more) is read as plain rows, each of its cells, without spans, and the
// walk warned.
std::optional<Fragment> readTable(const GumboElement& e, const Computed& style,
                                  double containerWidth, int depth, TableWalk& walk,
                                  std::size_t maxGridCells = kMaxTableGridCells);

// Appends `from` to `to`: its positions moved past `to`'s text, its tables numbered after `to`'s
// and, with `cell` given, each of its paragraphs placed in that cell of one of `to`'s tables.
void appendFragment(Fragment& to, Fragment&& from, std::optional<CellRef> cell = std::nullopt);

}  // namespace quillet::engine::html
