#include "text/text_files.h"

#include "platform/utf.h"
#include "support/temp_dir.h"
#include "text/text_context.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace quillet {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

struct ScriptedUi : UserInterface {
    std::vector<std::u16string> errors;
    std::vector<std::u16string> dialogs;
    std::vector<std::u16string> answers;  // names the save dialog returns, then cancel
    void showMessage(MessageKind, const std::u16string& text) override { errors.push_back(text); }
    AbortRetry askAbortRetry(const std::u16string&) override { return AbortRetry::Abort; }
    std::optional<std::u16string> askSaveFileName(const std::u16string& name) override {
        dialogs.push_back(name);
        if (answers.empty()) return std::nullopt;
        std::u16string next = answers.front();
        answers.erase(answers.begin());
        return next;
    }
};

class TextFilesTest : public ::testing::Test {
protected:
    TextFilesTest() : m_context({1252, &ui, u""}) {}

    std::u16string write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir.path() / name, std::ios::binary) << bytes;
        return fromPath(dir.path() / name);
    }
    std::string read(const std::u16string& file) {
        std::ifstream in(toPath(file), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::vector<std::string> entries() {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
    ScriptedUi ui;
    ScopedTextContext m_context;
};

TEST_F(TextFilesTest, MarksDecideTheEncoding) {
    struct Case {
        const char* name;
        std::string bytes;
        std::u16string text;
    };
    const Case cases[] = {
        {"utf8 mark",
         "\xEF\xBB\xBF"
         "caf\xC3\xA9",
         u"café"},
        {"EF BB and any third byte", "\xEF\xBBXcaf\xC3\xA9", u"café"},
        {"utf16le mark, odd length",
         std::string("\xFF\xFE"
                     "A\0B\0C",
                     7),
         u"AB"},
        {"big-endian mark is code-page text", std::string("\xFE\xFF\0A", 4),
         std::u16string(u"\u00fe\u00ff\0A", 4)},
        {"no mark, no charset: ANSI", "caf\xE9", u"café"},
        {"only EF BB", "\xEF\xBB", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LoadTextFile(write("page.htm", c.bytes), u""), c.text);
    }
    EXPECT_EQ(LoadTextFile(fromPath(dir.path() / "missing.htm"), u""), u"");
}

TEST_F(TextFilesTest, APagesOwnCharsetDecidesWhenNoCodePageIsGiven) {
    const std::string gbPage =
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=GB2312\">\xd6\xd0\xce\xc4";
    EXPECT_EQ(LoadTextFile(write("gb.htm", gbPage), u""),
              u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=GB2312\">中文");
    // The caller's code page wins over the declaration (contents files are read this way).
    EXPECT_EQ(LoadTextFile(write("gb.htm", gbPage), u"1251").substr(68), u"ЦРОД");
    // HTML5's quoted form names the character set too.
    EXPECT_EQ(LoadTextFile(write("h5.htm", "<meta charset=\"utf-8\">\xE4\xB8\xAD"), u""),
              u"<meta charset=\"utf-8\">中");
    // A declaration in body text before any meta tag counts; a name ending in ";" is unknown.
    EXPECT_EQ(LoadTextFile(write("b.htm", "see charset=koi8-r>\xF0"), u""),
              u"see charset=koi8-r>П");
    EXPECT_EQ(LoadTextFile(write("s.htm", "content='charset=utf-8;' \xE9"), u""),
              u"content='charset=utf-8;' é");
    // A page's own file name is found whatever its letter case.
    write("Mixed.HTM", "\xEF\xBB\xBFok");
    EXPECT_EQ(LoadTextFile(fromPath(dir.path() / "mixed.htm"), u""), u"ok");
}

TEST_F(TextFilesTest, CharsetDeclarations) {
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"content=\"text/html; charset=GB2312\"", u"gb2312"},
        {u"CHARSET=Utf-8>", u"utf-8"},
        {u"<meta charset=\"utf-8\">", u"utf-8"},
        {u"<meta charset='Shift_JIS'>", u"shift_jis"},
        {u"charset=utf-8; foo\"", u"utf-8; foo"},  // blanks and ";" do not end the name
        {u"charset=x/y\tz", u"x/y"},
        {u"charset=", u""},
        {u"no declaration", u""},
        {u"a charset=one b charset=two", u"one b charset=two"},
    };
    for (const auto& [text, name] : cases) {
        SCOPED_TRACE(toUtf8(text));
        EXPECT_EQ(GetHtmlCharset(text), name);
    }
    EXPECT_EQ(GetTextEncoding(u"charset=UTF-8\""), 1);
    EXPECT_EQ(GetTextEncoding(u"charset=unicode\""), 2);
    EXPECT_EQ(GetTextEncoding(u"charset=gb2312\""), 936);
    EXPECT_EQ(GetTextEncoding(u"charset=nonsense\""), 0);
    EXPECT_EQ(GetTextEncoding(u"plain"), 0);
}

