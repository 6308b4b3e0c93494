// The .docx package: the few nodes that matter in what the writer writes, bookmark names as
// files take them, and writer-to-reader round trips of what the automation interface cannot
// build yet (tables).
#include "engine_fixture.h"

#include "automation/automation_error.h"
#include "engine/bookmark_names.h"
#include "engine/docx_common.h"
#include "engine/docx_reader.h"
#include "engine/docx_writer.h"
#include "engine/picture.h"
#include "support/temp_dir.h"

#include <stb_image_write.h>
#include <zip.h>
#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <vector>

namespace quillet::testing {
namespace {

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

pugi::xml_document parseEntry(const std::filesystem::path& file, const char* name) {
    pugi::xml_document doc;
    const auto data = readEntry(file, name);
    EXPECT_TRUE(data) << name;
    if (data) {
        EXPECT_TRUE(doc.load_buffer(data->data(), data->size())) << name;
    }
    return doc;
}

std::string first(const pugi::xml_document& doc, const char* xpath, const char* attribute) {
    return doc.select_node(xpath).node().attribute(attribute).value();
}

// The names of every entry in the package.
std::vector<std::string> entryNames(const std::filesystem::path& file) {
    std::vector<std::string> names;
    int error = 0;
    zip_t* zip = zip_open(file.c_str(), ZIP_RDONLY, &error);
    if (!zip) return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i)
        names.emplace_back(zip_get_name(zip, static_cast<zip_uint64_t>(i), 0));
    zip_discard(zip);
    return names;
}

// The Char production of XML 1.0.
bool isXmlCharacter(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The first character of an XML part that XML 1.0 does not allow, written out or as a character
// reference ("U+FFFF at 812"); empty when there is none. pugixml reads such parts without a word,
// so its parse alone would not show them.
std::string illegalCharacter(const std::string& xml) {
    const std::u16string text = fromUtf8(xml);
    if (toUtf8(text) != xml) return "bytes that are not UTF-8";
    auto describe = [](char32_t c, std::size_t at) {
        char buffer[48];
        std::snprintf(buffer, sizeof buffer, "U+%04X at %zu", static_cast<unsigned>(c), at);
        return std::string(buffer);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00), ++i;
        if (!isXmlCharacter(c)) return describe(c, i);
        if (c == u'&' && text.compare(i, 2, u"&#") == 0) {
            const bool hex = i + 2 < text.size() && text[i + 2] == u'x';
            char32_t referenced = 0;
            std::size_t j = i + (hex ? 3 : 2);
            for (; j < text.size() && text[j] != u';'; ++j) {
                const char16_t d = text[j];
                const int digit = d >= u'0' && d <= u'9'          ? d - u'0'
                                  : hex && d >= u'a' && d <= u'f' ? d - u'a' + 10
                                  : hex && d >= u'A' && d <= u'F' ? d - u'A' + 10
                                                                  : -1;
                if (digit < 0) return "a malformed character reference at " + std::to_string(i);
                referenced = std::min<char32_t>(referenced * (hex ? 16 : 10) + digit, 0x110000);
            }
            if (!isXmlCharacter(referenced)) return describe(referenced, i) + " (referenced)";
        }
    }
    return {};
}

// Every 16-bit code unit, with a surrogate without partner at either end and a pair in between.
// U+0000 comes last, so that a writer which stops at it still meets all the others.
std::u16string everyCodeUnit() {
    std::u16string text(1, u'\xDC00');
    for (char32_t c = 1; c <= 0xFFFF; ++c) text += static_cast<char16_t>(c);
    return text + u"\U0001F600" + u'\0' + u'\xD800';
}

// What a part keeps of `text`: the characters XML 1.0 allows; a surrogate without partner becomes
// U+FFFD, as every conversion to UTF-8 here makes it.
std::u16string keptInXml(std::u16string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            out += text.substr(i++, 2);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out += u'\xFFFD';
        } else if (isXmlCharacter(c)) {
            out += c;
        }
    }
    return out;
}

// Where two long texts first differ ("at 12: U+0041, expected U+0042"); empty when they are equal.
std::string firstDifference(std::u16string_view got, std::u16string_view expected) {
    const auto [a, b] = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
    if (a == got.end() && b == expected.end()) return {};
    auto shown = [](auto it, auto end) {
        char buffer[16] = "the end";
        if (it != end) std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(*it));
        return std::string(buffer);
    };
    return "at " + std::to_string(a - got.begin()) + ": " + shown(a, got.end()) + ", expected " +
           shown(b, expected.end());
}

