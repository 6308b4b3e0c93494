// Broken and hostile help files converted end to end by the quillet command. Each is built here
// with chmcmd from a few lines of text and damaged in place; every run ends with a document
// without the offending part or with one clear error, never a crash or a hang, and leaves the
// temporary folder empty, no partial output and the old document unchanged when it fails.
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::ChildProcess;
using testing::ScopedEnv;
using testing::TempDir;

constexpr std::string_view kOldDocument = "old document";
constexpr std::size_t kBigFile = 2'200'000;

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string repeat(std::string_view s, int times) {
    std::string out;
    out.reserve(s.size() * static_cast<std::size_t>(times));
    for (int i = 0; i < times; ++i) out += s;
    return out;
}

// A contents file of `entries`, each a (name, local) pair at the level given.
struct ContentsEntry {
    int level;
    std::string name, local;
};

std::string contentsFile(const std::vector<ContentsEntry>& entries) {
    std::string out = "<HTML><BODY>\n";
    int level = -1;
    for (const auto& e : entries) {
        for (; level < e.level; ++level) out += "<UL>\n";
        for (; level > e.level; --level) out += "</UL>\n";
        out += "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"" + e.name +
               "\"><param name=\"Local\" value=\"" + e.local + "\"></OBJECT>\n";
    }
    for (; level >= 0; --level) out += "</UL>\n";
    return out + "</BODY></HTML>\n";
}

// Reads an encoded integer of the directory at `at` and moves past it.
std::uint64_t readEncInt(const std::string& bytes, std::size_t& at) {
    std::uint64_t value = 0;
    while (at < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[at++]);
        value = (value << 7) | (b & 0x7F);
        if ((b & 0x80) == 0) break;
    }
    return value;
}

class HostileInputs : public ::testing::Test {
protected:
    HostileInputs() : m_tmpEnv("TMPDIR", m_tmp.path().string()) {}

    // Compiles a help file named `name`.chm from `files` (path, text) with `contents` as its
    // contents file and the first file as its default topic.
    fs::path compile(const std::string& name, const std::map<std::string, std::string>& files,
                     const std::string& contents) {
        const fs::path project = m_scratch.path() / ("project-" + name);
        fs::create_directories(project);
        std::string list;
        for (const auto& [path, text] : files) {
            fs::create_directories((project / path).parent_path());
            writeBytes(project / path, text);
            list += path + "\n";
        }
        writeBytes(project / "toc.hhc", contents);
        writeBytes(project / (name + ".hhp"), "[OPTIONS]\nCompiled file=" + name +
                                                  ".chm\nContents file=toc.hhc\n"
                                                  "Default topic=" +
                                                  files.begin()->first + "\nTitle=" + name +
                                                  "\n\n[FILES]\n" + list);
        // The scan for links would follow the hostile pages too: chmcmd itself does not survive
        // some of them.
        ChildProcess chmcmd({QUILLET_CHMCMD, "--no-html-scan", name + ".hhp"}, {.folder = project});
        EXPECT_EQ(chmcmd.finish(), 0) << chmcmd.out() << chmcmd.err();
        const fs::path compiled = m_scratch.path() / (name + ".chm");
        fs::rename(project / (name + ".chm"), compiled);
        fs::remove_all(project);
        return compiled;
    }

    // A small help file of two pages that the cases damage.
    fs::path plainHelpFile() {
        return compile("plain",
                       {{"index.htm",
                         "<html><body><h1>Index</h1><p>First page text.</p>"
                         "<p><a href=\"page2.htm\">on</a></p></body></html>"},
                        {"page2.htm", "<html><body><p>Second page text.</p></body></html>"},
                        // Large enough that its length takes four bytes in the directory.
                        {"big.txt", std::string(kBigFile, 'a')}},
                       contentsFile({{0, "Index", "index.htm"}, {0, "Second", "page2.htm"}}));
    }

    struct Outcome {
        int exitCode;
        std::string err, documentText;
    };

