// The call sequences of the Word stage (session and option guard, assembly, page setup, cover,
// contents, headers and footers, pictures, saving) replayed through the automation interface on
// a small document, and the model they leave.
#include "engine_fixture.h"

#include "automation/automation_error.h"
#include "engine/docx_reader.h"
#include "support/temp_dir.h"

#include <stb_image_write.h>

#include <cmath>
#include <vector>

namespace quillet::testing {
namespace {

const std::u16string_view kOptionNames[] = {u"LabelSmartTags",
                                            u"CheckGrammarAsYouType",
                                            u"CheckGrammarWithSpelling",
                                            u"ContextualSpeller",
                                            u"CheckSpellingAsYouType",
                                            u"AutoFormatAsYouTypeApplyHeadings",
                                            u"AutoFormatAsYouTypeApplyBorders",
                                            u"AutoFormatAsYouTypeApplyBulletedLists",
                                            u"AutoFormatAsYouTypeApplyNumberedLists",
                                            u"AutoFormatAsYouTypeApplyTables",
                                            u"AutoFormatAsYouTypeReplaceQuotes",
                                            u"AutoFormatAsYouTypeReplaceSymbols",
                                            u"AutoFormatAsYouTypeReplaceOrdinals",
                                            u"AutoFormatAsYouTypeReplaceFractions",
                                            u"AutoFormatAsYouTypeReplacePlainTextEmphasis",
                                            u"AutoFormatAsYouTypeReplaceHyperlinks",
                                            u"AutoFormatAsYouTypeFormatListItemBeginning",
                                            u"AutoFormatAsYouTypeDefineStyles",
                                            u"TabIndentKey",
                                            u"AutoFormatAsYouTypeApplyFirstIndents",
                                            u"AutoFormatAsYouTypeApplyDates",
                                            u"AutoFormatAsYouTypeMatchParentheses",
                                            u"AutoFormatAsYouTypeInsertOvers",
                                            u"AutoFormatAsYouTypeDeleteAutoSpaces",
                                            u"AutoFormatApplyHeadings",
                                            u"AutoFormatApplyLists",
                                            u"AutoFormatApplyBulletedLists",
                                            u"AutoFormatApplyOtherParas",
                                            u"AutoFormatReplaceQuotes",
                                            u"AutoFormatReplaceSymbols",
                                            u"AutoFormatReplaceOrdinals",
                                            u"AutoFormatReplaceFractions",
                                            u"AutoFormatReplacePlainTextEmphasis",
                                            u"AutoFormatReplaceHyperlinks",
                                            u"AutoFormatPreserveStyles",
                                            u"AutoFormatPlainTextWordMail",
                                            u"AutoFormatApplyFirstIndents",
                                            u"AutoFormatMatchParentheses",
                                            u"AutoFormatDeleteAutoSpaces",
                                            u"AutoFormatReplaceFarEastDashes"};
const std::u16string_view kAutoCorrectNames[] = {u"CorrectInitialCaps",
                                                 u"CorrectSentenceCaps",
                                                 u"CorrectDays",
                                                 u"CorrectCapsLock",
                                                 u"ReplaceText",
                                                 u"ReplaceTextFromSpellingChecker",
                                                 u"CorrectKeyboardSetting",
                                                 u"DisplayAutoCorrectOptions",
                                                 u"CorrectTableCells"};

// A PNG of the given size in pixels.
std::u16string writePng(const std::filesystem::path& path, int width, int height) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width * height * 3), 0x80);
    EXPECT_NE(stbi_write_png(path.c_str(), width, height, 3, pixels.data(), width * 3), 0);
    return fromPath(path);
}

struct Entry {
    std::u16string topic;
    int level;
    int status;  // 0 a page, 2 a heading only, 3 a web address
    std::u16string url;
    std::u16string chapter;
    std::u16string bookmark;
};

// The Word stage's side of a conversion, written as Parts 5.1 to 5.5 make their calls.
class WordStage {
public:
    explicit WordStage(std::filesystem::path folder) : m_folder(std::move(folder)) {}

    void start() {
        app = CreateObject(u"Word.Application");
        for (auto name : kOptionNames) saved.push_back(app.at(u"Options").get(name).toBool());
        for (auto name : kAutoCorrectNames)
            saved.push_back(app.at(u"AutoCorrect").get(name).toBool());
        for (int i = 0; i < 5; ++i) app.at(u"Options").put(kOptionNames[i], false);
        for (auto name : kAutoCorrectNames) app.at(u"AutoCorrect").put(name, false);
        for (int i = 5; i < 40; ++i) app.at(u"Options").put(kOptionNames[i], false);
        version = app.get(u"version").toString();
        temp = fromPath(m_folder / "~wi0001.docx");
        doc = app.at(u"Documents").at(u"Add");
    }

