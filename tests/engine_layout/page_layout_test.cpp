// Laying out a document's pages with a measure whose widths are easy to count: every character
// half its font size wide (ideographs a whole size), every line as tall as its font size. Pages
// are letter paper with one-inch margins: 432 points of measure, 648 points of text height.
#include "engine/layout/page_layout.h"

#include "engine/html/web_page_reader.h"
#include "engine/page_numbers.h"
#include "support/temp_dir.h"

#include "../engine/engine_fixture.h"

#include <fstream>
#include <regex>
#include <vector>

namespace quillet::testing {
namespace {

using engine::layout::PageLayout;

class CountedMeasure : public engine::fonts::TextMeasure {
public:
    double width(std::u16string_view text, const engine::fonts::FontRequest& font) override {
        double w = 0;
        for (const char16_t c : text) w += (c >= 0x2E80 && c <= 0xFFEF ? 1.0 : 0.5) * font.size;
        return w;
    }
    engine::fonts::LineMetrics metrics(const engine::fonts::FontRequest& font) override {
        return {font.size * 0.8, font.size * 0.2, 0};
    }
};

class Layout : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        engine::setPageNumbering([this](const engine::DocumentModel& m, const std::vector<int>& p) {
            const PageLayout layout(m, m_measure);
            std::vector<int> out;
            for (const int pos : p) out.push_back(layout.numberAt(pos));
            return out;
        });
        for (const char* margin : {"TopMargin", "BottomMargin"})
            doc.at(u"PageSetup").put(fromUtf8(margin), 72);
    }
    void TearDown() override { engine::setPageNumbering(nullptr); }

    // Adds a paragraph in style `style` (Word's built-in numbers: -1 Normal, -2 Heading 1) and
    // returns its start.
    int paragraph(const std::u16string& text, int style = -1) {
        const Object r = doc.at(u"Content");
        r.call(u"Collapse", {0});
        const int start = r.get(u"Start").toInt();
        r.put(u"Style", style);
        r.call(u"InsertAfter", {text});
        r.call(u"InsertParagraphAfter");
        return start;
    }
    void insertBreak(int kind) {
        const Object r = doc.at(u"Content");
        r.call(u"Collapse", {0});
        r.call(u"InsertBreak", {kind});
    }
    // A line of Normal text (12 points) `count` times.
    void fill(int count) {
        for (int i = 0; i < count; ++i) paragraph(u"A line of body text.");
    }
    PageLayout layout() { return PageLayout(model(), m_measure); }
    // The numbers the contents' entries end in, in order.
    std::vector<int> contentsNumbers() const {
        std::vector<int> numbers;
        const std::string dump = paragraphs();
        static const std::regex entry(R"(\[TOC \d[^\]]*\] [^\n]*PAGEREF [^\n]*\{fs\}(\d*)\{fe\})");
        for (auto it = std::sregex_iterator(dump.begin(), dump.end(), entry);
             it != std::sregex_iterator(); ++it)
            numbers.push_back((*it)[1].length() ? std::stoi((*it)[1]) : 0);
        return numbers;
    }

    CountedMeasure m_measure;
};

TEST_F(Layout, TheContentsShowThePagesHeadingsFallOn) {
    paragraph(u"Contents");
    paragraph(u"");  // where the contents go
    paragraph(u"First", -2);
    fill(60);                  // 54 lines fill a page
    paragraph(u"Second", -2);  // after 60 lines: on the second page
    insertBreak(7);
    paragraph(u"Third", -3);  // after a page break
    insertBreak(2);
    const Object numbers =
        doc.at(u"Sections").at(u"Item", {2}).at(u"Footers").at(u"Item", {1}).at(u"PageNumbers");
    numbers.put(u"RestartNumberingAtSection", true);
    numbers.put(u"StartingNumber", 10);
    // 4,300 characters of 6 points: 60 lines of 432 points, past the page the section starts.
    paragraph(std::u16string(4300, u'x'));
    paragraph(u"Fourth", -2);
    const Object contents = doc.at(u"TablesOfContents")
                                .call(u"Add", {named(u"Range", doc.at(u"Range", {9, 9}))})
                                .toObject();
    EXPECT_EQ(contentsNumbers(), (std::vector<int>{1, 2, 3, 11}));

    // A contents that fills a page moves the headings after it on, up to the section that
    // restarts its numbering.
    for (int i = 0; i < 60; ++i) paragraph(u"Heading " + fromUtf8(std::to_string(i)), -4);
    contents.call(u"Update");
    const std::vector<int> after = contentsNumbers();
    ASSERT_EQ(after.size(), 64u);
    EXPECT_EQ(std::vector<int>(after.begin(), after.begin() + 4), (std::vector<int>{2, 3, 4, 11}));
    expectConsistent();
}

