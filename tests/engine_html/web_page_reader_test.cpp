// Web pages opened through the automation interface (Documents.Open, format 7) and the document
// model that the reading builds; every test ends with the model's invariant check.
#include "engine/html/web_page_reader.h"

#include "automation/automation_error.h"
#include "automation/class_registry.h"
#include "automation/object.h"
#include "engine/document_model.h"
#include "engine/stop_check.h"
#include "engine/word_engine.h"
#include "platform/utf.h"
#include "support/temp_dir.h"
#include "text/text_context.h"

#include "../engine/engine_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>

namespace quillet::engine::html {
namespace {

// The bytes of a PNG file's signature and header: enough for its size to be read.
std::string pngHeader(int width, int height) {
    std::string b = "\x89PNG\r\n\x1a\n";
    b += std::string("\0\0\0\x0dIHDR", 8);
    for (int v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8) b += static_cast<char>((v >> shift) & 0xFF);
    b += std::string("\x08\x02\0\0\0", 5);
    b += std::string("\0\0\0\0", 4);  // the checksum, which size reading does not check
    return b;
}

class WebPages : public ::testing::Test {
protected:
    void SetUp() override {
        registerWordEngine();
        registerWebPageReader(
            [this](const std::u16string&) { return fromPath(m_dir.path() / "root"); });
        word = CreateObject(u"Word.Application");
        std::filesystem::create_directories(root() / "pages");
    }
    void TearDown() override {
        setStopCheck(nullptr);
        if (!doc.isNothing()) {
            EXPECT_EQ(checkDocument(doc), "");
        }
    }

    std::filesystem::path root() const { return m_dir.path() / "root"; }
    std::filesystem::path outside() const { return m_dir.path() / "outside.css"; }
    void write(const std::filesystem::path& file, std::string_view bytes) const {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }
    // Writes the page (UTF-8 unless it says otherwise) and opens it as a web page.
    const DocumentModel& open(std::string_view html, std::string_view name = "pages/page.htm") {
        write(root() / name, html);
        doc = word.at(u"Documents")
                  .at(u"Open", {named(u"FileName", fromPath(root() / name)), named(u"Format", 7),
                                named(u"Visible", false), named(u"OpenAndRepair", true)});
        return *documentModel(doc);
    }
    const Story& body() const { return documentModel(doc)->body(); }
    std::u16string bodyText() const { return body().text(0, body().length()); }
    // The paragraphs' text, "|" between them, without the final mark.
    std::string paragraphs() const {
        std::string t = toUtf8(bodyText());
        t.pop_back();
        for (char& c : t)
            if (c == '\r') c = '|';
        return t;
    }
    // The paragraphs with the numbers and bullets of their lists, as Word counts them.
    std::string numbered() const {
        return testing::numberedParagraphs(*documentModel(doc), body());
    }
    int find(std::u16string_view what) const { return static_cast<int>(bodyText().find(what)); }
    const CharFormat& charAt(std::u16string_view what) const {
        return body().charFormat(find(what));
    }
    ParaFormat paraAt(std::u16string_view what) const {
        return body().paragraphFormat(body().paragraphAt(find(what)));
    }

    Object word;
    Object doc;

private:
    testing::TempDir m_dir;
};

TEST_F(WebPages, HeadingsCarryOutlineLevelsThatGoToFinds) {
    open(
        "<html><head><title>T</title></head><body><h1>One</h1><p>text</p><h2>Two</h2>"
        "<div><h6>Six</h6></div><p>end</p></body></html>");
    EXPECT_EQ(paragraphs(), "One|text|Two|Six|end");
    const Object paras = doc.at(u"Paragraphs");
    const int levels[] = {1, 10, 2, 6, 10};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(paras.at(u"Item", {i + 1}).at(u"Format").get(u"OutlineLevel").toInt(), levels[i])
            << i;
    EXPECT_EQ(paras.at(u"Item", {3}).at(u"Range").at(u"Style").get(u"NameLocal").toString(),
              u"Heading 2");

    // The demotion loop's walk: first heading, then next until the start stays put.
    Object h = doc.at(u"GoTo", {named(u"What", 11), named(u"Which", 1)});
    std::vector<std::u16string> seen;
    int start = h.get(u"Start").toInt();
    h.call(u"Expand", {4});
    for (;;) {
        seen.push_back(h.get(u"Text").toString());
        h = h.at(u"GoTo", {named(u"What", 11), named(u"Which", 2)});
        if (h.get(u"Start").toInt() == start) break;
        start = h.get(u"Start").toInt();
        h.call(u"Expand", {4});
    }
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"One\r", u"Two\r", u"Six\r"}));
}

TEST_F(WebPages, WhiteSpaceCollapsesExceptInPre) {
    open(
        "<p>  a \n b<b> c </b> d  </p>\n<p>x<br>y<br></p><pre>\n  code\tx\n\n  end\n</pre>"
        "text in body<div>z</div>");
    EXPECT_EQ(paragraphs(), "a b c d|x\vy|  code\tx||  end|text in body|z");
    EXPECT_EQ(charAt(u"c ").bold, true);
    EXPECT_EQ(charAt(u"code").font, u"Courier New");
}