TEST(BookmarkNames, MapsWhatFilesCannotHoldWithoutCollisions) {
    engine::DocumentModel model;
    engine::Story& body = model.body();
    const std::u16string names[] = {
        u"Bookmark12",    u"a_b",
        u"a b",           u"1abc",
        u"_Toc100000001", u"_private",
        u"\u4e66\u7b7e",  u"A123456789012345678901234567890123456789_more"};
    for (const auto& n : names) body.addBookmark(n, 0, 0);
    engine::Hyperlink link;
    link.start = 0;
    link.end = 1;
    link.subAddress = u"Only linked to";
    body.addHyperlink(link);
    const engine::BookmarkNames map(model);
    struct Case {
        std::u16string_view in, out;
    };
    const Case cases[] = {
        {u"Bookmark12", u"Bookmark12"},
        {u"a_b", u"a_b"},
        {u"a b", u"a_b_2"},  // would collide with the valid a_b
        {u"A B", u"a_b_2"},  // names match without regard to letter case
        {u"1abc", u"B1abc"},
        {u"_Toc100000001", u"_Toc100000001"},
        {u"_private", u"B_private"},
        {u"\u4e66\u7b7e", u"B__"},
        {u"A123456789012345678901234567890123456789_more",
         u"A123456789012345678901234567890123456789"},
        {u"Only linked to", u"Only_linked_to"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.in));
        EXPECT_EQ(map(c.in), c.out);
        EXPECT_TRUE(engine::isValidBookmarkName(map(c.in)));
    }
}

class DocxOutput : public EngineTest {
protected:
    std::filesystem::path save() {
        const auto path = dir.path() / "out.docx";
        doc.call(u"SaveAs", {fromPath(path), named(u"FileFormat", 12)});
        return path;
    }
    TempDir dir;
};

TEST_F(DocxOutput, WritesTheNodesThatWordReads) {
    doc.at(u"PageSetup").put(u"PaperSize", 7);
    doc.at(u"Styles").at(u"Item", {-2}).at(u"Font").put(u"Name", u"Calibri");
    const Object r = doc.at(u"Content");
    r.call(u"Collapse", {0});
    r.put(u"Style", -2);
    r.call(u"InsertAfter", {u"Chapter"});
    doc.at(u"Bookmarks").call(u"Add", {u"Bookmark0_see also", r});
    r.call(u"Collapse", {0});
    r.call(u"InsertParagraphAfter");
    r.call(u"Collapse", {0});
    r.put(u"Style", -1);
    doc.at(u"Hyperlinks")
        .call(u"Add", {named(u"Anchor", r), named(u"Address", u"#Bookmark0_see also"),
                       named(u"TextToDisplay", u"back")});
    r.call(u"Collapse", {0});
    r.call(u"InsertParagraphAfter");
    r.call(u"Collapse", {0});
    const std::u16string away =
        u"http://site/"
        u"viewtopic.php?p=372973&t=1#enable_long_paths_in_windows_10_version_1607_and_later";
    doc.at(u"Hyperlinks")
        .call(u"Add",
              {named(u"Anchor", r), named(u"Address", away), named(u"TextToDisplay", u"away")});
    r.call(u"Collapse", {0});
    r.call(u"InsertParagraphAfter");
    r.call(u"Collapse", {0});
    std::vector<unsigned char> pixels(4 * 4 * 3, 0);
    const auto png = dir.path() / "p.png";
    stbi_write_png(png.c_str(), 4, 4, 3, pixels.data(), 12);
    doc.at(u"InlineShapes").call(u"AddPicture", {fromPath(png), false, true, r});
    doc.at(u"TablesOfContents")
        .call(u"Add", {named(u"Range", doc.at(u"Range", {0, 0})), named(u"UseHyperlinks", true)});
    expectConsistent();
    const auto file = save();

    const pugi::xml_document document = parseEntry(file, "word/document.xml");
    EXPECT_EQ(
        first(document, "//w:p[w:pPr/w:pStyle/@w:val='Heading1']/w:bookmarkStart[1]", "w:name"),
        "Bookmark0_see_also");
    EXPECT_EQ(first(document, "//w:hyperlink[w:r/w:t='back']", "w:anchor"), "Bookmark0_see_also");
    EXPECT_EQ(std::string(document.select_node("(//w:instrText)[1]").node().text().get()),
              " TOC \\o \"1-9\" \\h \\z ");
    EXPECT_EQ(first(document, "//w:fldChar[1]", "w:fldCharType"), "begin");
    EXPECT_EQ(first(document, "/w:document/w:body/w:sectPr/w:pgSz", "w:w"), "11906");
    EXPECT_EQ(first(document, "/w:document/w:body/w:sectPr/w:pgSz", "w:h"), "16838");
    const std::string embed = first(document, "//a:blip", "r:embed");
    const pugi::xml_document rels = parseEntry(file, "word/_rels/document.xml.rels");
    const std::string target =
        first(rels, ("//Relationship[@Id='" + embed + "']").c_str(), "Target");
    EXPECT_EQ(target, "media/image1.png");
    // A link that leaves the document keeps its address exactly, fragment and all.
    const std::string awayId = first(document, "//w:hyperlink[w:r/w:t='away']", "r:id");
    EXPECT_EQ(first(rels, ("//Relationship[@Id='" + awayId + "']").c_str(), "Target"),
              toUtf8(away));
    EXPECT_EQ(first(document, "//w:hyperlink[w:r/w:t='away']", "w:anchor"), "");
    EXPECT_TRUE(readEntry(file, ("word/" + target).c_str()));

    const pugi::xml_document styles = parseEntry(file, "word/styles.xml");
    EXPECT_EQ(first(styles, "//w:style[w:name/@w:val='heading 1']/w:rPr/w:rFonts", "w:ascii"),
              "Calibri");
    EXPECT_EQ(first(styles, "//w:style[@w:styleId='Heading1']/w:pPr/w:outlineLvl", "w:val"), "0");
    EXPECT_EQ(first(parseEntry(file, "word/settings.xml"), "//w:updateFields", "w:val"), "true");
    EXPECT_TRUE(readEntry(file, "[Content_Types].xml"));
}

