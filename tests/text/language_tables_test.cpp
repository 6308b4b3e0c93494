#include "text/charset_table.h"
#include "text/east_asian_fonts.h"
#include "text/language_table.h"
#include "text/language_tags.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>

namespace quillet {
namespace {

TEST(LanguageTable, HasEveryRowInOrder) {
    const TLanguages& t = LanguageTable();
    ASSERT_EQ(t.GetCount(), 122);
    EXPECT_EQ(t.GetItem(0).Id, u"0x0436");
    EXPECT_EQ(t.GetItem(0).Name, u"Afrikaans");
    EXPECT_EQ(t.GetItem(121).Name, u"Zulu");
    EXPECT_EQ(t.GetItem(35).Dictionary, u"en_GB");
    std::set<std::u16string> ids;
    for (int i = 0; i < t.GetCount(); ++i) ids.insert(t.GetItem(i).Id);
    EXPECT_EQ(ids.size(), 122u) << "identifiers are unique";

    std::vector<std::u16string> names{u"already there"};
    t.NameToStringLists(names);
    ASSERT_EQ(names.size(), 123u);
    EXPECT_EQ(names[1], u"Afrikaans");
    EXPECT_EQ(names[26], u"Chinese (China)");
}

TEST(LanguageTable, LooksUpByIdentifier) {
    struct Case {
        std::u16string_view id;
        int codePage, index;
        std::u16string_view name, dictionary;
    };
    const Case cases[] = {
        {u"0x0804", 936, 25, u"Chinese (China)", u"en_US"},
        {u"0x0409", 1252, 34, u"English (United States)", u"en_US"},
        {u"0x0411", 932, 66, u"Japanese", u"en_US"},
        {u"0x0436", 1252, 0, u"Afrikaans", u"en_US"},
        {u"0x0435", 1252, 121, u"Zulu", u"en_US"},
        {u"0x041c", 1250, 1, u"Albanian", u"en_US"},  // letter case does not matter
        {u"0X041C", 1250, 1, u"Albanian", u"en_US"},
        {u"0x081A", 1252, 85, u"Serbian (Latin)", u"en_US"},
        {u"0x043A", 1254, 72, u"Maltese", u"en_US"},
        {u"0x0419", 1251, 82, u"Russian", u"ru_RU"},
        {u"0x0000", 0, -1, u"", u""},
        {u"0x00000804", 0, -1, u"", u""},  // eight digits
        {u"0436", 0, -1, u"", u""},        // nothing else is normalised
        {u"0x436", 0, -1, u"", u""},
        {u"", 0, -1, u"", u""},
    };
    const TLanguages& t = LanguageTable();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.id.begin(), c.id.end()));
        EXPECT_EQ(t.GetCodepageById(c.id), c.codePage);
        EXPECT_EQ(t.GetIndexById(c.id), c.index);
        EXPECT_EQ(t.GetNameById(c.id), c.name);
        EXPECT_EQ(t.GetDictionaryById(c.id), c.dictionary);
    }
}

TEST(CharsetTable, LooksUpNamesWithoutRegardToCase) {
    struct Case {
        std::u16string_view name, codePage;
    };
    const Case cases[] = {
        {u"GB2312", u"936"},
        {u"gb2312", u"936"},
        {u"Gb2312", u"936"},
        {u"utf-8", u"65001"},
        {u"UTF-8", u"65001"},
        {u"unicode", u""},
        {u"iso-8859-1", u"28591"},
        {u"latin1", u"1252"},
        {u"l1", u"1252"},
        {u"iso-8859-9", u"1254"},
        {u"Big5", u"950"},
        {u"shift_jis", u"932"},
        {u"ISO-8859-8 Visual", u"28598"},
        {u"_iso-2022-jp$ESC", u"50221"},
        {u"koi8-r", u"20866"},
        {u"windows-1258", u"1258"},
        {u"", u""},
        {u"utf8", u""},
    };
    EXPECT_EQ(CharsetTable().size(), 150u);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
        EXPECT_EQ(CharsetTable().lookup(c.name), c.codePage);
    }
}

TEST(EastAsianScripts, LanguageCodePageAndLangTagChooseTheFont) {
    const auto tagOf = [](const EastAsianScript* s) {
        return s ? std::string(s->tag.begin(), s->tag.end()) : std::string("-");
    };
    struct ByLanguage {
        int languageId, codePage;
        const char* tag;
    };
    for (const ByLanguage& c : std::initializer_list<ByLanguage>{
             {0x0411, 932, "ja-JP"},
             {0x0412, 949, "ko-KR"},
             {0x0804, 936, "zh-CN"},
             {0x0404, 950, "zh-TW"},
             {0x0C04, 950, "zh-HK"},
             {0x0409, 936, "zh-CN"},  // an English locale over GBK text
             {0x0409, 950, "zh-TW"},
             {0x0409, 1252, "-"},
             {0x0419, 1251, "-"},
         })
        EXPECT_EQ(tagOf(eastAsianScriptOf(c.languageId, c.codePage)), c.tag)
            << std::hex << c.languageId << " " << std::dec << c.codePage;
    EXPECT_EQ(eastAsianScriptOf(0x0411, 0)->font, u"MS Mincho");

    struct ByTag {
        const char* lang;
        const char* tag;
    };
    for (const ByTag& c : std::initializer_list<ByTag>{
             {"ja", "ja-JP"},
             {"JA-jp", "ja-JP"},
             {"ko", "ko-KR"},
             {"zh", "zh-CN"},
             {"zh_CN", "zh-CN"},
             {"zh-Hans", "zh-CN"},
             {"zh-TW", "zh-TW"},
             {"zh-Hant", "zh-TW"},
             {"zh-Hant-HK", "zh-HK"},
             {"zh-SG", "zh-SG"},
             {"en", "-"},
             {"jav", "-"},
             {"", "-"},
         })
        EXPECT_EQ(tagOf(eastAsianScriptOfTag(c.lang)), c.tag) << c.lang;
}

TEST(LanguageTags, OfWindowsLanguageIdentifiers) {
    struct Case {
        int id;
        std::optional<std::u16string> tag;
    };
    const Case cases[] = {
        {0x0419, u"ru-RU"}, {0x042A, u"vi-VN"}, {0x0405, u"cs-CZ"},
        {0x0407, u"de-DE"}, {0x0804, u"zh-CN"}, {0x0411, u"ja-JP"},
        {0, std::nullopt},  {-1, std::nullopt}, {0x10000, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(languageTagOf(c.id), c.tag) << c.id;
        if (c.tag) {
            EXPECT_EQ(languageIdOfTag(*c.tag), c.id);
        }
    }
    EXPECT_EQ(languageIdOfTag(u"not a tag"), 0);
}

}  // namespace
}  // namespace quillet
