#include "platform/settings_store.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace quillet {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

const std::u16string kKey = u"\\Software\\Zandrel\\Quillet";

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(SettingsStore, DefaultFileFollowsConfigDirThenXdg) {
    {
        ScopedEnv dir("QUILLET_CONFIG_DIR", "/cfg/q");
        EXPECT_EQ(SettingsStore::defaultFile(), "/cfg/q/settings.reg");
    }
    ScopedEnv dir("QUILLET_CONFIG_DIR", "");
    ScopedEnv xdg("XDG_CONFIG_HOME", "/home/u/.cfg");
    EXPECT_EQ(SettingsStore::defaultFile(), "/home/u/.cfg/quillet/settings.reg");
}

TEST(SettingsStore, ReadingFollowsTheTypeRules) {
    TempDir dir;
    SettingsStore store(dir.path() / "settings.reg");
    EXPECT_FALSE(store.keyExists(kKey));
    store.writeString(kKey, u"TOCCaption", u"Contents");
    store.writeInteger(kKey, u"Top", -5);
    store.writeBool(kKey, u"Cover", true);

    EXPECT_TRUE(store.keyExists(u"software\\zandrel\\quillet\\"));
    EXPECT_EQ(store.readString(kKey, u"toccaption"), u"Contents");  // names ignore case
    EXPECT_EQ(store.readInteger(kKey, u"Top"), -5);
    EXPECT_EQ(store.readDword(kKey, u"Top"), 0xFFFFFFFBu);
    EXPECT_TRUE(store.readBool(kKey, u"Cover"));

    EXPECT_THROW(store.readString(kKey, u"Missing"), SettingsError);
    EXPECT_THROW(store.readInteger(u"\\Software\\Other", u"Top"), SettingsError);
    EXPECT_THROW(store.readInteger(kKey, u"TOCCaption"), SettingsError);  // string, not DWORD
    EXPECT_THROW(store.readString(kKey, u"Top"), SettingsError);          // DWORD, not string
    try {
        store.readString(kKey, u"Top");
    } catch (const SettingsError& e) {
        EXPECT_NE(std::string(e.what()).find("Top"), std::string::npos) << e.what();
    }

    // A value may change its type when written again.
    store.writeDword(kKey, u"TOCCaption", 7);
    EXPECT_EQ(store.readDword(kKey, u"TOCCaption"), 7u);
}

TEST(SettingsStore, ValuesSurviveReopeningInReadableForm) {
    TempDir dir;
    const auto file = dir.path() / "sub" / "settings.reg";  // folder created on first write
    const std::u16string awkward[] = {
        u"C:\\Help\\\"quoted\".chm", u"中文 标题", u"two\nlines\tand tab", u"",
        u"Calibri,27,0,[BU]",
    };
    {
        SettingsStore store(file);
        for (std::size_t i = 0; i < std::size(awkward); ++i)
            store.writeString(kKey, u"S" + std::u16string(1, u'0' + i), awkward[i]);
        store.writeDword(kKey, u"PaperSize", 4);
    }
    SettingsStore reopened(file);
    for (std::size_t i = 0; i < std::size(awkward); ++i)
        EXPECT_EQ(reopened.readString(kKey, u"S" + std::u16string(1, u'0' + i)), awkward[i]);
    EXPECT_EQ(reopened.readDword(kKey, u"PaperSize"), 4u);

    const std::string text = readFile(file);
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Zandrel\\Quillet]"), std::string::npos);
    EXPECT_NE(text.find("\"PaperSize\"=dword:00000004"), std::string::npos);
    EXPECT_NE(text.find("\"S0\"=\"C:\\\\Help\\\\\\\"quoted\\\".chm\""), std::string::npos);
}

TEST(SettingsStore, ReadsAHandWrittenFileAndSkipsWhatItCannotRead) {
    TempDir dir;
    const auto file = dir.path() / "settings.reg";
    std::ofstream(file, std::ios::binary) << "Windows Registry Editor Version 5.00\r\n\r\n"
                                             "; written by hand\r\n"
                                             "[HKEY_LOCAL_MACHINE\\Software\\Zandrel\\Quillet]\r\n"
                                             "\"Top\"=dword:00000063\r\n"
                                             "[HKEY_CURRENT_USER\\Software\\Zandrel\\Quillet]\r\n"
                                             "\"Left\"=dword:0000001e\r\n"
                                             "\"Bad\"=dword:zz\r\n"
                                             "\"Title\"=hex(1):48,00,69,00,\\\r\n  00,00\r\n"
                                             "garbage line\r\n";
    SettingsStore store(file);
    EXPECT_EQ(store.readDword(kKey, u"Left"), 30u);
    EXPECT_EQ(store.readString(kKey, u"Title"), u"Hi");
    EXPECT_FALSE(store.valueExists(kKey, u"Top"));  // other root
    EXPECT_FALSE(store.valueExists(kKey, u"Bad"));
}

