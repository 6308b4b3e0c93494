#include "platform/case_insensitive_path.h"

#include "platform/utf.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

void touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file).put('x');
}

fs::path utf8Path(const char8_t* text) {
    return fs::path(text);
}

TEST(FoldCase, FoldsCapitalsOfEachScriptAndNothingElse) {
    struct Case {
        char16_t in, out;
    };
    const Case cases[] = {
        {u'A', u'a'}, {u'z', u'z'}, {u'@', u'@'}, {u'[', u'['}, {u'À', u'à'},   {u'Þ', u'þ'},
        {u'×', u'×'}, {u'ß', u'ß'}, {u'Ÿ', u'ÿ'}, {u'Ā', u'ā'}, {u'ā', u'ā'},   {u'Ł', u'ł'},
        {u'ł', u'ł'}, {u'Ž', u'ž'}, {u'İ', u'İ'}, {u'Ά', u'ά'}, {u'Έ', u'έ'},   {u'Ό', u'ό'},
        {u'Ώ', u'ώ'}, {u'Σ', u'σ'}, {u'ς', u'σ'}, {u'Ϋ', u'ϋ'}, {u'Ё', u'ё'},   {u'Я', u'я'},
        {u'я', u'я'}, {u'Ґ', u'ґ'}, {u'Ӂ', u'ӂ'}, {u'Ӏ', u'ӏ'}, {u'中', u'中'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(std::u16string(1, c.in)));
        EXPECT_EQ(foldCase(c.in), c.out);
    }
    EXPECT_EQ(foldCase(u"Straße ΟΔΟΣ Улица"), u"straße οδοσ улица");
}

TEST(FoldCase, IsStableWhenAppliedTwice) {
    for (char32_t c = 0; c < 0x0600; ++c) {
        const char16_t once = foldCase(static_cast<char16_t>(c));
        EXPECT_EQ(foldCase(once), once) << "U+" << std::hex << static_cast<unsigned>(c);
    }
}

TEST(FindExistingPath, ResolvesEachComponentWithoutRegardToCase) {
    TempDir dir;
    const fs::path& root = dir.path();
    touch(root / "Images" / "Logo.GIF");
    touch(root / utf8Path(u8"Ñandú") / utf8Path(u8"Страница.htm"));
    fs::create_symlink(root / "nowhere", root / "Dangling");

    struct Case {
        fs::path query;
        std::optional<fs::path> found;
    };
    const Case cases[] = {
        {root / "Images" / "Logo.GIF", root / "Images" / "Logo.GIF"},
        {root / "images" / "logo.gif", root / "Images" / "Logo.GIF"},
        {root / "IMAGES/", root / "Images/"},
        {root / utf8Path(u8"ñANDÚ") / utf8Path(u8"сТРАНИЦА.HTM"),
         root / utf8Path(u8"Ñandú") / utf8Path(u8"Страница.htm")},
        {root / "images" / "." / ".." / "IMAGES" / "logo.gif",
         root / "Images" / "." / ".." / "Images" / "Logo.GIF"},
        {root / "images" / "missing.gif", std::nullopt},
        {root / "missing" / "logo.gif", std::nullopt},
        {root / "images" / "logo.gif" / "x", std::nullopt},
        {root / "images" / "logo.gif/", std::nullopt},
        {root / "dangling", std::nullopt},
        {fs::path(), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query.string());
        EXPECT_EQ(findExistingPath(c.query), c.found);
    }
}

TEST(FindExistingPath, PrefersTheExactSpellingThenTheFirstInSortedOrder) {
    TempDir dir;
    touch(dir.path() / "abc.htm");
    touch(dir.path() / "ABC.htm");
    touch(dir.path() / "aBC.htm");
    EXPECT_EQ(findExistingPath(dir.path() / "abc.htm"), dir.path() / "abc.htm");
    EXPECT_EQ(findExistingPath(dir.path() / "aBC.htm"), dir.path() / "aBC.htm");
    EXPECT_EQ(findExistingPath(dir.path() / "Abc.htm"), dir.path() / "ABC.htm");
    EXPECT_EQ(findExistingPath(dir.path() / "ABC.HTM"), dir.path() / "ABC.htm");
}

