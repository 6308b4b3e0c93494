// The table reader's grid: spans laid out as browsers lay them out while the grid stays within its
// budget, plain rows past it.
#include "engine/html/table_reader.h"

#include "platform/utf.h"

#include <gtest/gtest.h>

#include <gumbo.h>

#include <string>
#include <vector>

namespace quillet::engine::html {
namespace {

// A walk that gives each cell its text and styles nothing.
class TextWalk final : public TableWalk {
public:
    std::vector<std::u16string> warnings;

    void enter(const GumboNode*) override {}
    void leave() override {}
    Computed styleOf(const GumboElement&, const Computed& parent) override { return parent; }
    void caption(GumboNode*, const Computed&, int) override {}
    Fragment cell(GumboNode* node, const Computed&, double, int) override {
        std::u16string text;
        const GumboVector& children = node->v.element.children;
        for (unsigned i = 0; i < children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(children.data[i]);
            if (child->type == GUMBO_NODE_TEXT) text += fromUtf8(child->v.text.text);
        }
        Fragment f;
        f.append(text + kCellMark, CharFormat{});
        f.addParagraph(ParaFormat{});
        return f;
    }
    void warning(const std::u16string& text) override { warnings.push_back(text); }
};

const GumboNode* findTable(const GumboNode* node) {
    if (node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == GUMBO_TAG_TABLE) return node;
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT) return nullptr;
    const GumboVector& children =
        node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i)
        if (const GumboNode* found = findTable(static_cast<const GumboNode*>(children.data[i])))
            return found;
    return nullptr;
}

TEST(TableReader, AGridPastItsBudgetIsReadAsPlainRows) {
    constexpr std::size_t kBudget = 12;
    struct Case {
        const char* what;
        std::string rows;
        bool plain;
        std::size_t columns;
        std::vector<std::size_t> cellsInRows;  // as the model has them
        std::u16string text;                   // empty cells included
    };
    const Case kCases[] = {
        {"a grid at the budget keeps its spans",
         "<tr><td colspan=4>a<tr><td>b<tr><td>c",
         false,
         4,
         {1, 4, 4},
         u"a\ab\a\a\a\ac\a\a\a\a"},
        {"a column more is read plainly",
         "<tr><td colspan=5>a<tr><td>b<tr><td>c",
         true,
         1,
         {1, 1, 1},
         u"a\ab\ac\a"},
        {"short rows are not filled out when read plainly",
         "<tr><td colspan=5>a<td>b<tr><td>c<tr><td>d<td>e<td>f",
         true,
         3,
         {2, 1, 3},
         u"a\ab\ac\ad\ae\af\a"},
        {"more cells than the budget, and no spans",
         "<tr><td>a<td>b<td>c<td>d<tr><td>e<td>f<td>g<td>h<tr><td>i<td>j<td>k<td>l"
         "<tr><td>m<td>n<td>o<td>p",
         false,
         4,
         {4, 4, 4, 4},
         u"a\ab\ac\ad\ae\af\ag\ah\ai\aj\ak\al\am\an\ao\ap\a"},
        {"a row span adds no rows",
         "<tr><td rowspan=9>a<td>b<tr><td>c",
         false,
         2,
         {2, 2},
         u"a\ab\a\ac\a"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        const std::string page = "<table>" + c.rows + "</table>";
        GumboOutput* output = gumbo_parse(page.c_str());
        const GumboNode* table = findTable(output->document);
        ASSERT_NE(table, nullptr);
        TextWalk walk;
        const std::optional<Fragment> f =
            readTable(table->v.element, Computed{}, 400, 0, walk, kBudget);
        gumbo_destroy_output(&kGumboDefaultOptions, output);
        ASSERT_TRUE(f.has_value());
        EXPECT_EQ(f->text, c.text);
        EXPECT_EQ(walk.warnings.size(), c.plain ? 1u : 0u);
        const TableInfo& info = f->tables.front();
        EXPECT_EQ(info.grid.size(), c.columns);
        ASSERT_EQ(info.rows.size(), c.cellsInRows.size());
        for (std::size_t r = 0; r < info.rows.size(); ++r) {
            EXPECT_EQ(info.rows[r].cells.size(), c.cellsInRows[r]) << r;
            if (c.plain)
                for (const CellInfo& cell : info.rows[r].cells) {
                    EXPECT_EQ(cell.gridSpan, 1);
                    EXPECT_EQ(cell.verticalMerge, 0);
                }
        }
    }
}

}  // namespace
}  // namespace quillet::engine::html
