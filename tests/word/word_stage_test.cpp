#include "word/word_stage.h"

#include "automation/automation_error.h"
#include "automation/class_registry.h"
#include "platform/utf.h"
#include "support/temp_dir.h"
#include "word/contents_entries.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <optional>
#include <regex>

namespace quillet {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

// A recording stand-in for "Word.Application": every object answers every member, logs what it
// was asked as "Path.Member(args)" or "Path.Member=value", and hands out child objects named
// after the path. A few members give the values the stage needs to go on.
struct Recording {
    std::vector<std::string> log;
    std::string failOn;  // a logged call that throws
    std::map<std::string, Variant> values;
};

class FakeObject : public Dispatch {
public:
    FakeObject(std::string path, std::shared_ptr<Recording> recording)
        : m_path(std::move(path)), m_recording(std::move(recording)) {}

    Variant invoke(const Invocation& call) override {
        const std::string member = toUtf8(call.member);
        std::string entry = m_path + "." + member;
        if (call.kind == InvokeKind::Put) {
            entry += "=" + toUtf8(call.value.describe());
        } else if (call.kind == InvokeKind::Call || !call.positional.empty() ||
                   !call.named.empty()) {
            entry += "(";
            for (const auto& v : call.positional) entry += describe(v) + ",";
            for (const auto& n : call.named)
                entry += toUtf8(n.name) + ":" + describe(n.value) + ",";
            entry += ")";
        }
        m_recording->log.push_back(entry);
        if (!m_recording->failOn.empty() && entry.find(m_recording->failOn) != std::string::npos)
            throw AutomationError(std::u16string(call.member), u"refused by the test");
        if (call.kind == InvokeKind::Put) return {};
        if (member == "SaveAs") {
            std::ofstream(toUtf8(call.positional.at(0).toString())) << "document";
            return {};
        }
        // A value the test set for this member, else what the stage needs to go on.
        for (const auto& [suffix, value] : m_recording->values)
            if (entry.ends_with(suffix)) return value;
        static const std::map<std::string, Variant> kDefaults = {
            {"version", Variant(u"16.0")},
            {"PageWidth", Variant(595.3)},
            {"LeftMargin", Variant(85.0)},
            {"RightMargin", Variant(85.0)},
            {"count", Variant(0)},
            {"OutlineLevel", Variant(10)},
            {"Start", Variant(0)},
            {"start", Variant(0)},
            {"end", Variant(5)},
            {"type", Variant(1)},
            {"DefaultSaveFormat", Variant(u"")},
        };
        if (const auto it = kDefaults.find(member); it != kDefaults.end()) return it->second;
        if (m_path.ends_with("Options") || m_path.ends_with("AutoCorrect")) return Variant(true);
        return Variant(Object(std::make_shared<FakeObject>(m_path + "." + member, m_recording)));
    }

private:
    static std::string describe(const Variant& v) {
        if (!v.isObject()) return toUtf8(v.describe());
        auto* fake = dynamic_cast<FakeObject*>(v.toObject().dispatch().get());
        return fake ? fake->m_path : "Object";
    }
    std::string m_path;
    std::shared_ptr<Recording> m_recording;
};

class WordStageTest : public ::testing::Test {
protected:
    WordStageTest() : m_tmp("TMPDIR", (dir.path() / "tmp").string()) {
        std::filesystem::create_directories(dir.path() / "tmp");
        std::filesystem::create_directories(dir.path() / "root");
        registerClass(u"Word.Application",
                      [r = recording] { return Object(std::make_shared<FakeObject>("Word", r)); });
        job.rootFolder = fromPath(dir.path() / "root") + u"/";
        job.pdf = fromPath(dir.path() / "out" / "Guide.DOCX");
        job.Title = u"The Guide";
        job.FOnChange = [this](const std::u16string& info, int p) {
            progress.emplace_back(toUtf8(info), p);
        };
        job.FOnError = [this](const std::u16string& message) { errors.push_back(toUtf8(message)); };
        job.FOnDenied = [this](const std::u16string&) { job.Abort = true; };
        std::ofstream(dir.path() / "root" / "page.htm") << "<p>text</p>";
        add(u"Intro", u"page.htm", 0, 0, u"1.");
        add(u"Heading only", u"", 1, 2, u"1.1");
        add(u"Web", u"http://example.com/", 9, 3, u"1.1.1");
        add(u"Before any list", u"", -1, 2, u"");
    }
    ~WordStageTest() override { unregisterClass(u"Word.Application"); }

