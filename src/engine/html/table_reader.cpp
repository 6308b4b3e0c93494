#include "engine/html/table_reader.h"

#include "engine/html/html_elements.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace quillet::engine::html {

namespace {

constexpr int kMaxSpan = 1000;  // colspan and rowspan, as browsers clamp them

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
};

void appendEmptyCell(Fragment& table, const CellRef& ref) {
    Fragment f;
    f.append(std::u16string(1, kCellMark), CharFormat{});
    f.addParagraph(ParaFormat{});
    appendFragment(table, std::move(f), ref);
}

}  // namespace

std::optional<Fragment> readTable(const GumboElement& e, const Computed& style,
                                  double containerWidth, int depth, TableWalk& walk) {
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
    double tableWidth = available;
    if (style.width)
        tableWidth = *style.width;
    else if (style.widthPercent)
        tableWidth = available * *style.widthPercent / 100;
    std::optional<double> attrWidth, attrPercent;
    if (!style.width && !style.widthPercent) {
        sizeAttribute(attribute(e, "width"), attrWidth, attrPercent);
        if (attrWidth)
            tableWidth = *attrWidth;
        else if (attrPercent)
            tableWidth = available * *attrPercent / 100;
    }
    tableWidth = std::clamp(tableWidth, 18.0, kMaxLength);

    // Lay the cells out on the grid, rendering each into its own fragment.
    const int rowCount = static_cast<int>(rows.size());
    std::vector<CellOut> cells;
    std::vector<std::vector<int>> grid(static_cast<std::size_t>(rowCount));
    auto occupied = [&](int r, int c) {
        const auto& line = grid[static_cast<std::size_t>(r)];
        return c < static_cast<int>(line.size()) && line[static_cast<std::size_t>(c)] >= 0;
    };
    auto occupy = [&](int r, int c, int index) {
        auto& line = grid[static_cast<std::size_t>(r)];
        if (c >= static_cast<int>(line.size())) line.resize(static_cast<std::size_t>(c) + 1, -1);
        line[static_cast<std::size_t>(c)] = index;
    };
    GumboNode* openSection = nullptr;
    for (int r = 0; r < rowCount; ++r) {
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
        int column = 0;
        const GumboVector& rowChildren = rowNode->v.element.children;
        for (unsigned i = 0; i < rowChildren.length; ++i) {
            auto* cellNode = static_cast<GumboNode*>(rowChildren.data[i]);
            if (cellNode->type != GUMBO_NODE_ELEMENT) continue;
            const GumboElement& ce = cellNode->v.element;
            if (ce.tag != GUMBO_TAG_TD && ce.tag != GUMBO_TAG_TH) continue;
            while (occupied(r, column)) ++column;
            CellOut cell;
            cell.row = r;
            cell.column = column;
            cell.colSpan = integerAttribute(ce, "colspan", 1, kMaxSpan).value_or(1);
            cell.rowSpan = integerAttribute(ce, "rowspan", 1, rowCount - r).value_or(1);
            walk.enter(cellNode);
            Computed cellStyle = walk.styleOf(ce, rowStyle);
            cell.shading = cellStyle.background ? cellStyle.background : rowStyle.background;
            cell.width = cellStyle.width;
            cell.widthPercent = cellStyle.widthPercent;
            if (!cell.width && !cell.widthPercent)
                sizeAttribute(attribute(ce, "width"), cell.width, cell.widthPercent);
            cell.borderWidth = cellStyle.borderWidth;
            const double cellWidth = cell.width.value_or(tableWidth / 2);
            cellStyle.indent = 0;
            cellStyle.rightIndent = 0;
            cellStyle.blockShading.reset();
            cell.content = walk.cell(cellNode, cellStyle, cellWidth, depth);
            walk.leave();
            const int index = static_cast<int>(cells.size());
            for (int rr = r; rr < r + cell.rowSpan; ++rr)
                for (int cc = column; cc < column + cell.colSpan; ++cc) occupy(rr, cc, index);
            column += cell.colSpan;
            cells.push_back(std::move(cell));
        }
        walk.leave();
    }
    if (openSection) walk.leave();
    int columns = 0;
    for (const auto& line : grid) columns = std::max(columns, static_cast<int>(line.size()));
    if (columns == 0) return std::nullopt;

    // Column widths: those the cells give, the rest sharing what is left.
    std::vector<std::optional<double>> known(static_cast<std::size_t>(columns));
    for (const CellOut& c : cells) {
        if (c.colSpan != 1) continue;
        std::optional<double> w = c.width;
        if (!w && c.widthPercent) w = tableWidth * *c.widthPercent / 100;
        auto& k = known[static_cast<std::size_t>(c.column)];
        if (w && *w > 0 && (!k || *w > *k)) k = *w;
    }
    double knownSum = 0;
    int unknown = 0;
    for (const auto& k : known) k ? knownSum += *k : ++unknown;
    const double share = unknown > 0 ? std::max(18.0, (tableWidth - knownSum) / unknown) : 0;

    TableInfo info;
    for (const auto& k : known) info.grid.push_back(k.value_or(share));
    info.borderWidth = std::clamp(style.borderWidth.value_or(0), 0.0, 6.0);
    if (info.borderWidth == 0)
        for (const CellOut& c : cells)
            if (c.borderWidth && *c.borderWidth > 0)
                info.borderWidth = std::min(*c.borderWidth, 6.0);
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
        for (int c = 0; c < columns;) {
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
                if (cell.row == r) {
                    ci.verticalMerge = cell.rowSpan > 1 ? 1 : 0;
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