TEST_F(WebPages, NestedListsAreNumberedAndIndented) {
    const DocumentModel& model = open(
        "<ul><li>a<ul><li>b</li><li>c<ol type=i start=3><li>d</li><li "
        "value=9>e</li></ol></li></ul></li>"
        "<li><p>f</p><p>g</p></li></ul><ol style='list-style-type: upper-alpha'><li>h<li>i</ol>"
        "<ol><li>j</ol>");
    // The numbers are the lists' own: the text holds none.
    EXPECT_EQ(paragraphs(), "a|b|c|d|e|f|g|h|i|j");
    EXPECT_EQ(numbered(),
              "\u2022\ta|\u25E6\tb|\u25E6\tc|iii.\td|ix.\te|\u2022\tf|g|A.\th|B.\ti|1.\tj");
    struct Case {
        std::u16string_view text;
        double left;
        std::optional<double> first;
        int level;
    };
    const Case cases[] = {{u"a", 36, -18, 0},
                          {u"b", 72, -18, 1},
                          {u"d", 108, -18, 2},
                          {u"g", 36, std::nullopt, 0},
                          {u"j", 36, -18, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.text));
        const ParaFormat& p = paraAt(std::u16string(c.text) + u"\r");
        EXPECT_EQ(p.leftIndent, c.left);
        EXPECT_EQ(p.firstLineIndent, c.first);
        if (c.first) {
            EXPECT_EQ(p.listLevel, c.level);
        }
        EXPECT_EQ(p.list != 0, c.first.has_value());
        // The template's level stands where the paragraph does.
        if (p.list) {
            const ListLevel& level = model.lists()
                                         .listTemplate(model.lists().list(p.list).listTemplate)
                                         .levels[static_cast<std::size_t>(p.listLevel)];
            EXPECT_EQ(level.leftIndent, c.left);
            EXPECT_EQ(level.hanging, 18);
        }
    }
    // Each HTML list is a list of its own (the value attribute starts another), and lists of
    // one kind share their template.
    EXPECT_NE(paraAt(u"h\r").list, paraAt(u"j\r").list);
    EXPECT_NE(paraAt(u"d\r").list, paraAt(u"e\r").list);
    EXPECT_EQ(paraAt(u"a\r").list, paraAt(u"f\r").list);
    EXPECT_EQ(model.lists().list(paraAt(u"b\r").list).listTemplate,
              model.lists().list(paraAt(u"c\r").list).listTemplate);
}