    void add(std::u16string topic, std::u16string url, int level, int status,
             std::u16string chapter) {
        testing::addEntry(job, std::move(topic), std::move(url), level, status, std::move(chapter));
    }
    bool anyEndsWith(const std::string& suffix) const {
        return std::any_of(recording->log.begin(), recording->log.end(),
                           [&](const std::string& e) { return e.ends_with(suffix); });
    }
    bool logged(const std::string& entry) const {
        return std::find(recording->log.begin(), recording->log.end(), entry) !=
               recording->log.end();
    }
    std::size_t indexOf(const std::string& entry) const {
        return static_cast<std::size_t>(
            std::find(recording->log.begin(), recording->log.end(), entry) -
            recording->log.begin());
    }

    TempDir dir;
    ScopedEnv m_tmp;
    std::shared_ptr<Recording> recording = std::make_shared<Recording>();
    TChmToDocPDF job;
    std::vector<std::pair<std::string, int>> progress;
    std::vector<std::string> errors;
};

TEST_F(WordStageTest, BuildsTheDocumentAndSavesIt) {
    OutputWord(job);
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_FALSE(job.Failed);
    EXPECT_TRUE(job.OK);
    // Options: saved, then cleared, then restored.
    EXPECT_LT(indexOf("Word.Options.LabelSmartTags"),
              indexOf("Word.Options.LabelSmartTags=Bool False"));
    EXPECT_LT(indexOf("Word.AutoCorrect.CorrectTableCells=Bool False"),
              indexOf("Word.Options.AutoFormatAsYouTypeApplyHeadings=Bool False"));
    EXPECT_TRUE(logged("Word.Options.LabelSmartTags=Bool True"));
    // Page setup in points: 25 mm is 71, 30 mm is 86.
    EXPECT_TRUE(logged("Word.Documents.Add.PageSetup.TopMargin=Int 71"));
    EXPECT_TRUE(logged("Word.Documents.Add.PageSetup.LeftMargin=Int 86"));
    // Headings: the chapter number before the title; levels kept within Heading 1 to 9.
    EXPECT_TRUE(anyEndsWith(".range.style=Int -2"));
    EXPECT_TRUE(anyEndsWith(".InsertAfter(String \"1. Intro\",)"));
    EXPECT_TRUE(anyEndsWith(".style=Int -10")) << "level 9 takes Heading 9";
    EXPECT_TRUE(anyEndsWith(".InsertAfter(String \" Before any list\",)"));
    EXPECT_TRUE(
        logged("Word.Documents.Add.Bookmarks.Add(String "
               "\"Bookmark2\",Word.Documents.Add.Bookmarks.Add.range,)"));
    EXPECT_FALSE(anyEndsWith(".style=Int -1")) << "level -1 takes Heading 1, not Normal";
    // The page, opened as a web page and pasted; the web entry, a hyperlink.
    EXPECT_TRUE(logged("Word.Documents.Open(FileName:String \"" +
                       (dir.path() / "root" / "page.htm").string() +
                       "\",Format:Int 7,Visible:Bool False,OpenAndRepair:Bool True,)"));
    EXPECT_TRUE(anyEndsWith(".Paste()"));
    EXPECT_TRUE(std::any_of(recording->log.begin(), recording->log.end(), [](const std::string& e) {
        return e.find("Hyperlinks.Add(Anchor:") != std::string::npos &&
               e.find("Address:String \"http://example.com/\"") != std::string::npos;
    }));
    EXPECT_TRUE(logged("Word.Documents.Add.TablesOfContents.item.Update()"));
    // Saved as .docx under its name, then Word quit, the working folder gone.
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / "Guide.DOCX"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "root"));
    for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "out"))
        EXPECT_EQ(entry.path().filename(), "Guide.DOCX");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "tmp")) << "the temporary document is gone";
    EXPECT_EQ(progress.back(), std::make_pair(std::string(""), 0));
    EXPECT_NE(std::find(progress.begin(), progress.end(), std::make_pair(std::string("OK!"), 0)),
              progress.end());
    EXPECT_NE(
        std::find(progress.begin(), progress.end(),
                  std::make_pair(std::string("Processing (3 of 4) http://example.com/..."), 50)),
        progress.end());
}

