// The Word stage run against the document engine and its web-page reader, as the program runs it:
// a small contents tree with a topic page, a heading-only entry and a web address, and the model
// of the document it saves.
#include "word/word_stage.h"

#include "automation/class_registry.h"
#include "engine/engine_fixture.h"
#include "engine/html/web_page_reader.h"
#include "engine/layout/page_layout.h"
#include "engine/word_engine.h"
#include "platform/utf.h"
#include "support/temp_dir.h"
#include "word/contents_entries.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quillet {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

class WordStageOnTheEngine : public ::testing::Test {
protected:
    WordStageOnTheEngine() : m_tmp("TMPDIR", (dir.path() / "tmp").string()) {
        std::filesystem::create_directories(dir.path() / "tmp");
        std::filesystem::create_directories(root());
        engine::registerWordEngine();
        engine::layout::registerPageLayout();
        engine::registerWebPageReader([this](const std::u16string&) { return fromPath(root()); });
        job.rootFolder = fromPath(root()) + u"/";
        job.pdf = fromPath(output());
        job.Title = u"User Guide";
        job.FOnError = [this](const std::u16string& message) { errors.push_back(toUtf8(message)); };
        job.FOnDenied = [this](const std::u16string&) { job.Abort = true; };
        TDocPDFSettings& s = *job.Settings;
        s.PaperSize = 7;  // A4
        s.Top = s.Bottom = s.Left = s.Right = 25;
        s.TOCCaption = u"Contents";
        s.StartNewPage = 1;  // before first-level topics
        s.HeadingFont[1].Color = 0x800000;
        writeTopicPage();
    }
    ~WordStageOnTheEngine() override {
        engine::setWebPageReader(nullptr);
        unregisterClass(u"Word.Application");
    }

    std::filesystem::path root() const { return dir.path() / "root"; }
    std::filesystem::path output() const { return dir.path() / "out" / "Guide.docx"; }

    // A topic page: its own Heading 1 (to be demoted) and Heading 2, text with an anchor and a
    // link to another entry, and a linked picture 600 points wide (800 by 100 pixels).
    void writeTopicPage() const {
        std::ofstream(root() / "intro.htm")
            << "<html><head><title>Introduction</title></head><body>"
               "<h1 style=\"font-family: Arial; font-size: 24pt; text-align: center\">Page title"
               "</h1><h2>Sub title</h2>"
               "<p>See <a name=\"Bookmark0_anchor one\">the</a> text of <a href=\"#Bookmark1\">"
               "the details</a>.</p><p><img src=\"wide.png\"></p></body></html>";
        std::vector<unsigned char> pixels(800 * 100 * 3, 0x80);
        EXPECT_NE(
            stbi_write_png((root() / "wide.png").c_str(), 800, 100, 3, pixels.data(), 800 * 3), 0);
    }

    void add(std::u16string topic, std::u16string url, int level, int status,
             std::u16string chapter) {
        testing::addEntry(job, std::move(topic), std::move(url), level, status, std::move(chapter));
    }

    // Runs the stage and opens what it saved.
    Object convert() {
        OutputWord(job);
        EXPECT_TRUE(errors.empty()) << errors.front();
        EXPECT_FALSE(job.Failed);
        EXPECT_FALSE(std::filesystem::exists(root())) << "the working folder is gone";
        reader = CreateObject(u"Word.Application");
        const Object result = reader.at(u"Documents").at(u"Add", {fromPath(output())});
        EXPECT_EQ(engine::checkDocument(result), "");
        return result;
    }

    TempDir dir;
    ScopedEnv m_tmp;
    TChmToDocPDF job;
    std::vector<std::string> errors;
    Object reader;
};