    void setupPage() {
        auto ps = [&] { return doc.at(u"PageSetup"); };
        ps().put(u"PaperSize", 7);
        for (auto margin : {u"TopMargin", u"BottomMargin", u"LeftMargin", u"RightMargin"})
            ps().put(margin, 71);
        pageWidth = static_cast<int>(std::nearbyint(ps().get(u"PageWidth").toDouble()));
        leftMargin = static_cast<int>(std::nearbyint(ps().get(u"LeftMargin").toDouble()));
        rightMargin = static_cast<int>(std::nearbyint(ps().get(u"RightMargin").toDouble()));
        textWidth = static_cast<int>(std::nearbyint(ps().get(u"PageWidth").toDouble() -
                                                    ps().get(u"LeftMargin").toDouble() -
                                                    ps().get(u"RightMargin").toDouble()));
        ps().at(u"LineNumbering").put(u"Active", false);
    }

    void documentOptions() {
        doc.at(u"WebOptions").put(u"AllowPNG", true);
        doc.at(u"WebOptions").put(u"TargetBrowser", 4);
        doc.at(u"Bookmarks").put(u"ShowHidden", true);
        doc.at(u"WebOptions").put(u"AllowPNG", true);
    }

    void applyHeadingStyles() {
        for (int n = 1; n <= 9; ++n) {
            auto s = [&] { return doc.at(u"Styles").at(u"item", {-1 - n}); };
            s().at(u"Font").put(u"Name", u"Calibri");
            s().at(u"Font").put(u"Color", n == 1 ? 0x800000 : 0);
            s().at(u"Font").put(u"Size", 29 - 2 * n);
            s().at(u"Font").put(u"Bold", n <= 2);
            s().at(u"Font").put(u"Italic", n == 3);
            s().at(u"Font").put(u"Underline", false);
        }
    }

    void unlinkListTemplates() {
        const int count = doc.at(u"Styles").get(u"count").toInt();
        for (int i = 1; i <= count; ++i) {
            if (doc.at(u"Styles").at(u"item", {i}).get(u"type").toInt() != 1) continue;
            try {
                doc.at(u"Styles")
                    .at(u"item", {i})
                    .call(u"LinkToListTemplate", {named(u"ListTemplate", Variant::nothing())});
            } catch (const AutomationError&) {
            }
        }
        insert = doc.at(u"Content");
    }

    void addCover(const std::u16string& title) {
        insert.put(u"Style", -1);
        for (int i = 0; i < 6; ++i) insert.call(u"InsertParagraphAfter");
        insert.call(u"collapse", {0});
        insert.call(u"InsertAfter", {title});
        insert.at(u"font").put(u"size", 36);
        insert.at(u"ParagraphFormat").put(u"Alignment", 1);
        insert.call(u"collapse", {0});
        insert.call(u"InsertParagraphAfter");
        insert.call(u"InsertParagraphAfter");
        insert.call(u"collapse", {0});
        insert.call(u"InsertParagraphAfter");
        insert.at(u"ParagraphFormat").put(u"Alignment", 0);
        insert.call(u"collapse", {0});
        insert.call(u"InsertBreak", {2});
    }

    void addContents(const std::u16string& caption, int showLevel) {
        insert.call(u"collapse", {0});
        insert.call(u"InsertAfter", {caption});
        insert.at(u"font").put(u"size", 28);
        insert.at(u"ParagraphFormat").put(u"Alignment", 0);
        insert.call(u"InsertParagraphAfter");
        insert.call(u"collapse", {0});
        const Object c =
            doc.at(u"TablesOfContents")
                .at(u"Add",
                    {named(u"Range", insert), named(u"RightAlignPageNumbers", true),
                     named(u"UseHeadingStyles", true), named(u"UpperHeadingLevel", 1),
                     named(u"LowerHeadingLevel", showLevel), named(u"IncludePageNumbers", true),
                     named(u"UseHyperlinks", true), named(u"HidePageNumbersInWeb", true),
                     named(u"UseOutlineLevels", true)});
        insert = c.at(u"range");
        insert.call(u"collapse", {0});
        insert.call(u"InsertBreak", {2});
    }

