#include "i18n/language.h"

#include "platform/translation.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace quillet::i18n {
namespace {

TEST(Language, FollowsTheLocaleAndTheOverride) {
    struct Case {
        std::map<std::string, std::string> environment;
        Language expected;
    };
    const Case kCases[] = {
        {{}, Language::English},
        {{{"LANG", "zh_CN.UTF-8"}}, Language::Chinese},
        {{{"LANG", "zh_TW.Big5"}}, Language::Chinese},
        {{{"LANG", "de_DE.UTF-8"}}, Language::English},
        {{{"LANG", "C"}}, Language::English},
        {{{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", "zh_CN.UTF-8"}}, Language::Chinese},
        {{{"LC_MESSAGES", "zh_CN.UTF-8"}, {"LC_ALL", "en_US.UTF-8"}}, Language::English},
        {{{"LC_ALL", "de_DE.UTF-8"}, {"LANGUAGE", "zh_CN:en"}}, Language::Chinese},
        {{{"LANG", "zh_CN.UTF-8"}, {"LANGUAGE", ""}}, Language::Chinese},
        {{{"LANG", "zh_CN.UTF-8"}, {"QUILLET_LANG", "en"}}, Language::English},
        {{{"LANG", "fr_FR.UTF-8"}, {"QUILLET_LANG", "zh_CN"}}, Language::Chinese},
    };
    for (const Case& c : kCases) {
        std::string shown;
        for (const auto& [name, value] : c.environment) shown += name + "=" + value + " ";
        SCOPED_TRACE(shown);
        EXPECT_EQ(chooseLanguage([&](const char* variable) {
                      const auto found = c.environment.find(variable);
                      return found == c.environment.end() ? std::string() : found->second;
                  }),
                  c.expected);
    }
}

TEST(Language, EnglishTranslatesTheGivenTextsAndChineseKeepsThem) {
    useLanguage(Language::English);
    EXPECT_EQ(tr16(QT_TRANSLATE_NOOP("quillet", "保存文档...")), u"Saving the document...");
    EXPECT_EQ(tr16(QT_TRANSLATE_NOOP("quillet", "Freshing document(it may take a long time)...")),
              u"Refreshing the document (this may take a while)...");
    EXPECT_EQ(
        tr16(QT_TRANSLATE_NOOP("quillet", "Processing (%1 of %2) %3..."), {u"2", u"10", u"a.htm"}),
        u"Processing (2 of 10) a.htm...");
    EXPECT_EQ(tr16("a text nobody marked"), u"a text nobody marked");
    useLanguage(Language::Chinese);
    EXPECT_EQ(tr16(QT_TRANSLATE_NOOP("quillet", "保存文档...")), u"保存文档...");
}

}  // namespace
}  // namespace quillet::i18n