TEST_F(WordStageOnTheEngine, BuildsTheDocumentFromTheContentsTree) {
    add(u"Introduction", u"intro.htm", 0, 0, u"1.");
    add(u"Details", u"", 1, 2, u"1.1");
    add(u"Web site", u"http://example.com/", 0, 3, u"2.");
    const Object result = convert();
    const engine::DocumentModel& m = *engine::documentModel(result);
    EXPECT_EQ(
        testing::dumpParagraphs(m, m.body()),
        // the cover: six empty paragraphs, the title centred, more paragraphs, the break
        "[Normal] \\r\n[Normal] \\r\n[Normal] \\r\n[Normal] \\r\n[Normal] \\r\n[Normal] \\r\n"
        "[Normal align=1] User Guide\\r\n[Normal align=1] \\r\n[Normal align=0] \\r\n"
        "[Normal align=1] \\f\n"
        // the contents: caption, one entry per heading of levels 1 to 3 with the page it
        // would fall on (the contents' page is 1, the break before the web site's topic
        // starts a page), then its break
        // on a paragraph of its own, as the writer puts a section apart from a field
        "[Normal align=0] Contents\\r\n"
        "[TOC 1 tab=453.3] {fb} TOC \\o \"1-3\" \\h \\z \\u {fs}1. Introduction\\t{fb} PAGEREF "
        "_Toc100000001 \\h {fs}2{fe}\\r\n"
        "[TOC 2 tab=453.3] 1.1 Details\\t{fb} PAGEREF _Toc100000002 \\h {fs}2{fe}\\r\n"
        "[TOC 1 tab=453.3] 2. Web site\\t{fb} PAGEREF _Toc100000003 \\h {fs}3{fe}\\r\n"
        "[Normal align=0] {fe}\\r\n[Normal align=0] \\f\n"
        // the entries: heading, the demoted page with its picture, the next entries
        "[Heading 1] 1. Introduction\\r\n"
        "[Normal align=0] Page title\\r\n[Normal align=0] Sub title\\r\n"
        "[Normal] See the text of the details.\\r\n"
        "[Normal] {pic}\\r\n[Heading 2] 1.1 Details\\r\n[Normal] \\r\n[Normal] \\f\n"
        "[Heading 1] 2. Web site\\r\n[Normal] http://example.com/\\r\n[Normal] \\r\n");
    // Headings carry their bookmarks (and the contents' hidden ones); the page brought its own.
    for (auto name : {u"Bookmark0", u"Bookmark1", u"Bookmark2", u"_Toc100000001"})
        EXPECT_NE(m.body().findBookmark(name), nullptr) << toUtf8(name);
    const auto* b0 = m.body().findBookmark(u"Bookmark0");
    ASSERT_NE(b0, nullptr);
    EXPECT_EQ(m.body().text(b0->start, b0->end), u"1. Introduction");
    EXPECT_NE(m.body().findBookmark(u"Bookmark0_anchor_one"), nullptr);  // mapped on saving
    // The demoted page heading keeps its font but is capped at 14 points.
    const auto& demoted = m.body().charFormat(m.body().paragraphStart(17));
    EXPECT_EQ(demoted.font, u"Arial");
    EXPECT_EQ(demoted.size, 14.0);
    // Links: the contents' entries, the page's link to Bookmark1, the web address.
    std::vector<std::string> links;
    for (const auto& h : m.body().hyperlinks())
        links.push_back(toUtf8(h->address + u"#" + h->subAddress));
    EXPECT_EQ(links, (std::vector<std::string>{"#_Toc100000001", "#_Toc100000002", "#_Toc100000003",
                                               "#Bookmark1", "http://example.com/#"}));
    // The picture, still linked after the refresh, is stored and fitted to the text width with
    // its proportions.
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
    EXPECT_EQ(testing::dumpParagraphs(m, *header), "[Header align=1] User Guide\\r\n");
    ASSERT_EQ(header->shapes().size(), 1u);
    EXPECT_EQ(header->shapes()[0]->left, 71);
    EXPECT_EQ(header->shapes()[0]->top, 51);
    EXPECT_EQ(header->shapes()[0]->picture.width, 595 - 71 - 71);
    EXPECT_EQ(testing::dumpParagraphs(m, *footer), "[Footer align=1] {fb} PAGE {fs}{fe}\\r\n");
    EXPECT_TRUE(m.sections()[1].restartNumbering);
    EXPECT_EQ(m.sections()[1].startingNumber, 1);
    EXPECT_TRUE(m.updateFieldsOnOpen);
    // Heading styles carry the fonts the settings give them.
    const engine::Style& h1 = m.styles().at(m.styles().findBuiltin(-2));
    EXPECT_EQ(h1.font.font, u"Calibri");
    EXPECT_EQ(h1.font.size, 27.0);
    EXPECT_EQ(h1.font.color, 0x800000);
    EXPECT_EQ(m.styles().outlineLevel(m.styles().findBuiltin(-4)), 3);
}

TEST_F(WordStageOnTheEngine, AnEntryWhosePageIsMissingKeepsItsHeadingAndLeavesNoEmptyOne) {
    add(u"Introduction", u"intro.htm", 0, 0, u"1.");
    add(u"Lock file", u"~$help.mht", 0, 0, u"2.");  // named in the contents, not in the file
    const Object result = convert();
    const engine::DocumentModel& m = *engine::documentModel(result);
    EXPECT_TRUE(testing::dumpParagraphs(m, m.body())
                    .ends_with("[Heading 1] 2. Lock file\\r\n[Normal] \\r\n"))
        << testing::dumpParagraphs(m, m.body());
}