TEST_F(WordStageTest, ContentsFindTheirPagesWithoutRegardToLetterCase) {
    // Contents written for a file system that ignores case: "Sub/Page2.HTM" is sub/page2.htm.
    std::filesystem::create_directories(dir.path() / "root" / "sub");
    std::ofstream(dir.path() / "root" / "sub" / "page2.htm") << "<p>two</p>";
    add(u"Two", u"Sub/Page2.HTM", 0, 0, u"2.");
    add(u"Nowhere", u"sub/missing.htm", 0, 0, u"3.");
    OutputWord(job);
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_TRUE(logged("Word.Documents.Open(FileName:String \"" +
                       (dir.path() / "root" / "sub" / "page2.htm").string() +
                       "\",Format:Int 7,Visible:Bool False,OpenAndRepair:Bool True,)"));
    EXPECT_FALSE(
        anyEndsWith("missing.htm\",Format:Int 7,Visible:Bool False,OpenAndRepair:Bool True,)"));
}

TEST_F(WordStageTest, AFailureIsReportedAndNothingIsWritten) {
    const auto output = dir.path() / "out" / "Guide.DOCX";
    std::filesystem::create_directories(output.parent_path());
    std::ofstream(output) << "the old document";
    recording->failOn = "Hyperlinks.Add";
    OutputWord(job);
    EXPECT_TRUE(job.Failed);
    EXPECT_TRUE(job.OK);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("refused by the test"), std::string::npos);
    EXPECT_NE(std::find(progress.begin(), progress.end(), std::make_pair(std::string("失败。"), 0)),
              progress.end());
    std::ifstream in(output);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "the old document");
    EXPECT_TRUE(logged("Word.Options.LabelSmartTags=Bool True")) << "options restored";
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "root"));
}

// The document is saved under a temporary name of its own beside the output; a rename that
// fails says why and leaves nothing of it behind.
TEST_F(WordStageTest, SavesUnderAUniqueTemporaryNameAndReportsTheRealCauseOfAFailedRename) {
    const auto output = dir.path() / "out" / "Guide.DOCX";
    std::filesystem::create_directories(output / "in the way");  // a folder where the file goes
    OutputWord(job);
    EXPECT_TRUE(job.Failed);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("cannot write " + output.string() + ": Is a directory"),
              std::string::npos)
        << errors[0];
    const auto saved =
        std::find_if(recording->log.rbegin(), recording->log.rend(),
                     [](const std::string& e) { return e.find(".SaveAs(") != e.npos; });
    ASSERT_NE(saved, recording->log.rend());
    EXPECT_TRUE(std::regex_search(*saved, std::regex("/\\.~quillet-Guide-[A-Za-z0-9]{6}\\.DOCX\"")))
        << *saved;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "out"))
        EXPECT_EQ(entry.path().filename(), "Guide.DOCX");
}