TEST_F(WebPages, ListTypesComeFromAttributesAndStyleSheets) {
    struct Case {
        std::string_view html;
        std::string_view numbered;
    };
    const Case cases[] = {
        {"<ol type=1><li>a<li>b</ol>", "1.\ta|2.\tb"},
        {"<ol type=a><li>a<li>b</ol>", "a.\ta|b.\tb"},
        {"<ol type=A start=26><li>a<li>b</ol>", "Z.\ta|AA.\tb"},
        {"<ol type=i><li>a<li>b</ol>", "i.\ta|ii.\tb"},
        {"<ol type=I start=4><li>a</ol>", "IV.\ta"},
        {"<ul type=square><li>a</ul><ul type=CIRCLE><li>b</ul><ul type=disc><li>c</ul>",
         "\u25AA\ta|\u25E6\tb|\u2022\tc"},
        {"<ul style='list-style-type: decimal'><li>a<li>b</ul>", "1.\ta|2.\tb"},
        {"<ol style='list-style-type: lower-alpha'><li>a</ol>", "a.\ta"},
        {"<ol style='list-style-type: upper-roman'><li>a<li>b</ol>", "I.\ta|II.\tb"},
        {"<ol style='list-style-type: lower-latin'><li>a</ol>", "a.\ta"},
        {"<ol style='list-style-type: lower-greek'><li>a</ol>", "1.\ta"},
        {"<ol style='list-style-type: circle'><li>a</ol>", "\u25E6\ta"},
        // Bullets by depth in any lists, as browsers draw them.
        {"<ol><li>a<ul><li>b<ol><li>c<ul><li>d</ul></ol></ul></ol>",
         "1.\ta|\u25E6\tb|1.\tc|\u25AA\td"},
        // The position and image of the shorthand leave the type alone.
        {"<ul style='list-style: square inside'><li>a</ul>", "\u25AA\ta"},
        {"<ul style='list-style: disc outside none'><li>a</ul>", "\u2022\ta"},
        {"<ol style='list-style: none'><li>a<li>b</ol>", "a|b"},
        {"<ol style='list-style-type: none'><li>a</ol>", "a"},
        // An item of another type is numbered on where its list is.
        {"<ol><li>a<li type=a>b<li>c</ol>", "1.\ta|b.\tb|3.\tc"},
        {"<ol><li>a<li style='list-style-type: none'>b<li>c</ol>", "1.\ta|b|3.\tc"},
        {"<ol><li>a<li value=2>b<li value=7>c<li>d</ol>", "1.\ta|2.\tb|7.\tc|8.\td"},
        // Items outside any list.
        {"<li>a<li>b", "\u2022\ta|\u2022\tb"},
        {"<div style='display: list-item'>a</div>", "\u2022\ta"},
        // Nested past the nine levels Word has: the deepest level holds them.
        {"<ol><li>1<ol><li>2<ol><li>3<ol><li>4<ol><li>5<ol><li>6<ol><li>7<ol><li>8<ol><li>9"
         "<ol><li>10</ol></ol></ol></ol></ol></ol></ol></ol></ol></ol>",
         "1.\t1|1.\t2|1.\t3|1.\t4|1.\t5|1.\t6|1.\t7|1.\t8|1.\t9|1.\t10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.html);
        open(c.html);
        EXPECT_EQ(numbered(), c.numbered);
    }
    EXPECT_EQ(paraAt(u"10\r").listLevel, 8);
}

TEST_F(WebPages, ListNumbersStayWithinRangeWhateverThePageSays) {
    // Attributes read as browsers read them; numbers clamped so that counting on cannot overflow,
    // and those below 0, which Word cannot show, shown as 0.
    struct Case {
        std::string_view html;
        std::string_view numbered;
    };
    const Case cases[] = {
        {"<ol start=2147483647><li>a<li>b</ol>", "999999999.\ta|999999999.\tb"},
        {"<ol start=-2147483648><li>a<li>b</ol>", "0.\ta|0.\tb"},
        {"<ol start=99999999999999999999999><li>a</ol>", "999999999.\ta"},
        {"<ol><li value=2147483647>a<li>b<li value=-2147483649>c</ol>",
         "999999999.\ta|999999999.\tb|0.\tc"},
        {"<ol start=-1><li>a<li>b<li>c</ol>", "0.\ta|0.\tb|1.\tc"},
        {"<ol start=' +7th'><li>a<li value=x>b</ol>", "7.\ta|8.\tb"},
        {"<ol start=abc><li>a</ol>", "1.\ta"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.html);
        open(c.html);
        EXPECT_EQ(numbered(), c.numbered);
    }
}

TEST_F(WebPages, TablesKeepSpansHeadersShadingAndNesting) {
    open(
        "<table border=2 width=400><caption>Cap</caption>"
        "<thead><tr><th colspan=2>H</th><th>I</th></tr></thead>"
        "<tr><td rowspan=2 bgcolor=#ff0000 width=100>A</td><td>B</td><td>C</td></tr>"
        "<tr><td><table><tr><td>N</td></tr></table></td><td style='background:#00ff00'>D</td></tr>"
        "</table><p>after</p>");
    EXPECT_EQ(paragraphs(), "Cap|H\aI\aA\aB\aC\a\aN\a\aD\aafter");
    const Story& story = body();
    ASSERT_EQ(story.tables().size(), 2u);
    const TableInfo& t = story.tables()[0];
    EXPECT_DOUBLE_EQ(t.borderWidth, 1.5);
    ASSERT_EQ(t.grid.size(), 3u);
    EXPECT_DOUBLE_EQ(t.grid[0], 75);
    EXPECT_DOUBLE_EQ(t.grid[1] + t.grid[2], 225);
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_TRUE(t.rows[0].header);
    EXPECT_FALSE(t.rows[1].header);
    EXPECT_EQ(t.rows[0].cells.size(), 2u);
    EXPECT_EQ(t.rows[0].cells[0].gridSpan, 2);
    EXPECT_EQ(t.rows[1].cells[0].verticalMerge, 1);
    EXPECT_EQ(t.rows[1].cells[0].shading, 0x0000FF);
    EXPECT_EQ(t.rows[2].cells[0].verticalMerge, 2);
    EXPECT_EQ(t.rows[2].cells[2].shading, 0x00FF00);
    EXPECT_EQ(story.tables()[1].borderWidth, 0);
    EXPECT_EQ(paraAt(u"N").cells, (std::vector<CellRef>{{0, 2, 1}, {1, 0, 0}}));
    EXPECT_EQ(paraAt(u"D").cells, (std::vector<CellRef>{{0, 2, 2}}));
    EXPECT_EQ(charAt(u"H").bold, true);
    EXPECT_EQ(paraAt(u"after").cells.size(), 0u);
}

// A table whose spans would lay its cells out on a grid far larger than the cells it has is read
// as plain rows, and the reading says so; each cell's text still comes through, in its row. A row
// span never adds rows.
TEST_F(WebPages, TablesWhoseSpansWouldFillAHugeGridAreReadAsPlainRows) {
    struct Warnings : UserInterface {
        std::vector<std::u16string> shown;
        void showMessage(MessageKind kind, const std::u16string& text) override {
            EXPECT_EQ(kind, MessageKind::Warning);
            shown.push_back(text);
        }
        AbortRetry askAbortRetry(const std::u16string&) override { return AbortRetry::Abort; }
        std::optional<std::u16string> askSaveFileName(const std::u16string&) override {
            return std::nullopt;
        }
    };
    struct Case {
        const char* what;
        int rows;
        std::function<int(int)> cellsIn;  // by row
        std::string attributes;           // of every cell
        bool plain;
    };
    const auto each = [](int n) { return [n](int) { return n; }; };
    const Case kCases[] = {
        {"rows of one cell spanning a thousand columns and rows", 100, each(1),
         "colspan=1000 rowspan=1000", true},
        {"a grid of such cells", 30, each(30), "colspan=1000 rowspan=1000", true},
        {"one long row over many short ones", 1001, [](int r) { return r == 0 ? 1000 : 1; }, "",
         true},
        {"row spans past the last row", 3, each(2), "rowspan=1000", false},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        std::string page = "<table>", text;
        int cells = 0;
        for (int r = 0; r < c.rows; ++r) {
            page += "<tr>";
            for (int k = 0; k < c.cellsIn(r); ++k, ++cells) {
                const std::string name = "r" + std::to_string(r) + "c" + std::to_string(k);
                page += "<td " + c.attributes + ">" + name;
                text += name + "\a";
            }
        }
        page += "</table><p>after</p>";
        Warnings warnings;
        const ScopedTextContext context({0, &warnings, u""});
        open(page);
        // The cells' text in order; the empty cells of a grid with spans left out.
        std::string shown = paragraphs();
        shown.erase(std::unique(shown.begin(), shown.end(),
                                [](char a, char b) { return a == '\a' && b == '\a'; }),
                    shown.end());
        if (shown.starts_with('\a')) shown.erase(0, 1);
        EXPECT_EQ(shown, text + "after");
        ASSERT_EQ(body().tables().size(), 1u);
        const TableInfo& t = body().tables()[0];
        ASSERT_EQ(t.rows.size(), static_cast<std::size_t>(c.rows));
        const std::u16string last = fromUtf8("r" + std::to_string(c.rows - 1) + "c" +
                                             std::to_string(c.cellsIn(c.rows - 1) - 1) + "\a");
        EXPECT_EQ(paraAt(last).cells.front().row, c.rows - 1);
        if (c.plain) {
            ASSERT_EQ(warnings.shown.size(), 1u);
            EXPECT_TRUE(warnings.shown[0].starts_with(u"pages/page.htm: a table of " +
                                                      fromUtf8(std::to_string(c.rows)) + u" rows"))
                << toUtf8(warnings.shown[0]);
            std::size_t written = 0;
            for (int r = 0; r < c.rows; ++r) {
                const auto& row = t.rows[static_cast<std::size_t>(r)].cells;
                EXPECT_EQ(row.size(), static_cast<std::size_t>(c.cellsIn(r))) << r;
                for (const CellInfo& cell : row) {
                    EXPECT_EQ(cell.gridSpan, 1);
                    EXPECT_EQ(cell.verticalMerge, 0);
                }
                written += row.size();
            }
            EXPECT_EQ(written, static_cast<std::size_t>(cells));
        } else {
            EXPECT_EQ(warnings.shown.size(), 0u);
        }
        // Written with its merged cells as the model has them, no more.
        doc.call(u"SaveAs", {fromPath(root() / "table.docx"), 12});
    }
    // The row spans of the last case were kept, clamped to the table's rows.
    const TableInfo& t = body().tables()[0];
    EXPECT_EQ(t.grid.size(), 6u);
    EXPECT_EQ(t.rows[0].cells[0].verticalMerge, 1);
    EXPECT_EQ(t.rows[1].cells[2].verticalMerge, 1);
    EXPECT_EQ(t.rows[2].cells[0].verticalMerge, 2);
    EXPECT_EQ(t.rows[2].cells[4].verticalMerge, 0);
}

TEST_F(WebPages, AutomaticColumnsFollowTheirContentAndTablesStayWithinTheText) {
    const std::string longText(300, 'x');
    const std::string words = "many words of text " + std::string("that go on and on ") + longText;
    open(
        "<p>text</p>"
        "<table width=0><tr><td width=0>Name</td><td>" +
        words +
        "</td></tr></table>"
        "<table width=5000><tr><td width=4000>a</td><td>b</td></tr></table>"
        "<table width=400><tr><td width='25%'>a</td><td width=''>b</td><td>c</td></tr></table>"
        "<table><tr><td>\u540d\u524d</td><td>" +
        words + "</td></tr></table>");
    const auto& tables = body().tables();
    ASSERT_EQ(tables.size(), 4u);
    const auto sum = [](const TableInfo& t) {
        double s = 0;
        for (double w : t.grid) s += w;
        return s;
    };
    const double textWidth = sum(tables[0]);  // an automatic table takes the text's width
    EXPECT_GT(textWidth, 300);
    // "Name" needs a few characters' room, not half the table.
    EXPECT_GE(tables[0].grid[0], 4 * 6 + 11.5);
    EXPECT_LT(tables[0].grid[0], textWidth / 4);
    EXPECT_LE(sum(tables[1]), textWidth + 0.001);  // never wider than the text
    EXPECT_GT(tables[1].grid[0], tables[1].grid[1]);
    EXPECT_DOUBLE_EQ(tables[2].grid[0], 75);  // percent of a table of 400 pixels
    EXPECT_DOUBLE_EQ(tables[2].grid[1] + tables[2].grid[2], 225);
    EXPECT_GE(tables[3].grid[0], 12 + 11.5);  // a line may break between Chinese characters
    EXPECT_LT(tables[3].grid[0], textWidth / 4);
}

TEST_F(WebPages, AStyleSheetSharedByPagesIsReadAgainWhenItChanges) {
    const std::string page =
        "<html><head><link rel=stylesheet href='../s.css'></head><body><p>T</p>";
    write(root() / "s.css", "p { color: red }");
    open(page);
    EXPECT_EQ(charAt(u"T").color, 0x0000FF);
    open(page, "pages/second.htm");
    EXPECT_EQ(charAt(u"T").color, 0x0000FF);
    write(root() / "s.css", "p { color: blue; font-weight: bold }");
    open(page, "pages/third.htm");
    EXPECT_EQ(charAt(u"T").color, 0xFF0000);
    EXPECT_EQ(charAt(u"T").bold, true);
}

TEST_F(WebPages, StyleSheetsAndFontTagsFormatText) {
    write(root() / "css" / "site.css",
          "@charset \"UTF-8\";\n@import 'more.css';\n body { font-family: Verdana, 宋体; "
          "font-size: 10pt }\n"
          ".warn { color: #ff0000; font-weight: bold }\n p.warn { font-size: 150% }");
    write(root() / "css" / "more.css", "h2 { color: blue } #id1 { text-decoration: underline }");
    write(outside(), "p { color: green }");
    open(
        "<html><head><link rel=stylesheet href='../css/site.css'><link rel=stylesheet "
        "href='../../outside.css'>"
        "<style><!-- .big { font-size: 2em; text-align: center; margin-left: 20px; text-indent: "
        "-5pt }"
        " span.warn { color: green !important } --></style></head><body>"
        "<p class=warn>W<span class=warn style='color: black'>G</span></p><h2>Blue</h2>"
        "<p class=big id=id1>Big<font face='Courier New' size=5 color=#0000ff>F</font>"
        "<span style='background-color: yellow; font-style: italic; vertical-align: "
        "super'>Y</span></p>"
        "<p>Plain</p></body></html>");
    struct Case {
        std::u16string_view text;
        std::optional<std::u16string> font;
        std::optional<double> size;
        std::optional<int> color;
        std::optional<bool> bold;
    };
    const Case cases[] = {
        {u"W", u"Verdana", 15, 0x0000FF, true},
        {u"G", u"Verdana", 15, 0x008000, true},  // !important beats the style attribute
        {u"Blue", u"Verdana", 10, 0xFF0000, std::nullopt},
        {u"Big", u"Verdana", 20, std::nullopt, std::nullopt},
        {u"F", u"Courier New", 18, 0xFF0000, std::nullopt},
        {u"Plain", u"Verdana", 10, std::nullopt, std::nullopt},  // the sheet outside is not read
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.text));
        const CharFormat& f = charAt(c.text);
        EXPECT_EQ(f.font, c.font);
        EXPECT_EQ(f.eastAsiaFont, u"宋体");
        EXPECT_EQ(f.size, c.size);
        EXPECT_EQ(f.color, c.color);
        EXPECT_EQ(f.bold, c.bold);
    }
    EXPECT_EQ(charAt(u"Big").underline, 1);
    const CharFormat& y = charAt(u"Y");
    EXPECT_EQ(y.shading, 0x00FFFF);
    EXPECT_EQ(y.italic, true);
    EXPECT_EQ(y.verticalAlign, 1);
    const ParaFormat& big = paraAt(u"Big");
    EXPECT_EQ(big.alignment, 1);
    EXPECT_EQ(big.leftIndent, 15);
    EXPECT_EQ(big.firstLineIndent, -5);
}