TEST(FindExistingPath, ResolvesRelativePaths) {
    TempDir dir;
    touch(dir.path() / "Sub" / "File.txt");
    const fs::path previous = fs::current_path();
    fs::current_path(dir.path());
    const auto found = findExistingPath("./sub/../SUB/file.TXT");
    const auto missing = findExistingPath("sub/other.txt");
    fs::current_path(previous);

    EXPECT_EQ(found, fs::path("./Sub/../Sub/File.txt"));
    EXPECT_EQ(missing, std::nullopt);
}

TEST(FindExistingPath, FindsFilesCreatedAfterTheFolderWasListed) {
    TempDir dir;
    touch(dir.path() / "First.htm");
    ASSERT_EQ(findExistingPath(dir.path() / "first.htm"), dir.path() / "First.htm");
    ASSERT_EQ(findExistingPath(dir.path() / "second.htm"), std::nullopt);

    touch(dir.path() / "Second.htm");
    EXPECT_EQ(findExistingPath(dir.path() / "second.htm"), dir.path() / "Second.htm");

    // A folder that is gone, or replaced, is read afresh rather than answered from memory.
    fs::remove_all(dir.path());
    EXPECT_EQ(findExistingPath(dir.path() / "first.htm"), std::nullopt);
    touch(dir.path() / "Third.htm");
    EXPECT_EQ(findExistingPath(dir.path() / "THIRD.htm"), dir.path() / "Third.htm");
}

TEST(FindExistingPath, FollowsRenamesAndRemovalsWithoutListingTheFolderForEachMiss) {
    TempDir dir;
    touch(dir.path() / "Kept.htm");
    touch(dir.path() / "Old.htm");
    ASSERT_EQ(findExistingPath(dir.path() / "kept.htm"), dir.path() / "Kept.htm");

    fs::rename(dir.path() / "Old.htm", dir.path() / "Renamed.htm");
    EXPECT_EQ(findExistingPath(dir.path() / "old.htm"), std::nullopt);
    EXPECT_EQ(findExistingPath(dir.path() / "RENAMED.HTM"), dir.path() / "Renamed.htm");
    fs::remove(dir.path() / "Kept.htm");
    EXPECT_EQ(findExistingPath(dir.path() / "kept.htm"), std::nullopt);

    // Writing a thousand new files, each looked for first as a writer does, and missing
    // files asked for again and again: the folder is not listed once per file.
    const std::size_t before = folderListingsRead();
    for (int i = 0; i < 1000; ++i) {
        const std::string name = "part_" + std::to_string(i) + ".htm";
        ASSERT_EQ(findExistingPath(dir.path() / ("PART_" + std::to_string(i) + ".HTM")),
                  std::nullopt);
        touch(dir.path() / name);
        ASSERT_EQ(findExistingPath(dir.path() / ("Part_" + std::to_string(i) + ".htm")),
                  dir.path() / name);
        ASSERT_EQ(findExistingPath(dir.path() / "Missing.htm"), std::nullopt);
    }
    EXPECT_LT(folderListingsRead() - before, 10u);
}

TEST(FindExistingPath, AnswersCorrectlyFromSeveralThreads) {
    TempDir dir;
    constexpr int kFiles = 40;
    for (int i = 0; i < kFiles; i += 2) touch(dir.path() / ("Page" + std::to_string(i) + ".htm"));

    std::atomic<int> wrong = 0;
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        for (int i = 1; i < kFiles; i += 2)
            touch(dir.path() / ("Page" + std::to_string(i) + ".htm"));
    });
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 20; ++round)
                for (int i = 0; i < kFiles; i += 2) {
                    const std::string name = "page" + std::to_string(i) + ".HTM";
                    const std::string real = "Page" + std::to_string(i) + ".htm";
                    if (findExistingPath(dir.path() / name) != dir.path() / real) ++wrong;
                }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong, 0);
    for (int i = 1; i < kFiles; i += 2) {
        const std::string name = "PAGE" + std::to_string(i) + ".htm";
        EXPECT_EQ(findExistingPath(dir.path() / name),
                  dir.path() / ("Page" + std::to_string(i) + ".htm"));
    }
}

}  // namespace
}  // namespace quillet