TEST_F(TextFilesTest, ReadingErrorsAreShownAndGiveEmptyText) {
    const std::u16string page = write("p.htm", "abc");
    EXPECT_THROW(LoadTextFile(page, u"12x"), std::runtime_error);
    EXPECT_EQ(ReadTextFile(page, u"12x"), u"");
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_NE(ui.errors[0].find(u"12x"), std::u16string::npos);
    EXPECT_EQ(ReadTextFile(page, u""), u"abc");
}

TEST_F(TextFilesTest, ALockedPageIsReadThroughATemporaryCopyThatIsRemoved) {
    TempDir tmp;
    ScopedEnv env("TMPDIR", tmp.path().string());
    const std::u16string page = write("locked.htm", "\xEF\xBB\xBFlocked");
    const int fd = ::open(toPath(page).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_EQ(ReadTextFile(page, u""), u"locked");
    ::close(fd);
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(TextFilesTest, SavingWritesTheDeclaredEncoding) {
    struct Case {
        std::u16string text;
        std::string bytes;
    };
    const Case cases[] = {
        {u"<meta charset=utf-8>é", "\xEF\xBB\xBF<meta charset=utf-8>\xC3\xA9"},
        {u"charset=unicode>A", std::string("\xFF\xFE"
                                           "c\0h\0a\0r\0s\0e\0t\0=\0u\0n\0i\0c\0o\0d\0e\0>\0A\0",
                                           36)},
        {u"charset=gb2312>中", "charset=gb2312>\xD6\xD0"},
        {u"plain é", "plain \xE9"},  // ANSI, no mark
        {u"charset=hz-gb-2312>中",
         "\xEF\xBB\xBF"
         "charset=hz-gb-2312>\xE4\xB8\xAD"},  // no converter
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.text));
        const std::u16string file = fromPath(dir.path() / "out.htm");
        EXPECT_TRUE(SaveTextFile(c.text, file));
        EXPECT_EQ(read(file), c.bytes);
        EXPECT_EQ(ReadTextFile(file, u""), c.text);
    }
    EXPECT_EQ(entries(), std::vector<std::string>{"out.htm"});  // no temporary file left
    // An empty text leaves the file as it was.
    EXPECT_TRUE(SaveTextFile(u"", fromPath(dir.path() / "out.htm")));
    EXPECT_EQ(read(fromPath(dir.path() / "out.htm")), cases[4].bytes);
}

TEST_F(TextFilesTest, AFailedSaveAsksForAnotherNameUntilTheUserGivesUp) {
    const std::u16string bad = fromPath(dir.path() / "no-such-folder" / "page.htm");
    const std::u16string good = fromPath(dir.path() / "page.htm");
    ui.answers = {bad, good};
    EXPECT_TRUE(SaveTextFile(u"text", bad));
    EXPECT_EQ(ui.errors.size(), 2u);
    EXPECT_EQ(ui.dialogs, (std::vector<std::u16string>{bad, bad}));
    EXPECT_EQ(read(good), "text");

    ui.errors.clear();
    EXPECT_FALSE(SaveTextFile(u"text", bad));  // the dialog is cancelled
    EXPECT_EQ(ui.errors.size(), 1u);
    EXPECT_NE(ui.errors[0].find(u"no-such-folder"), std::u16string::npos);
}

}  // namespace
}  // namespace quillet