TEST(Pictures, OneFileShownManyTimesIsHeldOnce) {
    // A large picture shown on every page took its size again for each showing.
    TempDir dir;
    const auto png = dir.path() / "big.png";
    std::vector<unsigned char> pixels(64 * 64 * 3, 0x40);
    ASSERT_NE(stbi_write_png(png.c_str(), 64, 64, 3, pixels.data(), 64 * 3), 0);
    const engine::PictureData first = engine::loadPicture(fromPath(png), false);
    const engine::PictureData second = engine::loadPicture(fromPath(png), false);
    engine::PictureData linked = engine::loadPicture(fromPath(png), true);
    EXPECT_TRUE(linked.bytes.empty());
    ASSERT_TRUE(engine::storePictureBytes(linked));
    EXPECT_FALSE(first.bytes.empty());
    EXPECT_EQ(&first.bytes.str(), &second.bytes.str());
    EXPECT_EQ(&first.bytes.str(), &linked.bytes.str());
    // A changed file is read anew.
    std::vector<unsigned char> other(32 * 32 * 3, 0x80);
    ASSERT_NE(stbi_write_png(png.c_str(), 32, 32, 3, other.data(), 32 * 3), 0);
    std::filesystem::last_write_time(
        png, std::filesystem::last_write_time(png) + std::chrono::seconds(2));
    const engine::PictureData changed = engine::loadPicture(fromPath(png), false);
    EXPECT_NE(changed.bytes, first.bytes);
    EXPECT_EQ(changed.naturalWidth, 24);
}

TEST_F(DocxOutput, TablesSurviveTheRoundTrip) {
    // The automation interface has no tables yet: the model builds one, as the page import will.
    engine::DocumentModel model;
    engine::Fragment f;
    engine::TableInfo outer;
    outer.grid = {100, 100};
    outer.rows = {{{{100, 1, 1, 0xCCCCCC, {}}, {100, 1, 0, {}, 0.0}}, true},
                  {{{100, 1, 2, {}, {}}, {100, 1, 0, {}, 2.25}}, false}};
    engine::TableInfo inner;
    inner.grid = {50};
    inner.rows = {{{{50, 1, 0, {}, {}}}, false}};
    inner.borderWidth = 0;
    f.tables = {outer, inner};
    auto cell = [&](std::u16string text, std::vector<engine::CellRef> cells, char16_t end) {
        f.text += text + end;
        engine::ParaFormat p;
        p.cells = std::move(cells);
        f.addParagraph(p);
    };
    cell(u"Head", {{0, 0, 0}}, engine::kCellMark);
    cell(u"Two lines", {{0, 0, 1}}, engine::kParagraphMark);
    cell(u"second", {{0, 0, 1}}, engine::kCellMark);
    cell(u"", {{0, 1, 0}}, engine::kCellMark);  // continues the merged cell above
    cell(u"Nested", {{0, 1, 1}, {1, 0, 0}}, engine::kCellMark);
    cell(u"", {{0, 1, 1}}, engine::kCellMark);
    f.addRun(static_cast<int>(f.text.size()), engine::CharFormat{});
    model.insert(model.body(), 0, f);
    ASSERT_EQ(model.checkInvariants(), "");
    const std::u16string path = fromPath(dir.path() / "table.docx");
    engine::writeDocx(model, path);
    engine::DocumentModel back;
    engine::readDocx(back, path);
    EXPECT_EQ(back.checkInvariants(), "");
    EXPECT_EQ(dumpModel(back), dumpModel(model));
}