    void addEntry(const Entry& e, int n, const std::u16string& pagePath) {
        if (e.level == 0 && n > 0) {  // StartNewPage = 1
            insert.call(u"collapse", {0});
            insert.call(u"InsertParagraphAfter");
            insert.call(u"collapse", {0});
            insert.call(u"InsertBreak", {2});
        }
        insert.call(u"collapse", {0});
        insert.put(u"style", -(e.level + 2));
        insert.call(u"InsertAfter", {e.chapter + u" " + e.topic});
        insert.put(u"style", -(e.level + 2));
        const Object b = doc.at(u"Bookmarks").at(u"Add", {e.bookmark, insert});
        insert = b.at(u"range");
        insert.call(u"collapse", {0});
        insert.call(u"InsertParagraphAfter");
        insert.call(u"collapse", {0});
        if (e.status == 0) importTopicPage(pagePath);
        if (e.status == 3) {
            insert.call(u"collapse", {0});
            insert.put(u"Style", -1);
            const Object k = doc.at(u"Hyperlinks")
                                 .at(u"Add", {named(u"Anchor", insert), named(u"Address", e.url),
                                              named(u"TextToDisplay", e.url)});
            insert = k.at(u"range");
            insert.call(u"collapse", {0});
            insert.call(u"InsertParagraphAfter");
        }
    }

    void importTopicPage(const std::u16string& path) {
        Object t;
        try {
            t = app.at(u"Documents")
                    .at(u"Open", {named(u"FileName", path), named(u"Format", 7),
                                  named(u"Visible", false), named(u"OpenAndRepair", true)});
        } catch (const AutomationError&) {
            return;
        }
        try {
            Object h = t.at(u"GoTo", {named(u"What", 11), named(u"Which", 1)});
            h.call(u"Expand", {4});
            int start = h.get(u"Start").toInt();
            for (;;) {
                if (h.at(u"ParagraphFormat").get(u"OutlineLevel").toInt() < 10) {
                    const Variant old = h.at(u"ParagraphFormat").get(u"style");
                    h.at(u"ParagraphFormat").put(u"style", -1);
                    auto o = [&] { return t.at(u"styles").at(u"Item", {old}); };
                    if (o().at(u"font").get(u"name").toString() != u"Times New Roman")
                        h.at(u"font").put(u"name", o().at(u"font").get(u"name"));
                    const double size = o().at(u"font").get(u"size").toDouble();
                    h.at(u"font").put(u"size", size > 14 ? 14.0 : size);
                    h.at(u"font").put(u"color", o().at(u"font").get(u"color"));
                    h.at(u"font").put(u"bold", o().at(u"font").get(u"bold"));
                    h.at(u"ParagraphFormat")
                        .put(u"Alignment", o().at(u"ParagraphFormat").get(u"Alignment"));
                }
                h = h.at(u"GoTo", {named(u"What", 11), named(u"Which", 2)});
                if (h.get(u"Start").toInt() == start) break;
                start = h.get(u"Start").toInt();
                h.call(u"Expand", {4});
            }
            const Object c = t.at(u"Content");
            if (c.get(u"end").toInt() > c.get(u"start").toInt()) {
                c.call(u"Copy");
                insert.call(u"collapse", {0});
                insert.put(u"Style", -1);
                insert.call(u"Paste");
            }
        } catch (const AutomationError&) {
        }
        t.call(u"Close", {named(u"SaveChanges", 0)});
    }

    void refresh() {
        doc.call(u"SaveAs", {temp, named(u"FileFormat", 12), named(u"AddToRecentFiles", false)});
        app.call(u"Quit", {false});
        app = CreateObject(u"Word.Application");
        doc = app.at(u"Documents").at(u"Add", {temp});
        insert = doc.at(u"Content");
    }

    void fitPictures() {
        const int inlineCount = doc.at(u"InlineShapes").get(u"count").toInt();
        for (int i = 1; i <= inlineCount; ++i) {
            const Object s = doc.at(u"InlineShapes").at(u"item", {i});
            if (s.get(u"Type").toInt() != 4) continue;
            s.at(u"LinkFormat").put(u"SavePictureWithDocument", true);
            s.put(u"LockAspectRatio", false);
            if (s.get(u"ScaleHeight").toDouble() != 100 || s.get(u"ScaleWidth").toDouble() != 100) {
                if (s.get(u"ScaleHeight").toDouble() == 100)
                    s.put(u"ScaleHeight", s.get(u"ScaleWidth"));
                else if (s.get(u"ScaleWidth").toDouble() == 100)
                    s.put(u"ScaleWidth", s.get(u"ScaleHeight"));
            }
            s.put(u"LockAspectRatio", true);
            if (s.get(u"Width").toDouble() > textWidth) {
                try {
                    s.put(u"Width", textWidth);
                } catch (const AutomationError&) {
                }
            }
            s.at(u"LinkFormat").call(u"BreakLink");
        }
    }

