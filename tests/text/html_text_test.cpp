#include "text/html_text.h"

#include "platform/utf.h"
#include "text/entities.h"

#include <gtest/gtest.h>

#include <random>

namespace quillet {
namespace {

TEST(IsBlank, IsExactlyTabLineFeedCarriageReturnAndSpace) {
    for (char16_t c = 0; c < 0x3000; ++c) {
        const bool expected = c == u'\t' || c == u'\n' || c == u'\r' || c == u' ';
        EXPECT_EQ(isBlank(c), expected) << int(c);
    }
}

TEST(GetHtmlTitle, Cases) {
    struct Case {
        std::u16string_view html, title;
    };
    const Case cases[] = {
        {u"<html><head><title>Overview</title></head>", u"Overview"},
        {u"<TITLE>Getting\r\nstarted</Title>", u"Gettingstarted"},  // lines join without a blank
        {u"<title>\n One\ttwo  </title>", u" One\ttwo  "},
        {u"<title>Tom &amp; Jerry&#33;</title>", u"Tom & Jerry!"},
        {u"<title>a<TITLE>b</title>", u"a<title>b"},
        {u"<title>a</title><title>b</title>", u"a"},
        {u"<title></title>", u""},
        {u"<title lang=en>x</title>", u""},
        {u"</title><title>x", u""},
        {u"<title>x", u""},
        {u"x</title>", u""},
        {u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.html));
        EXPECT_EQ(GetHtmlTitle(c.html), c.title);
    }
    EXPECT_EQ(GetHtmlTitle(u"<title>&#99999999999;</title>"), u"\uFFFD");
}

TEST(RemoveBlocks, Cases) {
    struct Case {
        std::u16string_view s, filter, out;
    };
    const std::u16string_view startMark = u"<!-- Begin Nav -->";
    const std::u16string_view endMark = u"<!-- END nav -->";
    const Case cases[] = {
        {u"a<!-- Begin Nav -->x<!-- END nav -->b", u"", u"ab"},
        {u"<!-- BEGIN NAV -->x<!-- end nav -->a<!-- begin nav -->y<!-- End Nav -->b", u"", u"ab"},
        {u"a<!-- Begin Nav --><!-- END nav -->b", u"", u"ab"},
        // an end mark belongs to the first start mark before it
        {u"a<!-- Begin Nav -->x<!-- Begin Nav -->y<!-- END nav -->b", u"", u"ab"},
        // marks left over come out in lower case
        {u"a<!-- END nav -->b<!-- Begin Nav -->rest", u"",
         u"a<!-- end nav -->b<!-- begin nav -->rest"},
        {u"no marks", u"", u"no marks"},
        {u"", u"", u""},
        // with a filter only blocks that contain it go
        {u"a<!-- Begin Nav -->keep<!-- END nav -->b<!-- Begin Nav -->Prev | NEXT<!-- END nav -->c",
         u"next", u"a<!-- begin nav -->keep<!-- end nav -->bc"},
        {u"a<!-- Begin Nav -->keep<!-- END nav -->b", u"END NAV",  // the end mark is not searched
         u"a<!-- begin nav -->keep<!-- end nav -->b"},
        {u"a<!-- Begin Nav -->x<!-- END nav -->b<!-- Begin Nav -->rest", u"x",
         u"ab<!-- begin nav -->rest"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.s));
        EXPECT_EQ(RemoveBlocks(c.s, startMark, endMark, c.filter), c.out);
    }
    // An empty mark is never found.
    EXPECT_EQ(RemoveBlocks(u"a<B>x</b>c", u"", u"</B>", u""), u"a<B>x</b>c");
    EXPECT_EQ(RemoveBlocks(u"a<B>x</b>c", u"<b>", u"", u""), u"a<b>x</b>c");
}

