// The index: XE field codes as Indexes.MarkEntry writes them and as the index reads them back,
// and Indexes.Add building an INDEX field whose result lists the sorted entries with their page
// numbers, in the document, in the written package and after reading it back.
#include "engine_fixture.h"

#include "automation/automation_error.h"
#include "engine/index_field.h"
#include "engine/layout/page_layout.h"
#include "engine/page_numbers.h"
#include "support/temp_dir.h"

#include <zip.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <sstream>

namespace quillet::testing {
namespace {

using engine::IndexLevel;

struct XeCase {
    std::u16string_view entry;  // as MarkEntry takes it
    std::u16string_view code;   // the XE field code written
    std::vector<IndexLevel> levels;
};
const XeCase kXeCases[] = {
    {u"Printing", u" XE \"Printing\" ", {{u"Printing", u""}}},
    {u"Printing:Paper sizes",
     u" XE \"Printing:Paper sizes\" ",
     {{u"Printing", u""}, {u"Paper sizes", u""}}},
    // A colon inside a level is escaped; an escaped one is no level separator.
    {u"Time\\: 12\\:00", u" XE \"Time\\: 12\\:00\" ", {{u"Time: 12:00", u""}}},
    // A bare quotation mark gets its backslash, an escaped one keeps the one it has.
    {u"Say \"hi\":\\\"x\\\"",
     u" XE \"Say \\\"hi\\\":\\\"x\\\"\" ",
     {{u"Say \"hi\"", u""}, {u"\"x\"", u""}}},
    {u"C\\\\D", u" XE \"C\\\\D\" ", {{u"C\\D", u""}}},
    {u"Ends in\\", u" XE \"Ends in\\\\\" ", {{u"Ends in\\", u""}}},
    // After a semicolon, the text a level is sorted by.
    {u"The Guide;Guide:Part",
     u" XE \"The Guide;Guide:Part\" ",
     {{u"The Guide", u"Guide"}, {u"Part", u""}}},
    // Blank levels are dropped.
    {u"Main: :Sub", u" XE \"Main: :Sub\" ", {{u"Main", u""}, {u"Sub", u""}}},
};

TEST(XeFieldCode, WritesAndReadsEntries) {
    for (const XeCase& c : kXeCases) {
        SCOPED_TRACE(toUtf8(c.entry));
        const std::u16string code = engine::xeFieldCode(c.entry);
        EXPECT_EQ(toUtf8(code), toUtf8(c.code));
        EXPECT_EQ(engine::parseXeFieldCode(code), c.levels);
    }
    EXPECT_TRUE(engine::parseXeFieldCode(u" TOC \\o \"1-3\" ").empty());
    EXPECT_TRUE(engine::parseXeFieldCode(u" XE ").empty());
}

TEST(IndexFieldCode, SwitchesSurviveWritingAndReading) {
    const engine::IndexOptions cases[] = {{}, {2, 0, 2, 1033}, {3, 1, 4, 1049}, {1, 0, 1, 0}};
    for (const auto& o : cases) {
        const std::u16string code = engine::indexFieldCode(o);
        SCOPED_TRACE(toUtf8(code));
        EXPECT_EQ(engine::parseIndexFieldCode(code), o);
    }
    EXPECT_EQ(toUtf8(engine::indexFieldCode({2, 0, 2, 1033})),
              " INDEX \\h \"A\" \\c \"2\" \\z \"1033\" ");
}

std::optional<std::string> readEntry(const std::filesystem::path& file, const char* name) {
    int error = 0;
    zip_t* zip = zip_open(file.c_str(), ZIP_RDONLY, &error);
    if (!zip) return std::nullopt;
    std::optional<std::string> data;
    zip_stat_t stat;
    zip_file_t* f = zip_stat(zip, name, 0, &stat) == 0 ? zip_fopen(zip, name, 0) : nullptr;
    if (f) {
        data.emplace(stat.size, '\0');
        zip_fread(f, data->data(), stat.size);
        zip_fclose(f);
    }
    zip_discard(zip);
    return data;
}

class IndexTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        engine::layout::registerPageLayout();
    }
    void TearDown() override { engine::setPageNumbering(nullptr); }