    // Converts `input` over an old document and checks what every run must leave.
    Outcome convert(const fs::path& input, const std::vector<std::string>& options = {}) {
        const fs::path output = m_out.path() / "out.docx";
        writeBytes(output, std::string(kOldDocument));
        std::vector<std::string> argv = {(testing::binFolder() / "quillet").string(), "convert",
                                         input.string(), "-o", output.string()};
        argv.insert(argv.end(), options.begin(), options.end());
        ChildProcess run(argv);
        Outcome outcome{run.finish(), run.err(), {}};
        EXPECT_TRUE(outcome.exitCode == 0 || outcome.exitCode == 1) << outcome.err;
        EXPECT_EQ(outcome.err.find("Sanitizer"), std::string::npos) << outcome.err;
        EXPECT_EQ(outcome.err.find("runtime error"), std::string::npos) << outcome.err;
        for (const auto& entry : fs::directory_iterator(m_tmp.path()))
            ADD_FAILURE() << "left in the temporary folder: " << entry.path();
        for (const auto& entry : fs::directory_iterator(m_out.path()))
            EXPECT_EQ(entry.path(), output) << "left beside the output";
        if (outcome.exitCode == 0) {
            ChildProcess text({"/usr/bin/unzip", "-p", output.string(), "word/document.xml"});
            EXPECT_EQ(text.finish(), 0) << "not a document";
            outcome.documentText = text.out();
        } else {
            EXPECT_EQ(readBytes(output), kOldDocument);
            // One line tells what went wrong.
            EXPECT_TRUE(outcome.err.find("error: ") != std::string::npos ||
                        outcome.err.find("quillet convert: ") != std::string::npos)
                << outcome.err;
        }
        fs::remove(output);
        return outcome;
    }

    void SetUp() override {
        if (!fs::exists(QUILLET_CHMCMD)) GTEST_SKIP() << "chmcmd is not installed";
    }

    TempDir m_tmp, m_scratch, m_out;
    ScopedEnv m_tmpEnv;
};

