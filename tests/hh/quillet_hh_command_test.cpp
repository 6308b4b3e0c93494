// The quillet-hh program as the converter starts it: exit codes, messages, what it leaves.

#include "hh/unpack_test_support.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <set>
#include <vector>

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::binFolder;
using testing::ChildProcess;
using testing::compiledFixture;
using testing::filesUnder;
using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

struct CommandRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs quillet-hh with `args` in the folder `cwd`.
CommandRun runHh(const fs::path& cwd, const std::vector<std::string>& args) {
    const TempDir capture;
    std::string command = "cd " + shellQuoted(cwd.string()) + " && " +
                          shellQuoted((binFolder() / "quillet-hh").string());
    for (const std::string& arg : args) command += " " + shellQuoted(arg);
    command += " > " + shellQuoted((capture.path() / "out").string()) + " 2> " +
               shellQuoted((capture.path() / "err").string());
    const int status = std::system(command.c_str());
    CommandRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readBytes(capture.path() / "out");
    run.err = readBytes(capture.path() / "err");
    return run;
}

std::set<std::string> namesUnder(const fs::path& root) {
    std::set<std::string> names;
    for (const auto& [name, bytes] : filesUnder(root)) names.insert(name);
    return names;
}

TEST(QuilletHhCommand, DecompilesIntoTheCurrentFolderAsTheConverterAsks) {
    TempDir dir;
    fs::copy_file(compiledFixture("hh-listing"), dir.path() / "_$$.chm");

    const CommandRun run = runHh(dir.path(), {"-decompile", ".", "_$$.chm"});

    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readBytes(dir.path() / "_$$.chm"), readBytes(compiledFixture("hh-listing")));
    EXPECT_TRUE(fs::is_regular_file(dir.path() / "toc.hhc"));
    EXPECT_TRUE(fs::is_regular_file(dir.path() / "index.hhk"));
    EXPECT_TRUE(fs::is_regular_file(dir.path() / "images/logo.svg"));
}

TEST(QuilletHhCommand, FailureGivesOneLineAndExitCode1) {
    struct Case {
        std::vector<std::string> args;
        std::string message;  // the whole line, or its start when it ends in "..."
    };
    const Case kCases[] = {
        {{"-decompile", ".", "missing.chm"},
         "quillet-hh: cannot unpack missing.chm: there is no such file"},
        {{"-decompile", ".", "notes.chm"},
         "quillet-hh: cannot unpack notes.chm: not a compiled help file"},
        {{"-decompile", ".", "folder"},
         "quillet-hh: cannot unpack folder: it is a folder, not a file"},
        {{"-decompile", "out", "_$$.chm", "--max-size", "100"},
         "quillet-hh: cannot unpack _$$.chm: its files need ..."},
        {{"-decompile", "out", "cut.chm"},
         "quillet-hh: cannot unpack cut.chm: the file is truncated ..."},
    };
    const std::string whole = readBytes(compiledFixture("hh-listing"));
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.message);
        TempDir dir;
        writeBytes(dir.path() / "_$$.chm", whole);
        writeBytes(dir.path() / "cut.chm", whole.substr(0, whole.size() / 2));
        writeBytes(dir.path() / "notes.chm", "Just some notes, no help file.\n");
        fs::create_directory(dir.path() / "folder");
        const std::set<std::string> before = namesUnder(dir.path());

        const CommandRun run = runHh(dir.path(), c.args);

        EXPECT_EQ(run.exitCode, 1);
        ASSERT_FALSE(run.err.empty());
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
        if (c.message.ends_with("...")) {
            EXPECT_EQ(run.err.rfind(c.message.substr(0, c.message.size() - 3), 0), 0u) << run.err;
        } else {
            EXPECT_EQ(run.err, c.message + "\n");
        }
        EXPECT_EQ(namesUnder(dir.path()), before);
        EXPECT_FALSE(fs::exists(dir.path() / "out"));
    }
}

TEST(QuilletHhCommand, UsageErrorsGiveExitCode2AndTheUsage) {
    const std::vector<std::string> kCases[] = {
        {},
        {"-decompile", "."},
        {"-decompile", ".", "a.chm", "--max-size", "lots"},
        {"-decompile", ".", "a.chm", "--max-size=-1"},
        {"-decompile", ".", "a.chm", "--max-size"},
        {"--frobnicate"},
    };
    TempDir dir;
    for (const std::vector<std::string>& args : kCases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const CommandRun run = runHh(dir.path(), args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err.rfind("quillet-hh: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("Usage: quillet-hh -decompile DIR FILE"), std::string::npos);
    }
    const CommandRun help = runHh(dir.path(), {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: quillet-hh -decompile DIR FILE"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(QuilletHhCommand, AStopSignalTakesBackTheUnpackAndEndsWith128PlusIt) {
    const fs::path helpFile =
        testing::testDataFolder() / "corpus" / "ru-cp1251-drexplain-filmcollection.chm";
    struct Case {
        int signal;
        int exitCode;
    };
    const Case kCases[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(strsignal(c.signal));
        TempDir dir;
        writeBytes(dir.path() / "notes.txt", "there before");
        ChildProcess hh(
            {(binFolder() / "quillet-hh").string(), "-decompile", "out", helpFile.string()},
            {.folder = dir.path()});
        ASSERT_TRUE(hh.waitUntilCatching(c.signal));
        hh.signal(c.signal);
        const int exitCode = hh.finish();
        // The signal comes while the files are unpacked, or on a fast machine after the unpack
        // was whole; never half-way. Stopping at each step is ChmUnpacker's test.
        if (exitCode == 0) {
            EXPECT_TRUE(fs::is_regular_file(dir.path() / "out" / "Main.htm"));
            continue;
        }
        EXPECT_EQ(exitCode, c.exitCode) << hh.err();
        EXPECT_EQ(hh.err(), "quillet-hh: stopped; nothing of this run is left in out\n");
        EXPECT_EQ(namesUnder(dir.path()), std::set<std::string>{"notes.txt"});
        EXPECT_FALSE(fs::exists(dir.path() / "out"));
    }
}

}  // namespace
}  // namespace quillet
