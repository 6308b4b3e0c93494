#include "project/chm_decompile.h"

#include "platform/process.h"
#include "platform/temp_files.h"
#include "platform/utf.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>

namespace quillet {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

std::filesystem::path fixture(const char* name) {
    return testing::fixturesFolder() / name;
}

// quillet-hh lies beside the programs, not beside the test: put that folder on PATH.
class DecompileTest : public ::testing::Test {
protected:
    DecompileTest() : m_path("PATH", testing::binFolder().string() + ":" + std::getenv("PATH")) {}

    void unpack(TCHMDecompile& project, const char* name) {
        project.LoadFromCHM(fromPath(fixture(name)));
        project.rootFolder = fromPath(dir.path()) + u"/root/";
        project.decompile();
    }

    ScopedEnv m_path;
    TempDir dir;
};

TEST_F(DecompileTest, UnpacksAndReadsContentsAndIndex) {
    TCHMDecompile project;
    std::vector<std::pair<std::u16string, int>> reports;
    project.FOnChange = [&](const std::u16string& info, int p) {
        if (!info.empty() || p != 0) reports.emplace_back(info, p);  // not the calls while waiting
    };
    unpack(project, "nested.chm");

    EXPECT_EQ(reports, (std::vector<std::pair<std::u16string, int>>{{u"Decompiling...", 1}}));
    EXPECT_EQ(project.FileName, u"nested");
    EXPECT_TRUE(project.hhcFile.ends_with(u"/toc.hhc"));  // found though named unlike the file
    EXPECT_TRUE(project.hhkFile.ends_with(u"/idx.hhk"));
    ASSERT_EQ(project.List.size(), 2u);
    EXPECT_EQ(project.List[0].Topic, u"A page");
    EXPECT_EQ(project.List[0].Url, u"a.htm");
    EXPECT_EQ(project.List[0].Keywords, u"Files");
    EXPECT_EQ(project.List[1].Level, 1);
    EXPECT_EQ(project.List[1].Url, u"sub/b.htm#x");
    const auto root = dir.path() / "root";
    EXPECT_TRUE(std::filesystem::exists(root / "sub" / "b.htm"));
    EXPECT_FALSE(std::filesystem::exists(root / "_$$.chm"));
}

TEST_F(DecompileTest, WithoutContentsTheDefaultTopicIsTheEntry) {
    TCHMDecompile project;
    unpack(project, "notoc.chm");
    ASSERT_EQ(project.List.size(), 1u);
    EXPECT_EQ(project.List[0].Topic, u"No Contents Help");
    EXPECT_EQ(project.List[0].Url, u"start.htm");
    EXPECT_EQ(project.List[0].Level, 0);
    EXPECT_EQ(project.List[0].Status, 0);
    EXPECT_TRUE(project.hhcFile.empty());
}

TEST_F(DecompileTest, AFileThatCannotBeUnpackedIsAnError) {
    const auto bad = dir.path() / "bad.chm";
    std::ofstream(bad, std::ios::binary) << "ITSF" << std::string(200, 'x');
    TCHMDecompile project;
    project.LoadFromCHM(fromPath(bad));
    project.rootFolder = fromPath(dir.path()) + u"/root/";
    try {
        project.decompile();
        FAIL() << "expected an error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("cannot unpack"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("bad.chm"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "root" / "_$$.chm"));
}

// An unpacker that stands in for quillet-hh: a shell script with `body`.
std::u16string fakeUnpacker(const std::filesystem::path& folder, const std::string& body) {
    const auto script = folder / "fake-hh";
    std::ofstream(script) << "#!/bin/sh\n" << body << "\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    return fromPath(script);
}

// What the progress event throws when a cancel is pending, as the worker's does.
struct Cancelled {};

TEST_F(DecompileTest, AnUnpackerEndedByAStopSignalIsTheCancelWhenOneIsPending) {
    struct Case {
        const char* what;
        std::string body;
        bool cancelPending;
        const char* message;  // expected in the error; empty: the cancel comes through
        std::uint64_t maxSize = 0;
    };
    const Case kCases[] = {
        {"killed by SIGINT", "kill -INT $$", true, ""},
        {"killed by SIGHUP", "kill -HUP $$", true, ""},
        {"caught SIGINT and cleaned up", "exit 130", true, ""},
        {"caught SIGTERM and cleaned up", "exit 143", true, ""},
        {"killed by SIGINT, no cancel", "kill -INT $$", false,
         "cannot unpack nested.chm: quillet-hh was stopped by a signal (exit code 130)"},
        {"caught SIGTERM, no cancel", "exit 143", false,
         "cannot unpack nested.chm: quillet-hh was stopped by a signal (exit code 143)"},
        {"a failure during a cancel", "echo 'quillet-hh: cannot unpack _$$.chm: broken'; exit 1",
         true, "cannot unpack nested.chm: broken"},
        {"the size limit is passed on", "echo 'quillet-hh: cannot unpack _$$.chm: '\"$*\"; exit 1",
         false, "cannot unpack nested.chm: -decompile . _$$.chm --max-size 12345", 12345},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        TCHMDecompile project;
        project.LoadFromCHM(fromPath(fixture("nested.chm")));
        project.OriginalFile = u"nested.chm";
        project.rootFolder = fromPath(dir.path()) + u"/root/";
        project.Unpacker = fakeUnpacker(dir.path(), c.body);
        project.MaxUnpackSize = c.maxSize;
        project.FOnChange = [&](const std::u16string& info, int) {
            if (info.empty() && c.cancelPending) throw Cancelled();
        };
        try {
            project.decompile();
            ADD_FAILURE() << "no error";
        } catch (const Cancelled&) {
            EXPECT_STREQ(c.message, "");
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(e.what(), std::string(c.message));
        }
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "root" / "_$$.chm"));
    }
}