// A settings file cut short at any byte, or damaged, reads without fault: every value reads as
// written or is missing (and so gives the caller's default), and the next save writes a whole file.
TEST(SettingsStore, ADamagedOrTruncatedFileGivesTheValuesItStillHoldsAndNoFault) {
    TempDir dir;
    const auto file = dir.path() / "settings.reg";
    const std::u16string title = u"中文 \"quoted\"\ttab";
    {
        SettingsStore store(file);
        store.writeString(kKey, u"Title", title);
        store.writeDword(kKey, u"PaperSize", 0x12345678);
        store.writeBool(kKey, u"Cover", true);
        store.writeString(kKey, u"Long", std::u16string(300, u'x'));
    }
    const std::string whole = readFile(file);
    std::vector<std::pair<std::string, std::string>> damaged;
    for (std::size_t n = 0; n < whole.size(); ++n)
        damaged.emplace_back("cut at byte " + std::to_string(n), whole.substr(0, n));
    const std::pair<const char*, std::string> kDamage[] = {
        {"binary", std::string("\0\xff\xfe\x00\x01[\"=\\", 10)},
        {"invalid UTF-8", whole + "[HKEY_CURRENT_USER\\\xc3\x28\xff]\n\"\xe2\x82\"=\"\xf0\"\n"},
        {"a continuation at the end", whole + "\"Title\"=hex(1):48,00,\\"},
        {"odd hex digits", whole + "\"Title\"=hex(1):4,0z,\n"},
        {"a huge dword", whole + "\"PaperSize\"=dword:123456789abcdef0123\n"},
        {"a UTF-16 file cut at an odd byte", std::string("\xff\xfeW\0i\0n\0d", 7)},
        {"a key without its end", "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Soft"},
        {"NUL bytes in a line", whole.substr(0, whole.size() / 2) + std::string(64, '\0')},
    };
    for (const auto& [what, bytes] : kDamage) damaged.emplace_back(what, bytes);
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        SettingsStore store(file);
        if (store.valueExists(kKey, u"Title")) {
            EXPECT_EQ(store.readString(kKey, u"Title"), title);
        }
        if (store.valueExists(kKey, u"PaperSize")) {
            EXPECT_EQ(store.readDword(kKey, u"PaperSize"), 0x12345678u);
        }
        if (store.valueExists(kKey, u"Cover")) {
            EXPECT_TRUE(store.readBool(kKey, u"Cover"));
        }
        if (store.valueExists(kKey, u"Long")) {
            EXPECT_EQ(store.readString(kKey, u"Long"), std::u16string(300, u'x'));
        }
        store.writeDword(kKey, u"Left", 30);
        EXPECT_EQ(SettingsStore(file).readDword(kKey, u"Left"), 30u);
    }
}

TEST(SettingsStore, AFailedSaveKeepsTheOldStateAndLeavesNoTemporaryFile) {
    TempDir dir;
    // The settings path is a folder, so the final rename cannot replace it.
    const auto file = dir.path() / "settings.reg";
    std::filesystem::create_directory(file);
    SettingsStore store(file);
    EXPECT_THROW(store.writeString(kKey, u"WordFile", u"/out/a.docx"), SettingsError);
    EXPECT_FALSE(store.valueExists(kKey, u"WordFile"));
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename(), "settings.reg") << "left behind: " << entry.path();
}

TEST(SettingsStore, AFileThatIsNoSettingsFileIsNeitherReadNorReplaced) {
    // A FIFO would block the start, a device or a huge file would be read without end.
    struct Case {
        const char* what;
        std::function<void(const std::filesystem::path&)> make;
    };
    const Case cases[] = {
        {"a FIFO", [](const auto& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
        {"a link to a device",
         [](const auto& p) { std::filesystem::create_symlink("/dev/zero", p); }},
        {"larger than a MiB",
         [](const auto& p) {
             std::ofstream out(p, std::ios::binary);
             out << "Windows Registry Editor Version 5.00\n";
             out << std::string(SettingsStore::kMaxFileBytes, ';');
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const auto file = dir.path() / "settings.reg";
        c.make(file);
        const auto before = std::filesystem::symlink_status(file).type();
        SettingsStore store(file);
        EXPECT_FALSE(store.keyExists(kKey));
        EXPECT_THROW(store.writeString(kKey, u"WordFile", u"/out/a.docx"), SettingsError);
        EXPECT_EQ(std::filesystem::symlink_status(file).type(), before) << "left as it is";
    }
}

TEST(SettingsStore, EverySaveReplacesTheWholeFile) {
    TempDir dir;
    const auto file = dir.path() / "settings.reg";
    SettingsStore store(file);
    for (int i = 0; i < 20; ++i) store.writeInteger(kKey, u"Top", i);
    EXPECT_EQ(SettingsStore(file).readInteger(kKey, u"Top"), 19);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace quillet
