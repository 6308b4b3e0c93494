// Tables of web pages laid out as browsers lay them out: every column at least as wide as the
// widest word of its cells, measured in their font, and the rest of the text's width shared by
// what the cells would like. The pages are opened through Documents.Open and saved as .docx; the
// written grid is checked against widths measured here.
#include "engine/html/table_layout.h"

#include "engine/fonts/text_measure.h"
#include "engine/html/web_page_reader.h"

#include "automation/class_registry.h"
#include "automation/object.h"
#include "engine/document_model.h"
#include "engine/word_engine.h"
#include "platform/utf.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <zip.h>
#include <pugixml.hpp>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace quillet::engine::html {
namespace {

// The widths of the grid columns of each table of the written document's body, in points, in
// the order their <w:tbl> elements start.
std::vector<std::vector<double>> writtenGrids(const std::filesystem::path& docx) {
    int error = 0;
    zip_t* zip = zip_open(docx.c_str(), ZIP_RDONLY, &error);
    EXPECT_NE(zip, nullptr);
    if (!zip) return {};
    std::string xml;
    zip_stat_t stat;
    if (zip_stat(zip, "word/document.xml", 0, &stat) == 0) {
        if (zip_file_t* f = zip_fopen(zip, "word/document.xml", 0)) {
            xml.resize(stat.size);
            zip_fread(f, xml.data(), stat.size);
            zip_fclose(f);
        }
    }
    zip_discard(zip);
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_buffer(xml.data(), xml.size()));
    std::vector<std::vector<double>> grids;
    for (const auto& grid : doc.select_nodes("//w:tblGrid")) {
        grids.emplace_back();
        for (const pugi::xml_node col : grid.node().children("w:gridCol"))
            grids.back().push_back(col.attribute("w:w").as_double() / 20);
    }
    return grids;
}

double sum(const std::vector<double>& v) {
    double s = 0;
    for (const double x : v) s += x;
    return s;
}

fonts::FontRequest arial(double size) {
    fonts::FontRequest f;
    f.family = u"Arial";
    f.size = size;
    return f;
}

// Korean text as a page marked lang=ko sets it: in Batang.
fonts::FontRequest inKorean(double size) {
    fonts::FontRequest f = arial(size);
    f.eastAsiaFamily = u"Batang";
    f.language = u"ko-KR";
    return f;
}

// The narrowest a cell holding `text` in `font` can be: its widest piece between break
// opportunities, with the cell's padding.
double minimumOf(std::u16string_view text, const fonts::FontRequest& font) {
    double widest = 0;
    std::size_t start = 0;
    for (const std::size_t end : fonts::lineBreaks(text, font.language)) {
        std::size_t trimmed = end;
        while (trimmed > start && text[trimmed - 1] == u' ') --trimmed;
        widest = std::max(
            widest, fonts::systemTextMeasure().width(text.substr(start, trimmed - start), font));
        start = end;
    }
    return widest + kCellPadding;
}

// The cell holding `text` on one line.
double preferredOf(std::u16string_view text, const fonts::FontRequest& font) {
    return fonts::systemTextMeasure().width(text, font) + kCellPadding;
}

class TableLayout : public ::testing::Test {
protected:
    void SetUp() override {
        registerWordEngine();
        registerWebPageReader([this](const std::u16string&) { return fromPath(m_dir.path()); });
        word = CreateObject(u"Word.Application");
    }
    void TearDown() override {
        if (!doc.isNothing()) {
            EXPECT_EQ(checkDocument(doc), "");
        }
    }

