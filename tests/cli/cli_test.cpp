#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

namespace quillet {
namespace {

using testing::ChildProcess;
using testing::ScopedEnv;
using testing::TempDir;

struct CommandRun {
    int exitCode = -1;
    std::string out, err;
};

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs the quillet command with `args`, with TMPDIR pointing at a folder the test checks.
class CliTest : public ::testing::Test {
protected:
    CliTest() : m_tmpEnv("TMPDIR", m_tmp.path().string()) {}

    CommandRun quillet(const std::vector<std::string>& args) {
        std::string command = quoted((testing::binFolder() / "quillet").string());
        for (const auto& a : args) command += " " + quoted(a);
        const auto errFile = m_scratch.path() / "stderr";
        command += " 2>" + quoted(errFile.string());
        CommandRun run;
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            char buf[4096];
            for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
                run.out.append(buf, n);
            const int status = ::pclose(pipe);
            run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::ifstream err(errFile);
        std::ostringstream s;
        s << err.rdbuf();
        run.err = s.str();
        return run;
    }

    static std::string fixture(const char* name) {
        return (testing::fixturesFolder() / name).string();
    }

    static std::string corpusFile(const char* name) {
        return (testing::testDataFolder() / "corpus" / name).string();
    }

    static std::string program() { return (testing::binFolder() / "quillet").string(); }

    // The names in the scratch folder, hidden ones (a staged document's folder) included.
    std::set<std::string> scratchNames() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_scratch.path()))
            names.insert(entry.path().filename().string());
        return names;
    }

    bool tmpIsEmpty() const { return std::filesystem::is_empty(m_tmp.path()); }

    void TearDown() override {
        for (const auto& entry : std::filesystem::directory_iterator(m_tmp.path()))
            ADD_FAILURE() << "left behind: " << entry.path();
    }

    TempDir m_tmp, m_scratch;
    ScopedEnv m_tmpEnv;
};

TEST_F(CliTest, InfoShowsTheSystemInformation) {
    const CommandRun plain = quillet({"info", fixture("nested.chm")});
    EXPECT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(plain.out,
              "Title: Test Help\nDefault topic: a.htm\nLanguage: 0x0804\nCode page: 936 (from the "
              "locale)\n");

    const CommandRun json = quillet({"info", "--json", fixture("nested.chm")});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const auto info = nlohmann::json::parse(json.out);
    EXPECT_EQ(info["title"], "Test Help");
    EXPECT_EQ(info["default_topic"], "a.htm");
    EXPECT_EQ(info["language_id"], "0x0804");
    EXPECT_EQ(info["code_page"], 936);
    EXPECT_EQ(info["code_page_source"], "locale");
    EXPECT_TRUE(tmpIsEmpty());
}

TEST_F(CliTest, PagesThatAgreeOnAnotherCharacterSetThanTheLocaleGiveTheCodePage) {
    // An en-US locale, but both pages declare gb2312 and the contents are GBK.
    const CommandRun info = quillet({"info", "--json", fixture("gbk-pages.chm")});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const auto fields = nlohmann::json::parse(info.out);
    EXPECT_EQ(fields["language_id"], "0x0409");
    EXPECT_EQ(fields["code_page"], 936);
    EXPECT_EQ(fields["code_page_source"], "pages");
    const CommandRun contents = quillet({"contents", fixture("gbk-pages.chm")});
    ASSERT_EQ(contents.exitCode, 0) << contents.err;
    EXPECT_NE(contents.out.find("\u7b2c\u4e00\u9875"), std::string::npos) << contents.out;
    EXPECT_NE(contents.out.find("\u7b2c\u4e8c\u9875"), std::string::npos) << contents.out;
}

TEST_F(CliTest, ContentsListsTheEntries) {
    const CommandRun run = quillet({"contents", fixture("nested.chm"), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto entries = nlohmann::json::parse(run.out);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0]["topic"], "A page");
    EXPECT_EQ(entries[0]["keywords"], "Files");
    EXPECT_EQ(entries[1]["level"], 1);
    EXPECT_EQ(entries[1]["url"], "sub/b.htm#x");
    EXPECT_EQ(entries[1]["status"], 0);

    const CommandRun plain = quillet({"contents", fixture("nested.chm")});
    EXPECT_EQ(plain.out,
              "level\tstatus\ttopic\turl\tkeywords\n0\t0\tA page\ta.htm\tFiles\n"
              "1\t0\tB anchor\tsub/b.htm#x\t\n");
}