// The output's name chooses Word's file format, in any letter case; a name of no known kind
// gets a Word 97-2003 document under its name ending in .doc.
TEST_F(WordStageTest, TheOutputNameChoosesTheFileFormat) {
    struct Case {
        const char* output;
        const char* saved;
        int format;
    };
    const Case kCases[] = {{"Guide.docx", "Guide.docx", 12},
                           {"Guide.PDF", "Guide.PDF", 17},
                           {"Guide.doc", "Guide.doc", 0},
                           {"Guide.rtf", "Guide.doc", 0}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.output);
        recording->log.clear();
        std::filesystem::create_directories(dir.path() / "root");  // the stage removes it
        TChmToDocPDF fresh;
        fresh.rootFolder = job.rootFolder;
        fresh.pdf = fromPath(dir.path() / "out" / c.output);
        fresh.FOnError = job.FOnError;
        OutputWord(fresh);
        EXPECT_FALSE(fresh.Failed) << (errors.empty() ? "" : errors.front());
        EXPECT_TRUE(anyEndsWith(",FileFormat:Int " + std::to_string(c.format) +
                                ",AddToRecentFiles:Bool False,)"));
        EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / c.saved));
    }
}

TEST_F(WordStageTest, AnEmptyContentsTreeGivesCoverAndContentsOnly) {
    job.List.clear();
    OutputWord(job);
    EXPECT_FALSE(job.Failed) << (errors.empty() ? "" : errors.front());
    EXPECT_TRUE(logged("Word.Documents.Add.TablesOfContents.item.Update()"));
}

TEST_F(WordStageTest, PaperHeaderFooterAndRuleLine) {
    job.Settings->PaperSize = 41;
    job.Settings->Height = 297;
    job.Settings->Width = 210;
    OutputWord(job);
    EXPECT_LT(indexOf("Word.Documents.Add.PageSetup.PageHeight=Int 846"),
              indexOf("Word.Documents.Add.PageSetup.PageWidth=Int 598"));
    // With a cover, header and footer go to section 2; the footer first, numbers centred from 1.
    EXPECT_LT(
        indexOf("Word.Documents.Add.Sections.item.Footers.item.PageNumbers.Add(Int 1,Bool True,)"),
        indexOf("Word.Documents.Add.Sections.item.headers.item.LinkToPrevious=Bool False"));
    EXPECT_TRUE(logged("Word.Documents.Add.Sections.item(Int 2,)"));
    // Word 16 whose default format is not "Doc": the line from the left margin at y 51
    // (page 595.3 -> 595, margins 85).
    EXPECT_TRUE(
        anyEndsWith(".Shapes.AddLine(Int 85,Int 51,Int 510,Int "
                    "51,Word.Documents.Add.Sections.item.headers.item.Range,)"));
}