TEST_F(WebPages, APreformattedBlocksSpacingStandsAroundItNotBetweenItsLines) {
    for (const char* end : {"", "\n"}) {
        SCOPED_TRACE(end[0] ? "ending in a line end" : "ending in text");
        open(std::string("<pre style='margin: 10pt 0'>one\ntwo\nthree") + end + "</pre>");
        const auto spacing = [&](std::u16string_view line) {
            const ParaFormat p = paraAt(line);
            return std::to_string(p.spaceBefore.value_or(-1)).substr(0, 2) + "/" +
                   std::to_string(p.spaceAfter.value_or(-1)).substr(0, 2);
        };
        EXPECT_EQ(spacing(u"one"), "10/-1");
        EXPECT_EQ(spacing(u"two"), "-1/-1");
        EXPECT_EQ(spacing(u"three"), "-1/10");
        EXPECT_EQ(checkDocument(doc), "");
        doc.call(u"Close", {false});
        doc = Object();
    }
}

TEST_F(WebPages, LineHeightRulesAndCellBorders) {
    open(
        "<style>.airy { line-height: 1.8 } .fixed { line-height: 20px } .pct { line-height: 150% }"
        " .normal { line-height: normal } td.boxed { border: 2px solid } td.bare { border: none }"
        " a[name] { color: #ff0000 }</style>"
        "<div class=airy><p>airy</p><p class=normal>normal</p></div>"
        "<p class=fixed>fixed</p><p class=pct style='font-size: 10pt'>pct</p><p>plain</p>"
        "<hr><p>after rule</p>"
        "<table border=1><tr><td>ruled</td><td class=bare>bare</td></tr></table>"
        "<table><tr><td class=boxed>boxed</td><td>open</td></tr></table>"
        "<p><a name=here>anchor</a> <a href='#here'>link</a></p>");
    EXPECT_EQ(paraAt(u"airy").lineSpacingRule, 5);
    EXPECT_DOUBLE_EQ(*paraAt(u"airy").lineSpacing, 18);  // 1.8 over CSS's normal of 1.2
    EXPECT_FALSE(paraAt(u"normal").lineSpacing);
    EXPECT_EQ(paraAt(u"fixed").lineSpacingRule, 3);
    EXPECT_DOUBLE_EQ(*paraAt(u"fixed").lineSpacing, 15);
    EXPECT_DOUBLE_EQ(*paraAt(u"pct").lineSpacing, 15);  // 150% of 10 points
    EXPECT_FALSE(paraAt(u"plain").lineSpacing);
    // The rule: an empty paragraph with a line under it, just before "after rule".
    const int rule = body().paragraphAt(find(u"after rule")) - 1;
    EXPECT_EQ(body().text(body().paragraphStart(rule), body().paragraphEnd(rule)), u"\r");
    EXPECT_TRUE(body().paragraphFormat(rule).bottomBorder);
    const auto& tables = body().tables();
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_FALSE(tables[0].rows[0].cells[0].borderWidth);  // as its table
    EXPECT_EQ(tables[0].rows[0].cells[1].borderWidth, 0.0);
    EXPECT_EQ(tables[1].rows[0].cells[0].borderWidth, 1.5);
    EXPECT_EQ(charAt(u"anchor").color, 0x0000FF);  // an attribute selector
    EXPECT_NE(charAt(u"link").color, 0x0000FF);
}

