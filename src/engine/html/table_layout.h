// The automatic table layout of browsers: how narrow a cell's content can be and how wide it
// would like to be, measured in its runs' fonts, and how a table shares its width among its
// columns from those widths and the widths the page gives. It reads no HTML and builds no table.
#pragma once

#include "engine/fonts/text_measure.h"
#include "engine/fragment.h"
#include "engine/styles.h"

#include <optional>
#include <vector>

namespace quillet::engine::html {

// Word's default cell margins, left and right together, in points: all that an empty cell
// takes.
inline constexpr double kCellPadding = 11.5;

// How narrow content can be set (its widest piece that no line may break, or its widest
// picture) and how wide it would like to be (each paragraph on one line), in points.
struct ContentWidths {
    double minimum = 0;
    double preferred = 0;
};

// The widths of a cell's content, padding not included: its paragraphs measured by `measure` in
// the fonts of their runs (what a run leaves unset, its paragraph style gives from `styles`),
// with their indents; a table inside counts its own columns' widths. Field codes and hidden text
// take no room.
ContentWidths measureContent(const Fragment& content, const StyleSheet& styles,
                             fonts::TextMeasure& measure);

// One cell as the column layout sees it: where it stands on the grid, its content's widths
// (padding included) and the width the page gives it, if any.
struct LayoutCell {
    int column = 0;
    int span = 1;
    ContentWidths content;
    std::optional<double> width;    // points
    std::optional<double> percent;  // of the table's width
};

// The widths of `columns` columns holding `cells`, in points. A table of `explicitWidth` takes
// that width (never less than its columns' minimums); one without takes its columns' preferred
// widths. Neither reaches past `available`: when the preferred widths do not fit, each column
// gets its minimum and the rest is shared in proportion to how much more each would like; when
// not even the minimums fit, the widest are cut to one width that lets the others keep theirs
// (Word breaks a word wider than its cell anyway). Columns whose cells give a width or
// percentage keep it before the others grow.
std::vector<double> layOutColumns(const std::vector<LayoutCell>& cells, int columns,
                                  std::optional<double> explicitWidth, double available);

// The minimum and preferred widths of a table laid out from `cells`: its columns' sums.
ContentWidths tableWidths(const std::vector<LayoutCell>& cells, int columns);

// Makes each table directly in `content` (not inside another of its tables) no wider than
// `width` when its columns allow: its grid laid out again in that width from its cells' content,
// its cells' widths following, and so on for the tables inside the cells of one laid out again.
void fitTables(Fragment& content, double width, const StyleSheet& styles,
               fonts::TextMeasure& measure);

}  // namespace quillet::engine::html
