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

}  // namespace
}  // namespace quillet::engine::html