TEST_F(DecompileTest, ACancelWhileUnpackingStopsTheUnpacker) {
    TCHMDecompile project;
    project.LoadFromCHM(fromPath(fixture("nested.chm")));
    project.rootFolder = fromPath(dir.path()) + u"/root/";
    // It says when it is ready to be stopped, and what stopped it.
    project.Unpacker = fakeUnpacker(dir.path(),
                                    "trap 'echo TERM > ../stopped; exit 143' TERM\n"
                                    "touch ../ready\n"
                                    "while :; do sleep 0.05; done");
    project.FOnChange = [&](const std::u16string&, int) {
        if (std::filesystem::exists(dir.path() / "ready")) throw Cancelled();
    };
    EXPECT_THROW(project.decompile(), Cancelled);
    std::ifstream stopped(dir.path() / "stopped");
    std::string signal;
    stopped >> signal;
    EXPECT_EQ(signal, "TERM");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "root" / "_$$.chm"));
}

TEST(FindFileByExt, SearchesDepthFirstInNameOrderWithoutRegardToCase) {
    TempDir dir;
    for (const char* file : {"b/x.hhc", "A/y.HHC", "c.hhc", "A/sub/z.txt"}) {
        std::filesystem::create_directories((dir.path() / file).parent_path());
        std::ofstream(dir.path() / file) << "x";
    }
    const std::u16string folder = fromPath(dir.path());
    EXPECT_EQ(FindFileByExt(folder, u".hhc"), folder + u"/A/y.HHC");
    EXPECT_EQ(FindFileByExt(folder + u"/", u".TXT"), folder + u"/A/sub/z.txt");
    EXPECT_EQ(FindFileByExt(folder, u".hhk"), u"");
    EXPECT_EQ(FindFileByExt(folder + u"/missing", u".hhc"), u"");
}

TEST(RunAndWait, DrainsOutputAndReportsTheExitCode) {
    TempDir dir;
    const ProcessResult big = RunAndWait(u"seq 1 300000", dir.path());  // ~2 MB of output
    EXPECT_EQ(big.exitCode, 0);
    EXPECT_TRUE(big.output.ends_with("299999\n300000\n"));
    EXPECT_LE(big.output.size(), 64u * 1024);
    EXPECT_EQ(RunAndWait(u"pwd", dir.path()).output, dir.path().string() + "\n");
    EXPECT_EQ(RunAndWait(u"false", dir.path()).exitCode, 1);
    EXPECT_THROW(RunAndWait(u"no-such-program-anywhere", dir.path()), std::system_error);
}

}  // namespace
}  // namespace quillet