TEST_F(DocxOutput, LineSpacingRulesAndTabStopsSurviveTheRoundTrip) {
    engine::DocumentModel model;
    engine::Fragment f;
    const auto paragraph = [&](std::u16string text, auto set) {
        f.text += text + engine::kParagraphMark;
        engine::ParaFormat p;
        set(p);
        f.addParagraph(p);
    };
    paragraph(u"one and a half", [](auto& p) {
        p.lineSpacing = 18;
        p.lineSpacingRule = 5;
    });
    paragraph(u"at least", [](auto& p) {
        p.lineSpacing = 20;
        p.lineSpacingRule = 3;
    });
    paragraph(u"", [](auto& p) {
        p.lineSpacing = 6;
        p.lineSpacingRule = 4;
        p.bottomBorder = 0.75;
    });
    paragraph(u"entry\t7", [](auto& p) { p.rightTab = 451.5; });
    f.addRun(static_cast<int>(f.text.size()), engine::CharFormat{});
    model.insert(model.body(), 0, f);
    const std::u16string path = fromPath(dir.path() / "spacing.docx");
    engine::writeDocx(model, path);
    engine::DocumentModel back;
    engine::readDocx(back, path);
    EXPECT_EQ(dumpModel(back), dumpModel(model));
    EXPECT_NE(dumpModel(back).find("line=18/5"), std::string::npos) << dumpModel(back);
}

// A document with a list of each number style, built on the model (the automation interface
// makes no lists): each list's paragraphs at the level the case gives, the first list starting
// at 3.
struct ListCase {
    engine::NumberStyle style;
    std::u16string_view text;
    int level;
    const char* numFmt;
    const char* lvlText;
    std::string_view shown;  // the case's two paragraphs as Word numbers them
};
const ListCase kListCases[] = {
    {engine::NumberStyle::Decimal, u"%1.", 0, "decimal", "%1.", "3.\tdecimal one|4.\tdecimal two"},
    {engine::NumberStyle::Bullet, u"\u2022", 1, "bullet", "\u2022",
     "\u2022\tbullet one|\u2022\tbullet two"},
    {engine::NumberStyle::Bullet, u"\u25E6", 8, "bullet", "\u25E6",
     "\u25E6\tcircle one|\u25E6\tcircle two"},
    {engine::NumberStyle::LowerLetter, u"%2)", 1, "lowerLetter", "%2)",
     "a)\tletter one|b)\tletter two"},
    {engine::NumberStyle::UpperLetter, u"%1.", 0, "upperLetter", "%1.",
     "A.\tLETTER one|B.\tLETTER two"},
    {engine::NumberStyle::LowerRoman, u"%3.", 2, "lowerRoman", "%3.",
     "i.\troman one|ii.\troman two"},
    {engine::NumberStyle::UpperRoman, u"(%1)", 0, "upperRoman", "(%1)",
     "(I)\tROMAN one|(II)\tROMAN two"},
};

void buildLists(engine::DocumentModel& model) {
    const char16_t* names[] = {u"decimal", u"bullet", u"circle", u"letter",
                               u"LETTER",  u"roman",  u"ROMAN"};
    engine::Fragment f;
    for (std::size_t i = 0; i < std::size(kListCases); ++i) {
        const ListCase& c = kListCases[i];
        engine::ListTemplate t;
        for (int l = 0; l < engine::kListLevels; ++l) {
            auto& level = t.levels[static_cast<std::size_t>(l)];
            level.style = c.style;
            level.text = c.text;
            level.leftIndent = 36.0 * (l + 1);
            level.hanging = 18;
        }
        std::vector<engine::ListStart> starts;
        if (i == 0) starts.push_back({0, 3});
        const int list = model.lists().add(t, starts);
        for (const char16_t* which : {u" one", u" two"}) {
            f.text += std::u16string(names[i]) + which + engine::kParagraphMark;
            engine::ParaFormat p;
            p.list = list;
            p.listLevel = c.level;
            p.leftIndent = 36.0 * (c.level + 1);
            p.firstLineIndent = -18;
            f.addParagraph(p);
        }
    }
    f.text += u"after";
    f.addRun(static_cast<int>(f.text.size()), engine::CharFormat{});
    model.insert(model.body(), 0, f);
    ASSERT_EQ(model.checkInvariants(), "");
}