TEST_F(WebPages, TheLangAttributeChoosesTheEastAsianFontAndLanguage) {
    open(
        "<meta charset=utf-8><p>plain</p><div lang='ja'><p>\u65e5\u672c</p>"
        "<p style='font-family: SimHei'>\u9ed1\u4f53</p></div><p lang='zh-TW'>\u7e41</p>");
    EXPECT_FALSE(charAt(u"plain").eastAsiaLanguage);
    EXPECT_EQ(charAt(u"\u65e5").eastAsiaFont, u"MS Mincho");
    EXPECT_EQ(charAt(u"\u65e5").eastAsiaLanguage, u"ja-JP");
    EXPECT_EQ(charAt(u"\u9ed1").eastAsiaFont, u"SimHei");  // a font the page names wins
    EXPECT_EQ(charAt(u"\u9ed1").eastAsiaLanguage, u"ja-JP");
    EXPECT_EQ(charAt(u"\u7e41").eastAsiaFont, u"PMingLiU");
}

TEST_F(WebPages, HiddenContentScriptsFormsAndFramesAreLeftOut) {
    open(
        "<html><head><title>Title</title><script>var x = '<p>no</p>';</script></head><body>"
        "<p>a<span style='display:none'>hidden</span>b</p><div class=x hidden>gone</div>"
        "<style>.gone{display:none}</style><p class=gone>gone too</p>"
        "<form>in form<input value=v><select><option>opt</option></select><textarea>ta</textarea>"
        "<button>btn</button></form><iframe src=x.htm>frame</iframe><object>obj</object>"
        "<noscript>ns</noscript>c&#13;&#x0B;\x01"
        "d</body></html>");
    // gumbo shows a character reference to a control character as U+FFFD; none becomes structure.
    EXPECT_EQ(paragraphs(),
              "ab|in form|c \xEF\xBF\xBD"
              "d");
}

