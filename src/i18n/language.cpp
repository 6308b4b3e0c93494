#include "i18n/language.h"

#include "platform/translation.h"

#include <QCoreApplication>
#include <QTranslator>

#include <cstdlib>

namespace quillet::i18n {

extern const unsigned char kEnglishQm[];
extern const std::size_t kEnglishQmSize;

namespace {

Language fromLocale(const std::string& locale) {
    return locale.starts_with("zh") ? Language::Chinese : Language::English;
}

}  // namespace

Language chooseLanguage(const std::function<std::string(const char* variable)>& environment) {
    if (const std::string chosen = environment("QUILLET_LANG"); !chosen.empty())
        return fromLocale(chosen);
    for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        std::string value = environment(variable);
        if (variable == std::string_view("LANGUAGE")) value = value.substr(0, value.find(':'));
        if (!value.empty()) return fromLocale(value);
    }
    return Language::English;
}

Language chooseLanguage() {
    return chooseLanguage([](const char* variable) {
        const char* value = std::getenv(variable);
        return std::string(value != nullptr ? value : "");
    });
}

void useLanguage(Language language) {
    // Lives as long as the program: Qt and the core libraries keep asking it.
    static QTranslator english;
    if (language == Language::Chinese) {
        setTranslator(nullptr);
        if (QCoreApplication::instance() != nullptr) QCoreApplication::removeTranslator(&english);
        return;
    }
    if (english.isEmpty() && !english.load(kEnglishQm, static_cast<int>(kEnglishQmSize))) return;
    if (QCoreApplication::instance() != nullptr) QCoreApplication::installTranslator(&english);
    setTranslator([](const char* source) {
        const QString translated = english.translate("quillet", source);
        return translated.isEmpty() ? std::string(source) : translated.toStdString();
    });
}

}  // namespace quillet::i18n
