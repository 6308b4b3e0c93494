// What a story holds besides its characters: bookmarks, hyperlinks, fields, inline pictures,
// floating shapes and the layout of its tables. Each positioned item is a Span the story keeps in
// step with edits; tables are described here and their cells are named by paragraph formatting.
#pragma once

#include "engine/picture.h"
#include "engine/span_index.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace quillet::engine {

struct Bookmark : Span {
    std::u16string name;
};

// A hyperlink over its shown text: to a file or web address, or to a bookmark of this document
// (subAddress), or both.
struct Hyperlink : Span {
    std::u16string address;
    std::u16string subAddress;
    std::u16string screenTip;
};

// A field, from its begin character to just after its end character. Its code is the text from
// the begin character to the separator; its result the text from the separator to the end.
struct Field : Span {};

// An inline picture over its one picture character.
struct InlinePicture : Span {
    PictureData picture;
};

// Office shape types used here.
inline constexpr int kShapeLine = 9;
inline constexpr int kShapeLinkedPicture = 11;
inline constexpr int kShapePicture = 13;

// A floating shape, anchored to the paragraph of its span [p, p + 1). Positions are points from
// the page's top left corner; the size is picture.width and picture.height for every type.
struct Shape : Span {
    int type = kShapeLine;
    double left = 0;
    double top = 0;
    bool flipHorizontal = false;  // a line from the top right to the bottom left, and so on
    bool flipVertical = false;
    double lineWeight = 0.75;  // points
    PictureData picture;       // the image of the picture types; the size of all
};

// A line from (x1, y1) to (x2, y2), in points: placed at the top left of its box and flipped to
// run the way it was drawn.
inline Shape lineShape(double x1, double y1, double x2, double y2) {
    Shape shape;
    shape.type = kShapeLine;
    shape.left = std::min(x1, x2);
    shape.top = std::min(y1, y2);
    shape.picture.width = shape.picture.naturalWidth = std::fabs(x2 - x1);
    shape.picture.height = shape.picture.naturalHeight = std::fabs(y2 - y1);
    shape.picture.lockAspectRatio = false;
    shape.flipHorizontal = x2 < x1;
    shape.flipVertical = y2 < y1;
    return shape;
}

struct CellInfo {
    double width = 0;  // points, 0 for automatic
    int gridSpan = 1;
    int verticalMerge = 0;  // 0 none, 1 starts a merged cell, 2 continues the one above
    std::optional<int> shading;
    // The cell's own borders, in points (0 for none), where they differ from the table's.
    std::optional<double> borderWidth;
    bool operator==(const CellInfo&) const = default;
};

struct RowInfo {
    std::vector<CellInfo> cells;
    bool header = false;
    bool operator==(const RowInfo&) const = default;
};

// The layout of one table. Its text lies in the paragraphs whose formatting names its cells.
struct TableInfo {
    std::vector<double> grid;  // column widths in points
    std::vector<RowInfo> rows;
    double borderWidth = 0.5;      // points; 0 for no borders
    std::optional<int> alignment;  // 0 left, 1 centre, 2 right
    bool operator==(const TableInfo&) const = default;
};

}  // namespace quillet::engine