TEST_F(Layout, AHeadingKeptWithTheNextParagraphMovesToTheNextPageWithIt) {
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "kept" : "not kept");
        doc = word.at(u"Documents").at(u"Add");
        for (const char* margin : {"TopMargin", "BottomMargin"})
            doc.at(u"PageSetup").put(fromUtf8(margin), 72);
        paragraph(u"Contents");
        paragraph(u"");
        // 52 lines leave 24 points: room for the heading's line, not for the text after it.
        fill(51);
        const int heading = paragraph(u"Kept", -1);
        doc.at(u"Paragraphs").at(u"Item", {54}).at(u"Format").put(u"KeepWithNext", keep);
        const int text = paragraph(u"The text the heading introduces.");
        const PageLayout pages = layout();
        EXPECT_EQ(pages.numberAt(heading), keep ? 2 : 1);
        EXPECT_EQ(pages.numberAt(text), 2);
    }
}

TEST_F(Layout, LinesBreakBetweenWordsAndBetweenIdeographs) {
    struct Case {
        const char* what;
        std::u16string text;
        int lines;
    } cases[] = {
        // 14 words of 6 characters and a space: 42 points each, 10 to a line of 432 points.
        {"words",
         [] {
             std::u16string t;
             for (int i = 0; i < 14; ++i) t += u"wordsx ";
             return t;
         }(),
         2},
        // 100 ideographs of 12 points: 36 to a line.
        {"ideographs", std::u16string(100, u'\u4E00'), 3},
        // One word of 200 characters (1,200 points) is broken between characters.
        {"a word wider than the line", std::u16string(200, u'w'), 3},
        // A line break starts a line; one at the end leaves the mark a line of its own.
        {"line breaks", u"one\vtwo\v", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        doc = word.at(u"Documents").at(u"Add");
        paragraph(c.text);
        const PageLayout pages = layout();
        // The paragraph's lines, and the empty paragraph the document ends with.
        EXPECT_EQ(static_cast<int>(pages.lines().size()) - 1, c.lines);
    }
}

class TableLayout : public Layout {
protected:
    void SetUp() override {
        Layout::SetUp();
        engine::registerWebPageReader(
            [this](const std::u16string&) { return fromPath(m_dir.path()); });
    }
    const engine::DocumentModel& open(const std::string& html) {
        const auto file = m_dir.path() / "page.htm";
        std::ofstream(file, std::ios::binary) << html;
        doc = word.at(u"Documents")
                  .at(u"Open", {named(u"FileName", fromPath(file)), named(u"Format", 7)});
        for (const char* margin : {"TopMargin", "BottomMargin"})
            doc.at(u"PageSetup").put(fromUtf8(margin), 72);
        return model();
    }
    int find(const std::u16string& text) const {
        const auto& body = model().body();
        return static_cast<int>(body.text(0, body.length()).find(text));
    }
    TempDir m_dir;
};

TEST_F(TableLayout, RowsThatDoNotFitGoToTheNextPageAndATallRowSplits) {
    std::string rows;
    for (int i = 0; i < 40; ++i)
        rows += "<tr><td width=50%>row " + std::to_string(i) + "</td><td>x</td></tr>";
    // A row of 100 lines in one cell beside a cell of one line.
    std::string tall;
    for (int i = 0; i < 100; ++i) tall += "tall" + std::to_string(i) + "<br>";
    // The columns are wide enough for every cell's line: the test's measure is not the one the
    // page reader sizes columns with.
    open("<p>before</p><table width=100%>" + rows + "</table><table width=100%><tr><td width=50%>" +
         tall + "</td><td>beside</td></tr></table><p>after</p>");
    const PageLayout pages = layout();
    EXPECT_EQ(pages.numberAt(find(u"row 0")), 1);
    EXPECT_EQ(pages.numberAt(find(u"row 39")), 1);
    // The tall row starts on the first page's rest, goes on over the next and ends on a third.
    EXPECT_EQ(pages.numberAt(find(u"tall0")), 1);
    EXPECT_EQ(pages.numberAt(find(u"beside")), 1);
    EXPECT_EQ(pages.numberAt(find(u"tall60")), 2);
    EXPECT_EQ(pages.numberAt(find(u"after")), 3);
    // Lines of a page stay inside its text area.
    for (const auto& line : pages.lines()) EXPECT_LE(line.top + line.height, 648.0 + 1e-6);
}

}  // namespace
}  // namespace quillet::testing