    void addHeaderFooter(const std::u16string& title) {
        const int section = 2;
        const Object f = doc.at(u"Sections").at(u"item", {section}).at(u"Footers").at(u"item", {1});
        f.put(u"LinkToPrevious", false);
        f.at(u"PageNumbers").put(u"RestartNumberingAtSection", true);
        f.at(u"PageNumbers").put(u"StartingNumber", 1);
        f.at(u"PageNumbers").call(u"Add", {1, true});
        const Object h = doc.at(u"Sections").at(u"item", {section}).at(u"headers").at(u"item", {1});
        h.put(u"LinkToPrevious", false);
        if (app.get(u"DefaultSaveFormat").toString() == u"Doc")
            h.at(u"Shapes").call(u"AddLine",
                                 {0, 14, pageWidth - leftMargin - rightMargin, 14, h.at(u"Range")});
        else
            h.at(u"Shapes").call(u"AddLine",
                                 {leftMargin, 51, pageWidth - rightMargin, 51, h.at(u"Range")});
        h.at(u"Range").call(u"InsertAfter", {title});
        h.at(u"Range").at(u"Paragraphs").put(u"Alignment", 1);
    }

    void updateContents() { doc.at(u"TablesOfContents").at(u"item", {1}).call(u"Update"); }

    void save(const std::u16string& path) {
        doc.call(u"SaveAs", {path, named(u"FileFormat", 12), named(u"AddToRecentFiles", false)});
        doc.call(u"close", {0});
    }

    void end() {
        for (std::size_t i = 0; i < 40; ++i)
            app.at(u"Options").put(kOptionNames[i], bool(saved[i]));
        for (std::size_t i = 0; i < 9; ++i)
            app.at(u"AutoCorrect").put(kAutoCorrectNames[i], bool(saved[40 + i]));
        app.call(u"Quit", {false});
    }

    Object app, doc, insert;
    std::vector<bool> saved;
    std::u16string version, temp;
    int pageWidth = 0, leftMargin = 0, rightMargin = 0, textWidth = 0;

private:
    std::filesystem::path m_folder;
};

class WordStageReplay : public ::testing::Test {
protected:
    void SetUp() override {
        engine::registerWordEngine();
        // Until the HTML import exists, a topic "page" is a .docx that the engine reads.
        engine::setWebPageReader([](engine::DocumentModel& m, const std::u16string& path) {
            engine::readDocx(m, path);
        });
    }
    void TearDown() override { engine::setWebPageReader(nullptr); }

    // A topic page: its own Heading 1 and Heading 2 (to be demoted), text, an anchor bookmark,
    // a link to another entry and a linked picture 600 points wide.
    std::u16string writeTopicPage() {
        const Object app = CreateObject(u"Word.Application");
        const Object t = app.at(u"Documents").at(u"Add");
        t.at(u"Styles").at(u"Item", {-2}).at(u"Font").put(u"Name", u"Arial");
        t.at(u"Styles").at(u"Item", {-2}).at(u"Font").put(u"Size", 24);
        t.at(u"Styles").at(u"Item", {-2}).at(u"ParagraphFormat").put(u"Alignment", 1);
        const Object r = t.at(u"Content");
        r.put(u"Text", u"Page title\rSub title\rSee the details.\r");
        t.at(u"Range", {0, 0}).put(u"Style", -2);
        t.at(u"Range", {11, 11}).put(u"Style", -3);
        t.at(u"Hyperlinks")
            .call(u"Add",
                  {named(u"Anchor", t.at(u"Range", {30, 37})), named(u"Address", u"#Bookmark1")});
        t.at(u"Bookmarks").call(u"Add", {u"Bookmark0_anchor one", t.at(u"Range", {21, 24})});
        const Object end = t.at(u"Content");
        end.call(u"Collapse", {0});
        t.at(u"InlineShapes")
            .call(u"AddPicture",
                  {writePng(dir.path() / "wide.png", 800, 100), named(u"LinkToFile", true),
                   named(u"SaveWithDocument", false), named(u"Range", end)});
        const std::u16string path = fromPath(dir.path() / "topic.htm.docx");
        t.call(u"SaveAs", {path, named(u"FileFormat", 12)});
        app.call(u"Quit");
        return path;
    }

