#include "text/paths.h"

#include "platform/utf.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(SlashToBackslash, TurnsEveryBackslashIntoThisPlatformsSeparator) {
    EXPECT_EQ(SlashToBackslash(u"a\\b/c\\\\d%20e.htm"), u"a/b/c//d%20e.htm");
}

TEST(NormalizePath, Cases) {
    struct Case {
        std::u16string_view in, out;
    };
    const Case cases[] = {
        {u"C:/r/a/../b/./c.htm", u"C:/r/b/c.htm"},
        {u"C:\\r\\a\\..\\b\\.\\c.htm", u"C:/r/b/c.htm"},
        {u"a/b/c/../../d.htm", u"a/d.htm"},
        {u"sub/my%20page.htm", u"sub/my page.htm"},
        {u"%2520", u"%2520"},
        {u"%%200", u"% 0"},
        // Surplus ".." steps vanish; a final ".." without "/" is an ordinary name.
        {u"../../x.htm", u"x.htm"},
        {u"a/b/..", u"a/b/.."},
        {u"a/../", u""},
        // Doubled separators collapse; an absolute path stays absolute, even past its root.
        {u"a//b\\\\c.htm", u"a/b/c.htm"},
        {u"/tmp/123456/a.htm", u"/tmp/123456/a.htm"},
        {u"\\tmp\\123456\\a.htm", u"/tmp/123456/a.htm"},
        {u"//server/share/x.htm", u"/server/share/x.htm"},
        {u"/r/../../x.htm", u"/x.htm"},
        {u"/", u"/"},
        {u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.in));
        EXPECT_EQ(NormalizePath(c.in), c.out);
    }
}

TEST(RelativeUrl, Cases) {
    struct Case {
        std::u16string_view base, target, out;
    };
    const Case cases[] = {
        {u"/r/a/page.htm", u"/r/b/img.gif", u"../b/img.gif"},
        {u"/r/a/page.htm", u"/r/a/x.htm", u"x.htm"},
        {u"/r/a/page.htm", u"/r/a/sub/x.htm", u"sub/x.htm"},
        {u"/r/a/b/page.htm", u"/r/x.htm", u"../../x.htm"},
        {u"/R/A/page.htm", u"/r/a/X.htm", u"X.htm"},
        {u"page.htm", u"img\\x.gif", u"img/x.gif"},
        {u"C:\\r\\a\\page.htm", u"c:\\r\\b\\img.gif", u"../b/img.gif"},
        {u"//srv/share/a/p.htm", u"//SRV/Share/b/x.htm", u"../b/x.htm"},
        // Another drive, share or rootedness: the target itself, with "/" separators.
        {u"C:/r/a/page.htm", u"D:\\r\\b\\img.gif", u"D:/r/b/img.gif"},
        {u"//srv/one/a/p.htm", u"//srv/two/a/x.htm", u"//srv/two/a/x.htm"},
        {u"/r/a/page.htm", u"r/a/x.htm", u"r/a/x.htm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.base) + " -> " + toUtf8(c.target));
        EXPECT_EQ(RelativeUrl(c.base, c.target), c.out);
    }
}

TEST(SplitUrlAnchor, Cases) {
    struct Case {
        std::u16string_view url, page, anchor;
    };
    const Case cases[] = {
        {u"page.htm#intro", u"page.htm", u"intro"},
        {u"#top", u"", u"top"},
        {u"a.htm#x#y", u"a.htm", u"x"},
        {u"page.htm", u"page.htm", u""},
        {u"page.htm#", u"page.htm", u""},
        // A "#" followed by a page name belongs to the file name, unless a page comes before it.
        {u"C#Guide.htm", u"C#Guide.htm", u""},
        {u"page#sec.htm", u"page#sec.htm", u""},
        {u"Page#Sec.HTML", u"Page#Sec.HTML", u""},
        {u"page.htm#sec.htm", u"page.htm", u"sec.htm"},
        {u"PAGE.HTML#sec.htm", u"PAGE.HTML", u"sec.htm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.url));
        std::u16string page = u"stale", anchor = u"stale";
        SplitUrlAnchor(c.url, page, anchor);
        EXPECT_EQ(page, c.page);
        EXPECT_EQ(anchor, c.anchor);
    }
}

TEST(SplitUrlAnchor, UrlMayBeTheOutputItself) {
    std::u16string page = u"page.htm#intro", anchor;
    SplitUrlAnchor(page, page, anchor);
    EXPECT_EQ(page, u"page.htm");
    EXPECT_EQ(anchor, u"intro");
}

TEST(IsOutOfRootfolder, Cases) {
    struct Case {
        std::u16string_view url, root;
        bool out;
    };
    const Case cases[] = {
        {u"/tmp/123456/sub/page.htm", u"/tmp/123456/", false},
        {u"/TMP/123456/Sub/Page.htm", u"/tmp/123456/", false},
        {u"\\tmp\\123456\\a.htm", u"/tmp/123456/", false},
        {u"/tmp/123456/a/../b.htm", u"/tmp/123456/", false},
        {u"/tmp/ПАПКА/a.htm", u"/tmp/папка/", false},
        {u"/tmp/123456/a/../../x.htm", u"/tmp/123456/", true},
        {u"/tmp/123456/../123456x/a.htm", u"/tmp/123456/", true},
        {u"/tmp/1234567/a.htm", u"/tmp/123456/", true},
        {u"/tmp/12", u"/tmp/123456/", true},
        {u"tmp/123456/a.htm", u"/tmp/123456/", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.url));
        EXPECT_EQ(IsOutOfRootfolder(c.url, c.root), c.out);
    }
}

}  // namespace
}  // namespace quillet
