#include "distill/chm_distill.h"

#include "platform/utf.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <fstream>
#include <sstream>

namespace quillet {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

class LinkTest : public ::testing::Test {
protected:
    LinkTest() : m_path("PATH", testing::binFolder().string() + ":" + std::getenv("PATH")) {
        std::filesystem::create_directories(dir.path() / "root" / "sub");
        job.rootFolder = fromPath(dir.path() / "root") + u"/";
        job.OriginalFile = fromPath(dir.path() / "Guide.chm");
        job.chmFile = u"/tmp/~wi1234.tmp";  // the working copy the job unpacks
    }
    std::u16string root() const { return job.rootFolder; }
    void write(const std::string& name, const std::string& text) {
        std::ofstream(dir.path() / "root" / name, std::ios::binary) << text;
    }
    std::string read(const std::string& name) {
        std::ifstream in(dir.path() / "root" / name, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    TTitleList& entry(std::u16string topic, std::u16string url, int level = 0) {
        TTitleList& e = job.List.add();
        e.Topic = std::move(topic);
        e.Url = std::move(url);
        e.Level = level;
        return e;
    }

    ScopedEnv m_path;
    TempDir dir;
    TCHMDistill job;
};

TEST_F(LinkTest, LinksAreMadeToWorkInsideTheWorkingFolder) {
    std::filesystem::copy_file(testing::fixturesFolder() / "nested.chm", dir.path() / "Other.chm");
    const std::u16string page = root() + u"sub/page.htm";
    struct Case {
        std::u16string link, result;
    };
    const Case cases[] = {
        {u"/sub/x.htm", u"x.htm"},
        {u"\\img\\a.gif", u"../img/a.gif"},
        {u"ms-its:guide.chm::/index.htm", u"../index.htm"},  // its own help file, by name
        {u"mk:@MSITStore:C:%5CHelp%5CGuide.chm::/a/b.htm", u"../a/b.htm"},
        {u"ms-its:Other.chm::/a.htm", u"../Other.chm/a.htm"},
        {u"ms-its:Missing.chm::/a.htm", u""},
        {u"C:\\Windows\\help.htm", u"help.htm"},
        {u"../../../escape.htm", u"escape.htm"},
        {u"../inside.htm", u"../inside.htm"},
        // Rooted addresses that climb out are cut to their file names as relative ones are;
        // escapes a reader would decode lead nowhere.
        {u"/../../escape.htm", u"escape.htm"},
        {u"\\..\\..\\escape.htm", u"escape.htm"},
        {u"ms-its:guide.chm::/../../escape.htm", u"escape.htm"},
        {u"%2e%2e/%2e%2e/%2e%2e/escape.htm#a", u""},
        {u"/%2E%2E/%2E%2E/escape.htm", u""},
        {u"sub%2f..%2f..%2f..%2fescape.htm", u""},
        {u"FILE:///etc/passwd", u""},
        {u"  http://example.com/a.htm ", u"http://example.com/a.htm"},
        {u"mailto:someone@example.com", u"mailto:someone@example.com"},
        {u"ab", u"ab"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.link));
        EXPECT_EQ(job.ProcessDecompiledUrl(c.link, page), c.result);
    }
    // The other help file was unpacked into its sub-folder, once.
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "root" / "Other.chm" / "a.htm"));
}

TEST_F(LinkTest, WithoutLinkedHelpAnotherHelpFileIsNeitherReadNorLinked) {
    std::filesystem::copy_file(testing::fixturesFolder() / "nested.chm", dir.path() / "Other.chm");
    job.LinkedHelp = false;
    const std::u16string page = root() + u"sub/page.htm";
    EXPECT_EQ(job.ProcessDecompiledUrl(u"ms-its:Other.chm::/a.htm", page), u"");
    EXPECT_EQ(job.ProcessDecompiledUrl(u"ms-its:guide.chm::/index.htm", page), u"../index.htm");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "root" / "Other.chm"));
}

