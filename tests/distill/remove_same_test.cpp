#include "distill/chm_distill.h"

#include "platform/utf.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

namespace quillet {
namespace {

using testing::TempDir;

// A project of pages in a working folder, each page given by its body blocks.
class Project {
public:
    explicit Project(const std::filesystem::path& folder) : m_folder(folder) {
        std::filesystem::create_directories(folder);
        job.rootFolder = fromPath(folder) + u"/";
    }

    // A contents page (listed in Files with an entry titled `title`), or a linked page outside.
    void page(const std::string& name, const std::vector<std::string>& blocks,
              const std::string& title = "", bool contents = true) {
        std::ofstream out(m_folder / name, std::ios::binary);
        out << "<html><head><title>" << name << "</title></head><body>\n";
        for (const auto& block : blocks) out << block << "\n";
        out << "</body></html>";
        const std::u16string path = job.rootFolder + fromUtf8(name);
        if (contents) {
            TTitleList& entry = job.List.add();
            entry.Topic = fromUtf8(title.empty() ? name : title);
            entry.Url = fromUtf8(name);
            job.Files.add(path, &entry);
        } else {
            job.NonTocicFiles.add(path);
        }
    }

    std::string read(const std::string& name) const {
        std::ifstream in(m_folder / name, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    TCHMDistill job;

private:
    std::filesystem::path m_folder;
};

const std::string kNav = "<div class=nav>Home | Index | Search this help</div>";
const std::string kFooter = "<p class=foot>Copyright 2020 Example Corporation</p>";
// Words that no two pages share, so their own blocks are never alike.
const char* const kWords[] = {
    "apple",   "brook",   "cedar",  "dune",   "ember",  "fjord",   "grove",   "heron",  "inlet",
    "juniper", "kestrel", "lagoon", "meadow", "nectar", "orchid",  "prairie", "quartz", "raven",
    "sorrel",  "tundra",  "umber",  "violet", "willow", "xylem",   "yarrow",  "zephyr", "amber",
    "bison",   "coral",   "delta",  "egret",  "falcon", "glacier", "hazel",   "ivory",  "jasper",
    "kelp",    "lichen",  "marble", "nutmeg", "onyx",   "pebble",  "quill",   "ripple"};
std::string words(int n) {
    std::string s;
    for (int w = 0; w < 4; ++w) s += std::string(kWords[(n * 4 + w) % std::size(kWords)]) + " ";
    return s;
}
std::string content(int n) {
    return "<p>Content: " + words(n) + "</p>";
}

TEST(RemoveSame, CommonHeaderAndFooterGoFromEveryPage) {
    TempDir dir;
    Project project(dir.path());
    for (int n = 0; n < 10; ++n)
        project.page("p" + std::to_string(n) + ".htm", {kNav, content(n), kFooter});
    project.page("linked.htm", {kNav, content(99), kFooter}, "", false);
    project.job.RemoveSame();
    for (const std::string name : {"p0.htm", "p7.htm", "linked.htm"}) {
        SCOPED_TRACE(name);
        const std::string page = project.read(name);
        EXPECT_EQ(page.find("Home | Index"), std::string::npos) << page;
        EXPECT_EQ(page.find("Copyright"), std::string::npos) << page;
        EXPECT_NE(page.find("Content:"), std::string::npos) << page;
    }
}

TEST(RemoveSame, OnlyBlocksEnoughContentsPagesShareAreCut) {
    // Ten contents pages: the threshold is 8, and a page's own block does not vote for itself.
    struct Case {
        const char* what;
        int sharing;        // contents pages that begin with the navigation block
        bool linkedShares;  // a linked page outside the contents begins with it too
        bool cut;
    };
    const Case cases[] = {
        {"nine of ten", 9, false, true},
        {"eight of ten", 8, false, false},
        {"eight of ten and a linked page", 8, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        Project project(dir.path());
        for (int n = 0; n < 10; ++n)
            project.page(
                "p" + std::to_string(n) + ".htm",
                {n < c.sharing ? kNav
                               : "<div>Page " + std::to_string(n) + " alone at the top</div>",
                 content(n)});
        project.page("linked.htm", {c.linkedShares ? kNav : "<div>Elsewhere</div>", content(99)},
                     "", false);
        project.job.RemoveSame();
        EXPECT_EQ(project.read("p0.htm").find("Home | Index") == std::string::npos, c.cut);
    }
}

TEST(RemoveSame, ABlockMerelySimilarOnEveryPageIsCutOnlyWhenItHoldsALink) {
    // Label lines that differ only in their values are the pages' data; a bar of links with the
    // page's own name in it is navigation.
    const char* const symbols[] = {"H", "He", "Li", "Be", "B", "C", "N", "O", "F", "Ne"};
    struct Case {
        const char* what;
        std::string before, after;  // around the symbol
        bool cut;
    };
    const Case cases[] = {
        {"data", "<p>Symbol: ", "</p>", false},
        {"navigation", "<p><a href=\"up.htm\">Up</a> | Symbol: ", "</p>", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        Project project(dir.path());
        for (int n = 0; n < 10; ++n)
            project.page("p" + std::to_string(n) + ".htm",
                         {c.before + symbols[n] + c.after, content(n)});
        project.job.RemoveSame();
        for (int n = 0; n < 10; ++n) {
            const std::string page = project.read("p" + std::to_string(n) + ".htm");
            EXPECT_EQ(
                page.find(std::string("Symbol: ") + symbols[n] + c.after) == std::string::npos,
                c.cut)
                << page;
            EXPECT_NE(page.find("Content:"), std::string::npos) << page;
        }
    }
}

TEST(RemoveSame, TitlesBelowTheCommonHeaderAreRecordedWhenMostPagesShowThem) {
    for (const int titled : {9, 8}) {
        SCOPED_TRACE(titled);
        TempDir dir;
        Project project(dir.path());
        for (int n = 0; n < 10; ++n) {
            const std::string title = "About " + words(n + 20);
            project.page("p" + std::to_string(n) + ".htm",
                         {kNav, n < titled ? "<h1>" + title + "</h1>" : "<h1>Something else</h1>",
                          content(n)},
                         title);
        }
        project.job.RemoveSame();
        const TChmTopicFile& first = project.job.TopicList[0];
        const TChmTopicFile& last = project.job.TopicList[9];
        if (titled == 9) {
            const std::string expected = "About " + words(20);
            EXPECT_EQ(first.Title3, fromUtf8(expected.substr(0, expected.size() - 1)));
            EXPECT_TRUE(first.TitleFound);
            EXPECT_EQ(last.Title3, u"Something else");
            EXPECT_FALSE(last.TitleFound);
            // Not its title, so its own text: kept.
            EXPECT_NE(project.read("p9.htm").find("Something else"), std::string::npos);
            EXPECT_EQ(project.read("p0.htm").find("<h1>"), std::string::npos);
        } else {
            EXPECT_EQ(first.Title3, u"");
            EXPECT_NE(project.read("p9.htm").find("Something else"), std::string::npos);
        }
    }
}

TEST(RemoveSame, ARunningHeadAboveThePageTitleIsCut) {
    // A one-line band above each page's title, different by chapter, no links: on most pages it
    // is a running head; on a few it is the page's own text.
    struct Case {
        const char* what;
        int banded;
        bool cut;
    };
    for (const Case& c : {Case{"on most pages", 10, true}, Case{"on a few", 3, false}}) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        Project project(dir.path());
        for (int n = 0; n < 10; ++n) {
            const std::string title = "About " + words(n + 20);
            const std::string band =
                n < 5 ? "<p>Filmoteka - help: tasks</p>" : "<p>Filmoteka - help: reference</p>";
            std::vector<std::string> blocks{"<h1>" + title + "</h1>", content(n)};
            if (n < c.banded) blocks.insert(blocks.begin(), band);
            project.page("p" + std::to_string(n) + ".htm", blocks, title);
        }
        project.job.RemoveSame();
        for (int n = 0; n < 10; ++n) {
            const std::string page = project.read("p" + std::to_string(n) + ".htm");
            EXPECT_EQ(page.find("Filmoteka - help") == std::string::npos, c.cut || n >= c.banded)
                << page;
            EXPECT_NE(page.find("Content:"), std::string::npos) << page;
        }
        if (c.cut) {
            EXPECT_TRUE(project.job.TopicList[0].TitleFound);
            EXPECT_EQ(project.read("p0.htm").find("<h1>"), std::string::npos);
        }
    }
}

TEST(RemoveSame, ASentenceThatHoldsThePageTitleIsNoTitle) {
    // "About x" opens each page's text: similar to the title, but a sentence, not the title.
    TempDir dir;
    Project project(dir.path());
    for (int n = 0; n < 10; ++n) {
        const std::string title = "Page " + std::string(kWords[n]);
        project.page("p" + std::to_string(n) + ".htm",
                     {kNav, "<p>The " + title + " explains its part.</p>", content(n)}, title);
    }
    project.job.RemoveSame();
    EXPECT_FALSE(project.job.TopicList[0].TitleFound);
    EXPECT_NE(project.read("p0.htm").find("The Page apple explains its part."), std::string::npos);
}

TEST(RemoveSame, APageSeveralEntriesPointAtIsSplitAtTheirAnchors) {
    // The anchors as A names, and as ids of any element (spaced around the "=" as well).
    const std::pair<const char*, const char*> markups[] = {
        {"<h2><a name=\"install\"></a>Installing</h2>", "<h2><a name=\"remove\"></a>Removing</h2>"},
        {"<h2 id=\"install\">Installing</h2>", "<h2 class=x id =\n 'remove'>Removing</h2>"},
    };
    for (const auto& [install, remove] : markups) {
        SCOPED_TRACE(install);
        TempDir dir;
        Project project(dir.path());
        project.page("guide.htm",
                     {"<p>Introduction to the guide, long enough to be text.</p>", install,
                      "<p>Run the setup program and follow it.</p>", remove,
                      "<p>Use the control panel to remove it.</p>"},
                     "Manual for the product");
        for (const auto& [title, url] : {std::pair{u"Installing", u"guide.htm#install"},
                                         std::pair{u"Removing", u"guide.htm#Remove"}}) {
            TTitleList& entry = project.job.List.add();
            entry.Topic = title;
            entry.Url = url;
        }
        project.page("single.htm", {"<p>Only one entry points here.</p>"}, "Single");
        project.job.List[project.job.List.size() - 1].Url = u"single.htm#x";
        project.job.RemoveSame();

        EXPECT_EQ(project.job.List[3].Url, u"single.htm");  // one entry: the anchor goes
        const std::string whole = project.read("guide.htm");
        EXPECT_NE(whole.find("Introduction"), std::string::npos);
        EXPECT_NE(whole.find("control panel"), std::string::npos);
        const std::string installPart = project.read("guide_0.htm");
        EXPECT_NE(installPart.find("setup program"), std::string::npos) << installPart;
        EXPECT_EQ(installPart.find("Introduction"), std::string::npos) << installPart;
        EXPECT_EQ(installPart.find("control panel"), std::string::npos) << installPart;
        const std::string removePart = project.read("guide_1.htm");
        EXPECT_NE(removePart.find("control panel"), std::string::npos) << removePart;
        EXPECT_EQ(removePart.find("Removing</h2>"), std::string::npos)
            << "the part's heading goes: " << removePart;
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "guide_2.htm"));
    }
}

// Pages made of blocks from small pools, so that many blocks are equal, many similar and
// many different, with shared headers and footers of several kinds and lengths.
void generate(Project& project, unsigned seed) {
    std::mt19937 random(seed);
    const std::vector<std::string> headers = {kNav, "<div>Home | Index | Search this help!</div>",
                                              "<div>Contents - Index - Search</div>",
                                              "<p>Back</p>"};
    const std::vector<std::string> footers = {kFooter, "<p>Copyright 2021 Example Corporation</p>",
                                              "<p>Send feedback on this topic</p>",
                                              "<p>See also</p>"};
    const std::vector<std::string> words = {"alpha",  "beta",   "gamma", "delta",
                                            "window", "handle", "value"};
    const auto sentence = [&](int length) {
        std::string s;
        for (int w = 0; w < length; ++w) s += words[random() % words.size()] + " ";
        return s;
    };
    for (int n = 0; n < 60; ++n) {
        std::vector<std::string> blocks;
        for (int h = 0; h < static_cast<int>(random() % 3); ++h)
            blocks.push_back(headers[random() % headers.size()]);
        const std::string title = "Topic " + sentence(2);
        if (random() % 4 != 0) blocks.push_back("<h1>" + title + "</h1>");
        for (int b = 0; b < 1 + static_cast<int>(random() % 3); ++b)
            blocks.push_back("<p>" + sentence(3 + static_cast<int>(random() % 10)) + "</p>");
        for (int f = 0; f < static_cast<int>(random() % 3); ++f)
            blocks.push_back(footers[random() % footers.size()]);
        project.page("page" + std::to_string(n) + ".htm", blocks, title, n < 45);
    }
}

TEST(RemoveSame, TheFastVoteDecidesAsComparingEveryPairDoes) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        TempDir fastDir, plainDir;
        Project fast(fastDir.path()), plain(plainDir.path());
        generate(fast, seed);
        generate(plain, seed);
        plain.job.voting = TCHMDistill::Voting::Plain;
        fast.job.RemoveSame();
        plain.job.RemoveSame();
        int cut = 0;
        for (std::size_t n = 0; n < fast.job.TopicList.size(); ++n)
            cut += fast.job.TopicList[n].SamePointL > 0 ||
                   fast.job.TopicList[n].SamePointH < fast.job.TopicList[n].h;
        EXPECT_GT(cut, 10)
            << "the generated pages must share blocks for this test to mean anything";
        for (std::size_t n = 0; n < fast.job.TopicList.size(); ++n) {
            const TChmTopicFile& a = fast.job.TopicList[n];
            const TChmTopicFile& b = plain.job.TopicList[n];
            ASSERT_EQ(a.SamePointL, b.SamePointL) << n;
            ASSERT_EQ(a.SamePointH, b.SamePointH) << n;
            ASSERT_EQ(a.Title3, b.Title3) << n;
            ASSERT_EQ(a.TitleFound, b.TitleFound) << n;
            const std::string name = "page" + std::to_string(n) + ".htm";
            ASSERT_EQ(fast.read(name), plain.read(name)) << name;
        }
    }
}

}  // namespace
}  // namespace quillet