TEST_F(CliTest, BadInputGivesOneClearLineAndLeavesNothing) {
    const auto notHelp = m_scratch.path() / "notes.chm";
    std::ofstream(notHelp) << "just text";
    const auto corrupt = m_scratch.path() / "corrupt.chm";
    std::ofstream(corrupt, std::ios::binary) << "ITSF" << std::string(500, '\x01');
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {{"info", "/no/such/file.chm"}, 1, "cannot open /no/such/file.chm"},
        {{"contents", "/no/such/file.chm"}, 1, "cannot open /no/such/file.chm"},
        {{"info", notHelp.string()}, 1, "is not a compiled help file"},
        {{"contents", corrupt.string()}, 1, "cannot unpack"},
        {{"info"}, 2, "usage: quillet info"},
        {{"contents", "a.chm", "b.chm"}, 2, "unexpected argument 'b.chm'"},
        {{"contents", fixture("nested.chm"), "--max-size", "100"},
         1,
         "more than the limit of 100 bytes that --max-size set"},
        {{"distill", "a.chm", "dir", "--max-size", "lots"},
         2,
         "--max-size takes a number of bytes"},
        {{"info", "a.chm", "--max-size", "100"}, 2, "unexpected argument '--max-size'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        const CommandRun run = quillet(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
}

TEST_F(CliTest, EveryCorpusFileHasInformationAndContents) {
    const std::filesystem::path corpus = testing::corpusFolder();
    if (!std::filesystem::is_directory(corpus))
        GTEST_SKIP() << "the sample help files are not here: " << corpus;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() != ".chm") continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        const CommandRun info = quillet({"info", "--json", entry.path().string()});
        ASSERT_EQ(info.exitCode, 0) << info.err;
        EXPECT_FALSE(nlohmann::json::parse(info.out)["language_id"].get<std::string>().empty());
        const CommandRun contents = quillet({"contents", "--json", entry.path().string()});
        ASSERT_EQ(contents.exitCode, 0) << contents.err;
        EXPECT_FALSE(nlohmann::json::parse(contents.out).empty());
    }
    EXPECT_GT(files, 0);
}

TEST_F(CliTest, DistillLeavesTheDistilledProjectAndItsContents) {
    const auto folder = m_scratch.path() / "out";
    const CommandRun run =
        quillet({"distill", fixture("nested.chm"), folder.string(), "--hint", "see [Title No.]"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(
        run.out.find(
            "Decompiling...\nAnalyzing...\nPreparing to distill pages...\nDistilling pages..."),
        std::string::npos)
        << run.out;
    std::ifstream in(folder / "contents.json");
    const auto entries = nlohmann::json::parse(in);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1]["chapter"], "1.1");
    EXPECT_EQ(entries[1]["bookmark"], "Bookmark1");
    EXPECT_EQ(entries[1]["url"], "sub/b.htm");  // the only entry into that page loses its anchor
    std::ifstream page(folder / "a.htm");
    std::ostringstream text;
    text << page.rdbuf();
    EXPECT_NE(text.str().find("<a href=\"#Bookmark1\">b</a>(see 1.1)"), std::string::npos)
        << text.str();

    const CommandRun again = quillet({"distill", fixture("nested.chm"), folder.string()});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("is not empty"), std::string::npos) << again.err;
    const CommandRun bad =
        quillet({"distill", "/no/such.chm", (m_scratch.path() / "new").string()});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(m_scratch.path() / "new"));
}

