#include "distill/bookmarks.h"
#include "distill/topic_file.h"

#include "platform/utf.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

namespace quillet {
namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Bookmarks, LookUpAndSortByPosition) {
    TBookmarks marks;
    marks.add({u"c", u"C", 40});
    marks.add({u"a", u"A", 10});
    marks.add({u"lost", u"L", 0});
    marks.add({u"b", u"B", 25});
    EXPECT_EQ(marks.GetItemIdByName(u"#A"), 1);
    EXPECT_EQ(marks.GetItemByName(u""), nullptr);
    EXPECT_EQ(marks.GetItemIdByName(u"zz"), -1);
    marks.Sort();
    std::u16string order;
    for (int n = 0; n < marks.Count(); ++n) order += marks.Items(n).Name + u" ";
    EXPECT_EQ(order, u"lost a b c ");
}

// Sort gives the order of pairwise exchanges whatever shortcut it takes: ordered lists, lists
// without equal positions, and lists with ties (whose order the exchanges decide).
TEST(Bookmarks, SortGivesTheOrderOfTheExchangesAndLooksUpByTheNewIndex) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        const int count = 1 + round % 40;
        const int range = round % 3 == 0 ? 1000000 : 1 + round % 7;  // few ties, many ties
        std::vector<TBookmark> items;
        for (int n = 0; n < count; ++n) {
            int position = static_cast<int>(random() % static_cast<unsigned>(range));
            if (round % 5 == 0) position = n;  // already ordered
            items.push_back({u"m" + fromUtf8(std::to_string(n)), u"", position});
        }
        std::vector<TBookmark> expected = items;
        for (std::size_t a = 0; a + 1 < expected.size(); ++a)
            for (std::size_t b = a + 1; b < expected.size(); ++b)
                if (expected[b].Position < expected[a].Position)
                    std::swap(expected[a], expected[b]);
        TBookmarks marks;
        for (const TBookmark& b : items) marks.add(b);
        marks.Sort();
        SCOPED_TRACE(round);
        for (int n = 0; n < count; ++n) {
            ASSERT_EQ(marks.Items(n).Name, expected[static_cast<std::size_t>(n)].Name);
            EXPECT_EQ(marks.GetItemIdByName(u"#M" + marks.Items(n).Name.substr(1)), n);
        }
    }
}

TEST(Anchors, OnlyNameValuesOfATagsCount) {
    TChmTopicFile page;
    page.Body =
        u"<a href=\"x.htm\" name=\"one\">1</a><A NAME='#two'>2</A><a name=three>3</a>"
        u"<a name=\"\">e</a><div name=\"notanchor\"></div><a\nname=\"four\">4</a>";
    page.FindAnchors();
    std::u16string names;
    for (const auto& line : page.Anchors) names += line.text + u" ";
    EXPECT_EQ(names, u"four one three two ");
}

TEST(Bookmarks, EachAnchorStartsAtTheStartOfItsBlock) {
    TChmTopicFile page;
    //          1         11        21        31
    page.Body = u"<p>intro</p><h2><a name=s1>One</a></h2>text <a name=s2></a>more<p>x";
    page.Bookmarks.add({u"s1", u"One", 0});
    page.Bookmarks.add({u"S2", u"Two", 0});
    page.Bookmarks.add({u"gone", u"Gone", 0});
    page.ProcessBookmarks();
    EXPECT_EQ(page.Bookmarks.Items(0).Position, 13);  // the "<" of <h2>
    EXPECT_EQ(page.Bookmarks.Items(1).Position, 40);  // after the ">" ending </h2>'s name
    EXPECT_EQ(page.Bookmarks.Items(2).Position, 0);
}

