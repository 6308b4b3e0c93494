// What programs not written here make of the engine's .docx: LibreOffice converts it to PDF and
// to text, python-docx reads its headings, styles and paragraphs; and .doc output through
// LibreOffice. Each test skips, saying why, when its program is missing.
#include "engine_fixture.h"

#include "engine/layout/page_layout.h"
#include "engine/page_numbers.h"

#include "automation/automation_error.h"
#include "engine/doc_export.h"
#include "platform/process.h"
#include "support/temp_dir.h"

#include <stb_image_write.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace quillet::testing {
namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A python interpreter that can import docx, or empty.
std::string pythonWithDocx(const std::filesystem::path& folder) {
    std::ofstream(folder / "probe.py") << "import docx\n";
    for (const char* python : {"/usr/bin/python3", "python3"}) {
        try {
            if (RunAndWait(fromUtf8(std::string(python) + " probe.py"), folder).exitCode == 0)
                return python;
        } catch (const std::exception&) {
        }
    }
    return {};
}

// The pages of a PDF as pdftotext lays them out, or nothing when pdftotext is missing.
std::vector<std::string> pdfPages(const std::filesystem::path& pdf) {
    std::vector<std::string> pages;
    ProcessResult result;
    try {
        result =
            RunAndWait(fromUtf8("pdftotext -layout " + pdf.string() + " -"), pdf.parent_path());
    } catch (const std::exception&) {
        return pages;
    }
    if (result.exitCode != 0) return pages;
    std::istringstream text(result.output);
    for (std::string page; std::getline(text, page, '\f');) pages.push_back(page);
    if (!pages.empty() && pages.back().find_first_not_of(" \n") == std::string::npos)
        pages.pop_back();  // after the last form feed
    return pages;
}

// The last line of a page that is not blank, without the spaces around it.
std::string lastLine(const std::string& page) {
    std::istringstream lines(page);
    std::string last;
    for (std::string line; std::getline(lines, line);) {
        const auto first = line.find_first_not_of(' ');
        if (first != std::string::npos)
            last = line.substr(first, line.find_last_not_of(' ') + 1 - first);
    }
    return last;
}

class ExternalChecks : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        engine::layout::registerPageLayout();
    }
    void TearDown() override { engine::setPageNumbering(nullptr); }

    // A small document through the automation interface, laid out as conversions lay theirs
    // out: a cover section, a section of contents, then headings with bookmarks, body text, a
    // hyperlink and a picture; a header and page numbers in the footer from the second section.
    std::filesystem::path build() {
        const Object r = doc.at(u"Content");
        r.call(u"InsertAfter", {u"Cover title"});
        r.call(u"Collapse", {0});
        r.call(u"InsertBreak", {2});
        auto heading = [&](const std::u16string& text, int level, const std::u16string& bookmark) {
            r.call(u"Collapse", {0});
            r.put(u"Style", -(level + 1));
            r.call(u"InsertAfter", {text});
            doc.at(u"Bookmarks").call(u"Add", {bookmark, r});
            r.call(u"Collapse", {0});
            r.call(u"InsertParagraphAfter");
            r.call(u"Collapse", {0});
            r.put(u"Style", -1);
        };
        heading(u"Chapter One", 1, u"Bookmark0");
        r.call(u"InsertAfter", {u"Body text of chapter one."});
        r.call(u"InsertParagraphAfter");
        r.call(u"Collapse", {0});
        doc.at(u"Hyperlinks")
            .call(u"Add", {named(u"Anchor", r), named(u"Address", u"#Bookmark0"),
                           named(u"TextToDisplay", u"Back to chapter one")});
        r.call(u"Collapse", {0});
        r.call(u"InsertParagraphAfter");
        heading(u"Section 1.1", 2, u"Bookmark1");
        std::vector<unsigned char> pixels(40 * 20 * 3, 0x40);
        const auto png = dir.path() / "pic.png";
        stbi_write_png(png.c_str(), 40, 20, 3, pixels.data(), 120);
        r.call(u"Collapse", {0});
        doc.at(u"InlineShapes").call(u"AddPicture", {fromPath(png), false, true, r});
        const Object contents =
            doc.at(u"TablesOfContents")
                .call(u"Add", {named(u"Range", doc.at(u"Range", {12, 12})),
                               named(u"UseHyperlinks", true), named(u"LowerHeadingLevel", 3)})
                .toObject();
        const Object afterContents = contents.at(u"Range");
        afterContents.call(u"Collapse", {0});
        afterContents.call(u"InsertBreak", {2});
        const Object footer = doc.at(u"Sections").at(u"Item", {2}).at(u"Footers").at(u"Item", {1});
        footer.put(u"LinkToPrevious", false);
        footer.at(u"PageNumbers").call(u"Add", {1, true});
        const Object header = doc.at(u"Sections").at(u"Item", {2}).at(u"Headers").at(u"Item", {1});
        header.put(u"LinkToPrevious", false);
        header.at(u"Shapes").call(u"AddLine", {90, 51, 522, 51, header.at(u"Range")});
        header.at(u"Range").call(u"InsertAfter", {u"Running head"});
        contents.call(u"Update");  // as conversions do once the document is whole
        expectConsistent();
        const auto path = dir.path() / "checked.docx";
        doc.call(u"SaveAs", {fromPath(path), named(u"FileFormat", 12)});
        return path;
    }
    TempDir dir;
};