    // Opens `body` as a page in Arial 10 pt, then a table of the text's full width, and gives
    // the grids written, that table's last: its width the text's.
    std::vector<std::vector<double>> layOut(const std::string& body) {
        const auto page = m_dir.path() / "page.htm";
        std::ofstream(page) << "<html><head><meta charset=utf-8></head>"
                               "<body style='font-family: Arial; font-size: 10pt'>"
                            << body
                            << "<table width=100%><tr><td>x</td></tr></table></body></html>";
        doc = word.at(u"Documents")
                  .at(u"Open", {named(u"FileName", fromPath(page)), named(u"Format", 7),
                                named(u"Visible", false)});
        const auto docx = m_dir.path() / "page.docx";
        doc.call(u"SaveAs", {fromPath(docx), 12});
        return writtenGrids(docx);
    }

    Object word;
    Object doc;
    testing::TempDir m_dir;
};

// Twips round each written width by up to a twentieth of a point.
constexpr double kTwip = 0.05;

TEST_F(TableLayout, ColumnsAreAtLeastTheirWidestWordAndShareTheRestByContent) {
    const std::u16string sentence = u"The handler runs once for every message the window receives.";
    const std::u16string korean =
        u"\uc774 \uac12\uc740 \ucc3d\uc774 \ubc1b\ub294 \ubaa8\ub4e0 \uba54\uc2dc\uc9c0\uc5d0 "
        u"\ub300\ud574 \ud55c \ubc88\uc529 \ucc98\ub9ac\ub429\ub2c8\ub2e4. \uc774 \uac12\uc740 "
        u"\uc624\ub798\ub41c \ud504\ub85c\uadf8\ub7a8\uacfc\uc758 \ud638\ud658\uc131\uc744 "
        u"\uc704\ud574 \ub0a8\uc544 \uc788\uc2b5\ub2c8\ub2e4.";
    const std::u16string url =
        u"http://www.example.com/reference/ThisPathSegmentIsFarTooLongToBreakAnywhereAtAll.htm";
    const std::u16string longUrl = u"mk:@MSITStore:" + std::u16string(180, u'x') + u".chm";
    struct Case {
        const char* what;
        std::string html;
        // The text of each grid column whose widest word the column must hold.
        std::vector<std::u16string> columns;
        fonts::FontRequest font;
        // Any further check, given the grid and the text's width.
        std::function<void(const std::vector<double>&, double)> check;
    };
    const fonts::FontRequest font = arial(10);
    const Case kCases[] = {
        {"an empty cell beside a sentence that spans two columns: the sentence on one line, the "
         "empty cell its padding",
         "<table border=1><tr><td></td><td colspan=2>" + toUtf8(sentence) +
             "</td></tr><tr><td></td><td></td><td></td></tr></table>",
         {u"", u"", u""},
         font,
         [&](const std::vector<double>& grid, double) {
             EXPECT_NEAR(grid[0], kCellPadding, kTwip);
             EXPECT_GE(grid[1] + grid[2] + kTwip, preferredOf(sentence, font));
         }},
        {"a long sentence beside short codes: the codes keep their width on one line",
         "<table><tr><td>" + toUtf8(sentence + u" " + sentence + u" " + sentence) +
             "</td><td>0x40000</td><td>0x80000000</td></tr></table>",
         {sentence, u"0x40000", u"0x80000000"},
         font,
         [&](const std::vector<double>& grid, double text) {
             EXPECT_NEAR(sum(grid), text, 3 * kTwip);  // the sentence fills the rest
             EXPECT_GT(grid[0], text / 2);
         }},
        {"Korean text in a column of 95% beside short codes: the codes still keep their width",
         "<table width=340 lang=ko><tr><td width='95%'>" + toUtf8(korean) +
             "</td><td>0x40000</td><td>0x40000</td></tr></table>",
         {korean, u"0x40000", u"0x40000"},
         inKorean(10),
         [&](const std::vector<double>& grid, double) {
             EXPECT_NEAR(sum(grid), 255, 3 * kTwip);  // 340 pixels
             EXPECT_GT(grid[0], 2 * grid[1]);
         }},
        {"long unbreakable addresses keep their column as wide as they are",
         "<table><tr><td>" + toUtf8(url) + "</td><td>WM_CLOSE</td>" +
             "<td>The reference page of the message.</td></tr><tr><td>" + toUtf8(url) +
             "</td><td>WM_QUIT</td><td>Another page.</td></tr></table>",
         {url, u"WM_CLOSE", u"The reference page of the message."},
         font,
         {}},
        {"addresses too long for the text: they share what the short column leaves",
         "<table><tr><td>" + toUtf8(longUrl) + "</td><td>" + toUtf8(longUrl) +
             "</td><td>a</td></tr></table>",
         {u"", u"", u"a"},
         font,
         [&](const std::vector<double>& grid, double text) {
             EXPECT_NEAR(sum(grid), text, 3 * kTwip);
             EXPECT_NEAR(grid[0], grid[1], kTwip);
             EXPECT_NEAR(grid[2], minimumOf(u"a", font), kTwip);
         }},
        {"a cell that does not wrap is as wide as its line",
         "<table><tr><td nowrap>Returns the handle</td><td>" +
             toUtf8(sentence + u" " + sentence + u" " + sentence) +
             "</td></tr><tr><td style='white-space: pre'>HWND  hwnd</td><td>b</td></tr></table>",
         {u"", sentence},
         font,
         [&](const std::vector<double>& grid, double) {
             EXPECT_GE(grid[0] + kTwip, preferredOf(u"Returns the handle", font));
             EXPECT_GE(grid[0] + kTwip, preferredOf(u"HWND  hwnd", font));
         }},
        {"a table of explicit width shares what its columns do not need by their content",
         "<table width=600><tr><td>a</td><td>" + toUtf8(sentence) + "</td></tr></table>",
         {u"a", sentence},
         font,
         [&](const std::vector<double>& grid, double text) {
             EXPECT_NEAR(sum(grid), std::min(450.0, text), 2 * kTwip);
             EXPECT_LT(grid[0], grid[1] / 10);
         }},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        const auto grids = layOut(c.html);
        ASSERT_EQ(grids.size(), 2u);
        const std::vector<double>& grid = grids[0];
        const double text = sum(grids[1]);
        if (!c.columns.empty()) {
            ASSERT_EQ(grid.size(), c.columns.size());
        }
        for (std::size_t i = 0; i < c.columns.size(); ++i) {
            if (c.columns[i].empty()) continue;
            SCOPED_TRACE(toUtf8(c.columns[i]));
            EXPECT_GE(grid[i] + kTwip, minimumOf(c.columns[i], c.font));
        }
        EXPECT_LE(sum(grid), text + 3 * kTwip);
        for (const double w : grid) EXPECT_GT(w, 0);
        if (c.check) c.check(grid, text);
    }
}