TEST(GetAttributeValue, Cases) {
    struct Case {
        std::u16string_view tag, name, value;
    };
    const Case cases[] = {
        {uR"(<a href="guide.htm#top" name="top">)", u"name", u"top"},
        {uR"(<a href="guide.htm#top" name="top">)", u"HREF", u"guide.htm#top"},
        {uR"(<a href="guide.htm#top" name="top">)", u"title", u""},
        // after a closing quote the next attribute needs a blank
        {uR"(<a href="guide.htm"name="top">)", u"name", u""},
        {uR"(<a href="guide.htm"name="top">)", u"href", u"guide.htm"},
        // ">" ends a value of the asked name even inside quotes, and only then
        {uR"(<img title="a>b" src="x.gif">)", u"title", u"a"},
        {uR"(<img title="a>b" src="x.gif">)", u"src", u"x.gif"},
        {uR"(<img alt=1>2 src=x.gif>)", u"src", u"x.gif"},
        {u"<img src=x.gif width=10>", u"width", u"10"},
        {u"<img\tsrc=x.gif\r\nwidth=10>", u"width", u"10"},
        {u"<a href='it\"s here' x=y>", u"href", u"it\"s here"},
        {uR"(<a title="it's" href=x>)", u"href", u"x"},
        {uR"(<a href=a"b>)", u"href", uR"(a"b)"},
        {uR"(<a href="">)", u"href", u""},
        {uR"(<a href = "x">)", u"href", u""},  // a blank before "=" clears the name
        {u"<a href=x", u"href", u""},          // the text ends before the value does
        {uR"(<a href="x)", u"href", u""},
        {u"<a>", u"a", u""},
        {u"", u"href", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.tag) + " / " + toUtf8(c.name));
        EXPECT_EQ(GetAttributeValue(c.tag, c.name), c.value);
    }
}

TEST(IsSimilarText, Cases) {
    struct Case {
        std::u16string_view s1, s2;
        bool similar;
    };
    const std::u16string longText(300, u'x');
    const std::u16string base = u"Copyright 2004 Example Corp. All rights reserved.";  // 50
    const std::u16string longer50 = base + std::u16string(50, u'-');
    const std::u16string longer51 = base + std::u16string(51, u'-');
    const Case cases[] = {
        {u"Page 12 of 30", u"Page 13 of 30", true},  // 12 of 13 in runs
        {u"abcde", u"abcdf", false},                 // 4 of 5 is not more than 0.8
        {u"abcdef", u"abcdeX", true},
        {u"the quick brown fox jumps over the lazy dog",
         u"the quick brown cat jumps over the lazy dog", false},  // 16 of 43
        {longText, longText, true},
        {u"Next", u"NEXT", true},  // equal after lower-casing, however short
        {u"abcd", u"abce", false},
        {u"ab", u"abcdefgh", false},
        {u"", u"", false},
        {u"", u"abcdef", false},
        {u"HEADER TEXT", u"header text!", true},
        {u"\u00C4bcdef", u"\u00E4bcdef", true},   // only ASCII letters fold: 5 of 6
        {u"ab-cd-ef-gh", u"abXcdXefXgh", false},  // matches in runs of two count for nothing
        {base, longer50, true},
        {base, longer51, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.s1) + " / " + toUtf8(c.s2));
        EXPECT_EQ(IsSimilarText(c.s1, c.s2), c.similar);
        if (c.s1.size() != c.s2.size()) {
            EXPECT_EQ(IsSimilarText(c.s2, c.s1), c.similar);
        }
    }
}

// The alignment stepped exactly as written down, one comparison at a time, positions from 1.
bool similarByStepping(std::u16string s1, std::u16string s2) {
    if (s1.empty() || s2.empty()) return false;
    for (auto* s : {&s1, &s2})
        for (char16_t& c : *s)
            if (c >= u'A' && c <= u'Z') c += u'a' - u'A';
    if (s1 == s2) return true;
    if (s1.size() < 5 || s2.size() < 5) return false;
    const std::u16string& a = s1.size() <= s2.size() ? s1 : s2;
    const std::u16string& b = s1.size() <= s2.size() ? s2 : s1;
    if (b.size() - a.size() > 50) return false;
    const std::size_t n = a.size(), m = b.size();
    std::size_t p = 1, k = 1, run = 0, total = 0, resume = 1;
    for (;;) {
        if (p <= n && k <= m && a[p - 1] == b[k - 1]) {
            ++run, ++p, ++k;
            resume = k;
        } else {
            if (run >= 3) total += run;
            run = 0;
            ++k;
        }
        if (p > n) break;
        if (k > m) {
            ++p;
            k = resume;
        }
    }
    if (run >= 3) total += run;
    return static_cast<double>(total) / static_cast<double>(n) > 0.8;
}

TEST(IsSimilarText, AgreesWithStepByStepAlignment) {
    // A small alphabet makes long runs and repeated letters likely; the two non-ASCII letters
    // share their low byte with "a" and "b".
    const std::u16string alphabet = u"abcAB \u0161\u0162";
    std::mt19937 random(12345);
    const auto pick = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    int similarCount = 0;
    for (int round = 0; round < 20000; ++round) {
        std::u16string s1;
        for (std::size_t i = 3 + pick(60); i > 0; --i) s1 += alphabet[pick(alphabet.size())];
        std::u16string s2 = s1;  // a few edits keep many pairs similar
        for (std::size_t edits = pick(8); edits > 0; --edits) {
            const std::size_t at = pick(s2.size() + 1);
            switch (pick(3)) {
                case 0:
                    s2.insert(at, 1, alphabet[pick(alphabet.size())]);
                    break;
                case 1:
                    if (at < s2.size()) s2.erase(at, 1);
                    break;
                default:
                    if (at < s2.size()) s2[at] = alphabet[pick(alphabet.size())];
                    break;
            }
        }
        const bool expected = similarByStepping(s1, s2);
        similarCount += expected;
        ASSERT_EQ(IsSimilarText(s1, s2), expected) << toUtf8(s1) << " / " << toUtf8(s2);
    }
    EXPECT_GT(similarCount, 1000) << "the pairs should exercise both answers";
    EXPECT_LT(similarCount, 19000) << "the pairs should exercise both answers";
}

TEST(IsUrlAttributeAndIsHtmlExtension, IgnoreLetterCase) {
    struct Case {
        std::u16string_view name;
        bool yes;
    };
    const Case attributes[] = {{u"HREF", true},    {u"src", true},    {u"BackGround", true},
                               {u"lowsrc", false}, {u"href ", false}, {u"", false}};
    for (const auto& c : attributes) {
        SCOPED_TRACE(toUtf8(c.name));
        EXPECT_EQ(IsUrlAttribute(c.name), c.yes);
    }
    const Case extensions[] = {{u".htm", true},    {u".HTML", true}, {u".Shtml", true},
                               {u".sht", true},    {u"htm", false},  {u".xhtml", false},
                               {u".html5", false}, {u".txt", false}, {u"", false}};
    for (const auto& c : extensions) {
        SCOPED_TRACE(toUtf8(c.name));
        EXPECT_EQ(IsHtmlExtension(c.name), c.yes);
    }
}

}  // namespace
}  // namespace quillet