TEST_F(ExternalChecks, LibreOfficeConvertsTheDocumentToPdfAndText) {
    if (engine::findLibreOffice().empty()) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
    const auto docx = build();
    const std::string out = dir.path().string();
    std::string log;
    ASSERT_EQ(engine::runLibreOfficeConversion(docx.string(), "pdf", out, &log), 0) << log;
    EXPECT_EQ(readFile(dir.path() / "checked.pdf").substr(0, 5), "%PDF-") << log;
    // The footer's page numbers show from the contents on, the cover has none.
    const std::vector<std::string> pages = pdfPages(dir.path() / "checked.pdf");
    if (!pages.empty()) {
        ASSERT_EQ(pages.size(), 3u);
        EXPECT_EQ(lastLine(pages[0]), "Cover title");
        EXPECT_EQ(lastLine(pages[1]), "2") << pages[1];
        EXPECT_EQ(lastLine(pages[2]), "3") << pages[2];
        // The contents, not updated by LibreOffice, show the engine's own layout: the page that
        // LibreOffice's own footer numbers for the headings.
        EXPECT_TRUE(std::regex_search(pages[1], std::regex(R"(Section 1\.1[\s.]+3\n)")))
            << pages[1];
    }
    ASSERT_EQ(engine::runLibreOfficeConversion(docx.string(), "txt:Text (encoded):UTF8", out, &log),
              0)
        << log;
    const std::string text = readFile(dir.path() / "checked.txt");
    for (const char* expected : {"Cover title", "Chapter One", "Body text of chapter one.",
                                 "Back to chapter one", "Section 1.1"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " in:\n" << text;
}

TEST_F(ExternalChecks, PythonDocxReadsHeadingsStylesAndParagraphs) {
    const std::string python = pythonWithDocx(dir.path());
    if (python.empty())
        GTEST_SKIP() << "python3 with the docx module (python3-docx) is not installed";
    const auto docx = build();
    std::ofstream(dir.path() / "read.py")
        << "import sys, docx\n"
           "d = docx.Document(sys.argv[1])\n"
           "for p in d.paragraphs:\n"
           "    if p.text.strip():\n"
           "        print(p.style.name + '|' + p.text)\n"
           "print('sections', len(d.sections))\n"
           "print('header', d.sections[1].header.paragraphs[0].text)\n"
           "print('font', d.styles['Heading 1'].font.size.pt if d.styles['Heading 1'].font.size "
           "else None)\n"
           "print('pictures', len(d.inline_shapes))\n";
    const ProcessResult result =
        RunAndWait(fromUtf8(python + " read.py " + docx.string()), dir.path());
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output,
              "Normal|Cover title\n"
              "Heading 1|Chapter One\n"
              "Normal|Body text of chapter one.\n"
              "Heading 2|Section 1.1\n"
              "sections 3\n"
              "header Running head\n"
              "font 16.0\n"
              "pictures 1\n");
}

TEST_F(ExternalChecks, DocOutputGoesThroughLibreOffice) {
    if (engine::findLibreOffice().empty()) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
    build();
    const auto path = dir.path() / "old.doc";
    doc.call(u"SaveAs",
             {fromPath(path), named(u"FileFormat", 0), named(u"AddToRecentFiles", false)});
    EXPECT_EQ(readFile(path).substr(0, 4), "\xD0\xCF\x11\xE0");  // an OLE compound file
}

TEST_F(ExternalChecks, DocOutputWithoutLibreOfficeSaysWhatIsNeeded) {
    const ScopedEnv noOffice("QUILLET_SOFFICE", (dir.path() / "no-soffice").string());
    try {
        doc.call(u"SaveAs", {fromPath(dir.path() / "old.doc"), named(u"FileFormat", 0)});
        FAIL() << "no error";
    } catch (const AutomationError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("needs LibreOffice"), std::string::npos) << message;
        EXPECT_NE(message.find(".docx"), std::string::npos) << message;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "old.doc"));
}

