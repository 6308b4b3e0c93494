#include "engine/html/nesting_guard.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet::engine::html {
namespace {

std::string repeat(std::string_view piece, int times) {
    std::string out;
    for (int n = 0; n < times; ++n) out += piece;
    return out;
}

TEST(NestingGuard, TakesOutOnlyTheTagsBeyondTheDepth) {
    struct Case {
        const char* what;
        std::string html;
        int maxDepth;
        std::optional<std::string> expected;  // nothing: the page is left as it is
    };
    const Case kCases[] = {
        {"deep divs", "<div><div><div><div>x</div></div></div></div>", 2,
         "<div><div>x</div></div>"},
        {"end tags in capitals and attributes with > in quotes",
         "<DIV><div title=\"a>b\"><span class='c>d'>x</SPAN></div></div>", 2,
         "<DIV><div title=\"a>b\">x</div></div>"},
        {"within the depth", "<div><span>x</span></div>", 2, std::nullopt},
        {"unclosed paragraphs, items and cells do not add up",
         repeat("<p>a<li>b<td>c<br><img src=x>", 50), 2, std::nullopt},
        {"tags inside scripts, styles and comments are text",
         "<script>if (a<b) { s = '<div><div><div>'; }</script><!-- <div><div><div> -->"
         "<style>div > div {}</style><div>x</div>",
         1, std::nullopt},
        {"self-closed elements", "<div><span/><span/><span/></div>", 1, std::nullopt},
        {"mis-nested end tags close what they match", "<b><i>x</b></i><b><i><u>y</u></i></b>", 2,
         "<b><i>x</b></i><b><i>y</i></b>"},
        {"a stray end tag is kept", "<div></span>x</div>", 1, std::nullopt},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(flattenDeepNesting(c.html, c.maxDepth), c.expected);
    }
}

TEST(NestingGuard, AHundredThousandNestedElementsKeepTheirText) {
    const std::string page = "<html><body>" + repeat("<div><span>", 50'000) + "Nested text." +
                             repeat("</span></div>", 50'000) + "</body></html>";
    const std::optional<std::string> flat = flattenDeepNesting(page);
    ASSERT_TRUE(flat.has_value());
    EXPECT_EQ(*flat, "<html><body>" + repeat("<div><span>", kMaxParseDepth / 2) + "Nested text." +
                         repeat("</span></div>", kMaxParseDepth / 2) + "</body></html>");
}

TEST(AttributeGuard, TakesOutOnlyTheAttributesBeyondTheCount) {
    struct Case {
        const char* what;
        std::string html;
        std::optional<std::string> expected;  // nothing: the page is left as it is
    };
    const Case kCases[] = {
        {"names and values", "<p a b=1 c='2' d=\"3\">x</p>", "<p a b=1>x</p>"},
        {"\">\" and \"=\" in quotes, no space after them", "<p title=\"a>b=c\"x='>='y=z>t</p>",
         "<p title=\"a>b=c\"x='>='>t</p>"},
        {"spaces around \"=\", capitals, tabs and line ends", "<P A = 1\tB\n=\n'2'\fC=3>t</P>",
         "<P A = 1\tB\n=\n'2'>t</P>"},
        {"quotes inside names and unquoted values are not quotes", "<p a\"b=c'd e=\">\" f=g>t",
         "<p a\"b=c'd e=\">\">t"},
        {"a self-closed tag stays self-closed", "<img a=1 b=2 c=3 />", "<img a=1 b=2 />"},
        {"a slash before a name parts it from the one before", "<p a/b/c>t", "<p a/b>t"},
        {"\"/\" ends no unquoted value", "<img a=1 b=2 c=3/>", "<img a=1 b=2>"},
        {"repeated names count", "<p a a a a>t", "<p a a>t"},
        {"end tags too, and each tag on its own",
         "<p a b c>t</p a b c><b a b>u</b><i a b c d>v</i>",
         "<p a b>t</p a b><b a b>u</b><i a b>v</i>"},
        {"empty comments", "<!--><p a b c><!---><p a b c>", "<!--><p a b><!---><p a b>"},
        {"within the count", "<p a=1 b='>'>t</p><br a b/>", std::nullopt},
        {"comments, scripts, styles and declarations",
         "<!DOCTYPE html a b c><!-- <p a b c> --><!--><p a b>"
         "<script>s = '<p a b c>';</script><style>p a b c {}</style><title><p a b c></title>"
         "<? x a b c >",
         std::nullopt},
        {"a tag the page ends inside", "<p a b>t</p><p a b c", std::nullopt},
        {"text with \"<\" in it", "a < b c d e > f <3 g h i>", std::nullopt},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(dropExcessAttributes(c.html, 2), c.expected);
    }
}

TEST(AttributeGuard, ATagWithThreeHundredThousandAttributesKeepsTheFirst) {
    std::string attributes;
    for (int n = 0; n < 300'000; ++n) attributes += " a" + std::to_string(n) + "='>'";
    const std::string page = "<html><body><p" + attributes + ">Text</p></body></html>";
    const std::optional<std::string> cut = dropExcessAttributes(page);
    ASSERT_TRUE(cut.has_value());
    const std::size_t kept = attributes.find(" a" + std::to_string(kMaxAttributes) + "=");
    EXPECT_EQ(*cut, "<html><body><p" + attributes.substr(0, kept) + ">Text</p></body></html>");
    EXPECT_EQ(dropExcessAttributes(*cut), std::nullopt);
}

}  // namespace
}  // namespace quillet::engine::html
