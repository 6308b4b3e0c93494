// The .docx package: the few nodes that matter in what the writer writes, bookmark names as
// files take them, and writer-to-reader round trips of what the automation interface cannot
// build yet (tables).
#include "engine_fixture.h"

#include "automation/automation_error.h"
#include "engine/bookmark_names.h"
#include "engine/docx_reader.h"
#include "engine/docx_writer.h"
#include "support/temp_dir.h"

#include <stb_image_write.h>
#include <zip.h>
#include <pugixml.hpp>

#include <fstream>
#include <optional>

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
    EXPECT_TRUE(readEntry(file, ("word/" + target).c_str()));

    const pugi::xml_document styles = parseEntry(file, "word/styles.xml");
    EXPECT_EQ(first(styles, "//w:style[w:name/@w:val='heading 1']/w:rPr/w:rFonts", "w:ascii"),
              "Calibri");
    EXPECT_EQ(first(styles, "//w:style[@w:styleId='Heading1']/w:pPr/w:outlineLvl", "w:val"), "0");
    EXPECT_EQ(first(parseEntry(file, "word/settings.xml"), "//w:updateFields", "w:val"), "true");
    EXPECT_TRUE(readEntry(file, "[Content_Types].xml"));
}

TEST_F(DocxOutput, TablesSurviveTheRoundTrip) {
    // The automation interface has no tables yet: the model builds one, as the page import will.
    engine::DocumentModel model;
    engine::Fragment f;
    engine::TableInfo outer;
    outer.grid = {100, 100};
    outer.rows = {{{{100, 1, 1, 0xCCCCCC}, {100, 1, 0, {}}}, true},
                  {{{100, 1, 2, {}}, {100, 1, 0, {}}}, false}};
    engine::TableInfo inner;
    inner.grid = {50};
    inner.rows = {{{{50, 1, 0, {}}}, false}};
    inner.borderWidth = 0;
    f.tables = {outer, inner};
    auto cell = [&](std::u16string text, std::vector<engine::CellRef> cells, char16_t end) {
        f.text += text + end;
        engine::ParaFormat p;
        p.cells = std::move(cells);
        f.paragraphs.push_back(p);
    };
    cell(u"Head", {{0, 0, 0}}, engine::kCellMark);
    cell(u"Two lines", {{0, 0, 1}}, engine::kParagraphMark);
    cell(u"second", {{0, 0, 1}}, engine::kCellMark);
    cell(u"", {{0, 1, 0}}, engine::kCellMark);  // continues the merged cell above
    cell(u"Nested", {{0, 1, 1}, {1, 0, 0}}, engine::kCellMark);
    cell(u"", {{0, 1, 1}}, engine::kCellMark);
    f.runs.emplace_back(static_cast<int>(f.text.size()), engine::CharFormat{});
    model.insert(model.body(), 0, f);
    ASSERT_EQ(model.checkInvariants(), "");
    const std::u16string path = fromPath(dir.path() / "table.docx");
    engine::writeDocx(model, path);
    engine::DocumentModel back;
    engine::readDocx(back, path);
    EXPECT_EQ(back.checkInvariants(), "");
    EXPECT_EQ(dumpModel(back), dumpModel(model));
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