    // A heading paragraph `text` in Heading 1, its entries marked on its text once its
    // paragraph is closed (a mark goes after the range, the range stays as it was), and a
    // paragraph of text.
    void chapter(const std::u16string& text, std::initializer_list<std::u16string> entries,
                 bool newPage) {
        const Object r = doc.at(u"Content");
        r.call(u"Collapse", {0});
        if (newPage) {
            r.call(u"InsertBreak", {7});
            r.call(u"Collapse", {0});
        }
        r.put(u"Style", -2);
        r.call(u"InsertAfter", {text});
        const Object heading = doc.call(u"Range", {r.get(u"Start"), r.get(u"End")}).toObject();
        r.call(u"InsertParagraphAfter");
        r.call(u"Collapse", {0});
        r.put(u"Style", -1);
        r.call(u"InsertAfter", {u"Some text."});
        r.call(u"InsertParagraphAfter");
        for (const auto& e : entries)
            doc.at(u"Indexes").call(u"MarkEntry", {named(u"Range", heading), named(u"Entry", e)});
    }

    // The index's paragraphs: "[style] text", the style's name in lower case (as a file names
    // it), the field's code left out of the first.
    std::string indexParagraphs() const {
        std::istringstream lines(paragraphs());
        std::string out, line;
        while (std::getline(lines, line)) {
            const auto name = static_cast<std::ptrdiff_t>(std::min(line.find(']'), line.size()));
            std::transform(line.begin(), line.begin() + name, line.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (!line.starts_with("[index")) continue;
            if (const auto fs = line.find("{fs}"); fs != std::string::npos)
                line = line.substr(0, line.find("] ") + 2) + line.substr(fs + 4);
            out += line + "\n";
        }
        return out;
    }
};

TEST_F(IndexTest, MarksAndAnIndexOfSortedEntriesWithPageNumbers) {
    chapter(u"Getting started", {u"setup", u"Printing:Paper sizes"}, false);
    chapter(u"Printing", {u"Printing", u"printing:Margins", u"Time\\: 12\\:00"}, true);
    chapter(u"Zebra", {u"zebra", u"Setup", u"Ärger"}, true);
    const Object end = doc.at(u"Content");
    end.call(u"Collapse", {0});
    const Object index = doc.at(u"Indexes")
                             .call(u"Add", {named(u"Range", end), named(u"HeadingSeparator", 2),
                                            named(u"Type", 0), named(u"NumberOfColumns", 2)})
                             .toObject();
    expectConsistent();
    EXPECT_EQ(doc.at(u"Indexes").get(u"Count").toInt(), 1);
    EXPECT_EQ(index.get(u"NumberOfColumns").toInt(), 2);
    // Letter case aside, equal entries are one; the first spelling is kept. Sub-entries sort
    // under their main entry, which lists only the pages of its own marks.
    const std::string expected =
        "[index heading] A\\r\n"
        "[index 1] Ärger, 3\\r\n"
        "[index heading] P\\r\n"
        "[index 1] Printing, 2\\r\n"
        "[index 2] Margins, 2\\r\n"
        "[index 2] Paper sizes, 1\\r\n"
        "[index heading] S\\r\n"
        "[index 1] setup, 1, 3\\r\n"
        "[index heading] T\\r\n"
        "[index 1] Time: 12:00, 2\\r\n"
        "[index heading] Z\\r\n"
        "[index 1] zebra, 3\\r\n";
    EXPECT_EQ(indexParagraphs(), expected) << paragraphs();
    // The marks follow the heading's text in its paragraph.
    const std::string all = paragraphs();
    const auto heading = all.find("[Heading 1] {page}Printing{fb} XE ");
    ASSERT_NE(heading, std::string::npos) << all;
    const std::string line = all.substr(heading, all.find('\n', heading) - heading);
    EXPECT_NE(line.find("{fb} XE \"printing:Margins\" {fe}"), std::string::npos) << line;
    EXPECT_NE(line.find("{fb} XE \"Time\\: 12\\:00\" {fe}"), std::string::npos) << line;

    // Written and read back: the marks and the field survive, and updating gives the same.
    TempDir dir;
    const auto path = dir.path() / "index.docx";
    doc.call(u"SaveAs", {fromPath(path), named(u"FileFormat", 12)});
    pugi::xml_document xml;
    const auto body = readEntry(path, "word/document.xml");
    ASSERT_TRUE(body && xml.load_buffer(body->data(), body->size()));
    // Each mark in hidden runs, begin, code and end.
    EXPECT_EQ(xml.select_nodes("//w:r[w:rPr/w:vanish]/w:instrText[starts-with(., ' XE ')]").size(),
              8u);
    EXPECT_TRUE(xml.select_node("//w:r[w:rPr/w:vanish]/w:instrText[.=' XE \"setup\" ']"));
    EXPECT_TRUE(xml.select_node("//w:r[w:rPr/w:vanish]/w:instrText[.=' XE \"Time\\: 12\\:00\" ']"));
    EXPECT_EQ(
        std::string(xml.select_node("//w:instrText[starts-with(., ' INDEX')]").node().text().get()),
        " INDEX \\h \"A\" \\c \"2\" \\z \"1033\" ");
    pugi::xml_document styles;
    const auto styleXml = readEntry(path, "word/styles.xml");
    ASSERT_TRUE(styleXml && styles.load_buffer(styleXml->data(), styleXml->size()));
    for (const char* name : {"index 1", "index 2", "index heading"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(
            styles.select_node((std::string("//w:style[w:name/@w:val='") + name + "']").c_str()));
    }

    doc = word.at(u"Documents").call(u"Open", {named(u"FileName", fromPath(path))}).toObject();
    ASSERT_EQ(doc.at(u"Indexes").get(u"Count").toInt(), 1);
    doc.at(u"Indexes").at(u"Item", {1}).call(u"Update");
    expectConsistent();
    EXPECT_EQ(indexParagraphs(), expected);
}

TEST_F(IndexTest, AJapaneseDocumentsIndexIsSortedInJapanese) {
    // As the Word stage sets a Japanese help file's document up: English stays the Latin
    // language, Japanese is the East Asian one.
    doc.at(u"Styles").at(u"Item", {-1}).put(u"LanguageIDFarEast", 1041);
    chapter(u"一", {u"いぬ", u"あめ", u"Zebra", u"アイコン"}, false);
    const Object end = doc.at(u"Content");
    end.call(u"Collapse", {0});
    doc.at(u"Indexes").call(u"Add", {named(u"Range", end), named(u"HeadingSeparator", 2)});
    expectConsistent();
    EXPECT_NE(paragraphs().find("{fb} INDEX \\h \"A\" \\z \"1041\" {fs}"), std::string::npos)
        << paragraphs();
    // Japanese order: Latin letters first, then kana by their sound, katakana with hiragana;
    // kana have no letter case and get no letter heading.
    EXPECT_EQ(indexParagraphs(),
              "[index heading] Z\\r\n"
              "[index 1] Zebra, 1\\r\n"
              "[index 1] アイコン, 1\\r\n"
              "[index 1] あめ, 1\\r\n"
              "[index 1] いぬ, 1\\r\n");
}

TEST_F(IndexTest, WithoutMarksTheIndexIsEmptyAndAMarkNeedsText) {
    chapter(u"Only", {}, false);
    const Object end = doc.at(u"Content");
    end.call(u"Collapse", {0});
    EXPECT_THROW(doc.at(u"Indexes").call(u"MarkEntry", {end, u"  "}), AutomationError);
    doc.at(u"Indexes").call(u"Add", {named(u"Range", end), named(u"HeadingSeparator", 2)});
    expectConsistent();
    EXPECT_EQ(indexParagraphs(), "");
}

}  // namespace
}  // namespace quillet::testing