TEST_F(WordStageTest, TheRuleLineFollowsTheVersion) {
    struct Case {
        const char16_t* version;
        const char16_t* defaultFormat;
        std::string line;  // empty: no line
    };
    const Case cases[] = {
        {u"12.0", u"", "AddLine(Int 0,Int 14,Int 425,Int 14,"},
        {u"16.0", u"Doc", "AddLine(Int 0,Int 14,Int 425,Int 14,"},
        {u"11.0", u"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.version));
        recording->log.clear();
        recording->values = {{"Word.version", Variant(c.version)},
                             {"DefaultSaveFormat", Variant(c.defaultFormat)}};
        TChmToDocPDF fresh;
        fresh.rootFolder = job.rootFolder;
        fresh.pdf = job.pdf;
        fresh.FOnError = job.FOnError;
        fresh.FOnDenied = [&](const std::u16string&) { fresh.Abort = true; };
        OutputWord(fresh);
        const bool drawn = std::any_of(
            recording->log.begin(), recording->log.end(),
            [](const std::string& e) { return e.find("AddLine(") != std::string::npos; });
        EXPECT_EQ(drawn, !c.line.empty());
        if (drawn) {
            EXPECT_TRUE(std::any_of(
                recording->log.begin(), recording->log.end(),
                [&](const std::string& e) { return e.find(c.line) != std::string::npos; }));
        }
    }
}

TEST_F(WordStageTest, PicturesAreStoredAndFittedWithProgress) {
    recording->values = {{"InlineShapes.count", Variant(3)},
                         {"Shapes.count", Variant(2)},
                         {"InlineShapes.item.Type", Variant(4)},
                         {"Shapes.item.Type", Variant(11)},
                         {"InlineShapes.item.Width", Variant(600.0)},
                         {"Shapes.item.Width", Variant(100.0)},
                         {"ScaleHeight", Variant(100.0)},
                         {"ScaleWidth", Variant(50.0)}};
    OutputWord(job);
    std::vector<std::pair<std::string, int>> shapes;
    for (const auto& report : progress)
        if (report.first.starts_with("Resizing inline Shapes")) shapes.push_back(report);
    ASSERT_EQ(shapes.size(), 5u);
    EXPECT_EQ(shapes.front(),
              std::make_pair(std::string("Resizing inline Shapes (1 of 5)..."), 82));
    EXPECT_EQ(shapes.back(), std::make_pair(std::string("Resizing inline Shapes (5 of 5)..."), 90));
    EXPECT_TRUE(logged("Word.Documents.Add.InlineShapes.item.ScaleHeight=Double 50"));
    EXPECT_TRUE(logged("Word.Documents.Add.InlineShapes.item.Width=Int 425"));
    EXPECT_TRUE(logged("Word.Documents.Add.InlineShapes.item.LinkFormat.BreakLink()"));
    EXPECT_FALSE(logged("Word.Documents.Add.Shapes.item.Width=Int 425"))
        << "not wider than the text";
    EXPECT_TRUE(logged("Word.Documents.Add.Shapes.item.LinkFormat.BreakLink()"));
}

// Word is saved, restarted and reopened every 200 entries after 500, and after the loop; a server
// that says it needs no refresh (the document engine) is spared the cycle.
TEST_F(WordStageTest, LongContentsAreRefreshedUnlessTheServerNeedsNone) {
    struct Case {
        std::optional<Variant> refreshNeeded;  // what Application.RefreshNeeded answers
        long refreshes, quits;
    };
    const Case cases[] = {
        {std::nullopt, 3, 4},  // after entries 600 and 800, and after the loop; then the end
        {Variant(true), 3, 4},
        {Variant(false), 0, 1},  // only the end
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refreshNeeded ? c.refreshNeeded->toBool() : -1);
        recording->log.clear();
        progress.clear();
        std::filesystem::create_directories(dir.path() / "root");
        job.List.clear();
        for (int n = 0; n < 801; ++n) add(u"T", u"", 0, 2, u"1.");
        if (c.refreshNeeded) recording->values = {{"Word.RefreshNeeded", *c.refreshNeeded}};
        OutputWord(job);
        EXPECT_EQ(std::count(progress.begin(), progress.end(),
                             std::make_pair(
                                 std::string("Freshing document(it may take a long time)..."), 0)),
                  c.refreshes);
        EXPECT_EQ(
            std::count_if(recording->log.begin(), recording->log.end(),
                          [](const std::string& e) { return e.ends_with(".Quit(Bool False,)"); }),
            c.quits);
    }
}