// A table inside a cell counts its own columns' minimums, and fits the column it ends up in.
TEST_F(TableLayout, ANestedTableCountsItsColumnsAndFitsItsCell) {
    const std::u16string sentence =
        u"Sets the value that the control reports to its parent window when it changes state.";
    const std::string inner = "<table><tr><td>0x40000</td><td>" + toUtf8(sentence) + " " +
                              toUtf8(sentence) + "</td></tr><tr><td>WM_NOTIFY</td><td>" +
                              toUtf8(sentence) + "</td></tr></table>";
    const auto grids =
        layOut("<table><tr><td>" + toUtf8(sentence) + "</td><td>" + inner + "</td></tr></table>");
    ASSERT_EQ(grids.size(), 3u);  // the outer table, the inner one, the text's
    const auto& outer = grids[0];
    const auto& nested = grids[1];
    const double text = sum(grids[2]);
    const fonts::FontRequest font = arial(10);
    ASSERT_EQ(outer.size(), 2u);
    ASSERT_EQ(nested.size(), 2u);
    EXPECT_GE(nested[0] + kTwip, minimumOf(u"WM_NOTIFY", font));
    EXPECT_GE(nested[1] + kTwip, minimumOf(u"parent", font));
    // The outer column holds the inner table's minimum, and the inner table fits in it.
    EXPECT_GE(outer[1] + kTwip,
              minimumOf(u"WM_NOTIFY", font) + minimumOf(u"parent", font) + kCellPadding);
    EXPECT_LE(sum(nested), outer[1] - kCellPadding + 2 * kTwip);
    EXPECT_GE(outer[0] + kTwip, minimumOf(u"parent", font));
    EXPECT_NEAR(sum(outer), text, 2 * kTwip);

    // A table two levels down fits the cell that the middle one, laid out again, gives it.
    const std::string middle = "<table><tr><td>WM_NOTIFY</td><td>" + inner + "</td></tr></table>";
    const auto deep = layOut("<table><tr><td>" + toUtf8(sentence) + " " + toUtf8(sentence) +
                             "</td><td>" + middle + "</td></tr></table>");
    ASSERT_EQ(deep.size(), 4u);  // outer, middle, innermost, the text's
    ASSERT_EQ(deep[1].size(), 2u);
    EXPECT_LE(sum(deep[1]), deep[0][1] - kCellPadding + 2 * kTwip);
    EXPECT_LE(sum(deep[2]), deep[1][1] - kCellPadding + 2 * kTwip);
    EXPECT_GE(deep[2][0] + kTwip, minimumOf(u"WM_NOTIFY", font));
}

