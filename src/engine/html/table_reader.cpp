#include "engine/html/table_reader.h"

#include "engine/html/html_elements.h"
#include "engine/html/table_layout.h"
#include "platform/translation.h"
#include "platform/utf.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace quillet::engine::html {

namespace {

constexpr int kMaxSpan = 1000;  // colspan and rowspan, as browsers clamp them

// A width of 0 or less, as `width="0"` gives, means "automatic".
void dropEmptyWidth(std::optional<double>& width) {
    if (width && *width <= 0) width.reset();
}

struct CellOut {
    Fragment content;
    int row = 0;
    int column = 0;
    int rowSpan = 1;
    int colSpan = 1;
    std::optional<int> shading;
    std::optional<double> width;
    std::optional<double> widthPercent;
    std::optional<double> borderWidth;
    ContentWidths natural;  // padding included
};

void appendEmptyCell(Fragment& table, const CellRef& ref) {
    Fragment f;
    f.append(std::u16string(1, kCellMark), CharFormat{});
    f.addParagraph(ParaFormat{});
    appendFragment(table, std::move(f), ref);
}

// Lays the cells out on a grid as browsers do, each at the first free column of its row, over
// the columns and rows it spans: `grid` gets a line per row of the cell at each column (-1 for
// none), `columns` the grid's width. False, with nothing laid out, when the grid or the slots
// the cells cover would pass `budget`.
bool layOutWithSpans(std::vector<CellOut>& cells, const std::vector<std::size_t>& rowStarts,
                     std::size_t budget, std::vector<std::vector<int>>& grid, int& columns) {
    const std::size_t rowCount = rowStarts.size() - 1;
    grid.assign(rowCount, {});
    columns = 0;
    std::size_t covered = 0;
    for (std::size_t r = 0; r < rowCount; ++r) {
        std::size_t column = 0;
        for (std::size_t index = rowStarts[r]; index < rowStarts[r + 1]; ++index) {
            const auto& line = grid[r];
            while (column < line.size() && line[column] >= 0) ++column;
            CellOut& cell = cells[index];
            const auto colSpan = static_cast<std::size_t>(cell.colSpan);
            const auto rowSpan = static_cast<std::size_t>(cell.rowSpan);
            // Both stay within the budget, so neither the grid nor the filling of it grows past
            // it (a cell may cover slots that another one covers too).
            const std::size_t width = std::max(static_cast<std::size_t>(columns), column + colSpan);
            covered += rowSpan * colSpan;
            if (width * rowCount > budget || covered > budget) {
                grid.clear();
                columns = 0;
                return false;
            }
            columns = static_cast<int>(width);
            cell.column = static_cast<int>(column);
            for (std::size_t rr = r; rr < r + rowSpan; ++rr) {
                auto& spanned = grid[rr];
                if (spanned.size() < column + colSpan) spanned.resize(column + colSpan, -1);
                std::fill_n(spanned.begin() + static_cast<std::ptrdiff_t>(column), colSpan,
                            static_cast<int>(index));
            }
            column += colSpan;
        }
    }
    return true;
}

// Lays each row's cells out one after another without spans: the grid as wide as the longest
// row, each line as long as its own row.
void layOutPlainly(std::vector<CellOut>& cells, const std::vector<std::size_t>& rowStarts,
                   std::vector<std::vector<int>>& grid, int& columns) {
    const std::size_t rowCount = rowStarts.size() - 1;
    grid.assign(rowCount, {});
    columns = 0;
    for (std::size_t r = 0; r < rowCount; ++r) {
        for (std::size_t index = rowStarts[r]; index < rowStarts[r + 1]; ++index) {
            CellOut& cell = cells[index];
            cell.column = static_cast<int>(index - rowStarts[r]);
            cell.colSpan = 1;
            cell.rowSpan = 1;
            grid[r].push_back(static_cast<int>(index));
        }
        columns = std::max(columns, static_cast<int>(grid[r].size()));
    }
}

}  // namespace

const StyleSheet& TableWalk::styles() {
    static const StyleSheet kDefaults;
    return kDefaults;
}

fonts::TextMeasure& TableWalk::measure() {
    return fonts::systemTextMeasure();
}

