// Where the stage's pages come from when the help file does not simply list HTML pages: contents
// made from the default topic's links, framesets, and web archives.
#include "distill/chm_distill.h"
#include "distill/web_archive.h"

#include "platform/user_interface.h"
#include "platform/utf.h"
#include "support/temp_dir.h"
#include "text/text_context.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace quillet {
namespace {

class PageSources : public ::testing::Test {
protected:
    PageSources() : m_context({1252, &ui, u""}) {
        job.rootFolder = fromPath(dir.path()) + u"/";
        job.Addenda = u"Addenda";
    }

    void write(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories((dir.path() / name).parent_path());
        std::ofstream(dir.path() / name, std::ios::binary) << bytes;
    }
    void page(const std::string& name, const std::string& title, const std::string& body) {
        write(name,
              "<html><head><title>" + title + "</title></head><body>" + body + "</body></html>");
    }
    std::string read(const std::string& name) const {
        std::ifstream in(dir.path() / name, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // The one entry that unpacking makes for a help file without contents.
    void defaultTopic(const std::u16string& url) {
        TTitleList& entry = job.List.add();
        entry.Topic = u"Help file title";
        entry.Url = url;
    }
    // Every entry as "level topic url", one a line.
    std::string contents() const {
        std::string out;
        for (std::size_t n = 0; n < job.List.size(); ++n)
            out += std::to_string(job.List[n].Level) + " " + toUtf8(job.List[n].Topic) + " " +
                   toUtf8(job.List[n].Url) + "\n";
        return out;
    }

    struct Messages : UserInterface {
        std::vector<std::u16string> shown;
        void showMessage(MessageKind, const std::u16string& text) override {
            shown.push_back(text);
        }
        AbortRetry askAbortRetry(const std::u16string&) override { return AbortRetry::Abort; }
        std::optional<std::u16string> askSaveFileName(const std::u16string&) override {
            return std::nullopt;
        }
    };

    testing::TempDir dir;
    Messages ui;
    ScopedTextContext m_context;
    TCHMDistill job;
};

const std::string kText =
    "Enough words about the subject for the page to count as text of its own, and more.";

TEST_F(PageSources, WithoutContentsTheDefaultTopicsLinksMakeThem) {
    page("index.htm", "Home | Product v1",
         "<p>" + kText +
             "</p><a href=\"b.htm\">b</a> <a href =\n\"sub/a.htm#part\">a</a> "
             "<a href=\"B.htm\">b again</a> <a href=c.htm>c</a><link rel=stylesheet href=s.css>"
             "<img src=\"pic.htm\">");
    page("b.htm", "Basics | Product v1",
         "<p>" + kText + " B</p><a href=\"c.htm?x=1\">c</a><a href=\"index.htm\">home</a>");
    page("c.htm", "Chapter &amp; verse | Product v1", "<p>" + kText + " C</p>");
    page("sub/a.htm", "Anchored | Product v1",
         "<p>" + kText + " A</p><a name=part></a><a href=\"../d.htm\">d</a>");
    page("d.htm", "Deep | Product v1",
         "<p>" + kText +
             " D</p><a href=\"x.htm\"> First\n <b>look</b></a>"
             "<map><area href=\"y.htm\" alt=\"y\"></map><a href=\"y.htm\">Second look</a>");
    page("x.htm", "Untitled | Product v1", "<p>" + kText + " X</p>");
    page("y.htm", "Untitled | Product v1", "<p>" + kText + " Y</p>");
    page("pic.htm", "Linked as a picture | Product v1", "<p>" + kText + " P</p>");
    page("lonely.htm", "Lonely | Product v1", "<p>" + kText + " L</p>");
    defaultTopic(u"index.htm");
    job.Execute();
    // Depth first in reading order, each page once, at its link depth: c.htm is linked from the
    // default topic, so b.htm's link to it does not put it deeper. A title that pages share
    // gives way to the text of the first link to the page that has one. Pages no link reaches
    // go under Addenda.
    EXPECT_EQ(contents(),
              "0 Home index.htm\n"
              "1 Basics b.htm\n"
              "1 Anchored sub/a.htm\n"
              "2 Deep d.htm\n"
              "3 First look x.htm\n"
              "3 Second look y.htm\n"
              "1 Chapter & verse c.htm\n"
              "0 Addenda \n"
              "1 Lonely lonely.htm\n"
              "1 Linked as a picture pic.htm\n");
}

TEST_F(PageSources, ContentsFromLinksNestAtMostNineLevels) {
    for (int n = 0; n < 12; ++n)
        page("p" + std::to_string(n) + ".htm", "Page " + std::to_string(n),
             "<p>" + kText + "</p><a href=\"p" + std::to_string(n + 1) + ".htm\">next</a>");
    defaultTopic(u"p0.htm");
    job.ContentsFromLinks();
    ASSERT_EQ(job.List.size(), 12u);
    for (std::size_t n = 0; n < 12; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(job.List[n].Level, std::min<int>(static_cast<int>(n), 8));
    }
    // A help file with contents keeps them.
    job.hhcFile = u"contents.hhc";
    EXPECT_FALSE(job.contentsMissing());
}

TEST(SharedTitleSuffix, IsCutWhenItIsWordsOfItsOwn) {
    using Titles = std::vector<std::u16string>;
    struct Case {
        Titles titles, expected;
        std::u16string ending;
    };
    const Case cases[] = {
        {{u"Home | Product v1", u"Basics | Product v1"}, {u"Home", u"Basics"}, u" | Product v1"},
        {{u"One (Product)", u"Two (Product)"}, {u"One", u"Two"}, u" (Product)"},
        {{u"Foo \u2014 Bar", u"Baz \u2014 Bar"}, {u"Foo", u"Baz"}, u" \u2014 Bar"},
        {{u"Alpha", u"Beta"}, {u"Alpha", u"Beta"}, u""},  // a shared letter is no ending
        {{u"Intro - Guide", u"Guide"}, {u"Intro - Guide", u"Guide"}, u""},
        // Nothing would be left of the second: it is kept whole.
        {{u"Setup | Product", u" | Product"}, {u"Setup", u" | Product"}, u" | Product"},
        {{u"Only | Product"}, {u"Only | Product"}, u""},
        // Four of five share an ending set off by a mark: it goes from those four.
        {{u"Run | AutoHotkey v1", u"Send | AutoHotkey v1", u"Sleep | AutoHotkey v1",
          u"Loop | AutoHotkey v1", u"Changes"},
         {u"Run", u"Send", u"Sleep", u"Loop", u"Changes"},
         u" | AutoHotkey v1"},
        // Three of five is no majority; a shared last word without a mark is no ending.
        {{u"A | X", u"B | X", u"C | X", u"D", u"E"},
         {u"A | X", u"B | X", u"C | X", u"D", u"E"},
         u""},
        {{u"Run Function", u"Send Function", u"Sleep Function", u"Loop Function", u"Changes"},
         {u"Run Function", u"Send Function", u"Sleep Function", u"Loop Function", u"Changes"},
         u""},
    };
    for (Case c : cases) {
        SCOPED_TRACE(toUtf8(c.titles.front()));
        EXPECT_EQ(trimSharedTitleSuffix(c.titles), c.ending);
        EXPECT_EQ(c.titles, c.expected);
    }
}

TEST_F(PageSources, AFramesetShowsItsFramesUnderItsEntry) {
    write("index.htm",
          "<html><head><title>Frames</title></head><frameset cols=\"20%,*\">"
          "<frame src=\"nav/left.htm\"><FRAME name=main SRC = \"main.htm\"></frameset>"
          "<noframes>No frames</noframes></html>");
    page("nav/left.htm", "Left",
         "<p>Left frame: " + kText + "</p><p><a href=\"other.htm\">other</a></p>");
    page("nav/other.htm", "Other", "<p>" + kText + "</p>");
    page("main.htm", "Main", "<p>Main frame: " + kText + "</p>");
    TTitleList& entry = job.List.add();
    entry.Topic = u"Frames";
    entry.Url = u"index.htm";
    job.hhcFile = u"contents.hhc";
    job.Execute();
    const std::string shown = read("index.htm");
    const std::size_t left = shown.find("Left frame:"), main = shown.find("Main frame:");
    EXPECT_NE(left, std::string::npos) << shown;
    EXPECT_NE(main, std::string::npos) << shown;
    EXPECT_LT(left, main);
    EXPECT_EQ(shown.find("frameset"), std::string::npos) << shown;
    // The frame's link, made relative to the frameset page, still leads to its page.
    EXPECT_NE(shown.find("<a href=\"#Bookmark2\">other</a>"), std::string::npos) << shown;
    // The frames are in the page; only the page they link to is gathered elsewhere.
    EXPECT_EQ(contents(),
              "0 Frames index.htm\n"
              "0 Addenda \n"
              "1 Other nav/other.htm\n");
}

TEST_F(PageSources, FramesetsThatNameEachOtherTenfoldAreShownOnce) {
    // Each level's ten frames all name the next level's frameset: shown as often as named, six
    // levels would be a million copies of the last page.
    constexpr int kLevels = 6;
    for (int level = 0; level < kLevels; ++level) {
        std::string frames;
        for (int n = 0; n < 10; ++n)
            frames += "<frame src=\"f" + std::to_string(level + 1) + ".htm\">";
        write("f" + std::to_string(level) + ".htm",
              "<html><head><title>Level</title></head><frameset>" + frames + "</frameset></html>");
    }
    page("f" + std::to_string(kLevels) + ".htm", "Last", "<p>PAGE-OK " + kText + "</p>");
    TTitleList& entry = job.List.add();
    entry.Topic = u"Frames";
    entry.Url = u"f0.htm";
    job.hhcFile = u"contents.hhc";
    job.Execute();
    const std::string shown = read("f0.htm");
    const std::size_t first = shown.find("PAGE-OK");
    ASSERT_NE(first, std::string::npos) << shown.substr(0, 2000);
    EXPECT_EQ(shown.find("PAGE-OK", first + 1), std::string::npos) << "shown more than once";
}

// A web archive as Internet Explorer and Word save them: the page in quoted-printable, its
// pictures in base64, named by location (relative to the page's) or by Content-ID.
const std::string kArchive =
    "From: <Saved by a browser>\r\n"
    "Subject: Archived\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/related; boundary=\"----=_NextPart\"; type=\"text/html\"\r\n"
    "\r\n"
    "------=_NextPart\r\n"
    "Content-Type: text/html; charset=\"windows-1252\"\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n"
    "Content-Location: http://example.com/help/page.htm\r\n"
    "\r\n"
    "<html><head><title>Archived</title></head><body><p>Caf=E9 au lait, a long para=\r\n"
    "graph.</p><img src=3D\"pics/logo.png\"><img src=3D\"cid:chart@x\"><img src=3D\"bad.gif\">=\r\n"
    "</body></html>\r\n"
    "------=_NextPart\r\n"
    "Content-Type: image/png\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "Content-Location: http://example.com/help/pics/logo.png\r\n"
    "\r\n"
    "iVBORw0KGgo=\r\n"
    "------=_NextPart\r\n"
    "Content-Type: image/gif\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "Content-ID: <chart@x>\r\n"
    "\r\n"
    "R0lGODlh\r\n"
    "------=_NextPart\r\n"
    "Content-Type: image/gif\r\n"
    "Content-Transfer-Encoding: x-scrambled\r\n"
    "Content-Location: http://example.com/help/bad.gif\r\n"
    "\r\n"
    "????\r\n"
    "------=_NextPart--\r\n";

TEST_F(PageSources, AWebArchiveBecomesItsPageAndPictures) {
    write("topics/page.mht", kArchive);
    write("plain.mht", "<html><body><p>Not an archive</p></body></html>");
    job.UnpackWebArchives();
    const std::string page = read("topics/page.mht");
    EXPECT_NE(page.find("Caf\xC3\xA9 au lait, a long paragraph."), std::string::npos) << page;
    EXPECT_NE(page.find("src=\"page.mht_files/part1.png\""), std::string::npos) << page;
    EXPECT_NE(page.find("src=\"page.mht_files/part2.gif\""), std::string::npos) << page;
    EXPECT_NE(page.find("src=\"bad.gif\""), std::string::npos) << page;
    EXPECT_EQ(read("topics/page.mht_files/part1.png"), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(read("topics/page.mht_files/part2.gif"), "GIF89a");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "topics/page.mht_files/part3.gif"));
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].find(u"bad.gif"), std::u16string::npos) << toUtf8(ui.shown[0]);
    EXPECT_EQ(read("plain.mht"), "<html><body><p>Not an archive</p></body></html>");
}

TEST_F(PageSources, AWebArchiveTopicIsReadAsAnyPage) {
    write("page.mht", kArchive);
    TTitleList& entry = job.List.add();
    entry.Topic = u"Archived";
    entry.Url = u"page.mht";
    job.hhcFile = u"contents.hhc";
    job.Execute();
    const std::string page = read("page.mht");
    EXPECT_EQ(page.find("Content-Transfer-Encoding"), std::string::npos) << page;
    EXPECT_NE(page.find("Caf\xC3\xA9"), std::string::npos) << page;
}

}  // namespace
}  // namespace quillet