TEST_F(LinkTest, ContentsLinksAndWebAddresses) {
    entry(u"Web", u"HTTP://example.com/");
    entry(u"Secure", u"https://example.com/");
    entry(u"Rooted", u"/sub/Page.htm#x");
    entry(u"Heading", u"").Status = 2;
    entry(u"Escaping", u"%2e%2e/%2e%2e/etc/passwd");
    entry(u"Folder", u"Sub/");
    entry(u"Folder without slash", u"sub#x");
    job.ProcessTocLink();
    EXPECT_EQ(job.List[0].Status, 3);
    EXPECT_EQ(job.List[0].Url, u"HTTP://example.com/");
    EXPECT_EQ(job.List[1].Status, 0);  // not recognised as a web address
    EXPECT_EQ(job.List[2].Url, u"sub/Page.htm#x");
    // Addresses that lead out, or to a folder, give headings without pages.
    for (std::size_t n = 4; n < job.List.size(); ++n) {
        SCOPED_TRACE(toUtf8(job.List[n].Topic));
        EXPECT_EQ(job.List[n].Status, 2);
        EXPECT_EQ(job.List[n].Url, u"");
    }
}

TEST_F(LinkTest, AFailedWriteOfAPageEndsTheStageNamingTheFileAndTheCause) {
    const std::string page = "<p>" + std::string(4096, 'x') + "</p>";
    write("index.htm", page);
    entry(u"Home", u"index.htm");
    // A file size limit stands in for a full disk: the rewrite of the page fails half-way.
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = old;
    limited.rlim_cur = 1024;
    ::setrlimit(RLIMIT_FSIZE, &limited);
    std::string message;
    try {
        job.FillFileList();
    } catch (const std::runtime_error& e) {
        message = e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_NE(message.find("cannot write " + (dir.path() / "root" / "index.htm").string() +
                           ": File too large"),
              std::string::npos)
        << message;
    // What was written, and nothing of the old text after it.
    EXPECT_EQ(read("index.htm"), page.substr(0, 1024));
}

TEST_F(LinkTest, PageLinksAreRewrittenAndLinkedPagesGathered) {
    write(
        "index.htm",
        "<link rel=stylesheet href=\"style.CSS\" media=\"Screen\"><link href=print.css media=print>"
        "<a href=\"/sub/one.htm\">1</a> <a href='sub/two.htm#frag'>2</a> <a href=three.htm>3</a>"
        "<img src=\"x.gif\" alt=\"a>b\"><a href =\n \"/sub/four.htm\">4</a>"
        "<a href=\"five.htm?q#part\">5</a>");
    write("sub/four.htm", "<p>four</p>");
    write("five.htm", "<p>five</p>");
    write("style.css", "p { display:none }");
    write("sub/one.htm", "<a href=\"../three.htm\">back</a><a href=\"two.htm\">on</a>");
    write("sub/two.htm", "<p>two</p>");
    write("three.htm", "<p>three</p>");
    entry(u"Home", u"index.htm");
    job.FillFileList();
    EXPECT_EQ(
        read("index.htm"),
        "<link rel=stylesheet href=\"style.CSS\" media=\"all\"><link href=print.css media=print>"
        "<a href=\"sub/one.htm\">1</a> <a href='sub/two.htm#frag'>2</a> <a href=three.htm>3</a>"
        "<img src=\"x.gif\" alt=\"a>b\"><a href =\n \"sub/four.htm\">4</a>"
        "<a href=\"five.htm?q#part\">5</a>");
    std::u16string gathered;
    for (const auto& line : job.NonTocicFiles) gathered += line.text.substr(root().size()) + u" ";
    // A link with a query or an anchor after the page's name leads to the page.
    EXPECT_EQ(gathered, u"five.htm sub/four.htm sub/one.htm sub/two.htm three.htm ");
    ASSERT_EQ(job.CSSFiles.size(), 1u);
    job.ChangeCSS();
    EXPECT_EQ(read("style.css"), "p { display:block }");
}

TEST_F(LinkTest, LinksBetweenTopicsBecomeBookmarkLinks) {
    TTitleList& home = entry(u"Home", u"index.htm");
    TTitleList& target = entry(u"Target", u"sub/target.htm");
    home.Bookmark = u"Bookmark7";
    target.Bookmark = u"Bookmark3";
    target.ChapterNumber = u"2.3";
    job.List.initializeUrls();
    auto topic = std::make_unique<TChmTopicFile>();
    topic->Filename = root() + u"sub/target.htm";
    topic->Anchors.add(u"sec");
    job.TopicList.add(std::move(topic));
    auto own = std::make_unique<TChmTopicFile>();
    own->Filename = root() + u"index.htm";
    own->Anchors.add(u"top");
    job.TopicList.add(std::move(own));
    job.AddHint = true;
    job.HintFormat = u"See [title no.]";

    struct Case {
        std::u16string in, out;
    };
    const Case cases[] = {
        {u"<a name=\"#top\">x</a>", u"<a name=\"Bookmark7_top\">x</a>"},
        {u"<A HREF=\"sub/target.htm#sec\">t</A>.", u"<A HREF=\"#Bookmark3_sec\">t</A>(See 2.3)."},
        {u"<a href='sub/Target.htm#nope'>t</a>", u"<a href='#Bookmark3'>t</a>(See 2.3)"},
        {u"<a href=#top>up</a>", u"<a href=#Bookmark7_top>up</a>"},  // same page: no hint
        // A file that is no entry's page: no link, the words stay.
        {u"<a href=\"other.htm\">o</a>", u"<a href=\"\">o</a>"},
        {u"<a href=script.ahk>s</a>", u"<a href=\"\">s</a>"},
        {u"<a href=\"http://x/y.htm\">w</a>", u"<a href=\"http://x/y.htm\">w</a>"},
        {u"<p title=\"a>b\">x</p>", u"<p title=\"a>b\">x</p>"},
        // Blanks and line breaks around the "=".
        {u"<a href = \"sub/target.htm#sec\">t</a>", u"<a href = \"#Bookmark3_sec\">t</a>(See 2.3)"},
        {u"<a\nhref=\n'#top'>up</a>", u"<a\nhref=\n'#Bookmark7_top'>up</a>"},
        {u"<a title x = y name =top>t</a>", u"<a title x = y name =Bookmark7_top>t</a>"},
        {u"<a  name \t\n =top  href\t\t= x.htm>t</a>",
         u"<a  name \t\n =Bookmark7_top  href\t\t= \"\">t</a>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.in));
        EXPECT_EQ(job.ChangeUrlBookmark(c.in, home), c.out);
    }
    job.AddHint = false;
    EXPECT_EQ(job.ChangeUrlBookmark(u"<a href=\"sub/target.htm\">t</a>", home),
              u"<a href=\"#Bookmark3\">t</a>");
}

TEST_F(LinkTest, AnchoredEntriesPointAtTheirSplitParts) {
    entry(u"Sec", u"page.htm#sec");
    entry(u"Whole", u"page.htm");
    entry(u"No topic file", u"gone.htm#x");
    auto topic = std::make_unique<TChmTopicFile>();
    topic->Filename = root() + u"Page.htm";
    topic->Bookmarks.add({u"first", u"", 0});
    topic->Bookmarks.add({u"other", u"", 0});
    topic->Bookmarks.add({u"SEC", u"", 0});
    job.TopicList.add(std::move(topic));
    job.ProcessTocLink2();
    EXPECT_EQ(job.List[0].Url, u"page_2.htm");
    EXPECT_EQ(job.List[1].Url, u"page.htm");
    EXPECT_EQ(job.List[2].Url, u"gone.htm");
}

TEST(StyleNormaliser, Replacements) {
    EXPECT_EQ(StyleNormaliser(u"<p ALIGN=JUSTIFY style=\"DISPLAY : NONE\" align='justify'>"),
              u"<p Align=left style=\"display:block\" Align='left'>");
    EXPECT_EQ(StyleNormaliser(u"p { text-align: justify; display: none }"),
              u"p { text-align: justify; display:block }");
    // Matches side by side, after a false start, and cut short at the end.
    EXPECT_EQ(StyleNormaliser(u"ddisplay:nonedisplay: noneaALIGN=justifyalign=\"justif"),
              u"ddisplay:blockdisplay:blockaAlign=leftalign=\"justif");
}

}  // namespace
}  // namespace quillet
