#include "hh/chm_unpacker.h"

#include "hh/help_file_header.h"
#include "hh/unpack_test_support.h"
#include "support/temp_dir.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <set>
#include <sstream>

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::compiledFixture;
using testing::filesUnder;
using testing::fixtureProject;
using testing::putLittleEndian64;
using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

HelpFileHeader headerOf(const fs::path& chm) {
    const int fd = ::open(chm.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot open " + chm.string());
    try {
        HelpFileHeader header = readHelpFileHeader(fd, fs::file_size(chm));
        ::close(fd);
        return header;
    } catch (...) {
        ::close(fd);
        throw;
    }
}

std::string trimmed(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

// The files a .hhp project puts into its help file: its [FILES] list and the contents and index
// files its [OPTIONS] name.
std::set<std::string> projectFiles(const fs::path& hhp) {
    std::set<std::string> files;
    std::istringstream in(readBytes(hhp));
    std::string section, line;
    while (std::getline(in, line)) {
        line = trimmed(line);
        if (line.empty()) continue;
        if (line.front() == '[') {
            section = line;
        } else if (section == "[FILES]") {
            files.insert(line);
        } else if (section == "[OPTIONS]") {
            for (const std::string key : {"Contents file=", "Index file="})
                if (line.starts_with(key)) files.insert(line.substr(key.size()));
        }
    }
    return files;
}

std::set<std::string> namesOf(const std::map<std::string, std::string>& files) {
    std::set<std::string> names;
    for (const auto& [name, bytes] : files) names.insert(name);
    return names;
}

TEST(ChmUnpacker, ChmcmdFileUnpacksEveryFileOfItsProject) {
    const fs::path project = fixtureProject("hh-listing");
    TempDir dir;
    const UnpackResult result = unpackHelpFile(compiledFixture("hh-listing"), dir.path() / "out");

    // Both header faults must be present in the fixture, or this test shows nothing.
    ASSERT_EQ(result.repairs.size(), 2u);
    EXPECT_NE(result.repairs[1].find("listing"), std::string::npos) << result.repairs[1];
    EXPECT_TRUE(result.warnings.empty());

    std::map<std::string, std::string> files = filesUnder(dir.path() / "out");
    EXPECT_EQ(files.erase("_#_README_#_"), 1u);  // chmcmd's own note
    const std::set<std::string> expected = projectFiles(project / "hh-listing.hhp");
    ASSERT_EQ(namesOf(files), expected);
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        EXPECT_EQ(bytes, readBytes(project / name));
    }
    EXPECT_EQ(result.fileCount, expected.size() + 1);
    // The unpacked files only: no staging folder is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// Unpacks `bytes`, stored as "_$$.chm", into its own folder beside another file, as the converter
// does; expects a failure whose message holds `fragment`, with the folder as it was.
void expectFailsCleanly(const std::string& bytes, const std::string& fragment) {
    TempDir dir;
    writeBytes(dir.path() / "_$$.chm", bytes);
    writeBytes(dir.path() / "notes.txt", "there before");
    try {
        unpackHelpFile(dir.path() / "_$$.chm", dir.path());
        ADD_FAILURE() << "unpacked without an error";
    } catch (const UnpackError& e) {
        const std::string message = e.what();
        EXPECT_EQ(message.rfind("cannot unpack " + (dir.path() / "_$$.chm").string() + ": ", 0), 0u)
            << message;
        EXPECT_NE(message.find(fragment), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
    const std::map<std::string, std::string> files = filesUnder(dir.path());
    EXPECT_EQ(namesOf(files), (std::set<std::string>{"_$$.chm", "notes.txt"}));
}

TEST(ChmUnpacker, WindowCaptionIsTheFirstWindowsTitleText) {
    // #WINDOWS: count, entry size, then entries; at 0x14 of an entry the caption's offset in
    // #STRINGS. The second entry's caption never counts.
    const auto le32 = [](std::uint32_t v) {
        std::string b(4, '\0');
        for (int i = 0; i < 4; ++i) b[i] = static_cast<char>(v >> (8 * i));
        return b;
    };
    const auto entry = [&](std::uint32_t unicode, std::uint32_t caption) {
        std::string e = le32(0xBC) + le32(unicode) + le32(1) + le32(0) + le32(0) + le32(caption);
        return e + std::string(0xBC - e.size(), '\0');
    };
    const std::string strings = std::string("\0main\0Caption\0Other", 20) + '\0';
    const std::string two = le32(2) + le32(0xBC) + entry(0, 6) + entry(0, 14);
    struct Case {
        const char* what;
        std::string windows, strings;
        std::optional<std::string> caption;
    };
    const Case cases[] = {
        {"first entry", two, strings, "Caption"},
        {"last string without its NUL", two, strings.substr(0, 13), "Caption"},
        {"no entries", le32(0) + le32(0xBC), strings, std::nullopt},
        {"entries shorter than their size", two.substr(0, 100), strings, std::nullopt},
        {"offset past the strings", le32(1) + le32(0xBC) + entry(0, 400), strings, std::nullopt},
        {"no caption", le32(1) + le32(0xBC) + entry(0, 0), strings, std::nullopt},
        {"Unicode strings", le32(1) + le32(0xBC) + entry(1, 6), strings, std::nullopt},
        {"truncated header", "\x01\0", strings, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(firstWindowCaption(c.windows, c.strings), c.caption) << c.what;
}

TEST(ChmUnpacker, TheWindowsHomePageAndTheContentsGenerator) {
    const auto le32 = [](std::uint32_t v) {
        std::string b(4, '\0');
        for (int i = 0; i < 4; ++i) b[i] = static_cast<char>(v >> (8 * i));
        return b;
    };
    std::string entry = le32(0xC4) + std::string(0x64, '\0') + le32(6);  // home at 0x68
    entry.resize(0xC4, '\0');
    const std::string strings = std::string("\0main\0home.htm", 15) + '\0';
    EXPECT_EQ(firstWindowString(le32(1) + le32(0xC4) + entry, strings, kWindowHomeAt), "home.htm");
    EXPECT_EQ(
        firstWindowString(le32(1) + le32(0x64) + entry.substr(0, 0x64), strings, kWindowHomeAt),
        std::nullopt)
        << "an entry too short to hold it";

    struct Case {
        const char* page;
        std::optional<std::string> generator;
    };
    const Case cases[] = {
        {"<HEAD><meta name=\"GENERATOR\" content=\"Visual CHM V4.1\"></HEAD>", "Visual CHM V4.1"},
        {"<meta content='Tool 2' name=generator>", "Tool 2"},
        {"<meta name=\"keywords\" content=\"a\"><meta name=\"description\">", std::nullopt},
        {"<meta name=\"generator\" content=", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(generatorOf(c.page), c.generator) << c.page;
}

TEST(ChmUnpacker, TruncatedFileFailsAndLeavesNothing) {
    const fs::path fixture = compiledFixture("hh-listing");
    const std::string whole = readBytes(fixture);
    const HelpFileHeader header = headerOf(fixture);
    const std::size_t size = whole.size();
    const std::size_t directory = header.directoryOffset;
    const std::string sizeText = std::to_string(size);
    struct Case {
        std::size_t cut;
        std::string fragment;
    };
    const Case kCases[] = {
        {0, "not a compiled help file"},
        {3, "not a compiled help file"},
        {0x40, "the file header is truncated at byte 64"},
        {directory + 100,
         "the file is truncated at byte " + std::to_string(directory + 100) + " of " + sizeText},
        {size / 2, "the file is truncated at byte"},
        {size - 1, "the file is truncated at byte " + std::to_string(size - 1) + " of " + sizeText},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE("cut at " + std::to_string(c.cut));
        expectFailsCleanly(whole.substr(0, c.cut), c.fragment);
    }
}

// A file cut short whose header was made to agree: the checks behind the header must catch it.
TEST(ChmUnpacker, TruncatedFileWithAMatchingHeaderFailsAndLeavesNothing) {
    const fs::path fixture = compiledFixture("hh-listing");
    const std::string whole = readBytes(fixture);
    const HelpFileHeader header = headerOf(fixture);
    std::uint64_t headerSection0 = 0;
    for (int i = 7; i >= 0; --i)
        headerSection0 = headerSection0 << 8 | static_cast<unsigned char>(whole[0x38 + i]);
    const std::size_t directoryEnd =
        header.directoryOffset + std::size_t{header.chunkSize} * header.chunkCount;
    for (const std::size_t cut :
         {header.directoryOffset + 100, directoryEnd + 10, (directoryEnd + whole.size()) / 2,
          whole.size() - 100, whole.size() - 1}) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        std::string bytes = whole.substr(0, cut);
        putLittleEndian64(bytes, headerSection0 + 8, cut);
        expectFailsCleanly(bytes, "truncated at byte " + std::to_string(cut));
    }
}

TEST(ChmUnpacker, DamagedHeadersAreRefusedAndLeaveNothing) {
    const fs::path fixture = compiledFixture("hh-listing");
    const std::string whole = readBytes(fixture);
    const HelpFileHeader header = headerOf(fixture);
    ASSERT_GE(header.chunkCount, 3u);  // two listing chunks, then the index chunk
    const std::size_t itsp = header.directoryOffset - 0x54;
    auto chunkNext = [&](std::uint32_t chunk) {
        return header.directoryOffset + std::size_t{chunk} * header.chunkSize + 0x10;
    };
    auto put32 = [](std::string& bytes, std::size_t offset, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
    };
    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        std::string fragment;
    };
    const Case kCases[] = {
        {"first GUID", [](std::string& b) { b[0x18] ^= 1; }, "not a compiled help file"},
        {"second GUID", [](std::string& b) { b[0x28] ^= 2; }, "not a compiled help file"},
        {"directory signature", [&](std::string& b) { b[itsp] = 'X'; },
         "the directory header is corrupt"},
        {"chunk count", [&](std::string& b) { put32(b, itsp + 0x2C, 1000); },
         "the directory is truncated"},
        {"chunk size", [&](std::string& b) { put32(b, itsp + 0x10, 0x10000); },
         "the directory header is corrupt"},
        {"listing loops", [&](std::string& b) { put32(b, chunkNext(1), 0); },
         "the directory is corrupt: its listing loops back to chunk 0"},
        {"listing leaves the directory", [&](std::string& b) { put32(b, chunkNext(0), 77); },
         "the directory is corrupt: its listing leads to chunk 77"},
        {"listing leads to the index", [&](std::string& b) { put32(b, chunkNext(0), 2); },
         "the directory is corrupt: its listing leads to index chunk 2"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string bytes = whole;
        c.damage(bytes);
        expectFailsCleanly(bytes, c.fragment);
    }
}

// Flipped bytes anywhere, headers, directory, compressed data: no crash, and when the unpack
// fails, nothing of it is left.
TEST(ChmUnpacker, FlippedBytesNeverCrashOrLeaveHalfAnUnpack) {
    const std::string whole = readBytes(compiledFixture("hh-listing"));
    for (std::size_t at = 0; at < whole.size(); at += 89) {
        SCOPED_TRACE("byte " + std::to_string(at));
        TempDir dir;
        std::string bytes = whole;
        bytes[at] = static_cast<char>(bytes[at] ^ 0xA5);
        writeBytes(dir.path() / "_$$.chm", bytes);
        try {
            unpackHelpFile(dir.path() / "_$$.chm", dir.path());
        } catch (const UnpackError&) {
            EXPECT_EQ(namesOf(filesUnder(dir.path())), (std::set<std::string>{"_$$.chm"}));
        }
    }
}

TEST(ChmUnpacker, HostileNamesAreSkippedAndNothingLandsOutside) {
    std::string bytes = readBytes(compiledFixture("hh-names"));
    const HelpFileHeader header = headerOf(compiledFixture("hh-names"));
    const std::size_t directoryEnd =
        header.directoryOffset + std::size_t{header.chunkSize} * header.chunkCount;
    TempDir root;
    // Each entry gets a name of the same length: `prefix`, then "x"s, then ".htm".
    const std::pair<std::string, std::string> kRenames[] = {
        {"/victim-1-aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.htm", "/../../"},
        {"/victim-2-aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.htm", "/dir1/../../../"},
        {"/victim-3-aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.htm", "//tmp/quillet-hh-abs-"},
        {"/victim-4-aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.htm", "/C:/"},
        {"/victim-5-aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.htm", "/..\\..\\"},
        {"/victim-6-aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.htm", "/\\"},
        {"/zzzz", "/dir1"},  // a file named like the folder of dir1/c.htm
    };
    std::vector<std::string> newNames;
    for (const auto& [from, prefix] : kRenames) {
        std::string to = prefix;
        if (to.size() < from.size()) to += std::string(from.size() - to.size() - 4, 'x') + ".htm";
        ASSERT_EQ(to.size(), from.size());
        const std::size_t at = bytes.find(from, header.directoryOffset);
        ASSERT_LT(at, directoryEnd) << from;
        bytes.replace(at, from.size(), to);
        newNames.push_back(to);
    }
    writeBytes(root.path() / "hostile.chm", bytes);
    const fs::path out = root.path() / "a" / "b" / "out";

    const UnpackResult result = unpackHelpFile(root.path() / "hostile.chm", out);

    EXPECT_EQ(result.warnings.size(), newNames.size());
    for (const std::string& name : newNames) {
        const bool warned = std::any_of(
            result.warnings.begin(), result.warnings.end(),
            [&](const std::string& w) { return w.starts_with("skipped " + name + ": "); });
        EXPECT_TRUE(warned) << name;
    }
    EXPECT_EQ(namesOf(filesUnder(root.path())),
              (std::set<std::string>{"hostile.chm", "a/b/out/_#_README_#_", "a/b/out/keep.htm",
                                     "a/b/out/dir1/c.htm"}));
    EXPECT_FALSE(fs::exists(newNames[2].substr(1)));
}

TEST(ChmUnpacker, SizeLimitIsCheckedBeforeWriting) {
    const fs::path fixture = compiledFixture("hh-listing");
    TempDir dir;
    const std::uint64_t total = unpackHelpFile(fixture, dir.path() / "first").byteCount;
    ASSERT_GT(total, 0u);

    // The output folder and its missing parents are created, and go again on failure.
    const fs::path out = dir.path() / "new" / "out";
    try {
        unpackHelpFile(fixture, out, UnpackOptions{.maxSize = total - 1});
        ADD_FAILURE() << "unpacked beyond the limit";
    } catch (const UnpackError& e) {
        EXPECT_NE(std::string(e.what()).find("its files need " + std::to_string(total) +
                                             " bytes, more than the limit of " +
                                             std::to_string(total - 1) + " bytes"),
                  std::string::npos)
            << e.what();
        EXPECT_NE(std::string(e.what()).find("larger --max-size"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(dir.path() / "new"));

    const UnpackResult result = unpackHelpFile(fixture, out, UnpackOptions{.maxSize = total});
    EXPECT_EQ(result.byteCount, total);
    EXPECT_EQ(filesUnder(out), filesUnder(dir.path() / "first"));
}

// Every file and folder under `root`, by its path relative to `root`: what a run left, staging
// and created folders included.
std::set<std::string> entriesUnder(const fs::path& root) {
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        entries.insert(entry.path().lexically_relative(root).generic_string());
    return entries;
}

TEST(ChmUnpacker, OverlongNamesAreSkippedWithAShortWarning) {
    const std::string whole = readBytes(compiledFixture("hh-long"));
    const HelpFileHeader header = headerOf(compiledFixture("hh-long"));
    // The page's entry, not those of its folders.
    const std::size_t at = whole.rfind("/long-1-", whole.find("/page.htm", header.directoryOffset));
    ASSERT_NE(at, std::string::npos);
    const std::size_t firstSlash = whole.find('/', at + 1);
    ASSERT_EQ(firstSlash, at + 151);
    TempDir root;

    // Two folders joined into one part of 301 bytes, more than a file name may have.
    std::string joined = whole;
    joined[firstSlash] = '-';
    // An output folder so deep that the 462-byte entry would pass PATH_MAX there, while a short
    // one still fits.
    fs::path deep = root.path() / "deep";
    while (deep.native().size() < PATH_MAX - 400) deep /= std::string(199, 'd');
    ASSERT_LT((deep / "keep.htm").native().size() + 40, std::size_t{PATH_MAX});

    struct Case {
        const char* what;
        const std::string& bytes;
        fs::path out;
    };
    const Case kCases[] = {
        {"a part longer than NAME_MAX", joined, root.path() / "joined"},
        {"a path longer than PATH_MAX", whole, deep},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        writeBytes(root.path() / "long.chm", c.bytes);
        const UnpackResult result = unpackHelpFile(root.path() / "long.chm", c.out);
        ASSERT_EQ(result.warnings.size(), 1u);
        const std::string& warning = result.warnings[0];
        EXPECT_EQ(warning.rfind("skipped /long-1-xxx", 0), 0u) << warning;
        EXPECT_NE(warning.find("xxx...xxx"), std::string::npos) << warning;
        EXPECT_NE(warning.find("x/page.htm: "), std::string::npos) << warning;
        EXPECT_LT(warning.size(), 300u) << warning;
        EXPECT_EQ(entriesUnder(c.out), (std::set<std::string>{"_#_README_#_", "keep.htm"}));
    }
}

TEST(ChmUnpacker, StoppedAtAnyPointTheUnpackTakesBackEverything) {
    const fs::path fixture = compiledFixture("hh-listing");
    // How often a whole run asks whether to stop: before the files, before and while writing
    // each, before placing each.
    int asked = 0;
    {
        TempDir dir;
        unpackHelpFile(fixture, dir.path() / "out", {.stopRequested = [&] {
                           ++asked;
                           return false;
                       }});
    }
    ASSERT_GT(asked, 10);

    for (int stopAt = 1; stopAt <= asked; ++stopAt) {
        SCOPED_TRACE("stopped at question " + std::to_string(stopAt));
        TempDir dir;
        writeBytes(dir.path() / "notes.txt", "there before");
        int question = 0;
        const UnpackOptions options{.stopRequested = [&] { return ++question >= stopAt; }};
        EXPECT_THROW(unpackHelpFile(fixture, dir.path() / "new" / "out", options), UnpackStopped);
        EXPECT_EQ(entriesUnder(dir.path()), (std::set<std::string>{"notes.txt"}));
    }
}

TEST(ChmUnpacker, DefaultSizeLimitGrowsWithTheHelpFile) {
    constexpr std::uint64_t kFloor = UnpackOptions::kMinimumSizeLimit;
    const std::pair<std::uint64_t, std::uint64_t> kCases[] = {
        {0, kFloor},
        {10'000, kFloor},  // a small help file of pictures still unpacks
        {543'000, 108'600'000},
        {std::uint64_t{1} << 62, UINT64_MAX},
    };
    for (const auto& [fileSize, limit] : kCases) {
        SCOPED_TRACE(fileSize);
        EXPECT_EQ(defaultSizeLimit(fileSize), limit);
    }
}

// Reads the directory's variable-length number at `at`; moves `at` past it.
std::uint64_t readEncInt(const std::string& bytes, std::size_t& at) {
    std::uint64_t value = 0;
    unsigned char byte = 0;
    do {
        byte = static_cast<unsigned char>(bytes[at++]);
        value = value << 7 | (byte & 0x7F);
    } while (byte & 0x80);
    return value;
}

// A help file of one compressed file of 2.2 MB whose directory then claims 200 MB: what a
// crafted file looks like to the size check.
TEST(ChmUnpacker, AFileClaimingFarMoreThanItsSizeIsRefusedUnlessTheLimitIsRaised) {
    TempDir dir;
    const fs::path project = dir.path() / "big";
    fs::create_directory(project);
    writeBytes(project / "big.txt", std::string(2'200'000, 'a'));
    writeBytes(project / "big.hhp",
               "[OPTIONS]\nCompiled file=big.chm\nTitle=Big\n\n[FILES]\nbig.txt\n");
    const std::string compile =
        "cd '" + project.string() + "' && '" QUILLET_CHMCMD "' big.hhp > chmcmd.log 2>&1";
    ASSERT_EQ(std::system(compile.c_str()), 0) << readBytes(project / "chmcmd.log");
    std::string bytes = readBytes(project / "big.chm");
    ASSERT_LT(bytes.size(), 100'000u);

    // After the name: the section, the offset, then the length, here four bytes long.
    std::size_t at = bytes.find("/big.txt") + 8;
    ASSERT_EQ(readEncInt(bytes, at), 1u);
    readEncInt(bytes, at);
    const std::size_t lengthAt = at;
    ASSERT_EQ(readEncInt(bytes, at), 2'200'000u);
    ASSERT_EQ(at - lengthAt, 4u);
    constexpr std::uint32_t kClaimed = 200'000'000;
    for (int i = 0; i < 4; ++i)
        bytes[lengthAt + i] =
            static_cast<char>(((kClaimed >> (7 * (3 - i))) & 0x7F) | (i < 3 ? 0x80 : 0));
    writeBytes(dir.path() / "claims.chm", bytes);

    try {
        unpackHelpFile(dir.path() / "claims.chm", dir.path() / "out");
        ADD_FAILURE() << "unpacked beyond the limit";
    } catch (const UnpackError& e) {
        EXPECT_NE(std::string(e.what()).find("bytes, more than the limit of 67108864 bytes (200 "
                                             "times the help file's size); give --max-size BYTES "
                                             "to allow more"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(fs::exists(dir.path() / "out"));

    // Past the size check, the file fails as what it is: a stream shorter than its claim.
    try {
        unpackHelpFile(dir.path() / "claims.chm", dir.path() / "out",
                       {.maxSize = std::uint64_t{1} << 30});
        ADD_FAILURE() << "unpacked a file that claims more than it holds";
    } catch (const UnpackError& e) {
        EXPECT_EQ(std::string(e.what()).find("limit"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(dir.path() / "out"));
}

}  // namespace
}  // namespace quillet