TEST_F(DocxOutput, ListsAreWrittenAsNumberingAndReadBack) {
    engine::DocumentModel model;
    buildLists(model);
    std::string shown;
    for (const ListCase& c : kListCases) shown += std::string(c.shown) + "|";
    EXPECT_EQ(numberedParagraphs(model, model.body()), shown + "after");
    const auto path = dir.path() / "lists.docx";
    engine::writeDocx(model, fromPath(path));

    const pugi::xml_document document = parseEntry(path, "word/document.xml");
    const pugi::xml_document numbering = parseEntry(path, "word/numbering.xml");
    const auto paragraphs = document.select_nodes("//w:body/w:p");
    ASSERT_EQ(paragraphs.size(), 2 * std::size(kListCases) + 1);
    for (std::size_t i = 0; i < std::size(kListCases); ++i) {
        const ListCase& c = kListCases[i];
        SCOPED_TRACE(c.numFmt);
        for (std::size_t k = 0; k < 2; ++k) {
            const pugi::xml_node numPr =
                paragraphs[2 * i + k].node().child("w:pPr").child("w:numPr");
            EXPECT_EQ(numPr.child("w:ilvl").attribute("w:val").as_int(), c.level);
            const std::string numId = numPr.child("w:numId").attribute("w:val").value();
            EXPECT_EQ(numId, std::to_string(i + 1));
            const pugi::xml_node num =
                numbering.select_node(("//w:num[@w:numId='" + numId + "']").c_str()).node();
            const std::string abstractId = num.child("w:abstractNumId").attribute("w:val").value();
            const pugi::xml_node lvl =
                numbering
                    .select_node(("//w:abstractNum[@w:abstractNumId='" + abstractId +
                                  "']/w:lvl[@w:ilvl='" + std::to_string(c.level) + "']")
                                     .c_str())
                    .node();
            EXPECT_EQ(std::string(lvl.child("w:numFmt").attribute("w:val").value()), c.numFmt);
            EXPECT_EQ(std::string(lvl.child("w:lvlText").attribute("w:val").value()), c.lvlText);
            EXPECT_EQ(std::string(num.select_node("w:lvlOverride[@w:ilvl='0']/w:startOverride")
                                      .node()
                                      .attribute("w:val")
                                      .value()),
                      i == 0 ? "3" : "");
        }
    }
    EXPECT_FALSE(paragraphs[paragraphs.size() - 1].node().child("w:pPr").child("w:numPr"));
    EXPECT_EQ(first(parseEntry(path, "word/_rels/document.xml.rels"),
                    "//Relationship[@Target='numbering.xml']", "Type"),
              engine::docx::kRelNumbering);
    EXPECT_EQ(first(parseEntry(path, "[Content_Types].xml"),
                    "//Override[@PartName='/word/numbering.xml']", "ContentType"),
              "application/vnd.openxmlformats-officedocument.wordprocessingml.numbering+xml");

    engine::DocumentModel back;
    engine::readDocx(back, fromPath(path));
    EXPECT_EQ(back.checkInvariants(), "");
    EXPECT_EQ(dumpModel(back), dumpModel(model));
}

TEST_F(DocxOutput, ADocumentWithoutListsHasNoNumberingPart) {
    doc.at(u"Content").put(u"Text", u"plain");
    const auto names = entryNames(save());
    EXPECT_EQ(std::count(names.begin(), names.end(), "word/numbering.xml"), 0);
}

// Pasting copies a document's lists into the target as new ones, clear of the lists it has: the
// Word stage pastes every topic page into the main document so, each page's lists on their own.
TEST_F(DocxOutput, CopiedListsArePastedAsNewListsOfTheTarget) {
    const auto path = dir.path() / "lists.docx";
    {
        engine::DocumentModel model;
        buildLists(model);
        engine::writeDocx(model, fromPath(path));
    }
    const Object source = word.at(u"Documents").at(u"Open", {named(u"FileName", fromPath(path))});
    // The second and third lists' paragraphs: "bullet one" to "circle two".
    const int from = static_cast<int>(toUtf8(text(source.at(u"Content"))).find("bullet one"));
    const int to = static_cast<int>(toUtf8(text(source.at(u"Content"))).find("letter one"));
    source.at(u"Range", {from, to}).call(u"Copy");

    // The target has a list of its own, from the same file.
    const Object target = word.at(u"Documents").at(u"Add", {fromPath(path)});
    const engine::DocumentModel& before = *engine::documentModel(target);
    const int lists = before.lists().count();
    const int templates = before.lists().templateCount();
    const Object end = target.at(u"Content");
    end.call(u"InsertParagraphAfter");
    end.call(u"Collapse", {0});
    end.call(u"Paste");
    end.call(u"Collapse", {0});
    end.call(u"Paste");
    const engine::DocumentModel& model = *engine::documentModel(target);
    EXPECT_EQ(model.checkInvariants(), "");
    EXPECT_EQ(model.lists().count(), lists + 4);          // two lists, pasted twice
    EXPECT_EQ(model.lists().templateCount(), templates);  // their templates were there
    const std::string shown = numberedParagraphs(model, model.body());
    const std::string pasted =
        "\u2022\tbullet one|\u2022\tbullet two|\u25E6\tcircle one|\u25E6\tcircle two|";
    EXPECT_NE(shown.find("|after|" + pasted + pasted), std::string::npos) << shown;
    std::set<int> numbers;
    for (int i = 0; i < model.body().paragraphCount(); ++i)
        numbers.insert(model.body().paragraphFormat(i).list);
    EXPECT_EQ(static_cast<int>(numbers.size()), 1 + lists + 4);  // none, its own, the pasted

    // Written and read again, the pasted lists are still lists of their own.
    const auto saved = dir.path() / "pasted.docx";
    target.call(u"SaveAs", {fromPath(saved), named(u"FileFormat", 12)});
    engine::DocumentModel back;
    engine::readDocx(back, fromPath(saved));
    EXPECT_EQ(numberedParagraphs(back, back.body()), shown);
    source.call(u"Close", {false});
}