TEST_F(CliTest, EveryCorpusFileDistilsWithOneEntryPerContentsEntry) {
    const std::filesystem::path corpus = testing::corpusFolder();
    if (!std::filesystem::is_directory(corpus))
        GTEST_SKIP() << "the sample help files are not here: " << corpus;
    for (const auto& file : std::filesystem::directory_iterator(corpus)) {
        if (file.path().extension() != ".chm") continue;
        SCOPED_TRACE(file.path().filename().string());
        const CommandRun contents = quillet({"contents", "--json", file.path().string()});
        ASSERT_EQ(contents.exitCode, 0) << contents.err;
        const auto tree = nlohmann::json::parse(contents.out);
        const auto folder = m_scratch.path() / file.path().stem();
        const CommandRun run = quillet({"distill", file.path().string(), folder.string()});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        std::ifstream in(folder / "contents.json");
        const auto entries = nlohmann::json::parse(in);
        ASSERT_GE(entries.size(), tree.size());
        // A help file without a contents file lists its default topic alone; the distillation
        // builds its contents from the links of that page instead, titled from the pages.
        if (tree.size() == 1 && entries.size() > 1) {
            std::filesystem::remove_all(folder);
            continue;
        }
        for (std::size_t n = 0; n < tree.size(); ++n) {
            ASSERT_EQ(entries[n]["topic"], tree[n]["topic"]) << n;
            ASSERT_EQ(entries[n]["level"], tree[n]["level"]) << n;
        }
        // What follows is the Addenda heading and the linked pages under it.
        if (entries.size() > tree.size()) {
            EXPECT_EQ(entries[tree.size()]["topic"], "Addenda");
            EXPECT_EQ(entries[tree.size()]["status"], 2);
            for (std::size_t n = tree.size() + 1; n < entries.size(); ++n)
                EXPECT_EQ(entries[n]["level"], 1);
        }
        std::filesystem::remove_all(folder);
    }
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// What a finished conversion leaves: a .docx package, a ZIP archive.
// The main part of a .docx, as unzip (a program not written here) reads it.
std::string documentXml(const std::filesystem::path& docx) {
    std::string xml;
    FILE* pipe = ::popen(("unzip -p " + quoted(docx.string()) + " word/document.xml").c_str(), "r");
    if (pipe == nullptr) return xml;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) xml.append(buf, n);
    ::pclose(pipe);
    return xml;
}

bool isDocument(const std::filesystem::path& path) {
    return readFile(path).starts_with("PK");
}

TEST_F(CliTest, TheOutputMustBeAWordDocumentAndItsRealPathIsReported) {
    const auto scratch = m_scratch.path();
    std::filesystem::create_directory(scratch / "folder.docx");
    std::ofstream(scratch / "locked.docx") << "old document";
    std::ofstream(scratch / ".~lock.locked.docx#") << "another program";
    struct Case {
        std::string output;
        int exitCode;
        std::string message;  // in standard error; for a success, the whole standard output
    };
    const Case kCases[] = {
        {(scratch / "x.txt").string(), 2, "takes a file name ending in .docx, .doc or .pdf"},
        {(scratch / "same.chm").string(), 2, "takes a file name ending in .docx, .doc or .pdf"},
        {scratch.string() + "/", 2, "takes a file name ending in .docx, .doc or .pdf"},
        {(scratch / "folder.docx").string(), 1,
         "cannot write " + (scratch / "folder.docx").string() + ": it is a folder"},
        {(scratch / "locked.docx").string(), 1,
         (scratch / "locked.docx").string() + " is in use; nothing was written"},
        {(scratch / "sub" / "new.DOCX").string(), 0,
         "Wrote " + (scratch / "sub" / "new.DOCX").string() + "\n"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.output);
        const CommandRun run = quillet({"convert", fixture("nested.chm"), "-o", c.output});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        if (c.exitCode == 0) {
            EXPECT_EQ(run.out, c.message);
            EXPECT_TRUE(isDocument(c.output));
        } else {
            EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
            EXPECT_TRUE(run.out.empty()) << run.out;
        }
    }
    EXPECT_EQ(readFile(scratch / "locked.docx"), "old document");
    // Only what the cases put there or wrote: no staged document is left beside an output.
    EXPECT_EQ(scratchNames(), (std::set<std::string>{"folder.docx", "locked.docx",
                                                     ".~lock.locked.docx#", "sub", "stderr"}));
}