TEST_F(WebPages, LinksBecomeHyperlinksAndAnchorsBookmarks) {
    open(
        "<p><a name=Top></a><a name=Bookmark3_auto id=auto></a>See <a "
        "href='#Bookmark%20B'>inside</a> and <a "
        "href='http://example.com/x?a=1#frag'>"
        "<b>out</b>side</a>, <a href='javascript:void(0)'>js</a>.</p><h3 "
        "id=Bookmark_B>Target</h3>");
    EXPECT_EQ(paragraphs(), "See inside and outside, js.|Target");
    const auto& links = body().hyperlinks();
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(body().text(links[0]->start, links[0]->end), u"inside");
    EXPECT_EQ(links[0]->address, u"");
    EXPECT_EQ(links[0]->subAddress, u"Bookmark B");
    EXPECT_EQ(body().text(links[1]->start, links[1]->end), u"outside");
    // An address that leaves the document keeps its fragment as written.
    EXPECT_EQ(links[1]->address, u"http://example.com/x?a=1#frag");
    EXPECT_EQ(links[1]->subAddress, u"");
    EXPECT_EQ(charAt(u"inside").charStyle, u"Hyperlink");
    EXPECT_EQ(charAt(u"out").bold, true);
    const Bookmark* top = body().findBookmark(u"Top");
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->start, 0);
    const Bookmark* target = body().findBookmark(u"Bookmark_B");
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(body().text(target->start, target->end), u"Target");
    // An A element with both a name and an id gives a bookmark for each.
    for (const char16_t* name : {u"Bookmark3_auto", u"auto"}) {
        const Bookmark* both = body().findBookmark(name);
        ASSERT_NE(both, nullptr) << toUtf8(name);
        EXPECT_EQ(both->start, 0);
    }
}