    TempDir dir;
};

TEST_F(WordStageReplay, BuildsTheDocumentTheStageAsksFor) {
    const std::u16string page = writeTopicPage();
    const Entry entries[] = {
        {u"Introduction", 0, 0, u"intro.htm", u"1.", u"Bookmark0"},
        {u"Details", 1, 2, u"", u"1.1", u"Bookmark1"},
        {u"Web site", 0, 3, u"http://example.com/", u"2.", u"Bookmark2"},
    };
    WordStage stage(dir.path());
    stage.start();
    EXPECT_EQ(stage.version, u"16.0");
    EXPECT_EQ(stage.saved, std::vector<bool>(49, true));
    stage.setupPage();
    EXPECT_EQ(stage.pageWidth, 595);
    EXPECT_EQ(stage.textWidth, 453);
    stage.documentOptions();
    stage.applyHeadingStyles();
    stage.unlinkListTemplates();
    stage.addCover(u"User Guide");
    stage.addContents(u"Contents", 3);
    for (int n = 0; n < 3; ++n) stage.addEntry(entries[n], n, page);
    EXPECT_EQ(engine::checkDocument(stage.doc), "");
    stage.refresh();
    EXPECT_EQ(stage.doc.at(u"InlineShapes").at(u"item", {1}).get(u"Type").toInt(),
              4);  // still linked
    stage.fitPictures();
    stage.addHeaderFooter(u"User Guide");
    stage.updateContents();
    EXPECT_EQ(engine::checkDocument(stage.doc), "");
    const std::u16string output = fromPath(dir.path() / "out.docx");
    stage.save(output);
    // Options are put back as they were read.
    for (std::size_t i = 0; i < 49; ++i) EXPECT_TRUE(stage.saved[i]);
    stage.end();

    const Object word = CreateObject(u"Word.Application");
    const Object result = word.at(u"Documents").at(u"Add", {output});
    EXPECT_EQ(engine::checkDocument(result), "");
    const engine::DocumentModel& m = *engine::documentModel(result);
    const std::string body = dumpParagraphs(m, m.body());
    EXPECT_EQ(body,
              // the cover: six empty paragraphs, the title centred, more paragraphs, the break
              "[Normal] \\r\n[Normal] \\r\n[Normal] \\r\n[Normal] \\r\n[Normal] \\r\n[Normal] \\r\n"
              "[Normal align=1] User Guide\\r\n[Normal align=1] \\r\n[Normal align=0] \\r\n"
              "[Normal align=1] \\f\n"
              // the contents: caption, one entry per heading of levels 1 to 3, then its break
              "[Normal align=0] Contents\\r\n"
              "[TOC 1] {fb} TOC \\o \"1-3\" \\h \\z \\u {fs}1. Introduction\\t{fb} PAGEREF "
              "_Toc100000001 \\h {fs}{fe}\\r\n"
              "[TOC 2] 1.1 Details\\t{fb} PAGEREF _Toc100000002 \\h {fs}{fe}\\r\n"
              "[TOC 1] 2. Web site\\t{fb} PAGEREF _Toc100000003 \\h {fs}{fe}\\r\n"
              "[Normal align=0] {fe}\\f\n"
              // the entries: heading, the demoted page with its picture, the next entries
              "[Heading 1] 1. Introduction\\r\n"
              "[Normal align=1] Page title\\r\n[Normal align=0] Sub title\\r\n[Normal] See the "
              "details.\\r\n"
              "[Normal] {pic}\\r\n[Heading 2] 1.1 Details\\r\n[Heading 2] \\r\n[Heading 2] \\f\n"
              "[Heading 1] 2. Web site\\r\n[Normal] http://example.com/\\r\n[Normal] \\r\n");
    // Headings carry their bookmarks (and the contents' hidden ones); the page brought its own.
    for (auto name : {u"Bookmark0", u"Bookmark1", u"Bookmark2", u"_Toc100000001"})
        EXPECT_NE(m.body().findBookmark(name), nullptr) << toUtf8(name);
    const auto* b0 = m.body().findBookmark(u"Bookmark0");
    EXPECT_EQ(m.body().text(b0->start, b0->end), u"1. Introduction");
    EXPECT_NE(m.body().findBookmark(u"Bookmark0_anchor_one"), nullptr);  // mapped on saving
    // The demoted page heading keeps its font but is capped at 14 points.
    const auto& demoted = m.body().charFormat(m.body().paragraphStart(16));
    EXPECT_EQ(demoted.font, u"Arial");
    EXPECT_EQ(demoted.size, 14.0);
    // Links: the contents' entries, the page's link to Bookmark1, the web address.
    std::vector<std::string> links;
    for (const auto& h : m.body().hyperlinks())
        links.push_back(toUtf8(h->address + u"#" + h->subAddress));
    EXPECT_EQ(links, (std::vector<std::string>{"#_Toc100000001", "#_Toc100000002", "#_Toc100000003",
                                               "#Bookmark1", "http://example.com/#"}));
    // The picture is stored, no longer linked, and fitted to the text width with its proportions.
    ASSERT_EQ(m.body().pictures().size(), 1u);
    const auto& picture = m.body().pictures()[0]->picture;
    EXPECT_FALSE(picture.linked);
    EXPECT_FALSE(picture.bytes.empty());
    EXPECT_NEAR(picture.width, 453, 0.01);
    EXPECT_NEAR(picture.height, 453.0 / 8, 0.01);
    // Sections: cover, contents, two chapters. The header and footer belong to section 2; the
    // cover keeps none; later sections follow section 2.
    ASSERT_EQ(m.sections().size(), 4u);
    EXPECT_EQ(m.sections()[0].page.paperSize, 7);
    EXPECT_EQ(m.sections()[3].page.leftMargin, 71);
    EXPECT_EQ(m.sections()[0].headers[0].story->length(), 1);  // the cover's stays empty
    EXPECT_TRUE(m.sections()[2].headers[0].linkToPrevious);
    const auto& header = m.sections()[1].headers[0].story;
    const auto& footer = m.sections()[1].footers[0].story;
    ASSERT_TRUE(header && footer);
    EXPECT_EQ(dumpParagraphs(m, *header), "[Header align=1] User Guide\\r\n");
    ASSERT_EQ(header->shapes().size(), 1u);
    EXPECT_EQ(header->shapes()[0]->left, 71);
    EXPECT_EQ(header->shapes()[0]->top, 51);
    EXPECT_EQ(header->shapes()[0]->picture.width, 595 - 71 - 71);
    EXPECT_EQ(dumpParagraphs(m, *footer), "[Footer align=1] {fb} PAGE {fs}{fe}\\r\n");
    EXPECT_TRUE(m.sections()[1].restartNumbering);
    EXPECT_EQ(m.sections()[1].startingNumber, 1);
    EXPECT_TRUE(m.updateFieldsOnOpen);
    // Heading styles carry the fonts set on them.
    const engine::Style& h1 = m.styles().at(m.styles().findBuiltin(-2));
    EXPECT_EQ(h1.font.font, u"Calibri");
    EXPECT_EQ(h1.font.size, 27.0);
    EXPECT_EQ(h1.font.color, 0x800000);
    EXPECT_EQ(m.styles().outlineLevel(m.styles().findBuiltin(-4)), 3);
}

TEST_F(WordStageReplay, SavingAndAddingFromTheFileGivesTheSameModel) {
    const std::u16string page = writeTopicPage();
    WordStage stage(dir.path());
    stage.start();
    stage.setupPage();
    stage.applyHeadingStyles();
    stage.unlinkListTemplates();
    stage.addCover(u"Guide");
    stage.addContents(u"Contents", 2);
    stage.addEntry({u"One", 0, 0, u"", u"1.", u"Bookmark0"}, 0, page);
    stage.addEntry({u"Two", 0, 3, u"http://example.com/a b", u"2.", u"Bookmark1"}, 1, page);
    stage.addHeaderFooter(u"Guide");
    stage.updateContents();
    const std::string before = dumpModel(*engine::documentModel(stage.doc));
    stage.refresh();
    EXPECT_EQ(engine::checkDocument(stage.doc), "");
    EXPECT_EQ(dumpModel(*engine::documentModel(stage.doc)), before);
    // And once more: what the reader built, the writer writes the same way.
    stage.refresh();
    EXPECT_EQ(dumpModel(*engine::documentModel(stage.doc)), before);
    stage.end();
}

}  // namespace
}  // namespace quillet::testing