TEST_F(WordStageOnTheEngine, TheHelpFilesLanguageTagsTheTextAndChoosesTheEastAsianFont) {
    struct Case {
        const char16_t* languageId;
        int codePage;
        std::optional<std::u16string> font, eastAsiaLanguage;
        std::u16string language;  // of the defaults, that all text without its own takes
    };
    const Case cases[] = {
        {u"0x0411", 932, u"MS Mincho", u"ja-JP", u"en-US"},
        {u"0x0409", 936, u"SimSun", u"zh-CN", u"en-US"},  // an English locale over GBK text
        {u"0x0404", 950, u"PMingLiU", u"zh-TW", u"en-US"},
        {u"0x0409", 1252, std::nullopt, std::nullopt, u"en-US"},
        {u"0x0419", 1251, std::nullopt, std::nullopt, u"ru-RU"},
        {u"0x042A", 1258, std::nullopt, std::nullopt, u"vi-VN"},
        {u"0x0000", 1252, std::nullopt, std::nullopt, u"en-US"},  // no language: the default
    };
    add(u"Introduction", u"intro.htm", 0, 0, u"1.");
    for (const Case& c : cases) {
        SCOPED_TRACE(toUtf8(c.languageId));
        std::filesystem::create_directories(root());
        writeTopicPage();
        job.LangID = c.languageId;
        job.CodePage = c.codePage;
        const Object result = convert();
        // Read back from the saved document: the writer and the reader carry both.
        const engine::StyleSheet& styles = engine::documentModel(result)->styles();
        const engine::Style& normal = styles.at(0);
        EXPECT_EQ(normal.font.eastAsiaFont, c.font);
        EXPECT_EQ(normal.font.eastAsiaLanguage, c.eastAsiaLanguage);
        EXPECT_EQ(styles.defaults.language, c.language);
    }
}

TEST_F(WordStageOnTheEngine, KeywordsGiveMarksOnTheHeadingsAndAnIndexAfterTheLastChapter) {
    job.Settings->Cover = false;
    add(u"Introduction", u"intro.htm", 0, 0, u"1.");
    job.List[0].Keywords = u"Pictures/Wide`\\Anchors";
    add(u"Details", u"", 1, 2, u"1.1");
    job.List[1].Keywords = u"pictures";
    add(u"Web site", u"http://example.com/", 0, 3, u"2.");
    const Object result = convert();
    const engine::DocumentModel& m = *engine::documentModel(result);
    const std::string body = testing::dumpParagraphs(m, m.body());
    // The marks, hidden, close the headings' text; the contents show the headings without them.
    EXPECT_NE(body.find("[Heading 1] 1. Introduction{fb} XE \"Anchors\" {fe}"
                        "{fb} XE \"Pictures:Wide\" {fe}\\r\n"),
              std::string::npos)
        << body;
    EXPECT_NE(body.find("[Heading 2] 1.1 Details{fb} XE \"pictures\" {fe}\\r\n"), std::string::npos)
        << body;
    EXPECT_NE(body.find("{fs}1. Introduction\\t"), std::string::npos) << body;
    // After the last chapter, on a page of its own: the heading (in the contents too) and the
    // index (its styles named as the file names them, read back). The contents take a page, each
    // first-level topic starts one.
    const auto last = body.find("[Heading 1] 2. Web site");
    const auto heading = body.find("[Heading 1] 索引\\r\n");
    ASSERT_NE(last, std::string::npos);
    ASSERT_NE(heading, std::string::npos) << body;
    EXPECT_LT(last, heading);
    EXPECT_NE(body.find("] 索引\\t{fb} PAGEREF"), std::string::npos) << "listed in the contents";
    EXPECT_TRUE(body.substr(heading).ends_with(
        "[index heading] {fb} INDEX \\h \"A\" \\c \"2\" \\z \"1033\" {fs}A\\r\n"
        "[index 1] Anchors, 2\\r\n"
        "[index heading] P\\r\n"
        "[index 1] Pictures, 2\\r\n"
        "[index 2] Wide, 2\\r\n"
        "[Normal] {fe}\\r\n"))
        << body.substr(heading);
    EXPECT_NE(body.substr(last, heading - last).find("\\f"), std::string::npos)
        << "a break before the index";
}

TEST_F(WordStageOnTheEngine, WhatItSavesReadsBackAndWritesTheSameWay) {
    job.Settings->ShowLevel = 2;
    add(u"One", u"intro.htm", 0, 0, u"1.");
    add(u"Two", u"http://example.com/a b", 0, 3, u"2.");
    const Object saved = convert();
    const std::string before = testing::dumpModel(*engine::documentModel(saved));
    // Written again and read back, twice over: the writer and the reader agree on what the
    // stage built.
    Object doc = saved;
    for (const char* name : {"again.docx", "once more.docx"}) {
        SCOPED_TRACE(name);
        const std::u16string path = fromPath(dir.path() / name);
        doc.call(u"SaveAs", {path, named(u"FileFormat", 12)});
        doc = reader.at(u"Documents").at(u"Add", {path});
        EXPECT_EQ(engine::checkDocument(doc), "");
        EXPECT_EQ(testing::dumpModel(*engine::documentModel(doc)), before);
    }
}

}  // namespace
}  // namespace quillet
