#include "text/confined_path.h"

#include "platform/utf.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace quillet {
namespace {

namespace fs = std::filesystem;

// A working folder "root" with a page and a sub-folder, beside a folder "victim" that no
// address inside the working folder may reach.
class ConfinedPathTest : public ::testing::Test {
protected:
    ConfinedPathTest() {
        fs::create_directories(dir.path() / "root" / "sub");
        fs::create_directories(dir.path() / "victim");
        std::ofstream(dir.path() / "root" / "Page.htm") << "page";
        std::ofstream(dir.path() / "victim" / "secret.htm") << "secret";
        fs::create_symlink(dir.path() / "victim", dir.path() / "root" / "out");
        fs::create_symlink(dir.path() / "victim" / "secret.htm", dir.path() / "root" / "Link.htm");
        fs::create_symlink(dir.path() / "root" / "Page.htm", dir.path() / "root" / "inner.htm");
        root = fromPath(dir.path()) + u"/root/";
    }

    testing::TempDir dir;
    std::u16string root;
};

TEST_F(ConfinedPathTest, PathsInsideAreKeptAndPathsLeadingOutAreRefused) {
    struct Case {
        std::u16string_view relative;  // appended to the working folder
        std::u16string_view inside;    // the result after the folder; "-" when refused
    };
    const Case cases[] = {
        {u"Page.htm", u"Page.htm"},
        {u"page.htm", u"page.htm"},  // found without regard to case, named as asked
        {u"sub/../Page.htm", u"Page.htm"},
        {u"sub\\new.htm", u"sub/new.htm"},  // a file still to be written
        {u"./sub/./x.css", u"sub/x.css"},
        {u"sub/%2e%2e/Page.htm", u"sub/%2e%2e/Page.htm"},  // climbs, but stays inside
        {u"inner.htm", u"inner.htm"},                      // a link that stays inside
        {u"", u""},
        {u"../victim/secret.htm", u"-"},
        {u"..\\victim\\secret.htm", u"-"},
        {u"sub/../../victim/secret.htm", u"-"},
        {u"%2e%2e/victim/secret.htm", u"-"},
        {u"%2E%2E%2Fvictim%2Fsecret.htm", u"-"},
        {u"..%5cvictim%5csecret.htm", u"-"},
        {u"out/secret.htm", u"-"},  // through a folder link
        {u"Link.htm", u"-"},        // a file link
        {u"LINK.HTM", u"-"},        // the same, found without regard to case
        {u"..", u"-"},
        {std::u16string_view(u"x\0/../victim", 12), u"-"},
    };
    for (const auto& c : cases) {
        const std::u16string path = root + std::u16string(c.relative);
        SCOPED_TRACE(toUtf8(path));
        const auto inside = pathInsideFolder(path, root);
        if (c.inside == u"-") {
            EXPECT_FALSE(inside.has_value());
        } else {
            ASSERT_TRUE(inside.has_value());
            EXPECT_EQ(*inside, fromPath(dir.path()) + u"/root/" + std::u16string(c.inside));
        }
    }
}

TEST_F(ConfinedPathTest, AbsolutePathsElsewhereAndEmptyFoldersAreRefused) {
    EXPECT_FALSE(pathInsideFolder(u"/etc/passwd", root));
    EXPECT_FALSE(pathInsideFolder(fromPath(dir.path()) + u"/victim/secret.htm", root));
    EXPECT_FALSE(pathInsideFolder(root + u"Page.htm", u""));
    // The folder itself counts as inside; a folder whose name only starts the same does not.
    EXPECT_TRUE(pathInsideFolder(root, root));
    EXPECT_FALSE(pathInsideFolder(fromPath(dir.path()) + u"/rootx/a.htm", root));
}

TEST_F(ConfinedPathTest, LocatingFindsTheEntryThePathNames) {
    struct Case {
        std::u16string_view relative;  // appended to the working folder
        const char* found;             // below the folder; nullptr when nothing is there
        bool regularFile, throughLink;
    };
    const Case cases[] = {
        {u"Page.htm", "Page.htm", true, false},
        {u"PAGE.HTM", "Page.htm", true, false},  // named as it is on disk
        {u"sub/../Page.htm", "Page.htm", true, false},
        {u"sub", "sub", false, false},
        {u"sub/", "sub/", false, false},
        {u"Page.htm/", nullptr, false, false},  // a file is no folder
        {u"sub/new.htm", nullptr, false, false},
        {u"inner.htm", "inner.htm", true, true},
        {u"INNER.htm", "inner.htm", true, true},
    };
    for (const auto& c : cases) {
        const std::u16string path = root + std::u16string(c.relative);
        SCOPED_TRACE(toUtf8(path));
        const auto located = locateInsideFolder(path, root);
        ASSERT_TRUE(located.has_value());
        EXPECT_EQ(located->path, pathInsideFolder(path, root));
        if (c.found == nullptr) {
            EXPECT_FALSE(located->found.has_value());
        } else {
            EXPECT_EQ(located->found, dir.path() / "root" / c.found);
        }
        EXPECT_EQ(located->regularFile, c.regularFile);
        EXPECT_EQ(located->throughLink, c.throughLink);
        EXPECT_EQ(fileInsideFolder(path, root).has_value(), c.regularFile);
    }
    EXPECT_FALSE(locateInsideFolder(root + u"Link.htm", root).has_value());
}

TEST(PercentDecode, DecodesUtf8EscapesAndKeepsMalformedOnes) {
    EXPECT_EQ(percentDecode(u"a%20b%2E%2e"), u"a b..");
    EXPECT_EQ(percentDecode(u"%E4%B8%AD"), u"\u4e2d");
    EXPECT_EQ(percentDecode(u"100%"), u"100%");
    EXPECT_EQ(percentDecode(u"%zz%4"), u"%zz%4");
}

}  // namespace
}  // namespace quillet
