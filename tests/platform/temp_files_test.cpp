#include "platform/temp_files.h"

#include "platform/utf.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>

namespace quillet {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

TEST(TempFiles, TempDirectoryFollowsTmpdirAndEndsInSlash) {
    TempDir dir;
    {
        ScopedEnv env("TMPDIR", dir.path().string());
        EXPECT_EQ(toUtf8(GetTempDirectory()), dir.path().string() + "/");
    }
    {
        ScopedEnv env("TMPDIR", "");
        EXPECT_EQ(GetTempDirectory(), u"/tmp/");
    }
}

TEST(TempFiles, NewTempFileNameCreatesDistinctEmptyFiles) {
    TempDir dir;
    ScopedEnv env("TMPDIR", dir.path().string());
    std::set<std::u16string> names;
    for (int i = 0; i < 50; ++i) {
        const std::u16string name = NewTempFileName();
        const std::filesystem::path path = toPath(name);
        EXPECT_EQ(path.parent_path(), dir.path());
        EXPECT_TRUE(std::regex_match(path.filename().string(), std::regex("~wi[0-9A-F]{4}\\.tmp")))
            << path;
        EXPECT_TRUE(std::filesystem::is_regular_file(path));
        EXPECT_EQ(std::filesystem::file_size(path), 0u);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 50u);
}

TEST(TempFiles, NewTempFileNameFailsClearlyInAMissingFolder) {
    ScopedEnv env("TMPDIR", "/nonexistent-quillet-folder");
    EXPECT_THROW(NewTempFileName(), std::system_error);
}

TEST(TempFiles, RootFolderNamesStayInRange) {
    TempDir dir;
    ScopedEnv env("TMPDIR", dir.path().string());
    const std::string prefix = dir.path().string() + "/";
    for (int i = 0; i < 2000; ++i) {
        const std::string name = toUtf8(NewRootFolderName());
        ASSERT_EQ(name.rfind(prefix, 0), 0u) << name;
        ASSERT_EQ(name.back(), '/');
        const std::string number = name.substr(prefix.size(), name.size() - prefix.size() - 1);
        ASSERT_TRUE(std::regex_match(number, std::regex("[0-9]{6,7}"))) << name;
        const long value = std::stol(number);
        ASSERT_GE(value, 100000);
        ASSERT_LE(value, 1099998);
        ASSERT_FALSE(std::filesystem::exists(toPath(fromUtf8(name)))) << "must not be created";
    }
}

TEST(TempFiles, DeleteFolderRemovesTreesAndAcceptsMissingOnes) {
    TempDir dir;
    const auto root = dir.path() / "123456";
    std::filesystem::create_directories(root / "a" / "b");
    std::ofstream(root / "a" / "b" / "page.htm") << "x";
    std::ofstream(root / "top.css") << "y";

    EXPECT_TRUE(DeleteFolder(fromPath(root) + u"/"));
    EXPECT_FALSE(std::filesystem::exists(root));
    EXPECT_TRUE(DeleteFolder(fromPath(root)));  // already gone: still fine
    EXPECT_TRUE(std::filesystem::exists(dir.path()));
    EXPECT_FALSE(DeleteFolder(u"/"));
    EXPECT_FALSE(DeleteFolder(u""));
}

}  // namespace
}  // namespace quillet
