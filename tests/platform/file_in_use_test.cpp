#include "platform/file_in_use.h"

#include "platform/utf.h"
#include "support/temp_dir.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>

namespace quillet {
namespace {

using testing::TempDir;

TEST(IsFileInUse, FreeAndMissingFilesAreNotInUse) {
    TempDir dir;
    EXPECT_FALSE(IsFileInUse(fromPath(dir.path() / "missing.docx")));
    std::ofstream(dir.path() / "free.docx") << "x";
    EXPECT_FALSE(IsFileInUse(fromPath(dir.path() / "free.docx")));
}

TEST(IsFileInUse, AnOfficeLockFileBesideItMeansInUse) {
    TempDir dir;
    const char* lockNames[] = {".~lock.guide.docx#", "~$guide.docx", "~$cument.docx"};
    const char* files[] = {"guide.docx", "guide.docx", "document.docx"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(lockNames[i]);
        std::ofstream(dir.path() / files[i]) << "x";
        EXPECT_FALSE(IsFileInUse(fromPath(dir.path() / files[i])));
        std::ofstream(dir.path() / lockNames[i]) << "owner";
        EXPECT_TRUE(IsFileInUse(fromPath(dir.path() / files[i])));
        std::filesystem::remove(dir.path() / lockNames[i]);
    }
}

TEST(IsFileInUse, AnExclusiveLockMeansInUse) {
    TempDir dir;
    const auto file = dir.path() / "locked.docx";
    std::ofstream(file) << "x";

    const int fd = ::open(file.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_TRUE(IsFileInUse(fromPath(file)));
    ::flock(fd, LOCK_UN);
    EXPECT_FALSE(IsFileInUse(fromPath(file)));

    // A write lock held by another process, the way LibreOffice locks what it has open.
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        char c = ::fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        (void)!::read(release[0], &c, 1);
        ::_exit(0);
    }
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    ASSERT_EQ(answer, 'y');
    EXPECT_TRUE(IsFileInUse(fromPath(file)));
    (void)!::write(release[1], "x", 1);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(IsFileInUse(fromPath(file)));
    for (int p : {ready[0], ready[1], release[0], release[1], fd}) ::close(p);
}

}  // namespace
}  // namespace quillet