// What a damaged help file gives: a document without the damaged part, or a clear error.
TEST_F(HostileInputs, DamagedHelpFilesGiveAClearErrorOrADocumentWithoutTheDamage) {
    const std::string whole = readBytes(plainHelpFile());
    const std::size_t directory = whole.find("PMGL");
    ASSERT_NE(directory, std::string::npos);
    // Same-length renames of the second page inside the directory.
    const auto renamed = [&](std::string_view to) {
        std::string bytes = whole;
        const std::size_t at = bytes.find("/page2.htm");
        EXPECT_NE(at, std::string::npos);
        bytes.replace(at, to.size(), to);
        return bytes;
    };
    // A file claims 200,000,000 bytes: its length's four bytes rewritten in place.
    const auto claiming = [&] {
        std::string bytes = whole;
        std::size_t at = bytes.find("/big.txt") + 8;
        readEncInt(bytes, at);  // the section
        readEncInt(bytes, at);  // the offset
        const std::size_t lengthAt = at;
        EXPECT_EQ(readEncInt(bytes, at), kBigFile);
        EXPECT_EQ(at - lengthAt, 4u);
        constexpr std::uint32_t kClaimed = 200'000'000;
        for (int i = 0; i < 4; ++i)
            bytes[lengthAt + static_cast<std::size_t>(i)] =
                static_cast<char>(((kClaimed >> (7 * (3 - i))) & 0x7F) | (i < 3 ? 0x80 : 0));
        return bytes;
    };
    // Every seventh byte after the directory flipped: the compressed pages no longer decode.
    const auto flipped = [&] {
        std::string bytes = whole;
        for (std::size_t i = directory + 0x2000; i + 16 < bytes.size(); i += 7) bytes[i] ^= 0x5A;
        return bytes;
    };
    struct Case {
        const char* what;
        std::string bytes;
        int exitCode;             // -1: either a document or an error
        std::string errorText;    // in the error, when it fails
        std::string mustNotHave;  // in the document, when there is one
    };
    const Case kCases[] = {
        {"cut in the header", whole.substr(0, 0x40), 1, "truncated", ""},
        {"cut in the directory", whole.substr(0, directory + 100), 1, "truncated", ""},
        {"cut in the content", whole.substr(0, whole.size() - 200), 1, "truncated", ""},
        {"compressed data damaged", flipped(), -1, "", ""},
        {"a huge declared length", claiming(), 1, "more than the limit", ""},
        {"a name that climbs out", renamed("/../e2.htm"), 0, "", "Second page text"},
        {"a name with control characters", renamed("/\x01\x1b[2J.htm"), 0, "", "Second page"},
        {"a name of invalid UTF-8", renamed("/\xff\xfe\xc3(2.htm"), 0, "", "Second page text"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        const fs::path input = m_scratch.path() / "damaged.chm";
        writeBytes(input, c.bytes);
        const Outcome o = convert(input);
        if (c.exitCode >= 0) {
            EXPECT_EQ(o.exitCode, c.exitCode) << o.err;
        }
        if (o.exitCode != 0) {
            EXPECT_NE(o.err.find(c.errorText), std::string::npos) << o.err;
        }
        if (o.exitCode == 0 && !c.mustNotHave.empty()) {
            EXPECT_EQ(o.documentText.find(c.mustNotHave), std::string::npos);
        }
    }
}

// The limits on what one help file may bring: a page over --max-page-size is left out with an
// error that names the option, more entries than --max-entries stop the run with one.
TEST_F(HostileInputs, LimitsNameTheirOption) {
    const fs::path helpFile =
        compile("limits",
                {{"a.htm", "<html><body><p>Small page text.</p></body></html>"},
                 {"b.htm", "<html><body><p>Large page text.</p><p>" + std::string(4000, 'x') +
                               "</p></body></html>"}},
                contentsFile({{0, "Small", "a.htm"}, {0, "Large", "b.htm"}}));
    {
        SCOPED_TRACE("a page too large");
        const Outcome o = convert(helpFile, {"--max-page-size", "2000"});
        EXPECT_EQ(o.exitCode, 0) << o.err;
        EXPECT_NE(o.err.find("(--max-page-size BYTES allows more)"), std::string::npos) << o.err;
        EXPECT_NE(o.documentText.find("Small page text."), std::string::npos);
        EXPECT_EQ(o.documentText.find("Large page text."), std::string::npos);
    }
    {
        SCOPED_TRACE("too many entries");
        const Outcome o = convert(helpFile, {"--max-entries", "1"});
        EXPECT_EQ(o.exitCode, 1);
        EXPECT_NE(o.err.find("2 contents entries, more than the limit of 1 (--max-entries"),
                  std::string::npos)
            << o.err;
    }
    EXPECT_EQ(convert(helpFile, {"--max-entries", "2"}).exitCode, 0);
}

// Help files whose structure would lead a recursive reader, or one that follows every link,
// astray: each still gives a document, with its text.
TEST_F(HostileInputs, DeepAndCircularHelpFilesGiveADocument) {
    constexpr int kContentsLevels = 20'000;
    constexpr int kNestedElements = 100'000;
    std::vector<ContentsEntry> deep;
    for (int level = 0; level < kContentsLevels; ++level)
        deep.push_back({level, "Level " + std::to_string(level), level == 0 ? "a.htm" : ""});
    const std::string plainPage = "<html><body><p>Page text.</p></body></html>";
    struct Case {
        const char* what;
        std::function<fs::path()> make;
        std::string mustHave;
    };
    const Case kCases[] = {
        {"contents 20,000 levels deep",
         [&] {
             return compile("deep-contents", {{"a.htm", plainPage}}, contentsFile(deep));
         },
         "Page text."},
        {"a page of 100,000 nested elements",
         [&] {
             return compile(
                 "nested-page",
                 {{"a.htm", "<html><body>" + repeat("<div><span>", kNestedElements / 2) +
                                "Nested text." + repeat("</span></div>", kNestedElements / 2) +
                                "</body></html>"},
                  {"b.htm", "<html><body>" + repeat("<table><tr><td>", kNestedElements / 3) +
                                "Unclosed cells.</body></html>"}},
                 contentsFile({{0, "A", "a.htm"}, {0, "B", "b.htm"}}));
         },
         "Nested text."},
        {"style sheets that import each other",
         [&] {
             return compile("css-loop",
                            {{"a.htm",
                              "<html><head><link rel=\"stylesheet\" href=\"one.css\">"
                              "</head><body><p>Styled text.</p></body></html>"},
                             {"one.css", "@import \"two.css\";\np { color: red }\n"},
                             {"two.css", "@import url(one.css);\n@import \"two.css\";\n"}},
                            contentsFile({{0, "A", "a.htm"}}));
         },
         "Styled text."},
        {"help files that link to each other",
         [&] {
             compile("back",
                     {{"b.htm",
                       "<html><body><p><a href=\"ms-its:forth.chm::/a.htm\">"
                       "forth</a></p></body></html>"}},
                     contentsFile({{0, "B", "b.htm"}}));
             return compile("forth",
                            {{"a.htm",
                              "<html><body><p>Linked page text.</p><p><a href=\"ms-its:"
                              "back.chm::/b.htm\">back</a> <a href=\"mk:@MSITStore:"
                              "forth.chm::/a.htm\">self</a></p></body></html>"}},
                            contentsFile({{0, "A", "a.htm"}}));
         },
         "Linked page text."},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        const Outcome o = convert(c.make());
        EXPECT_EQ(o.exitCode, 0) << o.err;
        EXPECT_NE(o.documentText.find(c.mustHave), std::string::npos) << o.documentText;
    }
}

// A BMP picture of `width` by `height` pixels, all black: large, yet tiny once compressed.
std::string blackBitmap(int width, int height) {
    const auto le32 = [](std::uint32_t v) {
        std::string b(4, '\0');
        for (int i = 0; i < 4; ++i)
            b[static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
        return b;
    };
    const std::uint32_t row = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint32_t pixels = row * static_cast<std::uint32_t>(height);
    std::string bmp = "BM" + le32(54 + pixels) + le32(0) + le32(54);
    bmp += le32(40) + le32(static_cast<std::uint32_t>(width)) +
           le32(static_cast<std::uint32_t>(height)) + std::string("\x01\0\x18\0", 4) + le32(0) +
           le32(pixels) + le32(2835) + le32(2835) + le32(0) + le32(0);
    return bmp + std::string(pixels, '\0');
}

// One small page that would cost minutes and gigabytes if its construct were followed naively:
// each gives a document holding the page's other text ("PAGE-OK", before the construct).
TEST_F(HostileInputs, HostilePagesGiveADocumentWithTheirOtherText) {
    const auto page = [](const std::string& head, const std::string& body) {
        return "<html><head>" + head +
               "</head><body><p>PAGE-OK: the text of this page before the construct, which the "
               "document must hold.</p>" +
               body + "</body></html>";
    };
    std::string attributes = "<p";
    for (int n = 0; n < 300'000; ++n) attributes += " a" + std::to_string(n) + "=1";
    attributes += ">Flooded text.</p>";
    struct Case {
        const char* what;
        std::map<std::string, std::string> files;
        std::string mustHave;
    };
    std::vector<Case> cases = {
        {"a table of 100 rows of cells spanning 1000 by 1000",
         {{"a.htm",
           page("", "<table>" + repeat("<tr><td colspan=1000 rowspan=1000>c</td></tr>", 100) +
                        "</table>")}},
         ">c</w:t>"},
        {"a style sheet nesting @media 20,000 deep",
         {{"a.htm", page("<style>" + repeat("@media screen {", 20'000) + "p { color: red }" +
                             repeat("}", 20'000) + "</style>",
                         "<p>Styled text.</p>")}},
         "Styled text."},
        {"one element with 300,000 attributes", {{"a.htm", page("", attributes)}}, "PAGE-OK"},
        {"a 20 MiB picture shown 100 times",
         {{"a.htm", page("", repeat("<p><img src=\"big.bmp\"></p>", 100))},
          {"big.bmp", blackBitmap(2560, 2730)}},
         "PAGE-OK"},
    };
    // Framesets six levels deep whose ten frames each name the next level's frameset.
    Case frames{"framesets that name each other tenfold", {}, "PAGE-OK"};
    for (int level = 0; level < 6; ++level)
        frames.files["f" + std::to_string(level) + ".htm"] =
            "<html><frameset>" +
            repeat("<frame src=\"f" + std::to_string(level + 1) + ".htm\">", 10) +
            "</frameset></html>";
    frames.files["f6.htm"] = page("", "");
    cases.push_back(std::move(frames));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "hostile-" + std::to_string(&c - cases.data());
        const std::string first = c.files.begin()->first;
        const Outcome o = convert(compile(name, c.files, contentsFile({{0, "Page", first}})));
        EXPECT_EQ(o.exitCode, 0) << o.err;
        EXPECT_NE(o.documentText.find("PAGE-OK"), std::string::npos)
            << o.documentText.substr(0, 3000);
        EXPECT_NE(o.documentText.find(c.mustHave), std::string::npos);
    }
}

}  // namespace
}  // namespace quillet
