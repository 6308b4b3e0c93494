#include "distill/html_tags.h"

#include "platform/utf.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(TagNames, ReadingAndLists) {
    struct Case {
        std::u16string_view raw;
        bool makesTag, isEnd;
        std::u16string_view name;
    };
    const Case cases[] = {
        {u"br/", true, false, u"br"}, {u"BR", true, false, u"BR"}, {u"/p", true, true, u"p"},
        {u"/", false, false, u""},    {u"", false, false, u""},    {u"!--", true, false, u"!--"},
        {u"//", false, false, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.raw));
        const auto tag = readTagName(c.raw);
        ASSERT_EQ(tag.has_value(), c.makesTag);
        if (tag) {
            EXPECT_EQ(tag->isEnd, c.isEnd);
            EXPECT_EQ(tag->name, c.name);
        }
    }
    EXPECT_TRUE(IsBreakTag(u"br") && IsBreakTag(u"P") && IsEmptyTag(u"Br") && IsEmptyTag(u"li"));
    EXPECT_TRUE(IsBlockTag(u"div") && !IsBlockTag(u"p") && !IsBlockTag(u"BR"));
    EXPECT_TRUE(IsNonDocTag(u"script") && IsNonDocTag(u"TITLE") && !IsNonDocTag(u"div"));
}

TEST(WhiteSpace, CollapseAndTrim) {
    const std::u16string s = u"  a \r\n\t  b  ";
    EXPECT_EQ(CollapseWhiteSpace(s), u"a b");
    EXPECT_EQ(TrimWhiteSpace(s), u"a \r\n\t  b");
    EXPECT_EQ(CollapseWhiteSpace(u"\r\n\r\n"), u"");
    EXPECT_EQ(TrimWhiteSpace(u"\r\n"), u"");
    EXPECT_EQ(TrimWhiteSpace(u"\u3000x\u00a0"), u"\u3000x\u00a0");  // only the four count
}

TEST(ElementStack, ClosingFoldsInnerElementsFirst) {
    THtmlTags tags;
    tags.push(u"div", u"<div>");
    tags.top().Inner.append(u"a");
    tags.top().CharCount = 1;
    tags.push(u"b", u"<b>");
    tags.top().Inner.append(u"x");
    tags.top().InnerText.append(u"x");
    tags.top().CharCount = 1;
    tags.push(u"script", u"<script>");
    EXPECT_TRUE(tags.top().NonDoc);
    tags.push(u"i", u"<i>");
    EXPECT_TRUE(tags.top().NonDoc) << "inside a non-document element";

    EXPECT_FALSE(CloseElement(tags, u"p", u"</p>"));
    EXPECT_FALSE(CloseElement(tags, u"Root", u"</Root>"));
    EXPECT_EQ(tags.Count(), 5);

    EXPECT_TRUE(CloseElement(tags, u"DIV", u"</DIV >"));
    ASSERT_EQ(tags.Count(), 1);
    // Inner elements closed by their parent have no end tag of their own.
    EXPECT_EQ(tags.Items(0).Inner.str(), u"<div>a<b>x<script><i></DIV >");
    EXPECT_EQ(tags.Items(0).InnerText.str(), u"x");
    EXPECT_EQ(tags.Items(0).CharCount, 2);
    EXPECT_FALSE(tags.findOpen(u"b"));

    tags.push(u"p", u"<p>");
    tags.setCount(5);  // never grows
    EXPECT_EQ(tags.Count(), 2);
    tags.setCount(1);
    EXPECT_EQ(tags.Count(), 1);
    EXPECT_FALSE(tags.findOpen(u"p"));
}

TEST(SplitHtmlBody, Cases) {
    struct Case {
        const char* what;
        std::u16string page, before, body, after;
    };
    const Case cases[] = {
        {"no body", u"<p>x</p>", u"", u"<p>x</p>", u""},
        {"attributes and case", u"<html><BODY bgcolor=white>x</BODY></html>",
         u"<html><BODY bgcolor=white>", u"x", u"</BODY></html>"},
        {"a name that only begins with body", u"<bodyx>a</bodyx>", u"", u"<bodyx>a</bodyx>", u""},
        {"no end tag", u"<body>\nx", u"<body>", u"\nx", u""},
        {"white space before >", u"<body>x</body\r\n>", u"<body>", u"x", u"</body\r\n>"},
        {"two end tags", u"<body>a</body>lost</body>", u"<body>", u"a", u"</body>"},
        {"body tag across lines", u"<body\nclass=x>y</body>", u"<body\nclass=x>", u"y", u"</body>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SplitPage page = SplitHtmlBody(c.page);
        EXPECT_EQ(page.BeforeBody, c.before);
        EXPECT_EQ(page.Body, c.body);
        EXPECT_EQ(page.AfterBody, c.after);
    }
}

}  // namespace
}  // namespace quillet