std::optional<Fragment> readTable(const GumboElement& e, const Computed& style,
                                  double containerWidth, int depth, TableWalk& walk,
                                  std::size_t maxGridCells) {
    // The rows in order, with whether they repeat as a header.
    std::vector<std::pair<GumboNode*, bool>> rows;
    std::vector<GumboNode*> sections;  // the element holding each row, or null
    GumboNode* caption = nullptr;
    const GumboVector& children = e.children;
    for (unsigned i = 0; i < children.length; ++i) {
        auto* child = static_cast<GumboNode*>(children.data[i]);
        if (child->type != GUMBO_NODE_ELEMENT) continue;
        const GumboTag tag = child->v.element.tag;
        if (tag == GUMBO_TAG_CAPTION && !caption) caption = child;
        if (tag == GUMBO_TAG_TR) {
            rows.emplace_back(child, false);
            sections.push_back(nullptr);
        }
        if (tag == GUMBO_TAG_THEAD || tag == GUMBO_TAG_TBODY || tag == GUMBO_TAG_TFOOT) {
            const GumboVector& inner = child->v.element.children;
            for (unsigned j = 0; j < inner.length; ++j) {
                auto* row = static_cast<GumboNode*>(inner.data[j]);
                if (row->type == GUMBO_NODE_ELEMENT && row->v.element.tag == GUMBO_TAG_TR) {
                    rows.emplace_back(row, tag == GUMBO_TAG_THEAD);
                    sections.push_back(child);
                }
            }
        }
    }
    if (caption) walk.caption(caption, style, depth);
    if (rows.empty()) return std::nullopt;

    const double available = std::max(36.0, containerWidth - style.indent);
    // The width the page gives the table, if any; what its cells' percentages are of.
    std::optional<double> explicitWidth;
    if (style.width)
        explicitWidth = *style.width;
    else if (style.widthPercent)
        explicitWidth = available * *style.widthPercent / 100;
    std::optional<double> attrWidth, attrPercent;
    if (!style.width && !style.widthPercent) {
        sizeAttribute(attribute(e, "width"), attrWidth, attrPercent);
        dropEmptyWidth(attrWidth);
        dropEmptyWidth(attrPercent);
        if (attrWidth)
            explicitWidth = *attrWidth;
        else if (attrPercent)
            explicitWidth = available * *attrPercent / 100;
    }
    if (explicitWidth && *explicitWidth <= 0) explicitWidth.reset();
    // A table never reaches past the text.
    if (explicitWidth) explicitWidth = std::clamp(*explicitWidth, 18.0, available);
    const double tableWidth = explicitWidth.value_or(available);

    // Render each cell into its own fragment, noting the spans it asks for.
    const int rowCount = static_cast<int>(rows.size());
    std::vector<CellOut> cells;
    std::vector<std::size_t> rowStarts;  // the first of each row's cells, and then their end
    GumboNode* openSection = nullptr;
    for (int r = 0; r < rowCount; ++r) {
        rowStarts.push_back(cells.size());
        GumboNode* sectionNode = sections[static_cast<std::size_t>(r)];
        if (sectionNode != openSection) {
            if (openSection) walk.leave();
            if (sectionNode) walk.enter(sectionNode);
            openSection = sectionNode;
        }
        GumboNode* rowNode = rows[static_cast<std::size_t>(r)].first;
        walk.enter(rowNode);
        const Computed sectionStyle =
            sectionNode ? walk.styleOf(sectionNode->v.element, style) : style;
        const Computed rowStyle = walk.styleOf(rowNode->v.element, sectionStyle);
        const GumboVector& rowChildren = rowNode->v.element.children;
        for (unsigned i = 0; i < rowChildren.length; ++i) {
            auto* cellNode = static_cast<GumboNode*>(rowChildren.data[i]);
            if (cellNode->type != GUMBO_NODE_ELEMENT) continue;
            const GumboElement& ce = cellNode->v.element;
            if (ce.tag != GUMBO_TAG_TD && ce.tag != GUMBO_TAG_TH) continue;
            CellOut cell;
            cell.row = r;
            cell.colSpan = integerAttribute(ce, "colspan", 1, kMaxSpan).value_or(1);
            // A row span reaches no further than the table's last row: it adds none.
            cell.rowSpan = integerAttribute(ce, "rowspan", 1, rowCount - r).value_or(1);
            walk.enter(cellNode);
            Computed cellStyle = walk.styleOf(ce, rowStyle);
            cell.shading = cellStyle.background ? cellStyle.background : rowStyle.background;
            cell.width = cellStyle.width;
            cell.widthPercent = cellStyle.widthPercent;
            dropEmptyWidth(cell.width);
            dropEmptyWidth(cell.widthPercent);
            if (!cell.width && !cell.widthPercent) {
                sizeAttribute(attribute(ce, "width"), cell.width, cell.widthPercent);
                dropEmptyWidth(cell.width);
                dropEmptyWidth(cell.widthPercent);
            }
            cell.borderWidth = cellStyle.borderWidth;
            const double cellWidth = std::min(
                cell.width.value_or(cell.widthPercent ? tableWidth * *cell.widthPercent / 100
                                                      : tableWidth),
                tableWidth);
            cellStyle.indent = 0;
            cellStyle.rightIndent = 0;
            cellStyle.blockShading.reset();
            cell.content = walk.cell(cellNode, cellStyle, cellWidth, depth);
            cell.natural = measureContent(cell.content, walk.styles(), walk.measure());
            // A cell whose lines do not wrap (nowrap, white-space: nowrap or pre) is no
            // narrower than its longest line.
            if (cellStyle.noWrap) cell.natural.minimum = cell.natural.preferred;
            cell.natural.minimum += kCellPadding;
            cell.natural.preferred += kCellPadding;
            walk.leave();
            cells.push_back(std::move(cell));
        }
        walk.leave();
    }
    if (openSection) walk.leave();
    rowStarts.push_back(cells.size());

    // Lay the cells out on the grid: each row's line holds the cell at each column, or -1.
    std::vector<std::vector<int>> grid;
    int columns = 0;
    const std::size_t budget = std::max(maxGridCells, cells.size());
    const bool plain = !layOutWithSpans(cells, rowStarts, budget, grid, columns);
    if (plain) {
        // The spans would lay a few cells out on a grid of millions of slots: read as plain
        // rows, the cells all come through and the table stays the size of the page's.
        walk.warning(
            tr16(QT_TRANSLATE_NOOP("quillet",
                                   "a table of %1 rows is read without its row and column "
                                   "spans, which would make a grid of more than %2 cells."),
                 {fromUtf8(std::to_string(rowCount)), fromUtf8(std::to_string(budget))}));
        layOutPlainly(cells, rowStarts, grid, columns);
    }
    if (columns == 0) return std::nullopt;

    // Column widths as browsers lay a table out automatically: from the cells' content and
    // the widths the page gives.
    std::vector<LayoutCell> layoutCells;
    layoutCells.reserve(cells.size());
    for (const CellOut& c : cells)
        layoutCells.push_back({c.column, c.colSpan, c.natural, c.width, c.widthPercent});
    TableInfo info;
    info.grid = layOutColumns(layoutCells, columns, explicitWidth, available);
    info.borderWidth = std::clamp(style.borderWidth.value_or(0), 0.0, 6.0);
    // A table without borders of its own whose cells all have the same ones takes theirs; cells
    // whose borders differ from the table's keep their own.
    if (info.borderWidth == 0 && !cells.empty() &&
        std::all_of(cells.begin(), cells.end(), [&](const CellOut& c) {
            return c.borderWidth && *c.borderWidth > 0 &&
                   *c.borderWidth == *cells.front().borderWidth;
        }))
        info.borderWidth = std::min(*cells.front().borderWidth, 6.0);
    if (hasAttribute(e, "align")) info.alignment = alignmentOf(attribute(e, "align"));
    if (info.alignment == 3) info.alignment.reset();

    // The table comes first among the fragment's tables, those inside its cells after it.
    Fragment table;
    constexpr int tableIndex = 0;
    table.tables.push_back({});
    for (int r = 0; r < rowCount; ++r) {
        RowInfo row;
        row.header = rows[static_cast<std::size_t>(r)].second;
        const auto& line = grid[static_cast<std::size_t>(r)];
        int modelColumn = 0;
        // A plain row has its own cells only: padded to the grid's width, a long row over many
        // short ones would make as many empty cells as the grid has slots.
        const int width = plain ? static_cast<int>(line.size()) : columns;
        for (int c = 0; c < width;) {
            const int index =
                c < static_cast<int>(line.size()) ? line[static_cast<std::size_t>(c)] : -1;
            CellInfo ci;
            const CellRef ref{tableIndex, r, modelColumn++};
            if (index < 0) {
                ci.width = info.grid[static_cast<std::size_t>(c)];
                appendEmptyCell(table, ref);
                ++c;
            } else {
                CellOut& cell = cells[static_cast<std::size_t>(index)];
                ci.gridSpan = cell.colSpan;
                for (int cc = c; cc < c + cell.colSpan && cc < columns; ++cc)
                    ci.width += info.grid[static_cast<std::size_t>(cc)];
                ci.shading = cell.shading;
                if (cell.borderWidth) {
                    const double own = std::clamp(*cell.borderWidth, 0.0, 6.0);
                    if (own != info.borderWidth) ci.borderWidth = own;
                }
                if (cell.row == r) {
                    ci.verticalMerge = cell.rowSpan > 1 ? 1 : 0;
                    // The tables inside were read before the column got its width.
                    fitTables(cell.content, ci.width - kCellPadding, walk.styles(), walk.measure());
                    appendFragment(table, std::move(cell.content), ref);
                } else {
                    ci.verticalMerge = 2;
                    appendEmptyCell(table, ref);
                }
                c += cell.colSpan;
            }
            row.cells.push_back(ci);
        }
        info.rows.push_back(std::move(row));
    }
    table.tables.front() = std::move(info);
    return table;
}

void appendFragment(Fragment& to, Fragment&& from, std::optional<CellRef> cell) {
    const int shift = static_cast<int>(to.text.size());
    const int tableBase = static_cast<int>(to.tables.size());
    to.appendText(from, [&](ParaFormat& p) {
        for (CellRef& inner : p.cells) inner.table += tableBase;
        if (cell) p.cells.insert(p.cells.begin(), *cell);
    });
    for (TableInfo& t : from.tables) to.tables.push_back(std::move(t));
    auto moved = [shift](auto item) {
        item.start += shift;
        item.end += shift;
        return item;
    };
    for (const Bookmark& b : from.bookmarks) to.bookmarks.push_back(moved(b));
    for (const Hyperlink& h : from.hyperlinks) to.hyperlinks.push_back(moved(h));
    for (const InlinePicture& p : from.pictures) to.pictures.push_back(moved(p));
}

}  // namespace quillet::engine::html
