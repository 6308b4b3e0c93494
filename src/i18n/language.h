// Which language the interface speaks, and putting it into that language. The texts as written
// are the Simplified Chinese interface, which Chinese locales get; every other locale gets the
// English translation.
#pragma once

#include <functional>
#include <string>

namespace quillet::i18n {

enum class Language { Chinese, English };

// QUILLET_LANG ("zh_CN" or "en") when set, else the first of LANGUAGE (its first entry), LC_ALL,
// LC_MESSAGES and LANG that is set and not empty: Chinese for a Chinese locale ("zh_CN.UTF-8",
// "zh_TW", "zh"), English for any other, and for none.
Language chooseLanguage(const std::function<std::string(const char* variable)>& environment);
Language chooseLanguage();  // from this process's environment

// Shows every text in `language` from now on: the core libraries' (through setTranslator) and
// Qt's own tr() texts, once a QCoreApplication exists. Call it at the start, before threads.
void useLanguage(Language language);

}  // namespace quillet::i18n
