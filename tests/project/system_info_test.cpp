#include "project/chm_decompile.h"

#include "platform/utf.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

namespace quillet {
namespace {

using testing::TempDir;

std::string le16(int v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
std::string record(int code, const std::string& data) {
    return le16(code) + le16(static_cast<int>(data.size())) + data;
}
// A #SYSTEM stream: the version record, then locale, default topic and title records.
std::string systemRecords(int languageId, const std::string& page, const std::string& title) {
    return record(9, std::string("HHA Version 4.74.8702", 21)) +
           record(4, le16(languageId) + le16(0) + std::string(12, '\0')) + record(2, page + '\0') +
           record(3, title + '\0');
}

std::string le64(std::uint64_t v) {
    std::string s;
    for (int n = 0; n < 8; ++n) s += static_cast<char>((v >> (8 * n)) & 0xFF);
    return s;
}
// A help file laid out as compilers write one: its header, a directory whose "/#SYSTEM" entry
// names the file in the uncompressed section, then that section holding `system` (the file's
// version, then its records).
// `contentOffset` replaces the offset of the uncompressed section the header names.
std::string helpFile(const std::string& system,
                     std::optional<std::uint64_t> contentOffset = std::nullopt) {
    // The entry: name length and name, then section 0, offset 0 and length as encoded integers.
    std::string directory = "PMGL" + std::string(16, '\0') + "\x08/#SYSTEM";
    directory += std::string(2, '\0');
    directory += static_cast<char>(4 + system.size());
    const std::uint64_t directoryOffset = 0x60;
    std::string header = "ITSF" + std::string("\x03\0\0\0", 4);
    header.resize(0x48, '\0');
    header += le64(directoryOffset) + le64(directory.size()) +
              le64(contentOffset.value_or(directoryOffset + directory.size()));
    return header + directory + std::string("\x03\0\0\0", 4) + system;
}

class SystemInfoTest : public ::testing::Test {
protected:
    std::u16string write(const std::string& bytes) {
        const auto path = dir.path() / "help.chm";
        std::ofstream(path, std::ios::binary) << bytes;
        return fromPath(path);
    }
    TempDir dir;
};

TEST_F(SystemInfoTest, ReadsTheRecordsAfterTheVersionRecord) {
    struct Case {
        const char* what;
        std::string bytes;
        std::u16string langId, title, page;
        int codePage;
    };
    const Case cases[] = {
        {"Chinese", "ITSF" + systemRecords(0x0804, "/intro.htm", "\xd6\xd0\xce\xc4"), u"0x0804",
         u"中文", u"/intro.htm", 936},
        {"English", systemRecords(0x0409, "a.htm", "Caf\xe9"), u"0x0409", u"Café", u"a.htm", 1252},
        {"a false HHA first",
         "xxHHAyy" + std::string(8, '\0') + "HHA" + systemRecords(0x0419, "p.htm", "\xcf\xf0\xe8"),
         u"0x0419", u"При", u"p.htm", 1251},
        {"identifier read as negative", systemRecords(0x8004, "p.htm", "T"), u"0xFFFF8004", u"T",
         u"p.htm", 0},
        {"title of only its NUL", systemRecords(0x0409, "p.htm", ""), u"0x0409", u"", u"p.htm",
         1252},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TCHMDecompile project;
        const std::u16string file = write(c.bytes);
        project.LoadFromCHM(file);
        EXPECT_EQ(project.LangID, c.langId);
        EXPECT_EQ(project.Title, c.title);
        EXPECT_EQ(project.DefaultPage, c.page);
        EXPECT_EQ(project.CodePage, c.codePage);
        EXPECT_EQ(project.rCodePage, c.codePage);
        EXPECT_EQ(project.rTitle.find('\0'), std::string::npos);
        EXPECT_EQ(project.rDefaultPage.find('\0'), std::string::npos);
        EXPECT_EQ(project.chmFile, file);
    }
}

TEST_F(SystemInfoTest, TheSystemFileIsReadByRecordCodesWhereverTheyStand) {
    struct Case {
        const char* what;
        std::string system;
        std::u16string title, page, langId;
    };
    const Case cases[] = {
        {"another compiler, records in another order",
         record(3, "Titel\xe4\0") + record(9, "Free Pascal 3.2") + record(16, "Arial,10,0") +
             record(2, "start.htm\0") + record(4, le16(0x0407) + std::string(14, '\0')),
         u"Titel\u00e4", u"start.htm", u"0x0407"},
        {"no title record: no font specification in its place",
         record(9, "HHA Version 4.74.8702") + record(4, le16(0x0419) + std::string(14, '\0')) +
             record(2, "a.htm\0") + record(16, "Arial,10,-16777208\0"),
         u"", u"a.htm", u"0x0419"},
        {"no title record and no window: the compiled file's name",
         record(9, "HHA Version 4.74.8702") + record(4, le16(0x0804) + std::string(14, '\0')) +
             record(2, std::string("a.htm\0", 6)) +
             record(6, std::string("\xd4\xaa\xcb\xd8\xd6\xdc\xc6\xda\xb1\xed\0", 11)),
         u"\u5143\u7d20\u5468\u671f\u8868", u"a.htm", u"0x0804"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TCHMDecompile project;
        project.LoadFromCHM(write(helpFile(c.system)));
        EXPECT_EQ(project.Title, c.title);
        EXPECT_EQ(project.DefaultPage, c.page);
        EXPECT_EQ(project.LangID, c.langId);
    }
}

TEST_F(SystemInfoTest, WhereTheDirectoryMisleadsTheScanStillFindsTheRecords) {
    // A minimal compiler's file: version, locale, default topic, window and a record 13, no
    // title; in one case its header names the uncompressed section where it is not.
    const std::string system =
        record(9, "HHA Version 4.74.8702") + record(4, le16(0x0419) + std::string(14, '\0')) +
        record(2, std::string("index.htm\0", 10)) + record(5, std::string("main\0", 5)) +
        record(13, std::string(4, '\0'));
    struct Case {
        const char* what;
        std::optional<std::uint64_t> contentOffset;
    };
    for (const Case& c : {Case{"read by codes", std::nullopt}, Case{"found by the scan", 0}}) {
        SCOPED_TRACE(c.what);
        TCHMDecompile project;
        project.LoadFromCHM(write(helpFile(system, c.contentOffset)));
        EXPECT_EQ(project.LangID, u"0x0419");
        EXPECT_EQ(project.CodePage, 1251);
        EXPECT_EQ(project.DefaultPage, u"index.htm");
        EXPECT_TRUE(project.rTitle.empty()) << "the window's name is no title";
    }
}

TEST_F(SystemInfoTest, WithoutTheRecordOnlyTheFileNameChanges) {
    for (const std::string& bytes :
         {std::string("HH"), std::string(), std::string("ITSF no record HHA")}) {
        TCHMDecompile project;
        project.Title = u"kept";
        project.CodePage = 936;
        const std::u16string file = write(bytes);
        project.LoadFromCHM(file);
        EXPECT_EQ(project.Title, u"kept");
        EXPECT_EQ(project.CodePage, 936);
        EXPECT_EQ(project.chmFile, file);
    }
}

TEST_F(SystemInfoTest, UnreadableAndTruncatedFilesFail) {
    TCHMDecompile project;
    EXPECT_THROW(project.LoadFromCHM(fromPath(dir.path() / "missing.chm")), std::system_error);
    const std::string whole = systemRecords(0x0409, "page.htm", "A long title");
    const std::u16string file = write(whole.substr(0, whole.size() - 5));
    try {
        project.LoadFromCHM(file);
        FAIL() << "a record past the end of the file must fail";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("help.chm"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace quillet