TEST(Bookmarks, AnIdOnAnyElementPlacesAnAnchorAsANameDoes) {
    struct Case {
        std::u16string body;
        int position;
    };
    const Case cases[] = {
        {u"<p>intro</p><h2 id=s1>One</h2>", 13},  // the "<" of <h2>
        {u"<p>intro</p><h2 class=\"a\" ID = \"s1\">One</h2>", 13},
        {u"<p>intro</p>text <span id=s1>One</span>", 13},  // after the ">" ending </p>'s name
        // Not inside another attribute's value, nor in a comment.
        {u"<h2 id=s1>x</h2><p title=\"id=s1\">intro</p>", 1},
        {u"<h2 id=s1>x</h2><!-- id=s1 --><p>intro</p>", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(toUtf8(c.body));
        TChmTopicFile page;
        page.Body = c.body;
        page.Bookmarks.add({u"s1", u"One", 0});
        page.ProcessBookmarks();
        EXPECT_EQ(page.Bookmarks.Items(0).Position, c.position);
    }
}

TEST(AnchorAttributes, BlanksMayStandAroundTheEqualsSign) {
    struct Case {
        std::u16string_view body;
        std::vector<std::pair<std::u16string, std::u16string>> pairs;  // name, value
    };
    const Case cases[] = {
        {u"<a name = \"top\">x</a>", {{u"name", u"top"}}},
        {u"<a  name\t\r\n  =  top  href\t= x.htm>x</a>", {{u"name", u"top"}, {u"href", u"x.htm"}}},
        // A name followed by blanks and no "=" has no value; the next one does.
        {u"<p title   id=p1>x</p>", {{u"id", u"p1"}}},
        {u"<a hidden    \t  >x</a>", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.body));
        std::vector<std::pair<std::u16string, std::u16string>> pairs;
        for (const AnchorAttribute& a : readAnchorAttributes(c.body))
            pairs.emplace_back(a.name, a.value);
        EXPECT_EQ(pairs, c.pairs);
    }
}

TEST(Bookmarks, SplitPartsAreCutAtThePositionsAndWrittenBeside) {
    testing::TempDir dir;
    TChmTopicFile page;
    page.Filename = fromPath(dir.path() / "guide.htm");
    page.BeforeBody = u"<body>";
    page.AfterBody = u"</body>";
    for (int n = 0; n < 50; ++n) page.Body += static_cast<char16_t>(u'a' + n % 26);
    page.Bookmarks.add({u"c", u"", 40});
    page.Bookmarks.add({u"a", u"", 10});
    page.Bookmarks.add({u"b", u"", 25});
    page.Bookmarks.Sort();
    page.SplitFileByBookmark();
    EXPECT_EQ(readFile(dir.path() / "guide_0.htm"),
              "<body>" + toUtf8(page.Body.substr(9, 15)) + "</body>");
    EXPECT_EQ(readFile(dir.path() / "guide_1.htm"),
              "<body>" + toUtf8(page.Body.substr(24, 15)) + "</body>");
    EXPECT_EQ(readFile(dir.path() / "guide_2.htm"),
              "<body>" + toUtf8(page.Body.substr(39)) + "</body>");
}

TEST(DistillFragment, DropsALeadingHeadingAndRepairsTables) {
    const std::u16string paragraph = u"<p>" + std::u16string(100, u'x') + u"</p>";
    EXPECT_EQ(DistillFragment(u"<h3>Short heading</h3>" + paragraph, u"Other title"), paragraph);
    // A first block ending in "." that is not like the title stays.
    const std::u16string sentence = u"<p>This first paragraph is a sentence.</p>";
    EXPECT_EQ(DistillFragment(u"<div>" + sentence + paragraph + u"</div>", u"Title"),
              u"<div>" + sentence + paragraph + u"</div>");
    EXPECT_EQ(RepairTableEdges(u"<td>a</td></tr><tr><td>b</td></tr>"),
              u"<table><tr><td>a</td></tr><tr><td>b</td></tr></table>");
    EXPECT_EQ(RepairTableEdges(u"<tr class=x><td>a</td></tr><tr><td>b"),
              u"<table><tr class=x><td>a</td></tr><tr><td>b</tr></table>");
    EXPECT_EQ(RepairTableEdges(u"<p>plain</p>"), u"<p>plain</p>");
}

TEST(DistillFragment, HeadingLikeBlocks) {
    struct Case {
        std::u16string_view block, title;
        bool headingLike;
    };
    const Case cases[] = {
        {u"Installing", u"installing", true},
        {u"Installing the program on Windows", u"Installing the program", true},
        {u"A short line", u"Unrelated", true},
        {u"A short line ending in a full stop.", u"Unrelated", false},
        {u"Options:", u"Unrelated", false},
        {u"This line is long enough, at more than fifty characters, to be text", u"Other", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.block));
        EXPECT_EQ(IsHeadingLike(c.block, c.title), c.headingLike);
    }
}

}  // namespace
}  // namespace quillet