// A server that can read ahead is told each page before it is opened, a few entries early; one
// that cannot (Word), or refuses, is told nothing more and still opens every page.
TEST_F(WordStageTest, PagesAreNamedAheadOnlyToAServerThatReadsAhead) {
    for (int n = 0; n < 10; ++n)
        add(u"Page", fromUtf8("p" + std::to_string(n) + ".htm"), 0, 0, u"2.");
    const auto page = [&](int n) {
        return "FileName:String \"" +
               (dir.path() / "root" / ("p" + std::to_string(n) + ".htm")).string() + "\",";
    };
    const auto aheadOf = [&](int n) {
        return "Word.Documents.ReadAhead(" + page(n) + "Format:Int 7,)";
    };
    const auto openOf = [&](int n) {
        return "Word.Documents.Open(" + page(n) +
               "Format:Int 7,Visible:Bool False,OpenAndRepair:Bool True,)";
    };
    struct Case {
        std::optional<Variant> canReadAhead;
        std::string failOn;
        int named;  // how many ReadAhead calls
    };
    const Case cases[] = {
        {std::nullopt, "", 0},
        {Variant(false), "", 0},
        {Variant(true), "", 11},  // page.htm and the ten pages
        {Variant(true), ".ReadAhead(", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.named);
        recording->log.clear();
        recording->failOn = c.failOn;
        recording->values.clear();
        if (c.canReadAhead) recording->values = {{"Word.CanReadAhead", *c.canReadAhead}};
        std::filesystem::create_directories(dir.path() / "root");  // the stage removes it
        std::ofstream(dir.path() / "root" / "page.htm") << "<p>text</p>";
        for (int n = 0; n < 10; ++n)
            std::ofstream(dir.path() / "root" / ("p" + std::to_string(n) + ".htm"))
                << "<p>text</p>";
        OutputWord(job);
        EXPECT_EQ(std::count_if(recording->log.begin(), recording->log.end(),
                                [](const std::string& e) {
                                    return e.find(".ReadAhead(") != std::string::npos;
                                }),
                  c.named);
        for (int n = 0; n < 10; ++n) {
            ASSERT_TRUE(logged(openOf(n))) << n;
            if (c.named == 11) {
                // Named six entries ahead: while the page six back is inserted.
                EXPECT_LT(indexOf(aheadOf(n)), indexOf(openOf(n)));
                if (n >= 6) {
                    EXPECT_LT(indexOf(aheadOf(n)), indexOf(openOf(n - 6)));
                }
                if (n >= 7) {
                    EXPECT_GT(indexOf(aheadOf(n)), indexOf(openOf(n - 7)));
                }
            }
        }
    }
}

TEST_F(WordStageTest, ACancellationTearsWordDownWithoutAFailureReport) {
    int reports = 0;
    job.FOnChange = [&](const std::u16string& info, int p) {
        progress.emplace_back(toUtf8(info), p);
        if (++reports > 5) throw EUserCancel();
    };
    EXPECT_THROW(OutputWord(job), EUserCancel);  // raised again by the last report
    EXPECT_FALSE(job.Failed);
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(logged("Word.Options.LabelSmartTags=Bool True")) << "options restored";
    EXPECT_TRUE(logged("Word.Quit(Bool False,)"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "root"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "Guide.DOCX"));
}