TEST_F(WebPages, PicturesAreLinkedSizedAndNeverReadFromOutside) {
    write(root() / "images" / "wide.png", pngHeader(80, 40));
    write(root() / "pages" / "broken.png", "not a picture");
    write(outside(), pngHeader(10, 10));
    open(
        "<p><img src='../Images/WIDE.png' alt=natural>"
        "<img src='../images/wide.png' width=40>"
        "<img src='../images/wide.png' style='width: 1in; height: 2in'>"
        "<img src='../../outside.css' alt='[outside]'>"
        "<img src='file:///etc/hosts' alt='[file]'>"
        "<img src='broken.png' alt='[broken]'><img src='missing.png'></p>");
    EXPECT_EQ(paragraphs(), "\x01\x01\x01[outside][file][broken]");
    const auto& pictures = body().pictures();
    ASSERT_EQ(pictures.size(), 3u);
    const PictureData& natural = pictures[0]->picture;
    EXPECT_TRUE(natural.linked);
    EXPECT_EQ(natural.sourcePath, fromPath(root() / "images" / "wide.png"));
    EXPECT_EQ(natural.altText, u"natural");
    EXPECT_DOUBLE_EQ(natural.width, 60);
    EXPECT_DOUBLE_EQ(natural.height, 30);
    EXPECT_DOUBLE_EQ(pictures[1]->picture.width, 30);  // the height follows the width
    EXPECT_DOUBLE_EQ(pictures[1]->picture.height, 15);
    EXPECT_DOUBLE_EQ(pictures[2]->picture.width, 72);
    EXPECT_DOUBLE_EQ(pictures[2]->picture.height, 144);
    const Object shape = doc.at(u"InlineShapes").at(u"Item", {1});
    EXPECT_EQ(shape.get(u"Type").toInt(), 4);
}

TEST_F(WebPages, PagesAreDecodedByMarkCharsetOrCodePage) {
    // "中文" in GBK, declared by the page itself.
    open(
        "<html><head><meta http-equiv=Content-Type content='text/html; charset=gb2312'></head>"
        "<body><p>\xD6\xD0\xCE\xC4 &amp; &eacute;</p></body></html>");
    EXPECT_EQ(toUtf8(bodyText()), "中文 & é\r");
    open("\xEF\xBB\xBF<p>\xE2\x82\xAC</p>", "pages/bom.htm");
    EXPECT_EQ(toUtf8(bodyText()), "€\r");
}

TEST_F(WebPages, AnEmptyOrBrokenPageOpensAsAnEmptyDocument) {
    for (std::string_view page :
         {"", "<html><body></body></html>", "<<<>>></table></td><tr>", "<script>"}) {
        SCOPED_TRACE(page);
        open(page);
        EXPECT_EQ(checkDocument(doc), "");
        EXPECT_LE(body().length(), 10);
    }
}