TEST_F(CliTest, TheChosenLanguageDecodesTheContentsAndThePagesToo) {
    // The help file says en-US, but its contents and its page (which declares no character
    // set) are GBK: only the language the user chooses reads them right.
    const auto output = m_scratch.path() / "out.docx";
    const CommandRun run = quillet(
        {"convert", fixture("wrong-locale.chm"), "--language", "0x0804", "-o", output.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string xml = documentXml(output);
    EXPECT_NE(xml.find("\u4e2d\u6587\u7ae0\u8282"), std::string::npos) << "the contents entry";
    EXPECT_NE(xml.find("\u4e2d\u6587\u6b63\u6587\u5185\u5bb9"), std::string::npos) << "the page";
}

TEST_F(CliTest, PagesKeepTextTheirDeclaredEncodingCannotHold) {
    // The pages are UTF-8 with a mark and declare nothing; the locale's code page is 1251, but
    // no page may lose a character to it wherever it is written, in DIR or, past the hold
    // limit, in the working folder of a conversion.
    const auto folder = m_scratch.path() / "distilled";
    const CommandRun distilled = quillet({"distill", fixture("ru-bom.chm"), folder.string()});
    ASSERT_EQ(distilled.exitCode, 0) << distilled.err;
    const std::string page = readFile(folder / "a.htm");
    EXPECT_TRUE(page.starts_with("\xEF\xBB\xBF")) << page;
    EXPECT_NE(page.find("Программа"), std::string::npos) << page;
    EXPECT_EQ(page.find("???"), std::string::npos) << page;

    for (const char* holdLimit : {"1", "67108864"}) {
        SCOPED_TRACE(holdLimit);
        const auto output = m_scratch.path() / "ru.docx";
        const CommandRun run = quillet(
            {"convert", fixture("ru-bom.chm"), "-o", output.string(), "--hold-limit", holdLimit});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string xml = documentXml(output);
        EXPECT_NE(xml.find("Программа для"), std::string::npos);
        EXPECT_NE(xml.find("Окно настроек"), std::string::npos);
        EXPECT_EQ(xml.find("???"), std::string::npos);
    }
}

TEST_F(CliTest, WithoutATitleRecordTheTitleIsTheFirstWindowsCaption) {
    // chmcmd writes no title record; the window's caption is GBK, as the locale says.
    const CommandRun run = quillet({"info", fixture("window-caption.chm")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Title: \u7a97\u53e3\u6807\u9898\n"), std::string::npos) << run.out;
}

TEST_F(CliTest, ACaptionThatNamesTheAuthoringToolIsNoTitle) {
    const CommandRun run = quillet({"info", "--json", fixture("generator-caption.chm")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(nlohmann::json::parse(run.out)["title"], "");
    // The document takes the file's name.
    const auto output = m_scratch.path() / "out.docx";
    ASSERT_EQ(
        quillet({"convert", fixture("generator-caption.chm"), "-o", output.string()}).exitCode, 0);
    const std::string xml = documentXml(output);
    EXPECT_EQ(xml.find("Visual CHM"), std::string::npos);
}

TEST_F(CliTest, ContentsFromLinksStartAtTheHomePage) {
    // Neither file names a default topic: one names a home page in its window, the other has an
    // index.htm. Other pages sort before either.
    struct Case {
        const char* file;
        std::vector<std::string> urls;
    };
    for (const Case& c : {Case{"links-home.chm", {"welcome.htm", "guide.htm", "changelog.htm"}},
                          Case{"links-index.chm", {"index.htm", "about.htm"}}}) {
        SCOPED_TRACE(c.file);
        const auto folder = m_scratch.path() / c.file;
        const CommandRun run = quillet({"distill", fixture(c.file), folder.string()});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        std::ifstream in(folder / "contents.json");
        const auto entries = nlohmann::json::parse(in);
        ASSERT_EQ(entries.size(), c.urls.size()) << entries.dump();
        for (std::size_t n = 0; n < c.urls.size(); ++n) {
            EXPECT_EQ(entries[n]["url"], c.urls[n]);
            EXPECT_EQ(entries[n]["level"], n == 0 ? 0 : 1);
        }
    }
}

TEST_F(CliTest, FoldersNamedWithPercentOrBackslashHoldTheWholeDocument) {
    // The working folder and the distill folder are names of this machine, not addresses: only
    // the addresses inside the help file are decoded.
    const auto baseline = m_scratch.path() / "plain.docx";
    ASSERT_EQ(quillet({"convert", fixture("nested.chm"), "-o", baseline.string()}).exitCode, 0);
    const std::string expected = documentXml(baseline);
    ASSERT_NE(expected.find("Hello"), std::string::npos);
    for (const char* name : {"my%20docs", "a\\b", "50%"}) {
        SCOPED_TRACE(name);
        const auto tmp = m_tmp.path() / name;
        std::filesystem::create_directories(tmp);
        const ScopedEnv tmpEnv("TMPDIR", tmp.string());
        const auto output = m_scratch.path() / (std::string(name) + ".docx");
        const CommandRun run = quillet({"convert", fixture("nested.chm"), "-o", output.string()});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(documentXml(output), expected);
        EXPECT_TRUE(std::filesystem::is_empty(tmp));
        std::filesystem::remove(tmp);

        const auto folder = m_scratch.path() / name / "out";
        ASSERT_EQ(quillet({"distill", fixture("nested.chm"), folder.string()}).exitCode, 0);
        std::ifstream in(folder / "contents.json");
        for (const auto& entry : nlohmann::json::parse(in)) EXPECT_EQ(entry["status"], 0);
    }
}

TEST_F(CliTest, TimingsNameEachStageAndThePeakMemory) {
    const std::string output = (m_scratch.path() / "timed.docx").string();
    const CommandRun run = quillet({"convert", fixture("nested.chm"), "-o", output, "--timings"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(std::regex_search(
        run.err, std::regex("timings: unpack [0-9.]+ s, distill [0-9.]+ s, document [0-9.]+ s, "
                            "save [0-9.]+ s, whole [0-9.]+ s; peak memory [0-9.]+ MiB "
                            "\\(unpacker [0-9.]+ MiB\\)\n")))
        << run.err;
}

TEST_F(CliTest, TwoConversionsToOneOutputAtOnceBothSucceed) {
    const auto output = m_scratch.path() / "shared.docx";
    const std::vector<std::string> args = {program(), "convert",
                                           corpusFile("zh-gb2312-winchm-pbootcms-tags.chm"), "-o",
                                           output.string()};
    ChildProcess first(args), second(args);
    EXPECT_EQ(first.finish(), 0) << first.err();
    EXPECT_EQ(second.finish(), 0) << second.err();
    EXPECT_TRUE(isDocument(output));
    EXPECT_EQ(scratchNames(), std::set<std::string>{"shared.docx"});
}

// Waits until `done` holds; false when it did not within a hang guard's time.
bool waitFor(const std::function<bool()>& done) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Ctrl-C (SIGINT to the whole process group, quillet-hh included), a hang-up or SIGTERM at the
// moments that matter. Each waits for something it can see before it signals.
TEST_F(CliTest, AStopSignalLeavesNothingBehindAndTheOldDocumentUntilTheNewOneIsInPlace) {
    const auto output = m_scratch.path() / "out.docx";
    const auto distilled = m_scratch.path() / "distilled";
    const std::string longHelp = corpusFile("ru-cp1251-drexplain-filmcollection.chm");
    enum class Ready { Unpacking, WordStage, Replaced, Catching };
    struct Case {
        const char* what;
        std::vector<std::string> args;
        Ready ready;
        int signal;
        bool toGroup;
        int exitCode;
    };
    const Case kCases[] = {
        {"Ctrl-C while unpacking",
         {"convert", longHelp, "-o", output.string()},
         Ready::Unpacking,
         SIGINT,
         true,
         130},
        {"SIGTERM to quillet alone while unpacking",
         {"convert", longHelp, "-o", output.string()},
         Ready::Unpacking,
         SIGTERM,
         false,
         130},
        {"a hang-up in the Word stage",
         {"convert", longHelp, "-o", output.string()},
         Ready::WordStage,
         SIGHUP,
         true,
         130},
        {"Ctrl-C once the document is in place",
         {"convert", fixture("nested.chm"), "-o", output.string()},
         Ready::Replaced,
         SIGINT,
         true,
         0},
        {"Ctrl-C while listing the contents",
         {"contents", longHelp},
         Ready::Catching,
         SIGINT,
         true,
         130},
        {"SIGTERM while distilling",
         {"distill", longHelp, distilled.string()},
         Ready::Catching,
         SIGTERM,
         false,
         130},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        std::ofstream(output) << "old document";
        std::vector<std::string> argv = {program()};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        // Where the program must write to stdout before it is done, it cannot be done before the
        // signal.
        ChildProcess run(argv,
                         {.blockOutput = c.ready == Ready::Replaced || c.ready == Ready::Catching});
        switch (c.ready) {
            case Ready::Unpacking:
                ASSERT_TRUE(run.waitForError("Decompiling...")) << run.err();
                break;
            case Ready::WordStage:
                ASSERT_TRUE(run.waitForError("Launching Word...")) << run.err();
                break;
            case Ready::Replaced:
                ASSERT_TRUE(waitFor([&] { return isDocument(output); }));
                break;
            case Ready::Catching:
                ASSERT_TRUE(run.waitUntilCatching(c.signal));
                break;
        }
        if (c.toGroup)
            run.signalGroup(c.signal);
        else
            run.signal(c.signal);
        EXPECT_EQ(run.finish(), c.exitCode) << run.err();
        if (c.exitCode == 130) {
            EXPECT_NE(run.err().find("quillet " + c.args[0] + ": cancelled\n"), std::string::npos)
                << run.err();
            EXPECT_EQ(run.err().find("error:"), std::string::npos) << run.err();
            EXPECT_EQ(readFile(output), "old document");
        } else {
            EXPECT_TRUE(isDocument(output));
            EXPECT_EQ(run.err().find("cancelled"), std::string::npos) << run.err();
        }
        EXPECT_TRUE(tmpIsEmpty());
        EXPECT_EQ(scratchNames(), std::set<std::string>{"out.docx"});
    }
}

}  // namespace
}  // namespace quillet