// A run that is only blanks, between a bookmark and a link ("the" + " " + "details"), keeps its
// blanks when the document is read back: losing them would glue the words together.
TEST_F(DocxOutput, RunsOfBlanksAloneSurviveTheRoundTrip) {
    const Object r = doc.at(u"Content");
    r.call(u"InsertAfter", {u"See the  details."});
    doc.at(u"Bookmarks").call(u"Add", {u"x", doc.at(u"Range", {4, 7})});
    doc.at(u"Hyperlinks")
        .call(u"Add", {named(u"Anchor", doc.at(u"Range", {9, 16})), named(u"SubAddress", u"x")});
    const auto file = save();
    engine::DocumentModel back;
    engine::readDocx(back, fromPath(file));
    EXPECT_EQ(toUtf8(back.body().text(0, 17)), "See the  details.");
}

TEST_F(DocxOutput, EveryPlaceLeavesOutWhatXmlCannotHold) {
    // Story text cannot hold the characters that are structure there (marks, fields, pictures).
    std::u16string storyText = everyCodeUnit();
    std::erase_if(storyText, [](char16_t c) {
        return c == engine::kParagraphMark || c == engine::kSectionBreak ||
               c == engine::kCellMark || c == engine::kLineBreak || c == engine::kPageBreak ||
               c == engine::kPictureChar || c == engine::kFieldBegin ||
               c == engine::kFieldSeparator || c == engine::kFieldEnd;
    });
    const std::u16string anyText = everyCodeUnit();
    using Model = engine::DocumentModel;
    struct Place {
        const char* name;
        const std::u16string& given;
        void (*put)(Model&, const std::u16string&);
        // What the document read back holds there; null where the writer changes it on purpose
        // (bookmark names, a linked file's address).
        std::u16string (*get)(Model&);
    };
    const Place places[] = {
        {"paragraph text", storyText,
         [](Model& m, const std::u16string& t) {
             m.insert(m.body(), 0, engine::Fragment::plain(t));
         },
         [](Model& m) { return m.body().text(0, m.body().length() - 1); }},
        {"field code", storyText,
         [](Model& m, const std::u16string& t) {
             engine::Fragment f = engine::Fragment::plain(
                 engine::kFieldBegin + t + engine::kFieldSeparator + u"result" + engine::kFieldEnd);
             f.fields.push_back({{0, static_cast<int>(f.text.size())}});
             m.insert(m.body(), 0, std::move(f));
         },
         [](Model& m) {
             return m.body().fields().empty() ? u"no field"
                                              : m.body().fieldCode(*m.body().fields()[0]);
         }},
        {"header text", storyText,
         [](Model& m, const std::u16string& t) {
             m.insert(*m.shownStory(0, false, 1), 0, engine::Fragment::plain(t));
         },
         [](Model& m) {
             const engine::Story& header = *m.shownStory(0, false, 1);
             return header.text(0, header.length() - 1);
         }},
        {"hyperlink target", anyText,
         [](Model& m, const std::u16string& t) {
             engine::Fragment f = engine::Fragment::plain(u"link");
             engine::Hyperlink h;
             h.start = 0;
             h.end = 4;
             h.address = t;
             h.subAddress = t;
             f.hyperlinks.push_back(h);
             m.insert(m.body(), 0, std::move(f));
         },
         [](Model& m) {
             return m.body().hyperlinks().empty() ? u"no link" : m.body().hyperlinks()[0]->address;
         }},
        {"hyperlink tip", anyText,
         [](Model& m, const std::u16string& t) {
             engine::Fragment f = engine::Fragment::plain(u"link");
             engine::Hyperlink h;
             h.start = 0;
             h.end = 4;
             h.address = u"http://example.com/";
             h.screenTip = t;
             f.hyperlinks.push_back(h);
             m.insert(m.body(), 0, std::move(f));
         },
         [](Model& m) {
             return m.body().hyperlinks().empty() ? u"no link"
                                                  : m.body().hyperlinks()[0]->screenTip;
         }},
        {"picture description", anyText,
         [](Model& m, const std::u16string& t) {
             engine::Fragment f = engine::Fragment::plain(std::u16string(1, engine::kPictureChar));
             engine::InlinePicture p;
             p.start = 0;
             p.end = 1;
             p.picture.linked = true;
             p.picture.sourcePath = u"/pictures/" + t;  // also the picture's name in the part
             p.picture.width = p.picture.height = 10;
             p.picture.altText = t;
             f.pictures.push_back(p);
             m.insert(m.body(), 0, std::move(f));
         },
         [](Model& m) {
             return m.body().pictures().empty() ? u"no picture"
                                                : m.body().pictures()[0]->picture.altText;
         }},
        {"font name", anyText,
         [](Model& m, const std::u16string& t) {
             engine::CharFormat format;
             format.font = t;
             format.eastAsiaFont = t;
             m.insert(m.body(), 0, engine::Fragment::plain(u"x", format));
             m.styles().defaults.font = t;
         },
         [](Model& m) { return m.body().charFormat(0).font.value_or(u"no font"); }},
        {"style name", anyText,
         [](Model& m, const std::u16string& t) {
             engine::Style style;
             style.name = t;
             style.id = t;
             const int added = m.styles().add(style);
             m.body().formatParagraphs(0, 0, [&](engine::ParaFormat& p) { p.style = added; });
         },
         [](Model& m) { return m.styles().at(m.body().paragraphFormat(0).style).name; }},
        {"bookmark name", anyText,
         [](Model& m, const std::u16string& t) {
             m.insert(m.body(), 0, engine::Fragment::plain(u"mark"));
             m.body().addBookmark(t, 0, 4);
         },
         nullptr},
    };
    for (const Place& place : places) {
        SCOPED_TRACE(place.name);
        engine::DocumentModel model;
        place.put(model, place.given);
        ASSERT_EQ(model.checkInvariants(), "");
        const auto file = dir.path() / "characters.docx";
        engine::writeDocx(model, fromPath(file));
        for (const std::string& name : entryNames(file)) {
            if (!name.ends_with(".xml") && !name.ends_with(".rels")) continue;
            SCOPED_TRACE(name);
            const std::string part = readEntry(file, name.c_str()).value_or("");
            pugi::xml_document xml;
            EXPECT_EQ(xml.load_buffer(part.data(), part.size()).status, pugi::status_ok);
            EXPECT_EQ(illegalCharacter(part), "");
        }
        engine::DocumentModel back;
        engine::readDocx(back, fromPath(file));
        EXPECT_EQ(back.checkInvariants(), "");
        if (place.get) {
            EXPECT_EQ(firstDifference(place.get(back), keptInXml(place.given)), "");
        }
    }
}