TEST_F(WordStageTest, EntriesWithKeywordsAreMarkedAndIndexedAfterTheLastChapter) {
    job.List[0].Keywords = u"Printing/Paper sizes`\\Setup";
    job.List[1].Keywords = u"Setup";
    // Without the setting, or without keywords, no mark and no index.
    struct Case {
        const char* name;
        bool setting;
        bool keywords;
        bool index;
    };
    const Case cases[] = {{"index", true, true, true},
                          {"--no-index", false, true, false},
                          {"no keywords", true, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recording->log.clear();
        job.Settings->Index = c.setting;
        if (!c.keywords)
            for (std::size_t i = 0; i < job.List.size(); ++i) job.List[i].Keywords.clear();
        std::filesystem::create_directories(dir.path() / "root");
        std::ofstream(dir.path() / "root" / "page.htm") << "<p>text</p>";
        OutputWord(job);
        EXPECT_TRUE(errors.empty()) << errors.front();
        const std::string range = "Word.Documents.Add.Bookmarks.Add.range";
        const std::string mark =
            "Word.Documents.Add.Indexes.MarkEntry(Range:" + range + ",Entry:String \"";
        EXPECT_EQ(logged(mark + "Printing:Paper sizes\",)"), c.index);
        EXPECT_EQ(logged(mark + "Setup\",)"), c.index);
        const std::size_t add =
            indexOf("Word.Documents.Add.Indexes.Add(Range:" + range +
                    ",HeadingSeparator:Int 2,Type:Int 0,NumberOfColumns:Int 2,)");
        EXPECT_EQ(add < recording->log.size(), c.index);
        EXPECT_EQ(logged("Word.Documents.Add.Indexes.item.Update()"), c.index);
        if (!c.index) continue;
        // The heading (the source text of "Index") on a page of its own after the last chapter's
        // heading, before the pictures are fitted; the marks on a heading once its paragraph is
        // closed.
        const std::size_t heading = indexOf(range + ".InsertAfter(String \"索引\",)");
        const auto last = std::find_if(recording->log.begin(), recording->log.end(), [](auto& e) {
            return e.ends_with(".InsertAfter(String \" Before any list\",)");
        });
        EXPECT_LT(static_cast<std::size_t>(last - recording->log.begin()), heading);
        EXPECT_LT(indexOf(range + ".InsertBreak(Int 2,)"), heading);
        EXPECT_LT(heading, add);
        EXPECT_LT(add, indexOf("Word.Documents.Add.InlineShapes.count"));
        EXPECT_LT(indexOf(range + ".InsertParagraphAfter()"), indexOf(mark + "Setup\",)"));
    }
}

struct IndexEntriesCase {
    std::u16string_view keywords;
    std::vector<std::u16string> entries;
};
const IndexEntriesCase kIndexEntriesCases[] = {
    {u"", {}},
    {u"Printing", {u"Printing"}},
    {u"Printing/Paper sizes`\\Setup", {u"Printing:Paper sizes", u"Setup"}},
    // A slash of the keyword is doubled in the path; Word's own signs are escaped.
    {u"TCP//IP/Ports", {u"TCP/IP:Ports"}},
    {u"Time: 12:00", {u"Time\\: 12\\:00"}},
    {u"Say \"hi\"; C:\\", {u"Say \\\"hi\\\"\\; C\\:\\\\"}},
    // Blank paths and levels give nothing.
    {u"`\\ `\\Main/ /Sub", {u"Main:Sub"}},
};

TEST(WordStage, KeywordPathsBecomeIndexEntries) {
    for (const auto& c : kIndexEntriesCases) {
        SCOPED_TRACE(toUtf8(c.keywords));
        EXPECT_EQ(IndexEntries(c.keywords), c.entries);
    }
}

TEST(WordStage, VersionsAndMeasures) {
    EXPECT_EQ(WordVersionOf(u"12.0"), 12);
    EXPECT_EQ(WordVersionOf(u"14.0.7"), 14);
    EXPECT_EQ(WordVersionOf(u""), 0);
    EXPECT_EQ(WordVersionOf(u"v\uFF11 9"), 9);  // full-width digits are no digits
    const std::pair<int, int> points[] = {{10, 28}, {20, 57},   {25, 71},
                                          {30, 86}, {210, 598}, {297, 846}};
    for (const auto& [mm, pt] : points) EXPECT_EQ(MillimetresToPoints(mm), pt) << mm;
}

TEST(MessageFilter, RetriesBusyRejectionsOnly) {
    IOleMessageFilter filter;
    EXPECT_EQ(filter.RetryRejectedCall(0, 0, 2), 99);
    EXPECT_EQ(filter.RetryRejectedCall(0, 0, 1), -1);
    EXPECT_EQ(filter.MessagePending(0, 0, 0), 2);
    EXPECT_EQ(filter.HandleInComingCall(0, 0, 0, nullptr), 0);

    struct Busy : Dispatch {
        int rejections = 3, calls = 0;
        Variant invoke(const Invocation& call) override {
            ++calls;
            if (rejections-- > 0) throw CallRejected(std::u16string(call.member), 2);
            return Variant(42);
        }
    };
    auto busy = std::make_shared<Busy>();
    filter.RegisterFilter();
    EXPECT_EQ(filter.filtered(Object(busy)).get(u"Anything").toInt(), 42);
    EXPECT_EQ(busy->calls, 4);
}

}  // namespace
}  // namespace quillet