// A cell at `column` over `span` columns, its content's minimum and preferred widths.
LayoutCell cellAt(int column, int span, double minimum, double preferred,
                  std::optional<double> width = {}, std::optional<double> percent = {}) {
    LayoutCell c;
    c.column = column;
    c.span = span;
    c.content = {minimum, preferred};
    c.width = width;
    c.percent = percent;
    return c;
}

// The column layout on its own, widths in points.
TEST(TableColumns, ShareTheTableAsBrowsersDo) {
    struct Case {
        const char* what;
        std::vector<LayoutCell> cells;
        int columns;
        std::optional<double> explicitWidth;
        double available;
        std::vector<double> widths;
    };
    const Case kCases[] = {
        {"preferred widths that fit are taken",
         {cellAt(0, 1, 10, 40), cellAt(1, 1, 20, 60)},
         2,
         {},
         200,
         {40, 60}},
        {"too little room: minimums, the rest by what each would like more",
         {cellAt(0, 1, 10, 40), cellAt(1, 1, 20, 60)},
         2,
         {},
         70,
         {10 + 40 * 30 / 70.0, 20 + 40 * 40 / 70.0}},
        {"not even the minimums fit: the widest are cut alike, the narrow keep theirs",
         {cellAt(0, 1, 100, 100), cellAt(1, 1, 20, 20), cellAt(2, 1, 300, 300)},
         3,
         {},
         200,
         {90, 20, 90}},
        {"a spanning cell spreads what it needs by the columns' preferred widths",
         {cellAt(0, 1, 10, 30), cellAt(1, 1, 10, 10), cellAt(0, 2, 100, 200)},
         2,
         {},
         1000,
         {150, 50}},
        {"columns that only a spanning cell covers share it evenly",
         {cellAt(0, 2, 100, 100)},
         2,
         {},
         300,
         {50, 50}},
        {"an empty cell keeps its padding beside text that does not fit",
         {cellAt(0, 1, 11.5, 11.5), cellAt(1, 1, 50, 300)},
         2,
         {},
         200,
         {11.5, 188.5}},
        {"a wider table shares the rest by preferred widths",
         {cellAt(0, 1, 10, 20), cellAt(1, 1, 10, 60)},
         2,
         160,
         500,
         {40, 120}},
        {"a column of a given width keeps it; the automatic one takes the rest",
         {cellAt(0, 1, 10, 20, 100), cellAt(1, 1, 10, 60)},
         2,
         300,
         500,
         {100, 200}},
        {"a percentage is of the table's width",
         {cellAt(0, 1, 10, 20, {}, 25), cellAt(1, 1, 10, 60)},
         2,
         400,
         500,
         {100, 300}},
        {"a given width past the room gives way before the minimums do",
         {cellAt(0, 1, 10, 20, 1000), cellAt(1, 1, 30, 60)},
         2,
         {},
         100,
         {70, 30}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        const std::vector<double> widths =
            layOutColumns(c.cells, c.columns, c.explicitWidth, c.available);
        ASSERT_EQ(widths.size(), c.widths.size());
        for (std::size_t i = 0; i < widths.size(); ++i) EXPECT_NEAR(widths[i], c.widths[i], 1e-9);
    }
}

// A measure of one point per character at 10 pt, for content widths that a reader can count.
class CountingMeasure final : public fonts::TextMeasure {
public:
    double width(std::u16string_view text, const fonts::FontRequest& font) override {
        double n = 0;
        for (const char16_t c : text) n += c >= 0x20 ? 1 : 0;
        return n * font.size / 10;
    }
    fonts::LineMetrics metrics(const fonts::FontRequest&) override { return {}; }
};

TEST(ContentWidths, CountWhatTakesRoom) {
    CharFormat plain;
    plain.size = 10;
    CharFormat hidden = plain;
    hidden.hidden = true;
    CharFormat large = plain;
    large.size = 20;
    ParaFormat indented;
    indented.leftIndent = 10;
    struct Run {
        std::u16string text;
        CharFormat format;
    };
    struct Case {
        const char* what;
        std::vector<Run> runs;  // each paragraph mark takes a paragraph format below
        std::vector<ParaFormat> paragraphs;
        double pictureWidth;  // of a picture at the first kPictureChar, if any
        ContentWidths widths;
    };
    const Case kCases[] = {
        {"the longest word and the unwrapped line", {{u"aaa bb\a", plain}}, {{}}, 0, {3, 6}},
        {"paragraphs each on a line of their own",
         {{u"aaaa\rbb cc\a", plain}},
         {{}, {}},
         0,
         {4, 5}},
        {"a line break ends a line", {{u"aa bb\vcccccc\a", plain}}, {{}}, 0, {6, 6}},
        {"a field shows its result, not its code",
         {{u"\x13 HYPERLINK \"https://example.com/a/long/address\" \x14link\x15 text\a", plain}},
         {{}},
         0,
         {4, 9}},
        {"hidden text takes no room",
         {{u"visible ", plain}, {u"hiddenhiddenhidden", hidden}, {u"\a", plain}},
         {{}},
         0,
         {7, 7}},
        {"each run in its own size", {{u"ab ", plain}, {u"cd\a", large}}, {{}}, 0, {4, 7}},
        {"a picture as wide as it is shown", {{u"\x01 ab\a", plain}}, {{}}, 50, {50, 53}},
        {"indents add to both", {{u"ab cd\a", plain}}, {indented}, 0, {12, 15}},
        {"an empty cell takes nothing", {{u"\a", plain}}, {{}}, 0, {0, 0}},
    };
    CountingMeasure measure;
    const StyleSheet styles;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        Fragment f;
        for (const Run& r : c.runs) f.append(r.text, r.format);
        for (const ParaFormat& p : c.paragraphs) f.addParagraph(p);
        if (c.pictureWidth > 0) {
            InlinePicture picture;
            picture.start = static_cast<int>(f.text.find(kPictureChar));
            picture.end = picture.start + 1;
            picture.picture.width = c.pictureWidth;
            f.pictures.push_back(picture);
        }
        const ContentWidths w = measureContent(f, styles, measure);
        EXPECT_DOUBLE_EQ(w.minimum, c.widths.minimum);
        EXPECT_DOUBLE_EQ(w.preferred, c.widths.preferred);
    }
}

}  // namespace
}  // namespace quillet::engine::html