// Pictures with the same bytes share one file of the package, whether the model holds the bytes
// or they are read from the file of a picture that is neither stored nor linked; every part that
// shows one has its own relationship to it.
TEST_F(DocxOutput, PicturesWithTheSameBytesShareOneFile) {
    auto png = [&](const char* name, unsigned char shade) {
        const std::vector<unsigned char> pixels(4 * 4 * 3, shade);
        const auto path = dir.path() / name;
        stbi_write_png(path.c_str(), 4, 4, 3, pixels.data(), 12);
        return path;
    };
    const auto grey = png("grey.png", 128);
    const auto black = png("black.png", 0);
    const engine::PictureData stored = engine::loadPicture(fromPath(grey), false);
    engine::PictureData unsaved = stored;
    unsaved.bytes.clear();
    engine::PictureData otherUnsaved = engine::loadPicture(fromPath(black), false);
    otherUnsaved.bytes.clear();
    auto inlinePicture = [](int at, const engine::PictureData& picture) {
        engine::InlinePicture p;
        p.start = at;
        p.end = at + 1;
        p.picture = picture;
        return p;
    };

    engine::DocumentModel model;
    engine::Fragment body = engine::Fragment::plain(std::u16string(2, engine::kPictureChar));
    body.pictures = {inlinePicture(0, stored), inlinePicture(1, unsaved)};
    engine::Shape shape;
    shape.type = engine::kShapePicture;
    shape.start = 0;
    shape.end = 1;
    shape.picture = otherUnsaved;
    body.shapes = {shape};
    model.insert(model.body(), 0, body);
    engine::Fragment header = engine::Fragment::plain(std::u16string(1, engine::kPictureChar));
    header.pictures = {inlinePicture(0, stored)};
    model.insert(*model.shownStory(0, false, 1), 0, header);
    ASSERT_EQ(model.checkInvariants(), "");
    const auto file = dir.path() / "pictures.docx";
    engine::writeDocx(model, fromPath(file));

    std::vector<std::string> media;
    for (const std::string& name : entryNames(file))
        if (name.starts_with("word/media/")) media.push_back(name);
    EXPECT_EQ(media, (std::vector<std::string>{"word/media/image1.png", "word/media/image2.png"}));
    auto fileBytes = [](const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    // The shape comes first: shapes are written at the start of their paragraph.
    EXPECT_EQ(readEntry(file, "word/media/image1.png"), fileBytes(black));
    EXPECT_EQ(readEntry(file, "word/media/image2.png"), fileBytes(grey));

    // The image file each blip of a part shows, in order.
    auto shown = [&](const char* part, const char* rels) {
        const pugi::xml_document xml = parseEntry(file, part);
        const pugi::xml_document relationships = parseEntry(file, rels);
        std::vector<std::string> targets;
        for (const auto& blip : xml.select_nodes("//a:blip")) {
            const std::string id = blip.node().attribute("r:embed").value();
            targets.push_back(
                first(relationships, ("//Relationship[@Id='" + id + "']").c_str(), "Target"));
        }
        return targets;
    };
    EXPECT_EQ(
        shown("word/document.xml", "word/_rels/document.xml.rels"),
        (std::vector<std::string>{"media/image1.png", "media/image2.png", "media/image2.png"}));
    EXPECT_EQ(shown("word/header1.xml", "word/_rels/header1.xml.rels"),
              (std::vector<std::string>{"media/image2.png"}));
}

// The body goes into a file beside the package before the archive takes it. Neither a package
// written nor one that cannot be written leaves anything behind but the package, and the error
// names the file, in libzip's words when the folder cannot take a file.
// Pictures past the size limits are refused with the limit named, before their bytes are held;
// pictures at the limits are read.
TEST_F(DocxOutput, PicturesBeyondTheLimitsAreRefusedWithTheLimitNamed) {
    auto png = [&](const char* name, int width, int height) {
        const std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 3, 9);
        const auto path = dir.path() / name;
        EXPECT_NE(stbi_write_png(path.c_str(), width, height, 3, pixels.data(), width * 3), 0);
        return path;
    };
    // A header that claims a million pixels a side: only the header is read.
    const auto claims = dir.path() / "claims.png";
    std::ofstream(claims, std::ios::binary) << std::string(
        "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR"
        "\0\x0f\x42\x40\0\0\0\x01\x08\x02\0\0\0"
        "\0\0\0\0",
        33);
    // A file past the byte limit; sparse, so it costs no disk.
    const auto huge = dir.path() / "huge.png";
    std::filesystem::copy_file(png("small.png", 2, 2), huge);
    std::filesystem::resize_file(huge, (std::uintmax_t{64} << 20) + 1);
    struct Case {
        std::filesystem::path path;
        std::string error;  // empty: read
    };
    const Case kCases[] = {
        {png("widest.png", 32'767, 1), ""},
        {png("too-wide.png", 32'768, 1), "pixels a side"},
        {png("too-tall.png", 1, 32'768), "pixels a side"},
        {claims, "of at most 32767 pixels a side"},
        {huge, "larger than the limit of 67108864 bytes for a picture"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.path.filename().string());
        try {
            const engine::PictureData p = engine::loadPicture(fromPath(c.path), false);
            EXPECT_EQ(c.error, "");
            EXPECT_GT(p.naturalWidth, 0);
        } catch (const std::runtime_error& e) {
            EXPECT_NE(c.error, "");
            EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
        }
    }
}

TEST_F(DocxOutput, SavingLeavesNoTemporaryFileBehind) {
    doc.at(u"Content").call(u"InsertAfter", {u"Some text."});
    save();
    const auto folder = dir.path() / "in the way.docx";
    std::filesystem::create_directory(folder);
    const auto missing = dir.path() / "missing" / "out.docx";
    const std::pair<std::filesystem::path, std::string> failures[] = {
        {folder, "cannot write " + folder.string()},
        {missing, "cannot write " + missing.string() +
                      ": Failure to create temporary file: No such file or directory"},
    };
    for (const auto& [path, error] : failures) {
        SCOPED_TRACE(path.string());
        try {
            engine::writeDocx(model(), fromPath(path));
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(e.what(), error);
        }
    }
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"in the way.docx", "out.docx"}));
}

TEST_F(DocxOutput, ATemplateThatCannotBeReadIsRefusedAtTheCall) {
    const auto notZip = dir.path() / "plain.docx";
    std::ofstream(notZip) << "not a package";
    for (const auto& path : {dir.path() / "missing.docx", notZip}) {
        SCOPED_TRACE(path.string());
        try {
            word.at(u"Documents").call(u"Add", {fromPath(path)});
            ADD_FAILURE() << "no error";
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.member(), u"Documents.Add");
            EXPECT_NE(e.detail().find(fromPath(path)), std::u16string::npos);
        }
    }
    EXPECT_THROW(doc.call(u"SaveAs", {fromPath(dir.path() / "no" / "such" / "folder.docx")}),
                 AutomationError);
}

}  // namespace
}  // namespace quillet::testing