// A LibreOffice that never finishes: it starts a helper of its own, which would leave a mark after
// a second, and sleeps. Stopping the conversion must stop both.
class HangingOffice : public ExternalChecks {
protected:
    void SetUp() override {
        ExternalChecks::SetUp();
        fake = dir.path() / "soffice";
        std::ofstream(fake) << "#!/bin/sh\n(sleep 1; touch '" << mark().string()
                            << "') &\nsleep 60\n";
        std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
    }
    void TearDown() override {
        engine::setOfficeWatch(nullptr);
        engine::setOfficeTimeLimit(engine::kDefaultOfficeTimeLimit);
        ExternalChecks::TearDown();
    }
    std::filesystem::path mark() const { return dir.path() / "helper-finished"; }
    // Saves as `format` and returns the error's text.
    std::string failedSave(int format, const std::string& name) {
        try {
            doc.call(u"SaveAs", {fromPath(dir.path() / name), named(u"FileFormat", format)});
        } catch (const AutomationError& e) {
            return e.what();
        }
        return "no error";
    }
    std::filesystem::path fake;
};

TEST_F(HangingOffice, TimeLimitAndWatchStopItWhole) {
    const ScopedEnv office("QUILLET_SOFFICE", fake.string());
    const ScopedEnv noPython("QUILLET_PYTHON", (dir.path() / "no-python").string());
    build();
    struct Case {
        int format;
        const char* name;
        bool cancel;  // else the time limit stops it
        const char* said;
    };
    for (const Case& c : {Case{17, "out.pdf", false, "did not finish within 1 second"},
                          Case{0, "out.doc", false, "--office-time-limit MINUTES"},
                          Case{17, "cancelled.pdf", true, "the conversion was cancelled"}}) {
        SCOPED_TRACE(c.name);
        engine::setOfficeTimeLimit(c.cancel ? std::chrono::seconds(0) : std::chrono::seconds(1));
        int calls = 0;
        engine::setOfficeWatch([&](std::chrono::seconds) { return c.cancel && ++calls > 3; });
        const std::string message = failedSave(c.format, c.name);
        EXPECT_NE(message.find(c.said), std::string::npos) << message;
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_FALSE(std::filesystem::exists(mark())) << "the helper outlived its program";
        EXPECT_FALSE(std::filesystem::exists(dir.path() / c.name));
    }
}

}  // namespace
}  // namespace quillet::testing
