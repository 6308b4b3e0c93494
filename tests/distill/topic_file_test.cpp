#include "distill/topic_file.h"

#include "platform/utf.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quillet {
namespace {

// A topic file over a body given directly, with the kept range the whole body.
TChmTopicFile topic(std::u16string body, std::u16string title = u"") {
    TChmTopicFile file;
    file.Body = std::move(body);
    file.Title1 = std::move(title);
    file.h = file.SamePointH = static_cast<int>(file.Body.size());
    file.i = 1;
    file.IniticalizeTags();
    return file;
}

std::u16string chars(std::size_t n, char16_t c = u'x') {
    return std::u16string(n, c);
}

TEST(SearchDown, ReturnsBlocksAndMovesTheCutPoint) {
    //                         1      8      15     23     27     36
    TChmTopicFile file = topic(u"<p></p><p></p><p>First</p><p>Second</p>");
    file.SearchDown();
    EXPECT_EQ(file.Text, u"First");
    EXPECT_TRUE(file.FindText);
    EXPECT_EQ(file.SamePointL, 15);  // the tag just before the first text
    file.SearchDown();
    EXPECT_EQ(file.Text, u"Second");
    EXPECT_EQ(file.SamePointL, 27);  // past the first block and the empty one after it
    file.SearchDown();
    EXPECT_EQ(file.Text, u"");
    EXPECT_FALSE(file.FindText);
}

TEST(Walkers, ScriptTextCountsOnlyGoingUp) {
    const std::u16string body = u"<script>var x;</script><title>T</title><p>Text &amp; more</p>";
    TChmTopicFile down = topic(body);
    down.SearchDown();
    EXPECT_EQ(down.Text, u"Text & more");

    TChmTopicFile up = topic(body);
    up.i = up.h;
    up.SearchUp();
    EXPECT_EQ(up.Text, u"Text & more");
    EXPECT_EQ(up.SamePointH, static_cast<int>(body.size()) - 3);  // the "<" of "</p>"
    up.SearchUp();
    EXPECT_EQ(up.Text, u"var x;T");
    EXPECT_EQ(up.SamePointH, static_cast<int>(body.find(u"<p>")) + 1);
}

TEST(SearchDown, PicturesCountAsTextUnlessTheyNavigate) {
    TChmTopicFile file = topic(u"<p><img src=\"Images\\Logo.gif\"><img src='a/Next.gif'></p>");
    file.SearchDown();
    EXPECT_EQ(file.Text, u"Logo.gif");
}

TEST(Distiller, DropsTheTitleHeadingAndKeepsTheContent) {
    TChmTopicFile file = topic(u"<h1>My Topic</h1>\n<p>" + chars(150) + u"</p>\n", u"My topic");
    const std::u16string result = file.Distiller();
    EXPECT_TRUE(file.TitleFound);
    EXPECT_EQ(result, u"<p>" + chars(150) + u"</p>");
}

TEST(Distiller, OnlyTheFirstBlockMayBeTheTitle) {
    // A later line like the title is the page's own text: nothing before it goes.
    TChmTopicFile file = topic(
        u"<div><p>Whether the control is a label.</p>\n<p>Syntax: function IsLabel</p>\n"
        u"<h3>Labels</h3>\n<p>" +
            chars(150) + u"</p></div>\n",
        u"IsLabel");
    const std::u16string result = file.Distiller();
    EXPECT_FALSE(file.TitleFound);
    EXPECT_NE(result.find(u"Whether the control is a label."), std::u16string::npos)
        << toUtf8(result);
    EXPECT_NE(result.find(u"Syntax: function IsLabel"), std::u16string::npos);
    EXPECT_NE(result.find(u"<h3>Labels</h3>"), std::u16string::npos);
}

TEST(Distiller, ChoosesTheSmallestElementHoldingTheWeight) {
    struct Case {
        const char* what;
        std::size_t wrapperExtra;
        bool wrapperWins;
    };
    for (const Case& c : {Case{"40 more", 40, false}, Case{"70 more", 70, true}}) {
        SCOPED_TRACE(c.what);
        const std::u16string content = u"<div id=c>" + chars(500) + u"</div>";
        const std::u16string wrapper =
            u"<div id=w>" + content + u"<p>" + chars(c.wrapperExtra, u'y') + u"</p></div>";
        TChmTopicFile file = topic(u"<table><tr><td>" + wrapper + u"</td></tr></table>");
        EXPECT_EQ(file.Distiller(), c.wrapperWins ? wrapper : content);
    }
}

TEST(Distiller, AnInlineElementOfTextIsNeverTheWholeContent) {
    // A long span, then a colon and a code example outside it: the example stays. A font that
    // wraps paragraphs may still be the content.
    const std::u16string span = u"<span>" + chars(400) + u"</span>";
    const std::u16string code =
        u"<blockquote><pre>{<br>  a[0] = 1;<br>  a[1] = 2;<br>}</pre></blockquote>";
    TChmTopicFile page = topic(u"<h3>Arrays</h3>" + span + u":<p></p>" + code, u"Arrays");
    const std::u16string result = page.Distiller();
    EXPECT_NE(result.find(u"</span>:"), std::u16string::npos) << toUtf8(result);
    EXPECT_NE(result.find(code), std::u16string::npos) << toUtf8(result);
    EXPECT_EQ(result.find(u"Arrays"), std::u16string::npos) << toUtf8(result);

    const std::u16string font =
        u"<font face=Arial><p>" + chars(200) + u"</p><p>" + chars(200) + u"</p></font>";
    TChmTopicFile wrapped = topic(u"<div>Home | Up</div>" + font);
    EXPECT_EQ(wrapped.Distiller(), font);
}

TEST(Distiller, HiddenElementsAndNavigationPicturesWeighNothing) {
    struct Case {
        const char* what;
        std::u16string body;
        std::u16string result;  // empty: the whole kept body
    };
    const Case cases[] = {
        {"a picture weighs 150", u"<div><p>ab<img src=\"pic.gif\"></p><p>cd</p></div>",
         u"<p>ab<img src=\"pic.gif\"></p>"},
        {"a navigation picture weighs nothing",
         u"<div><p>ab<img src=\"btn_next.gif\"></p><p>cd</p></div>", u""},
        {"hidden text weighs nothing",
         u"<div><div style=\"DISPLAY:NONE\">" + chars(300) + u"</div><p>cd</p></div>", u""},
        {"a hidden picture weighs nothing",
         u"<div><p style=\"display:none\">ab<img src=\"pic.gif\"></p><p>cd</p></div>", u""},
        {"an end tag nothing opened stays as markup", u"<div>ab</span>cd</div>", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TChmTopicFile file = topic(c.body);
        EXPECT_EQ(file.Distiller(), c.result.empty() ? c.body : c.result);
    }
}

TEST(Distiller, KeepsOnlyTheKeptRange) {
    const std::u16string head = u"<div class=nav>Home | Up</div>";
    const std::u16string body = head + u"<p>" + chars(20) + u"</p><div class=foot>(c)</div>";
    TChmTopicFile file = topic(body);
    file.SamePointL = static_cast<int>(head.size()) + 1;
    file.SamePointH = static_cast<int>(body.find(u"<div class=foot>")) + 1;
    EXPECT_EQ(file.Distiller(), u"<p>" + chars(20) + u"</p>");
}

TEST(TopicFile, ReadsAndPreparesAPage) {
    testing::TempDir dir;
    const auto path = dir.path() / "page.htm";
    std::ofstream(path)
        << "<html><head><title> A &amp;amp; B </title></head><body>\n"
           "<!-- script version of navheader -->NAV<!-- End script navheader version -->"
           "<p style=\"mso-outline-level: 1\">Hi</p></body></html>";
    const TChmTopicFile file(fromPath(path), u"Entry title", nullptr);
    EXPECT_EQ(file.Title1, u"Entry title");
    EXPECT_EQ(file.Title2, u"A & B");  // decoded twice, trimmed
    EXPECT_EQ(file.Body, u"\n<p style=\"mso-out1ine-1evel: 1\">Hi</p>");
    EXPECT_EQ(file.AfterBody, u"</body></html>");
    EXPECT_EQ(file.SamePointH, static_cast<int>(file.Body.size()));
}

}  // namespace
}  // namespace quillet