TEST_F(WebPages, DeepNestingIsReadWithoutExhaustingTheStack) {
    // Far deeper than any real page: the structure is read to a depth, the text all the way down.
    struct Case {
        const char* name;
        std::string_view open, close;
        int depth;
    };
    const Case cases[] = {
        {"divs", "<div>", "</div>", 60000},
        {"tables", "<table><tr><td>", "</td></tr></table>", 3000},
        {"table captions", "<table><caption>", "</caption></table>", 3000},
        {"lists", "<ul><li><ol start=5><li value=2>", "</li></ol></li></ul>", 10000},
        {"styled spans", "<span style='color: red'>", "</span>", 60000},
        // Deep enough for a recursive freeing of the parsed tree to exhaust the stack.
        {"spans", "<span>", "</span>", 500000},
        {"spans and divs", "<span><div>", "</div></span>", 5000},
        {"unclosed fonts", "<font size=2><b>", "", 30000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string page = "<p>before</p>";
        for (int i = 0; i < c.depth; ++i) page += c.open;
        page += "<p>deep</p><div>est</div>";
        for (int i = 0; i < c.depth; ++i) page += c.close;
        page += "<p>after</p>";
        open(page);
        EXPECT_EQ(checkDocument(doc), "");
        // Read flat, the innermost blocks still keep their words apart.
        const int before = find(u"before"), deep = find(u"deep est"), after = find(u"after");
        EXPECT_EQ(before, 0);
        EXPECT_GT(deep, before);
        EXPECT_GT(after, deep);
        doc.call(u"SaveAs", {fromPath(root() / "deep.docx"), 12});
    }
}

TEST_F(WebPages, ATagsAttributesPastTheCountAreNotRead) {
    // The parser compares each attribute of a tag with those before it: three hundred thousand
    // of them once took minutes.
    std::string attributes = " style='color: red' title=\"a > b = c\"";
    for (int n = 0; n < 300'000; ++n) attributes += " a" + std::to_string(n) + "=x";
    open("<p" + attributes + " id=late>Flooded text</p><p id=fine>after</p>");
    EXPECT_EQ(paragraphs(), "Flooded text|after");
    EXPECT_EQ(charAt(u"Flooded").color, 0x0000FF);
    EXPECT_EQ(body().findBookmark(u"late"), nullptr);
    EXPECT_NE(body().findBookmark(u"fine"), nullptr);
}

TEST_F(WebPages, AStopRequestEndsTheReadingOfALongPageOrStyleSheet) {
    // A stop is seen inside each long loop, not only once the page is read: the check says stop
    // on its third call, which only a loop of over a thousand steps reaches (the page's walk and
    // a style sheet's reading each ask at their first step).
    std::string many;
    for (int n = 0; n < 5'000; ++n) many += "<p>line " + std::to_string(n) + "</p>";
    std::string nested;
    for (int n = 0; n < 5'000; ++n) nested += "@media screen { ";
    nested += "p { color: red }";
    int calls = 0;
    setStopCheck([&calls] { return ++calls >= 3; });
    for (const std::string& page : {"<p>PAGE-OK</p>" + many, "<style>" + nested + "</style>"}) {
        calls = 0;
        EXPECT_THROW(open(page), AutomationError);
        EXPECT_EQ(calls, 3);
    }
    // A page shorter than the polling interval, and any page once the check is gone, reads whole.
    calls = 0;
    open("<p>PAGE-OK</p>");
    EXPECT_EQ(paragraphs(), "PAGE-OK");
    setStopCheck(nullptr);
    open("<p>PAGE-OK</p>" + many);
    EXPECT_EQ(paragraphs().substr(0, 14), "PAGE-OK|line 0");
}

TEST_F(WebPages, TheOpenedPageSavesAsDocx) {
    write(root() / "images" / "wide.png", pngHeader(80, 40));
    open(
        "<h1>T</h1><p><a name=a href='#a'>x</a><img src='../images/wide.png'></p>"
        "<table border=1><tr><td "
        "rowspan=2>a</td><td>b</td></tr><tr><td><ul><li>c</li></ul></td></tr></table>"
        "<a href='#a'>before<table><tr><td>in</td></tr></table>after</a>");
    ASSERT_EQ(body().hyperlinks().size(), 3u);
    EXPECT_EQ(body().text(body().hyperlinks()[2]->start, body().hyperlinks()[2]->end), u"after");
    const std::u16string out = fromPath(root() / "out.docx");
    doc.call(u"SaveAs", {out, 12});
    EXPECT_GT(std::filesystem::file_size(toPath(out)), 1000u);
}

// Pages named to Documents.ReadAhead are read on a second thread; each opens as it would have
// without, also when its file or the code page changed after it was named.
TEST_F(WebPages, PagesReadAheadOpenAsTheyWouldHaveOpened) {
    write(root() / "images" / "wide.png", pngHeader(80, 40));
    const std::vector<std::string> pages = {
        "<h1>One</h1><p><a name=a href='#a'>x</a><img src='../images/wide.png'></p>",
        "<table border=1><tr><td rowspan=2>a</td><td>b</td></tr><tr><td>c</td></tr></table>",
        "<ol><li>first<ul><li>inner</li></ul></li><li style='color:red'>second</li></ol>",
        "<p>\xC0 is read in the job's code page</p>",
    };
    std::vector<std::u16string> paths;
    for (std::size_t n = 0; n < pages.size(); ++n) {
        const auto file = root() / "pages" / ("p" + std::to_string(n) + ".htm");
        write(file, pages[n]);
        paths.push_back(fromPath(file));
    }
    const auto openAll = [&](Object& app) {
        std::vector<std::string> dumps;
        for (const auto& path : paths) {
            const Object page =
                app.at(u"Documents").at(u"Open", {named(u"FileName", path), named(u"Format", 7)});
            dumps.push_back(testing::dumpModel(*documentModel(page)));
            EXPECT_EQ(checkDocument(page), "");
            page.call(u"Close", {named(u"SaveChanges", 0)});
        }
        return dumps;
    };
    const ScopedTextContext cyrillic({1251, nullptr, u""});
    const auto expected = openAll(word);
    ASSERT_TRUE(word.get(u"CanReadAhead").toBool());

    Object ahead = CreateObject(u"Word.Application");
    for (const auto& path : paths)
        EXPECT_TRUE(ahead.at(u"Documents")
                        .call(u"ReadAhead", {named(u"FileName", path), named(u"Format", 7)})
                        .toBool());
    EXPECT_EQ(openAll(ahead), expected);

    // Changed after being named: the file's new text, the job's new code page.
    for (const auto& path : paths) ahead.at(u"Documents").call(u"ReadAhead", {path, 7});
    write(toPath(paths[0]), "<p>changed</p>");
    const ScopedTextContext western({1252, nullptr, u""});
    const auto changed = openAll(ahead);
    EXPECT_NE(changed[0].find("changed"), std::string::npos);
    EXPECT_NE(changed[3].find("À"), std::string::npos) << changed[3];
    EXPECT_NE(expected[3].find("А"), std::string::npos) << expected[3];
    EXPECT_EQ(changed[1], expected[1]);
    ahead.call(u"Quit", {false});  // with pages named and never opened
}

}  // namespace
}  // namespace quillet::engine::html
